#include "toolkit/shadow_volume.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/gl.h"
#include "toolkit/mesh_renderer.h"

namespace {

Vector4 Normalised(const Vector4& v) {
  float l2 = v.x * v.x + v.y * v.y + v.z * v.z;
  if (l2 <= 0.0f) return Vector4(0.0f, 0.0f, 0.0f);  // collapsed face: no direction
  float inv = 1.0f / std::sqrt(l2);
  return Vector4(v.x * inv, v.y * inv, v.z * inv);
}

void Emit(HomogeneousVertex*& out, const Vector4& p, float w) {
  out->x = p.x;
  out->y = p.y;
  out->z = p.z;
  out->w = w;
  ++out;
}

void EmitAway(HomogeneousVertex*& out, const Vector4& p, const Vector3& l) {
  out->x = p.x - l.x;
  out->y = p.y - l.y;
  out->z = p.z - l.z;
  out->w = 0.0f;
  ++out;
}

VolumeSender volumeSender = nullptr;  // a test's immediate-mode reference, or null

// The staged vertices as one client-array draw, exactly what immediate mode
// would send; leaves the vertex array disabled.
void SendVertices(GLenum mode, const HomogeneousVertex* v, int vertexCount) {
  if (vertexCount <= 0) return;
  if (volumeSender) {
    volumeSender(mode, v, vertexCount);
    return;
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(4, GL_FLOAT, sizeof(HomogeneousVertex), v);
  glDrawArrays(mode, 0, vertexCount);
  glDisableClientState(GL_VERTEX_ARRAY);
}

void SendQuads(const HomogeneousVertex* v, int count) { SendVertices(GL_QUADS, v, 4 * count); }

void SendTriangles(const HomogeneousVertex* v, int count) {
  SendVertices(GL_TRIANGLES, v, 3 * count);
}

}  // namespace

void BuildEdgeList(Scene& scene, int index) {
  SceneObject* found = FindObject(scene, index);
  if (!found) return;
  SceneObject& o = *found;
  if (o.edges) return;

  // Every record is one unordered vertex pair, in order of its first use, so
  // grouping the face edges by pair gives the same list as searching the
  // records for each edge, in O(n log n) instead of O(n²).
  const int uses = 3 * o.faceCount;
  std::vector<uint64_t> keyed(uses);
  for (int i = 0; i < uses; ++i) {
    const int f = i / 3, k = i % 3;
    uint32_t a = (uint32_t)o.faces[3 * f + k], b = (uint32_t)o.faces[3 * f + (k + 1) % 3];
    if (a > b) std::swap(a, b);
    keyed[i] = ((uint64_t)a << 32) | b;
  }
  std::vector<int> order(uses);
  for (int i = 0; i < uses; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](int x, int y) {
    return keyed[x] != keyed[y] ? keyed[x] < keyed[y] : x < y;
  });
  std::vector<int> leader(uses);
  for (int i = 0; i < uses; ++i) {
    const int use = order[i];
    leader[use] = (i > 0 && keyed[order[i - 1]] == keyed[use]) ? leader[order[i - 1]] : use;
  }

  std::vector<EdgeRecord> records;
  records.reserve(uses);
  std::vector<int> recordOf(uses, -1);
  for (int use = 0; use < uses; ++use) {
    const int f = use / 3, k = use % 3;
    if (leader[use] == use) {
      EdgeRecord r{};
      r.firstFace = f;
      r.secondFace = 0;
      r.faceUses = 1;
      r.vertexA = o.faces[3 * f + k];
      r.vertexB = o.faces[3 * f + (k + 1) % 3];
      recordOf[use] = (int)records.size();
      records.push_back(r);
    } else {
      // A later use overwrites the second face, as a third use would.
      EdgeRecord& r = records[recordOf[leader[use]]];
      r.secondFace = f;
      r.faceUses = 2;
    }
  }

  const int count = (int)records.size();
  // At least one entry each, so that an object without faces still counts as
  // having an edge list.
  o.edges = AllocateArray<EdgeRecord>(o, count > 0 ? count : 1);
  std::copy(records.begin(), records.end(), o.edges);
  o.silhouetteEdges = AllocateArray<EdgeRecord>(o, count > 0 ? count : 1);
  o.volumeQuads = AllocateArray<HomogeneousVertex>(o, 4 * (count > 0 ? count : 1));
  o.capVertices = AllocateArray<HomogeneousVertex>(o, 6 * (o.faceCount > 0 ? o.faceCount : 1));
  o.edgeCount = count;
  o.silhouetteCount = 0;
  o.volumeQuadCount = 0;
  o.capTriangleCount = 0;
  o.edgeCountSource = &o.edgeCount;
  o.silhouetteCountSource = &o.silhouetteCount;
  o.volumeQuadCountSource = &o.volumeQuadCount;
  o.capTriangleCountSource = &o.capTriangleCount;
  AllocateWorldBuffers(scene, index);
}

