#include "toolkit/mesh_renderer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/gl.h"

namespace {

// Normalised copy; a zero vector stays zero instead of turning into NaNs that
// would blacken every face around a collapsed triangle.
Vector4 Normalised(const Vector4& v) {
  float l2 = v.x * v.x + v.y * v.y + v.z * v.z;
  if (l2 <= 0.0f) return Vector4(0.0f, 0.0f, 0.0f);
  float inv = 1.0f / std::sqrt(l2);
  return Vector4(v.x * inv, v.y * inv, v.z * inv);
}

// Reused between calls so per-frame normal updates do not allocate.
std::vector<Vector4> unitFaceNormals;
std::vector<Vector4> smoothVertexNormals;  // scratch of ComputeCreaseNormals

void NoGeneration() {
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_TEXTURE_GEN_R);
}

// Sphere-map generation on s and t when the object asks for it.
void SphereTest(const SceneObject& o) {
  glDisable(GL_TEXTURE_GEN_R);
  if (o.sphereMap) {
    glTexGenf(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGenf(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
  } else {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
  }
}

void TextureOn(GLint env) {
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, env);
  glEnable(GL_TEXTURE_2D);
}

// Environment passes add the reflection weighted by what is already there.
void EnvBlend() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA);
}

void RepeatWrap() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

// Mode 5, first pass: the object's own texture, lit, in its blend mode.
void LitTexturePass(Scene& scene, int index, const SceneObject& o) {
  glBindTexture(GL_TEXTURE_2D, o.textureName);
  TextureOn(o.modulate ? GL_MODULATE : GL_ADD);
  glEnable(GL_LIGHTING);
  ApplyBlendMode(scene, index);
  SphereTest(o);
}

// Mode 5, second pass: the cube environment, unlit, over the first.
void CubeReflectionPass(const SceneObject& o) {
  TextureOn(GL_MODULATE);
  EnvBlend();
  glDisable(GL_LIGHTING);
  BindCubeEnvironment(o.cubeTextureName);
}

// Depth function of a pass that must touch only the pixels the object's
// previous pass wrote. The same triangles give the same depths, so GL_LEQUAL
// keeps those pixels and still refuses what lies in front; GL_EQUAL would
// also lose them wherever the driver's two sends round a depth apart.
constexpr GLenum kOverFirstPass = GL_LEQUAL;

// Sets up pass `pass`; returns the depth function it draws with.
GLenum SetUpPass(Scene& scene, int index, SceneObject& o, int pass) {
  const int mode = o.renderMode;
  if (o.extraPass) {
    if (mode == 5) {
      if (pass == 0) {
        LitTexturePass(scene, index, o);
      } else if (pass == 1) {
        CubeReflectionPass(o);
      } else {
        TextureOn(GL_MODULATE);
        EnvBlend();
        glEnable(GL_LIGHTING);
        glBindTexture(GL_TEXTURE_2D, o.textureName);
        SphereTest(o);
      }
      return GL_LEQUAL;
    }
    if (pass == 0) {
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
      glDisable(GL_TEXTURE_2D);
      ApplyBlendMode(scene, index);
      glBindTexture(GL_TEXTURE_2D, o.textureName);
      NoGeneration();
      return GL_LEQUAL;
    }
    TextureOn(GL_MODULATE);
    EnvBlend();
    glBindTexture(GL_TEXTURE_2D, o.textureName);
    NoGeneration();
    return kOverFirstPass;
  }

  switch (mode) {
    case 1:
      glBindTexture(GL_TEXTURE_2D, o.textureName);
      TextureOn(GL_MODULATE);
      ApplyBlendMode(scene, index);
      RepeatWrap();
      SphereTest(o);
      return GL_LEQUAL;
    case 4:
      TextureOn(GL_MODULATE);
      glDisable(GL_BLEND);
      glDisable(GL_LIGHTING);
      glBlendFunc(GL_ONE, GL_ONE);
      glDisable(GL_TEXTURE_2D);
      BindCubeEnvironment(o.cubeTextureName);
      return GL_LEQUAL;
    case 5:
      if (pass == 0) {
        LitTexturePass(scene, index, o);
        return GL_LEQUAL;
      }
      CubeReflectionPass(o);
      return kOverFirstPass;
    default:  // 0, and the unused modes 2 and 3 drawn like it
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      glDisable(GL_TEXTURE_2D);
      ApplyBlendMode(scene, index);
      RepeatWrap();
      NoGeneration();
      return GL_LEQUAL;
  }
}

