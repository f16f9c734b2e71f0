// The mesh renderer: draws one SceneObject with GL 1.x, one point light
// (GL_LIGHT0), the object's material, one of four texture modes and up to
// three passes over the same triangles. Scale is applied to vertex positions
// on the CPU, never to the matrix or the normals. Each pass goes out as one
// indexed client-array draw of exactly the corners immediate mode would send,
// each shared corner stored once.
//
// It also prepares an object's second geometry (the "base" vertices and
// normals) that a module deforms and re-lights, and draws that instead of the
// loaded one when asked.
#pragma once
#include <cstdint>

#include "assets/scene.h"

// Draws object `index` lit by `light`. geometry 0 sends `vertices` with
// `vertexNormals`; 1 sends `baseVertices` with `baseNormals` and the corner
// normals (and culls faces against the scene's camera when `cameraTest` is
// set); any other value sends nothing but sets and resets the same state.
// Call after a perspective set-up with the matrix mode at GL_MODELVIEW.
//
// Leaves: modelview as found; lighting, GL_LIGHT0, GL_COLOR_MATERIAL,
// GL_TEXTURE_CUBE_MAP, GL_CULL_FACE and texture generation on s, t, r off;
// GL_TEXTURE_2D on with texture environment GL_ADD; depth function GL_LEQUAL;
// the 2D texture of the last textured pass bound; blending as the last pass
// set it; GL_NORMALIZE on if any environment pass ran; the current colour is
// the last pass's colour, the current normal and texture coordinate the last
// corner's; client arrays disabled.
void DrawObject(Scene& scene, int index, const Light& light, int geometry);

// Sends one pass's triangles of `object` from `geometry`. Null (the default)
// sends them as client arrays; tests put an immediate-mode reference here to
// compare the pixels.
using PassSender = void (*)(const Scene& scene, const SceneObject& object, int geometry);
void SetPassSender(PassSender sender);

// Copies x, y, z of every loaded vertex into `baseVertices`.
void SnapshotVertices(Scene& scene, int index);

// `baseFaceNormals` from `baseVertices` (unnormalised, area weighted) and
// `baseNormals` as the negated, normalised sum over each vertex's faces.
void ComputeSmoothNormals(Scene& scene, int index);

// As ComputeSmoothNormals, but a corner whose face meets one of the vertex's
// other faces at a cosine below `threshold` gets its own normal in
// `cornerNormals` (flagged in `cornerFlags`), averaged over the faces within
// the threshold only. Threshold -1 makes every corner smooth.
void ComputeCreaseNormals(Scene& scene, int index, float threshold);

// Blending for the object's `blendMode`: 0 off, 1 add, 2 alpha, 3 additive
// alpha. Mode 0 only disables GL_BLEND; unknown modes enable it and keep the
// blend function.
void ApplyBlendMode(Scene& scene, int index);

// Binds a cube map with reflection-map generation on s, t, r, clamped and
// linear. Leaves GL_TEXTURE_CUBE_MAP, the three generations and GL_NORMALIZE on.
void BindCubeEnvironment(unsigned cubeTexture);

// Shared with the shadow code, which places objects exactly as they are drawn.

// The object at `index`, or null for an index outside the scene (every
// operation here then does nothing).
SceneObject* FindObject(Scene& scene, int index);
// Copies position, scale and the three angles through their source pointers.
void SyncTransformSources(SceneObject& object);
// Multiplies the current matrix by the object's placement (no scale).
void ApplyObjectTransform(const SceneObject& object);
// Allocates zeroed base vertices and normals once (sets `baseBuffersReady`).
void EnsureBaseBuffers(SceneObject& object);
