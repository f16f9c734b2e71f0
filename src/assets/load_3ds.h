// The .3ds reader: appends the triangle meshes of a model file to a Scene.
// Cameras, lights, materials and groups are recognised and skipped.
#pragma once
#include <cstdint>
#include <cstdio>

#include "assets/scene.h"

// Reads `path` and appends its mesh objects after those already in the scene,
// with the scene's vertexScale, uvScale and flipNormals applied. 1 when the
// file was read to its end; 0 when it cannot be opened (reported with the
// file-read box and a quit request), is malformed, or would pass the scene's
// capacity. Objects appended before a failure stay and are consistent.
int32_t LoadScene(Scene& scene, const char* path);

// The walk behind LoadScene on an open stream, without any report; it needs
// no GL context (the fuzz target calls it).
int32_t ReadScene(Scene& scene, FILE* file);