// Colour of a pass: baseColour scaled (alpha never is), with the base alpha on
// texture passes and the overlay alpha on environment passes.
void PassColour(const SceneObject& o, int pass) {
  const bool mode5 = o.renderMode == 5;
  float factor;
  if (!o.extraPass) factor = mode5 ? 2.0f : 4.0f;
  else factor = (pass == 1 && !mode5) ? 2.0f : 1.0f;

  float alpha;
  if (o.renderMode == 4) alpha = o.overlayAlpha;
  else if (mode5) alpha = (pass == 0 || (o.extraPass && pass == 1)) ? o.baseAlpha : o.overlayAlpha;
  else alpha = o.baseAlpha;

  glColor4f(o.baseColour[0] * factor, o.baseColour[1] * factor, o.baseColour[2] * factor, alpha);
}

// One corner as a pass sends it. Every pass of a draw sends the same corners,
// so they are gathered once per draw.
struct Corner {
  float u, v;
  float nx, ny, nz;
  float x, y, z;
};
// Grow to the largest object and are reused between draws. Faces share
// their vertices, so a vertex is stored once and each face names it by index:
// the driver then transforms it once rather than once per face around it.
std::vector<Corner> corners;         // distinct corners, in order of first use
std::vector<GLuint> cornerIndices;   // three per face sent, in face order
std::vector<GLuint> vertexCorner;    // a vertex's slot in `corners`, or kNoCorner
constexpr GLuint kNoCorner = 0xFFFFFFFFu;

PassSender passSender = nullptr;  // a test's immediate-mode reference, or null

