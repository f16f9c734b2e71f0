// libFuzzer target: the .3ds reader on arbitrary bytes, twice into one scene,
// then every array touched the way the renderer and the shadow code use them.
#include <cstdint>
#include <cstdio>

#include "assets/load_3ds.h"

namespace {

volatile float sink;

void Touch(const SceneObject& o) {
  float sum = 0.0f;
  for (int32_t v = 0; v < o.vertexCount; ++v) {
    sum += o.vertices[v].x + o.vertexNormals[v].y + o.texU[v] + o.texV[v];
    if (!o.vertexFaces) continue;
    const PointerArray& faces = o.vertexFaces[v];
    for (int32_t i = 0; i < faces.count; ++i) sum += o.faceNormals[IndexAt(faces, i)].z;
  }
  for (int32_t f = 0; f < o.faceCount; ++f) {
    for (int c = 0; c < 3; ++c) sum += o.vertices[o.faces[f * 3 + c]].z;
    sum += o.cornerFlags[f * 6 + 5] + o.cornerNormals[f * 6 + 5].x + o.baseFaceNormals[f].x;
  }
  sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Scene scene(16, 1024, 512, 512, 256);
  for (int pass = 0; pass < 2; ++pass) {
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;
    ReadScene(scene, file);
    std::fclose(file);
  }
  if (scene.objectCount > 0) CloneObject(scene, 0);
  for (int32_t i = 0; i < scene.objectCount; ++i) Touch(*scene.objects[i]);
  return 0;
}
