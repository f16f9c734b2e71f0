#include "core/math.h"

#include <cmath>

void Vector4::fromVector(const Vector3& v, float w_) {
  x = v.x;
  y = v.y;
  z = v.z;
  w = w_;
}

void Vector4::normalize() { scale(1.0f / std::sqrt(lengthSquared())); }

void Vector4::cross(const Vector4& a, const Vector4& b) {
  // Computed into locals so a or b may be the receiver itself.
  float cx = a.y * b.z - a.z * b.y;
  float cy = a.z * b.x - a.x * b.z;
  float cz = a.x * b.y - a.y * b.x;
  set(cx, cy, cz);
}

float Vector4::length() {
  w = std::sqrt(lengthSquared());
  return w;
}

void Vector3::normalize() { scale(1.0f / std::sqrt(lengthSquared())); }

void Vector3::cross(const Vector3& a, const Vector3& b) {
  float cx = a.y * b.z - a.z * b.y;
  float cy = a.z * b.x - a.x * b.z;
  float cz = a.x * b.y - a.y * b.x;
  set(cx, cy, cz);
}

namespace {

template <typename V>
void ProjectOnto(V& out, const V& onto, const V& v) {
  float f = onto.dot(v) / onto.lengthSquared();
  float ox = onto.x, oy = onto.y, oz = onto.z;
  out.set(ox * f, oy * f, oz * f);
}

template <typename V>
V& RotateAboutY(V& v, float a) {
  float c = std::cos(a), s = std::sin(a);
  float x = v.x * c - v.z * s;
  float z = v.x * s + v.z * c;
  v.x = x;
  v.z = z;
  return v;
}

template <typename V>
V& RotateAboutZ(V& v, float a) {
  float c = std::cos(a), s = std::sin(a);
  float x = v.x * c + v.y * s;
  float y = v.y * c - v.x * s;
  v.x = x;
  v.y = y;
  return v;
}

}  // namespace

void project(Vector4& out, const Vector4& onto, const Vector4& v) { ProjectOnto(out, onto, v); }
void project(Vector3& out, const Vector3& onto, const Vector3& v) { ProjectOnto(out, onto, v); }
Vector4& rotateY(Vector4& v, float a) { return RotateAboutY(v, a); }
Vector4& rotateZ(Vector4& v, float a) { return RotateAboutZ(v, a); }
Vector3& rotateY(Vector3& v, float a) { return RotateAboutY(v, a); }
Vector3& rotateZ(Vector3& v, float a) { return RotateAboutZ(v, a); }

float FalloffSoft(float s) {
  if (s > 1.0f) return 0.0f;
  float r = std::sqrt(s);
  float q = 1.0f - r;
  q *= q;
  return q * q * (4.0f * r + 1.0f);
}

float FalloffSmooth(float s) {
  if (s > 1.0f) return 0.0f;
  float r = std::sqrt(s);
  float q = 1.0f - r;
  q *= q;  // (1 − r)²
  q *= q;  // (1 − r)⁴
  q *= q;  // (1 − r)⁸
  return q * (r * (32.0f * s + 8.0f) + 25.0f * s + 1.0f);
}

float AngleOf(float a, float b) {
  if (b == 0.0f) return a > 0.0f ? 1.570795f : -1.570795f;
  float t = std::atan(a / b);
  return b > 0.0f ? t : t + 3.14159f;
}