void AllocateWorldBuffers(Scene& scene, int index) {
  SceneObject* found = FindObject(scene, index);
  if (!found) return;
  SceneObject& o = *found;
  if (o.worldVertices) return;
  const int vertices = o.vertexCount > 0 ? o.vertexCount : 1;
  o.worldVertices = AllocateArray<Vector4>(o, vertices);
  o.worldVertexNormals = AllocateArray<Vector4>(o, vertices);
  o.worldFaceNormals = AllocateArray<Vector4>(o, o.faceCount > 0 ? o.faceCount : 1);
}

void TransformObject(Scene& scene, int index, int source, int withVertexNormals) {
  SceneObject* found = FindObject(scene, index);
  if (!found) return;
  SceneObject& o = *found;
  AllocateWorldBuffers(scene, index);  // once; normally done at load time
  SyncTransformSources(o);

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  ApplyObjectTransform(o);
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  glPopMatrix();
  for (int r = 0; r < 4; ++r) {
    m[r] *= o.scale.x;
    m[4 + r] *= o.scale.y;
    m[8 + r] *= o.scale.z;
  }

  const Vector4* from = nullptr;
  if (source == 0) {
    from = o.vertices;
  } else if (source == 1) {
    EnsureBaseBuffers(o);
    from = o.baseVertices;
  }
  if (from) {
    for (int i = 0; i < o.vertexCount; ++i) {
      const Vector4& p = from[i];
      o.worldVertices[i].set(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                             m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                             m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
    }
  }

  const Vector4* w = o.worldVertices;
  for (int f = 0; f < o.faceCount; ++f) {
    const int* c = o.faces + 3 * f;
    Vector4 e1 = w[c[1]], e2 = w[c[2]];
    e1.subtract(w[c[0]]);
    e2.subtract(w[c[0]]);
    Vector4 n;
    n.cross(e1, e2);
    o.worldFaceNormals[f] = withVertexNormals ? n : Normalised(n);
  }
  if (withVertexNormals) {
    // Area-weighted vertex normals first, then the faces become unit length.
    for (int v = 0; v < o.vertexCount; ++v) {
      Vector4 sum;
      const PointerArray* list = o.vertexFaces ? &o.vertexFaces[v] : nullptr;
      for (int j = 0; list && j < list->count; ++j) sum.add(o.worldFaceNormals[IndexAt(*list, j)]);
      Vector4 n = Normalised(sum);
      o.worldVertexNormals[v].set(-n.x, -n.y, -n.z);
    }
    for (int f = 0; f < o.faceCount; ++f) o.worldFaceNormals[f] = Normalised(o.worldFaceNormals[f]);
  }
}

void BuildShadowVolume(Scene& scene, int index, const Light& light) {
  SceneObject* object = FindObject(scene, index);
  if (!object) return;
  SceneObject& o = *object;
  if (!o.edges || !o.silhouetteEdges || !o.worldVertices) return;
  if (o.edgeCountSource) o.edgeCount = *o.edgeCountSource;

  const Vector4* w = o.worldVertices;
  const Vector4* fn = o.worldFaceNormals;
  const Vector3 l = light.position;

  // Silhouette: edges between a face turned to the light and one turned away.
  int found = 0;
  for (int e = 0; e < o.edgeCount; ++e) {
    const EdgeRecord& r = o.edges[e];
    if (r.faceUses != 2) continue;  // an open edge never closes a volume side
    const Vector4& a = w[r.vertexA];
    const Vector4& b = w[r.vertexB];
    const float mx = (a.x + b.x) * 0.5f - l.x;
    const float my = (a.y + b.y) * 0.5f - l.y;
    const float mz = (a.z + b.z) * 0.5f - l.z;
    const Vector4& n1 = fn[r.firstFace];
    const Vector4& n2 = fn[r.secondFace];
    const float d1 = mx * n1.x + my * n1.y + mz * n1.z;
    const float d2 = mx * n2.x + my * n2.y + mz * n2.z;
    if (d1 * d2 < 0.0f) {
      EdgeRecord& s = o.silhouetteEdges[found++];
      s = r;
      s.awayFlag = d1 >= 0.0f ? 1 : 0;
    }
  }
  o.silhouetteCount = found;
  o.volumeQuadCount = found;

  // Side quads, wound so that they face out of the volume.
  HomogeneousVertex* q = o.volumeQuads;
  for (int i = 0; i < found; ++i) {
    const EdgeRecord& s = o.silhouetteEdges[i];
    const int p = s.awayFlag ? s.vertexA : s.vertexB;
    const int r = s.awayFlag ? s.vertexB : s.vertexA;
    Emit(q, w[p], 1.0f);
    Emit(q, w[r], 1.0f);
    EmitAway(q, w[r], l);
    EmitAway(q, w[p], l);
  }

  // Caps: every face turned to the light closes the volume at the mesh and,
  // reversed, at infinity.
  HomogeneousVertex* c = o.capVertices;
  int lit = 0;
  for (int f = 0; f < o.faceCount; ++f) {
    const int* k = o.faces + 3 * f;
    const Vector4& w0 = w[k[0]];
    const Vector4& n = fn[f];
    if ((w0.x - l.x) * n.x + (w0.y - l.y) * n.y + (w0.z - l.z) * n.z < 0.0f) {
      Emit(c, w[k[0]], 1.0f);
      Emit(c, w[k[1]], 1.0f);
      Emit(c, w[k[2]], 1.0f);
      EmitAway(c, w[k[2]], l);
      EmitAway(c, w[k[1]], l);
      EmitAway(c, w[k[0]], l);
      ++lit;
    }
  }
  o.capTriangleCount = 2 * lit;
}

void SetStencilMode(int mode) {
  if (mode == 0) {
    glDisable(GL_STENCIL_TEST);
    glColorMask(1, 1, 1, 1);
    glDepthMask(1);
  } else if (mode == 1) {
    glClearStencil(127);
    glClear(GL_STENCIL_BUFFER_BIT);
    glEnable(GL_STENCIL_TEST);
  } else if (mode == 2) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_EQUAL, 127, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilMask(~0u);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(1);
    glColorMask(1, 1, 1, 1);
  }
}