// Gathers the corners the object's faces send, culled and indexed (a corner
// with its own normal gets a slot of its own); returns the number of indices,
// or -1 for a geometry that sends nothing.
int GatherCorners(const Scene& scene, const SceneObject& o, int geometry) {
  if (geometry != 0 && geometry != 1) return -1;
  const Vector4* positions = geometry == 0 ? o.vertices : o.baseVertices;
  const Vector4* normals = geometry == 0 ? o.vertexNormals : o.baseNormals;
  if (!positions || !normals || !o.faces) return -1;  // base geometry never prepared

  // Geometry 0 takes corner normals only with cameraTest; geometry 1 always.
  const bool cornerNormals = (geometry == 1 || o.cameraTest) && o.cornerFlags && o.cornerNormals;
  const bool cull = geometry == 1 && o.cameraTest;
  const float sx = o.scale.x, sy = o.scale.y, sz = o.scale.z;
  const float du = o.texOffsetU, dv = o.texOffsetV;
  const float ex = -scene.cameraPosition.x, ey = -scene.cameraPosition.y, ez = -scene.cameraPosition.z;
  const float vx = -scene.cameraDirection.x, vy = -scene.cameraDirection.y, vz = -scene.cameraDirection.z;
  const int* faces = o.faces;

  if (corners.size() < size_t(3) * o.faceCount) corners.resize(size_t(3) * o.faceCount);
  if (cornerIndices.size() < size_t(3) * o.faceCount) cornerIndices.resize(size_t(3) * o.faceCount);
  if (vertexCorner.size() < size_t(o.vertexCount)) vertexCorner.resize(size_t(o.vertexCount));
  std::fill(vertexCorner.begin(), vertexCorner.begin() + o.vertexCount, kNoCorner);
  GLuint used = 0;
  GLuint* index = cornerIndices.data();
  for (int f = 0; f < o.faceCount; ++f) {
    const int* c = faces + 3 * f;
    if (cull) {
      // Faces behind the eye and more than 2 units away are skipped; the
      // centroid ignores the object's translation and rotation.
      const Vector4 &b0 = positions[c[0]], &b1 = positions[c[1]], &b2 = positions[c[2]];
      float cx = (b0.x + b1.x + b2.x) * 0.33333334f * sx;
      float cy = (b0.y + b1.y + b2.y) * 0.33333334f * sy;
      float cz = (b0.z + b1.z + b2.z) * 0.33333334f * sz;
      float dx = cx - ex, dy = cy - ey, dz = cz - ez;
      float len = std::sqrt(dx * dx + dy * dy + dz * dz);
      float inv = 1.0f / (len + 1e-8f);
      float facing = dx * inv * vx + dy * inv * vy + dz * inv * vz;
      if (!(facing >= 0.0f || len <= 2.0f)) continue;
    }
    for (int k = 0; k < 3; ++k) {
      const int v = c[k];
      const bool own = cornerNormals && o.cornerFlags[3 * f + k];
      if (!own && vertexCorner[size_t(v)] != kNoCorner) {
        *index++ = vertexCorner[size_t(v)];
        continue;
      }
      const Vector4& p = positions[v];
      const Vector4& n = own ? o.cornerNormals[3 * f + k] : normals[v];
      Corner* out = &corners[used];
      if (o.texU && o.texV) {
        out->u = o.texU[v] + du;
        out->v = o.texV[v] + dv;
      } else {
        out->u = du;
        out->v = dv;
      }
      out->nx = -n.x;
      out->ny = -n.y;
      out->nz = -n.z;
      out->x = p.x * sx;
      out->y = p.y * sy;
      out->z = p.z * sz;
      if (!own) vertexCorner[size_t(v)] = used;
      *index++ = used++;
    }
  }
  return int(index - cornerIndices.data());
}

// Draws the gathered corners from client arrays: the values and order
// immediate mode would send, in one call. Afterwards the current normal and
// texture coordinate are the last corner's, as immediate mode leaves them
// (the arrays leave them undefined); client arrays are left disabled.
void SendCorners(int count) {
  if (count <= 0) return;
  const Corner* c = corners.data();
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, sizeof(Corner), &c->u);
  glNormalPointer(GL_FLOAT, sizeof(Corner), &c->nx);
  glVertexPointer(3, GL_FLOAT, sizeof(Corner), &c->x);
  glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, cornerIndices.data());
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  const Corner& last = c[cornerIndices[size_t(count) - 1]];
  glTexCoord2f(last.u, last.v);
  glNormal3f(last.nx, last.ny, last.nz);
}

// Fills baseFaceNormals from baseVertices: (b1 − b0) × (b2 − b0), unnormalised.
void BaseFaceNormals(SceneObject& o) {
  const Vector4* b = o.baseVertices;
  for (int f = 0; f < o.faceCount; ++f) {
    const int* c = o.faces + 3 * f;
    Vector4 e1 = b[c[1]], e2 = b[c[2]];
    e1.subtract(b[c[0]]);
    e2.subtract(b[c[0]]);
    o.baseFaceNormals[f].cross(e1, e2);
  }
}

}  // namespace

SceneObject* FindObject(Scene& scene, int index) {
  if (index < 0 || index >= scene.objectCount) return nullptr;
  return scene.objects[index].get();
}

void SyncTransformSources(SceneObject& o) {
  if (o.positionSource) o.position = *o.positionSource;
  if (o.scaleSource) o.scale = *o.scaleSource;
  if (o.rotationSource[0]) o.rotation.x = *o.rotationSource[0];
  if (o.rotationSource[1]) o.rotation.y = *o.rotationSource[1];
  if (o.rotationSource[2]) o.rotation.z = *o.rotationSource[2];
}

