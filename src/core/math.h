// Small vector toolkit: positions, directions, normals and camera paths.
// Everything is 32-bit float at the interfaces; the 3D operations read and
// write x, y, z only and never touch w.
#pragma once

struct Vector3;

struct Vector4 {
  float x, y, z, w;

  // x, y, z start at 0; w is zeroed too so copies never carry garbage.
  Vector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
  Vector4(float x_, float y_, float z_) : x(x_), y(y_), z(z_), w(0.0f) {}
  Vector4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

  void set(float x_, float y_, float z_) { x = x_; y = y_; z = z_; }
  void set(float x_, float y_, float z_, float w_) { x = x_; y = y_; z = z_; w = w_; }
  void copy(const Vector4& v) { *this = v; }
  void fromVector(const Vector3& v, float w_);
  void normalize();
  void scale(float s) { x *= s; y *= s; z *= s; }
  void add(const Vector4& v) { x += v.x; y += v.y; z += v.z; }
  void subtract(const Vector4& v) { x -= v.x; y -= v.y; z -= v.z; }
  float lengthSquared() const { return x * x + y * y + z * z; }
  float dot(const Vector4& v) const { return x * v.x + y * v.y + z * v.z; }
  void cross(const Vector4& a, const Vector4& b);
  // A new vector holding receiver - (x, y, z); its w means nothing.
  Vector4 difference(float x_, float y_, float z_) const { return Vector4(x - x_, y - y_, z - z_); }
  // sqrt(x² + y² + z²), also kept in w.
  float length();
};

struct Vector3 {
  float x, y, z;

  Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
  Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  void set(float x_, float y_, float z_) { x = x_; y = y_; z = z_; }
  void copy(const Vector3& v) { *this = v; }
  void normalize();
  void scale(float s) { x *= s; y *= s; z *= s; }
  void add(const Vector3& v) { x += v.x; y += v.y; z += v.z; }
  void subtract(const Vector3& v) { x -= v.x; y -= v.y; z -= v.z; }
  float lengthSquared() const { return x * x + y * y + z * z; }
  float dot(const Vector3& v) const { return x * v.x + y * v.y + z * v.z; }
  void cross(const Vector3& a, const Vector3& b);
  Vector4 difference(float x_, float y_, float z_) const { return Vector4(x - x_, y - y_, z - z_); }
};

inline float dot(const Vector4& a, const Vector4& b) { return a.dot(b); }
inline float dot(const Vector3& a, const Vector3& b) { return a.dot(b); }

// out = (dot(onto, v) / |onto|²) · onto; a zero `onto` is not guarded.
void project(Vector4& out, const Vector4& onto, const Vector4& v);
void project(Vector3& out, const Vector3& onto, const Vector3& v);

// In-place rotations (radians); both return v.
Vector4& rotateY(Vector4& v, float a);  // x' = x cos a − z sin a, z' = x sin a + z cos a
Vector4& rotateZ(Vector4& v, float a);  // x' = x cos a + y sin a, y' = y cos a − x sin a
Vector3& rotateY(Vector3& v, float a);
Vector3& rotateZ(Vector3& v, float a);

// Radial falloffs of s = squared distance / squared radius: 1 at the centre,
// 0 from the rim (s = 1) outwards, with vanishing derivatives at the rim.
float FalloffSoft(float s);    // Wendland C2: (1 − r)⁴ (4r + 1)
float FalloffSmooth(float s);  // Wendland C6: (1 − r)⁸ (32r³ + 25r² + 8r + 1)

// Angle of (b, a) in (−π/2, 3π/2), with the show's truncated constants.
float AngleOf(float a, float b);