void SetVolumeSender(VolumeSender sender) { volumeSender = sender; }

void DrawShadowVolume(Scene& scene, int index) {
  SceneObject* found = FindObject(scene, index);
  if (!found) return;
  SceneObject& o = *found;
  if (!o.volumeQuads || !o.capVertices) return;  // no shadow data: nothing to count
  if (o.edgeCountSource) o.edgeCount = *o.edgeCountSource;
  if (o.silhouetteCountSource) o.silhouetteCount = *o.silhouetteCountSource;
  if (o.volumeQuadCountSource) o.volumeQuadCount = *o.volumeQuadCountSource;
  if (o.capTriangleCountSource) o.capTriangleCount = *o.capTriangleCountSource;

  glEnable(GL_STENCIL_TEST);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(0);
  glColorMask(0, 0, 0, 0);
  glStencilMask(~0u);
  glStencilFunc(GL_ALWAYS, 0, 0xFF);
  glEnable(GL_CULL_FACE);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(0.15f, 2.0f);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_BLEND);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();

  glCullFace(GL_BACK);
  glStencilOp(GL_KEEP, GL_INCR_WRAP, GL_KEEP);
  glColor4f(1.0f, 0.0f, 0.0f, 0.5f);
  SendQuads(o.volumeQuads, o.volumeQuadCount);
  glColor4f(0.0f, 1.0f, 0.0f, 0.5f);
  SendTriangles(o.capVertices, o.capTriangleCount);

  glCullFace(GL_FRONT);
  glStencilOp(GL_KEEP, GL_DECR_WRAP, GL_KEEP);
  glColor4f(0.0f, 0.0f, 1.0f, 0.5f);
  SendQuads(o.volumeQuads, o.volumeQuadCount);
  glColor4f(1.0f, 0.0f, 1.0f, 0.5f);
  SendTriangles(o.capVertices, o.capTriangleCount);

  glPopMatrix();
  glDisable(GL_POLYGON_OFFSET_FILL);
  glStencilFunc(GL_EQUAL, 127, ~0u);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glStencilMask(~0u);
  glCullFace(GL_BACK);
  glDepthMask(1);
  glColorMask(1, 1, 1, 1);
  glDisable(GL_STENCIL_TEST);
  glEnable(GL_DEPTH_TEST);
}