void ApplyObjectTransform(const SceneObject& o) {
  if (!o.ownTransform) {
    glMultMatrixf(o.meshMatrix);
    return;
  }
  glTranslatef(o.position.x, o.position.y, o.position.z);
  glRotatef(o.rotation.y * 180 * 0.3183099524062959, 0.0f, 1.0f, 0.0f);
  glRotatef(o.rotation.z * 180 * 0.3183099524062959, 0.0f, 0.0f, 1.0f);
  glRotatef(o.rotation.x * 180 * 0.3183099524062959, 1.0f, 0.0f, 0.0f);
}

void EnsureBaseBuffers(SceneObject& o) {
  if (o.baseBuffersReady) return;
  o.baseVertices = AllocateArray<Vector4>(o, o.vertexCount);
  o.baseNormals = AllocateArray<Vector4>(o, o.vertexCount);
  o.baseBuffersReady = 1;
}

void ApplyBlendMode(Scene& scene, int index) {
  const SceneObject* o = FindObject(scene, index);
  if (!o) return;
  const int mode = o->blendMode;
  if (mode == 0) {
    glDisable(GL_BLEND);
    return;
  }
  glEnable(GL_BLEND);
  if (mode == 1) glBlendFunc(GL_ONE, GL_ONE);
  else if (mode == 2) glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  else if (mode == 3) glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

void BindCubeEnvironment(unsigned cubeTexture) {
  glEnable(GL_TEXTURE_CUBE_MAP);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cubeTexture);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
  glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glEnable(GL_TEXTURE_GEN_R);
  glEnable(GL_NORMALIZE);
}

void DrawObject(Scene& scene, int index, const Light& light, int geometry) {
  SceneObject* found = FindObject(scene, index);
  if (!found) return;
  SceneObject& o = *found;

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_DIFFUSE);

  // Material; the ambient is dimmed when an extra pass adds light on top.
  float ambient[4] = {o.ambientColour[0], o.ambientColour[1], o.ambientColour[2], o.ambientColour[3]};
  if (o.extraPass) {
    ambient[0] *= 0.33f;
    ambient[1] *= 0.33f;
    ambient[2] *= 0.33f;
  }
  glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT, GL_SPECULAR, o.specularColour);
  glMaterialf(GL_FRONT, GL_SHININESS, o.shininess);

  // Light 0, placed under the camera's view before the object's transform.
  const float lightPosition[4] = {light.position.x, light.position.y, light.position.z, o.lightW};
  const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  const float colour[4] = {light.colour.x, light.colour.y, light.colour.z, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
  glLightfv(GL_LIGHT0, GL_AMBIENT, white);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
  glLightfv(GL_LIGHT0, GL_SPECULAR, colour);
  glLightf(GL_LIGHT0, GL_SPOT_EXPONENT, o.spotExponent);
  glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, o.attenuationConstant);
  glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, o.attenuationLinear);
  glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, o.attenuationQuadratic);

  SyncTransformSources(o);
  ApplyObjectTransform(o);

  glEnable(GL_TEXTURE_2D);
  glDisable(GL_POLYGON_SMOOTH);
  if (o.cullFaces) glEnable(GL_CULL_FACE);
  else glDisable(GL_CULL_FACE);

  const int passes = 1 + (o.renderMode == 5 ? 1 : 0) + (o.extraPass ? 1 : 0);
  const int count = passSender ? 0 : GatherCorners(scene, o, geometry);
  for (int pass = 0; pass < passes; ++pass) {
    glDisable(GL_TEXTURE_CUBE_MAP);
    glDepthFunc(SetUpPass(scene, index, o, pass));
    PassColour(o, pass);
    glEnable(GL_COLOR_MATERIAL);
    if (passSender) passSender(scene, o, geometry);
    else SendCorners(count);
  }

  glPopMatrix();
  glDisable(GL_TEXTURE_CUBE_MAP);
  glDisable(GL_LIGHT0);
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_COLOR_MATERIAL);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_CULL_FACE);
  NoGeneration();
  glMatrixMode(GL_MODELVIEW);
}

