#include "assets/scene.h"

#include <cstring>

SceneObject::SceneObject()
    : scaleSource(&scale),
      positionSource(&position),
      rotationSource{&rotation.x, &rotation.y, &rotation.z} {}

Scene::Scene(int32_t capacity_, int32_t windowWidth_, int32_t windowHeight_,
             int32_t targetWidth_, int32_t targetHeight_)
    : windowWidth(windowWidth_),
      windowHeight(windowHeight_),
      targetWidth(targetWidth_),
      targetHeight(targetHeight_),
      capacity(capacity_ > 0 ? capacity_ : 0),
      objects(static_cast<size_t>(capacity)) {}

Scene::~Scene() {
  if (file) std::fclose(file);
}

SceneObject* AppendObject(Scene& scene) {
  if (scene.objectCount >= scene.capacity) return nullptr;
  auto& slot = scene.objects[scene.objectCount];
  slot = std::make_unique<SceneObject>();
  scene.objectCount++;
  return slot.get();
}

namespace {

SceneObject* ObjectAt(Scene& scene, int32_t index) {
  if (index < 0 || index >= scene.objectCount) return nullptr;
  return scene.objects[index].get();
}

// The target keeps the source's arrays alive for as long as it refers to them.
void ShareStorage(SceneObject& target, const SceneObject& source) {
  target.storage.insert(target.storage.end(), source.storage.begin(), source.storage.end());
}

bool HasShadowBuffers(const SceneObject& o) {
  return o.silhouetteEdges || o.volumeQuads || o.capVertices;
}

}  // namespace

int32_t CloneObject(Scene& scene, int32_t source) {
  SceneObject* from = ObjectAt(scene, source);
  if (!from || scene.objectCount >= scene.capacity) return -1;
  int32_t index = scene.objectCount;
  SceneObject& clone = *AppendObject(scene);
  clone.extraPass = 0;
  std::memcpy(clone.name, from->name, sizeof clone.name);

  ShareStorage(clone, *from);
  clone.vertices = from->vertices;
  clone.vertexNormals = from->vertexNormals;
  clone.vertexCount = from->vertexCount;
  clone.texU = from->texU;
  clone.texV = from->texV;
  clone.faces = from->faces;
  clone.faceNormals = from->faceNormals;
  clone.cornerNormals = from->cornerNormals;
  clone.cornerFlags = from->cornerFlags;
  clone.faceCount = from->faceCount;
  clone.vertexFaces = from->vertexFaces;
  clone.baseFaceNormals = AllocateArray<Vector4>(clone, static_cast<size_t>(clone.faceCount));
  return index;
}

void ShareTransform(Scene& scene, int32_t source, int32_t target) {
  SceneObject* from = ObjectAt(scene, source);
  SceneObject* to = ObjectAt(scene, target);
  if (!from || !to) return;
  to->positionSource = from->positionSource;
  to->scaleSource = from->scaleSource;
  for (int axis = 0; axis < 3; ++axis) to->rotationSource[axis] = from->rotationSource[axis];
}

int32_t ShareShadowData(Scene& scene, int32_t source, int32_t target, int32_t allocate) {
  SceneObject* from = ObjectAt(scene, source);
  SceneObject* to = ObjectAt(scene, target);
  if (!from || !to || !from->edges) return 0;
  ShareStorage(*to, *from);
  to->edges = from->edges;
  to->edgeCount = from->edgeCount;
  to->edgeCountSource = from->edgeCountSource;
  if (allocate) {
    if (!HasShadowBuffers(*to)) {
      // Sized as the edge-list builder lays them out; counts follow the target's own.
      size_t edges = static_cast<size_t>(from->edgeCount > 0 ? from->edgeCount : 0);
      size_t faces = static_cast<size_t>(to->faceCount > 0 ? to->faceCount : 0);
      to->silhouetteEdges = AllocateArray<EdgeRecord>(*to, edges);
      to->volumeQuads = AllocateArray<HomogeneousVertex>(*to, 4 * edges);
      to->capVertices = AllocateArray<HomogeneousVertex>(*to, 6 * faces);
      to->silhouetteCount = to->volumeQuadCount = to->capTriangleCount = 0;
      to->silhouetteCountSource = &to->silhouetteCount;
      to->volumeQuadCountSource = &to->volumeQuadCount;
      to->capTriangleCountSource = &to->capTriangleCount;
    }
    if (!to->worldVertices) {
      size_t vertices = static_cast<size_t>(to->vertexCount > 0 ? to->vertexCount : 0);
      size_t faces = static_cast<size_t>(to->faceCount > 0 ? to->faceCount : 0);
      to->worldVertices = AllocateArray<Vector4>(*to, vertices);
      to->worldVertexNormals = AllocateArray<Vector4>(*to, vertices);
      to->worldFaceNormals = AllocateArray<Vector4>(*to, faces);
    }
  }
  return 1;
}

void ShareShadowBuffers(Scene& scene, int32_t source, int32_t target) {
  SceneObject* from = ObjectAt(scene, source);
  SceneObject* to = ObjectAt(scene, target);
  if (!from || !to || !HasShadowBuffers(*from)) return;
  ShareStorage(*to, *from);
  to->silhouetteEdges = from->silhouetteEdges;
  to->silhouetteCountSource = from->silhouetteCountSource;
  to->volumeQuads = from->volumeQuads;
  to->volumeQuadCountSource = from->volumeQuadCountSource;
  to->capVertices = from->capVertices;
  to->capTriangleCountSource = from->capTriangleCountSource;
  to->worldVertices = from->worldVertices;
  to->worldVertexNormals = from->worldVertexNormals;
  to->worldFaceNormals = from->worldFaceNormals;
}

void SetLightColour(Light& light, float r, float g, float b) { light.colour.set(r, g, b); }
