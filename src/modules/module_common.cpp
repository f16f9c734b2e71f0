#include "modules/module_common.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "assets/load_3ds.h"
#include "assets/scene.h"
#include "assets/texture_names.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/shadow_volume.h"
#include "toolkit/spline.h"

bool AdvanceModuleClock(float* clockMs, int32_t frameDelta) {
  if (frameDelta >= 10000) return false;
  *clockMs += static_cast<float>(frameDelta);
  return true;
}

float WrapUnit(float u) {
  float w = u - std::floor(u);
  // A tiny negative u rounds up to 1 here; on a closed path 1 is 0.
  return w < 1.0f ? w : 0.0f;
}

int32_t WrapCycle(int32_t t, int32_t period) {
  int32_t r = t % period;
  return r < 0 ? r + period : r;
}

LoadedModel LoadModel(Scene& scene, const char* path, const char* module) {
  LoadedModel m;
  int32_t before = scene.objectCount;
  int32_t loaded = LoadScene(scene, path);
  m.count = scene.objectCount - before;
  if (loaded == 1 && m.count > 0) {
    m.ok = true;
    m.first = before;
    return m;
  }
  fprintf(stderr, "%s: \"%s\" did not load; the module goes on without its objects.\n",
          module, path);
  return m;
}

std::unique_ptr<Spline> MakeLightPath() {
  Spline keys(100, true);
  AddKey(keys, -17.0f, 0.0f, -5.0f);
  AddKey(keys, -14.0f, 3.0f, -8.0f);
  AddKey(keys, 0.0f, -3.0f, -9.0f);
  AddKey(keys, 15.0f, 2.0f, -2.0f);
  AddKey(keys, 16.0f, 0.0f, -6.0f);
  AddKey(keys, 0.0f, 3.0f, -9.0f);
  BuildTangents(keys, 5.0f, true);
  ComputeSampleCount(keys);
  auto path = std::make_unique<Spline>(keys.sampleCount, true);
  Resample(keys, *path);
  return path;
}

void ApplyLook(SceneObject& o, const ObjectLook& look) {
  o.textureName = look.textureName;
  o.cubeTextureName = kTextureEnvironmentCube;
  o.renderMode = look.renderMode;
  SetColour(o.baseColour, look.base[0], look.base[1], look.base[2]);
  SetColour(o.specularColour, 0.0f, 0.0f, 0.0f);
  SetColour(o.ambientColour, look.ambient[0], look.ambient[1], look.ambient[2]);
  o.baseAlpha = look.baseAlpha;
  o.overlayAlpha = 1.0f;
  o.shininess = 0.82f;
  o.lightW = look.lightW;
  o.spotExponent = look.spotExponent;
  o.attenuationConstant = look.attenuation[0];
  o.attenuationLinear = look.attenuation[1];
  o.attenuationQuadratic = look.attenuation[2];
  o.extraPass = 0;
}

void SnapshotKeptNormals(Scene& scene, int32_t index, KeptNormals* kept) {
  SceneObject* o = FindObject(scene, index);
  if (!o) return;
  SnapshotVertices(scene, index);
  const size_t vertices = static_cast<size_t>(o->vertexCount);
  const size_t faces = static_cast<size_t>(o->faceCount);
  if (kept->vertex.size() != vertices || kept->face.size() != faces || vertices == 0) {
    ComputeSmoothNormals(scene, index);
    kept->vertex.assign(o->baseNormals, o->baseNormals + vertices);
    kept->face.assign(o->baseFaceNormals, o->baseFaceNormals + faces);
    return;
  }
  // x, y, z only, as ComputeSmoothNormals writes them.
  for (size_t i = 0; i < vertices; ++i) o->baseNormals[i].set(kept->vertex[i].x, kept->vertex[i].y, kept->vertex[i].z);
  for (size_t f = 0; f < faces; ++f) o->baseFaceNormals[f].set(kept->face[f].x, kept->face[f].y, kept->face[f].z);
}

void TransformKeptWorld(Scene& scene, int32_t index, int32_t source, const float* context,
                        int contextCount, KeptWorld* kept) {
  SceneObject* o = FindObject(scene, index);
  if (!o) return;
  SyncTransformSources(*o);
  float key[sizeof kept->key / sizeof(float)] = {};
  const float head[11] = {static_cast<float>(source), static_cast<float>(o->ownTransform),
                          o->position.x, o->position.y, o->position.z,
                          o->rotation.x, o->rotation.y, o->rotation.z,
                          o->scale.x, o->scale.y, o->scale.z};
  memcpy(key, head, sizeof head);
  memcpy(key + 11, o->meshMatrix, sizeof o->meshMatrix);
  memcpy(key + 27, context, sizeof(float) * static_cast<size_t>(std::clamp(contextCount, 0, kKeptWorldContext)));
  if (kept->ready && memcmp(key, kept->key, sizeof key) == 0) return;
  TransformObject(scene, index, source, kWithVertexNormals);
  memcpy(kept->key, key, sizeof key);
  kept->ready = true;
}