void SetPassSender(PassSender sender) { passSender = sender; }

void SnapshotVertices(Scene& scene, int index) {
  SceneObject* found = FindObject(scene, index);
  if (!found) return;
  SceneObject& o = *found;
  EnsureBaseBuffers(o);
  for (int i = 0; i < o.vertexCount; ++i) o.baseVertices[i].set(o.vertices[i].x, o.vertices[i].y, o.vertices[i].z);
}

void ComputeSmoothNormals(Scene& scene, int index) {
  SceneObject* found = FindObject(scene, index);
  if (!found) return;
  SceneObject& o = *found;
  EnsureBaseBuffers(o);
  BaseFaceNormals(o);
  for (int v = 0; v < o.vertexCount; ++v) {
    Vector4 sum;
    const PointerArray* list = o.vertexFaces ? &o.vertexFaces[v] : nullptr;
    for (int j = 0; list && j < list->count; ++j) sum.add(o.baseFaceNormals[IndexAt(*list, j)]);
    Vector4 n = Normalised(sum);
    o.baseNormals[v].set(-n.x, -n.y, -n.z);
  }
}

void ComputeCreaseNormals(Scene& scene, int index, float threshold) {
  SceneObject* found = FindObject(scene, index);
  if (!found) return;
  SceneObject& o = *found;
  EnsureBaseBuffers(o);
  BaseFaceNormals(o);
  for (int i = 0; i < 3 * o.faceCount; ++i) o.cornerFlags[i] = 0;

  // Unit face normals once, instead of once per corner and neighbour.
  if ((int)unitFaceNormals.size() < o.faceCount) unitFaceNormals.resize(o.faceCount);
  for (int f = 0; f < o.faceCount; ++f) unitFaceNormals[f] = Normalised(o.baseFaceNormals[f]);

  // A corner whose neighbours all pass the threshold gets the vertex's smooth
  // normal: the same sum in the same order, so it is made once per vertex
  // rather than once per corner. Most corners of a smooth mesh take it.
  if ((int)smoothVertexNormals.size() < o.vertexCount) smoothVertexNormals.resize(o.vertexCount);
  for (int v = 0; v < o.vertexCount; ++v) {
    const PointerArray* list = o.vertexFaces ? &o.vertexFaces[v] : nullptr;
    Vector4 sum;
    for (int j = 0; list && j < list->count; ++j) sum.add(o.baseFaceNormals[IndexAt(*list, j)]);
    Vector4 n = Normalised(sum);
    smoothVertexNormals[v].set(-n.x, -n.y, -n.z);
  }

  for (int f = 0; f < o.faceCount; ++f) {
    const Vector4& nf = unitFaceNormals[f];
    for (int k = 0; k < 3; ++k) {
      const int v = o.faces[3 * f + k];
      const PointerArray* list = o.vertexFaces ? &o.vertexFaces[v] : nullptr;
      const int total = list ? list->count : 0;
      int passing = 0;
      while (passing < total && nf.dot(unitFaceNormals[IndexAt(*list, passing)]) >= threshold)
        ++passing;
      if (passing == total) {
        o.cornerFlags[3 * f + k] = 0;
        const Vector4& smooth = smoothVertexNormals[v];
        o.baseNormals[v].set(smooth.x, smooth.y, smooth.z);
        continue;
      }
      // A crease: the faces on this corner's side only.
      Vector4 sum;
      for (int j = 0; j < total; ++j) {
        const int g = IndexAt(*list, j);
        if (nf.dot(unitFaceNormals[g]) >= threshold) sum.add(o.baseFaceNormals[g]);
      }
      Vector4 n = Normalised(sum);
      o.cornerFlags[3 * f + k] = 1;
      o.cornerNormals[3 * f + k].set(-n.x, -n.y, -n.z);
    }
  }
}
