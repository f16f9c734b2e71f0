#include "mesh_fixtures.h"

#include <cmath>

#include "core/gl.h"
#include "toolkit/camera.h"

int AddMesh(Scene& scene, const std::vector<Vector4>& positions, const std::vector<int>& faces) {
  const int index = scene.objectCount;
  SceneObject& o = *AppendObject(scene);
  const int n = (int)positions.size();
  const int m = (int)faces.size() / 3;
  o.vertexCount = n;
  o.faceCount = m;
  o.vertices = AllocateArray<Vector4>(o, n);
  o.vertexNormals = AllocateArray<Vector4>(o, n);
  o.texU = AllocateArray<float>(o, n);
  o.texV = AllocateArray<float>(o, n);
  o.faces = AllocateArray<int32_t>(o, 3 * m);
  o.cornerFlags = AllocateArray<uint8_t>(o, 6 * m);
  o.cornerNormals = AllocateArray<Vector4>(o, 6 * m);
  o.faceNormals = AllocateArray<Vector4>(o, m);
  o.baseFaceNormals = AllocateArray<Vector4>(o, m);
  o.vertexFaces = AllocateArray<PointerArray>(o, n);
  for (int i = 0; i < n; ++i) {
    o.vertices[i].set(positions[i].x, positions[i].y, positions[i].z);
    o.texU[i] = positions[i].x;
    o.texV[i] = positions[i].z;
  }
  for (int f = 0; f < m; ++f) {
    for (int k = 0; k < 3; ++k) o.faces[3 * f + k] = faces[3 * f + k];
    Vector4 e1 = o.vertices[faces[3 * f + 1]], e2 = o.vertices[faces[3 * f + 2]];
    e1.subtract(o.vertices[faces[3 * f]]);
    e2.subtract(o.vertices[faces[3 * f]]);
    o.faceNormals[f].cross(e1, e2);
    for (int k = 0; k < 3; ++k) PushIndex(o.vertexFaces[faces[3 * f + k]], f);
  }
  for (int v = 0; v < n; ++v) {
    Vector4 sum;
    for (int j = 0; j < o.vertexFaces[v].count; ++j) sum.add(o.faceNormals[IndexAt(o.vertexFaces[v], j)]);
    if (sum.lengthSquared() > 0.0f) sum.normalize();
    o.vertexNormals[v].set(-sum.x, -sum.y, -sum.z);
  }
  o.renderMode = 0;
  o.extraPass = 0;
  return index;
}

int AddBox(Scene& scene, Vector4 lo, Vector4 hi) {
  std::vector<Vector4> p;
  for (int i = 0; i < 8; ++i)
    p.emplace_back(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
  // Two triangles per side, counter-clockwise seen from outside.
  const std::vector<int> f = {
      0, 4, 6, 0, 6, 2,  // -x
      1, 3, 7, 1, 7, 5,  // +x
      0, 1, 5, 0, 5, 4,  // -y
      2, 6, 7, 2, 7, 3,  // +y
      0, 2, 3, 0, 3, 1,  // -z
      4, 5, 7, 4, 7, 6,  // +z
  };
  return AddMesh(scene, p, f);
}

int AddFloor(Scene& scene, float half, float height, int divisions) {
  std::vector<Vector4> p;
  std::vector<int> f;
  const int n = divisions + 1;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      p.emplace_back(-half + 2 * half * j / divisions, height, -half + 2 * half * i / divisions);
  for (int i = 0; i < divisions; ++i)
    for (int j = 0; j < divisions; ++j) {
      const int a = i * n + j;
      f.insert(f.end(), {a, a + 1, a + n + 1, a, a + n + 1, a + n});
    }
  return AddMesh(scene, p, f);
}

int AddSphere(Scene& scene, int stacks, int slices, float radius) {
  std::vector<Vector4> p;
  p.emplace_back(0.0f, -radius, 0.0f);
  for (int i = 1; i < stacks; ++i) {
    const float a = 3.14159265f * i / stacks;
    for (int j = 0; j < slices; ++j) {
      const float b = 6.2831853f * j / slices;
      p.emplace_back(radius * std::sin(a) * std::cos(b), -radius * std::cos(a), radius * std::sin(a) * std::sin(b));
    }
  }
  p.emplace_back(0.0f, radius, 0.0f);
  const int top = (int)p.size() - 1;
  auto ring = [&](int i, int j) { return 1 + (i - 1) * slices + (j % slices); };
  std::vector<int> f;
  for (int j = 0; j < slices; ++j) f.insert(f.end(), {0, ring(1, j), ring(1, j + 1)});
  for (int i = 1; i < stacks - 1; ++i)
    for (int j = 0; j < slices; ++j) {
      f.insert(f.end(), {ring(i, j), ring(i + 1, j + 1), ring(i, j + 1)});
      f.insert(f.end(), {ring(i, j), ring(i + 1, j), ring(i + 1, j + 1)});
    }
  for (int j = 0; j < slices; ++j) f.insert(f.end(), {top, ring(stacks - 1, j + 1), ring(stacks - 1, j)});
  return AddMesh(scene, p, f);
}

int AddTorus(Scene& scene, int rings, int sides, float major, float minor) {
  std::vector<Vector4> p;
  for (int i = 0; i < rings; ++i) {
    const float a = 6.2831853f * i / rings;
    for (int j = 0; j < sides; ++j) {
      const float b = 6.2831853f * j / sides;
      const float r = major + minor * std::cos(b);
      p.emplace_back(r * std::cos(a), minor * std::sin(b), r * std::sin(a));
    }
  }
  auto at = [&](int i, int j) { return (i % rings) * sides + (j % sides); };
  std::vector<int> f;
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < sides; ++j) {
      f.insert(f.end(), {at(i, j), at(i, j + 1), at(i + 1, j + 1)});
      f.insert(f.end(), {at(i, j), at(i + 1, j + 1), at(i + 1, j)});
    }
  return AddMesh(scene, p, f);
}

void LookAt(Scene& scene, Vector4 eye, Vector4 target) {
  // The pose keeps the negated eye and view direction.
  CameraPose pose;
  Vector4 d = target;
  d.subtract(eye);
  d.normalize();
  pose.position.set(-eye.x, -eye.y, -eye.z);
  pose.direction.set(-d.x, -d.y, -d.z);
  pose.up.set(0.0f, -1.0f, 0.0f);
  SetPerspectiveView(scene, pose);
}

Pixel ScreenOf(Vector4 world) {
  double mv[16], pr[16], x = 0, y = 0, z = 0;
  GLint vp[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, mv);
  glGetDoublev(GL_PROJECTION_MATRIX, pr);
  glGetIntegerv(GL_VIEWPORT, vp);
  if (mv[2] * world.x + mv[6] * world.y + mv[10] * world.z + mv[14] >= 0.0) return {-1, -1, 2.0f};
  gluProject(world.x, world.y, world.z, mv, pr, vp, &x, &y, &z);
  return {(int)std::floor(x), (int)std::floor(y), (float)z};
}
