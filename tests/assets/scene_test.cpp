#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "assets/scene.h"

namespace {

// A one-triangle object built the way the reader builds one.
int AddTriangle(Scene& scene, const char* name) {
  SceneObject* o = AppendObject(scene);
  if (!o) return -1;
  std::memcpy(o->name, name, std::min(sizeof o->name, std::strlen(name)));
  o->vertexCount = 3;
  o->faceCount = 1;
  o->vertices = AllocateArray<Vector4>(*o, 3);
  o->vertexNormals = AllocateArray<Vector4>(*o, 3);
  o->faces = AllocateArray<int32_t>(*o, 3);
  o->faceNormals = AllocateArray<Vector4>(*o, 1);
  o->baseFaceNormals = AllocateArray<Vector4>(*o, 1);
  o->vertexFaces = AllocateArray<PointerArray>(*o, 3);
  for (int i = 0; i < 3; ++i) {
    o->faces[i] = i;
    PushIndex(o->vertexFaces[i], 0);
  }
  o->vertices[1].set(1, 0, 0);
  o->vertices[2].set(0, 1, 0);
  return scene.objectCount - 1;
}

TEST(Scene, DefaultsOfSceneObjectAndLight) {
  Scene scene(10000, 1024, 512, 512, 256);
  EXPECT_EQ(scene.objectCount, 0);
  EXPECT_EQ(scene.capacity, 10000);
  EXPECT_EQ(scene.fieldOfView, 75.0f);
  EXPECT_EQ(scene.uvScale, 1.0f);
  EXPECT_EQ(scene.vertexScale, 1.0f);
  EXPECT_EQ(scene.targetWidth, 512);

  SceneObject o;
  EXPECT_EQ(o.renderMode, 1);
  EXPECT_EQ(o.extraPass, 1);
  EXPECT_EQ(o.modulate, 1);
  EXPECT_EQ(o.cullFaces, 1);
  EXPECT_EQ(o.ownTransform, 1);
  EXPECT_EQ(o.attenuationConstant, 1.0f);
  EXPECT_EQ(o.lightW, 1.0f);
  EXPECT_EQ(o.shininess, 1.0f);
  EXPECT_EQ(o.scale.y, 1.0f);
  EXPECT_EQ(o.positionSource, &o.position);
  EXPECT_EQ(o.scaleSource, &o.scale);
  EXPECT_EQ(o.rotationSource[2], &o.rotation.z);
  EXPECT_EQ(o.meshMatrix[15], 0.0f);

  Light light;
  EXPECT_EQ(light.colour.x, 0.0f);
  SetLightColour(light, 1.0f, 0.5f, 2.0f);
  EXPECT_EQ(light.colour.z, 2.0f);
}

TEST(Scene, CloneSharesGeometryButNotPlacement) {
  Scene scene(10, 1024, 512, 512, 256);
  int a = AddTriangle(scene, "LongerThanEight");
  scene.objects[a]->renderMode = 5;
  scene.objects[a]->position.set(1, 2, 3);
  int b = CloneObject(scene, a);
  ASSERT_EQ(b, 1);
  ASSERT_EQ(scene.objectCount, 2);
  SceneObject& clone = *scene.objects[b];
  EXPECT_EQ(std::memcmp(clone.name, "LongerTh", 8), 0);
  EXPECT_EQ(clone.vertices, scene.objects[a]->vertices);
  EXPECT_EQ(clone.vertexFaces, scene.objects[a]->vertexFaces);
  EXPECT_NE(clone.baseFaceNormals, scene.objects[a]->baseFaceNormals);
  EXPECT_EQ(clone.renderMode, 1);  // clone defaults, not the source's settings
  EXPECT_EQ(clone.extraPass, 0);
  EXPECT_EQ(clone.position.x, 0.0f);
  scene.objects[a]->vertices[2].x = 7.0f;
  EXPECT_EQ(clone.vertices[2].x, 7.0f);

  ShareTransform(scene, a, b);
  EXPECT_EQ(clone.positionSource, &scene.objects[a]->position);
  EXPECT_EQ(clone.rotationSource[1], &scene.objects[a]->rotation.y);
  // A third object following b follows a too.
  int c = CloneObject(scene, b);
  ShareTransform(scene, b, c);
  EXPECT_EQ(scene.objects[c]->scaleSource, &scene.objects[a]->scale);
}

TEST(Scene, CloneOutlivesItsSourceArraysAndCapacityIsHard) {
  auto scene = std::make_unique<Scene>(2, 1024, 512, 512, 256);
  int a = AddTriangle(*scene, "Box");
  EXPECT_EQ(CloneObject(*scene, a), 1);
  EXPECT_EQ(CloneObject(*scene, a), -1);  // full
  EXPECT_EQ(AddTriangle(*scene, "More"), -1);
  EXPECT_EQ(scene->objectCount, 2);
  EXPECT_EQ(CloneObject(*scene, 5), -1);   // no such object
  EXPECT_EQ(CloneObject(*scene, -1), -1);
  Scene none(0, 1, 1, 1, 1);
  EXPECT_EQ(AppendObject(none), nullptr);
}

TEST(Scene, ShadowSharing) {
  Scene scene(10, 1024, 512, 512, 256);
  int a = AddTriangle(scene, "Caster");
  int b = CloneObject(scene, a);
  SceneObject& src = *scene.objects[a];
  SceneObject& dst = *scene.objects[b];

  // No edge list yet: nothing changes.
  EXPECT_EQ(ShareShadowData(scene, a, b, 1), 0);
  EXPECT_EQ(dst.edges, nullptr);
  EXPECT_EQ(dst.worldVertices, nullptr);

  src.edges = AllocateArray<EdgeRecord>(src, 3);
  src.edgeCount = 3;
  src.edgeCountSource = &src.edgeCount;
  EXPECT_NE(ShareShadowData(scene, a, b, 0), 0);
  EXPECT_EQ(dst.edges, src.edges);
  EXPECT_EQ(dst.edgeCountSource, &src.edgeCount);
  EXPECT_EQ(dst.silhouetteEdges, nullptr);

  EXPECT_NE(ShareShadowData(scene, a, b, 1), 0);
  ASSERT_NE(dst.silhouetteEdges, nullptr);
  EXPECT_EQ(dst.volumeQuadCountSource, &dst.volumeQuadCount);
  ASSERT_NE(dst.worldVertices, nullptr);
  dst.volumeQuads[4 * 3 - 1].w = 1.0f;  // sized 4 × edges
  dst.capVertices[6 * 1 - 1].w = 1.0f;  // sized 6 × faces
  dst.worldFaceNormals[0].x = 1.0f;

  // Buffers only travel from an object that has them.
  int c = CloneObject(scene, a);
  ShareShadowBuffers(scene, a, c);
  EXPECT_EQ(scene.objects[c]->volumeQuads, nullptr);
  ShareShadowBuffers(scene, b, c);
  EXPECT_EQ(scene.objects[c]->volumeQuads, dst.volumeQuads);
  EXPECT_EQ(scene.objects[c]->capTriangleCountSource, &dst.capTriangleCount);
  EXPECT_EQ(scene.objects[c]->worldFaceNormals, dst.worldFaceNormals);
}

}  // namespace
