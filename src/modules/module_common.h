// What every effect module does the same way: its clock rule, keeping
// clock-derived values in range, loading a model file so that a missing or
// cut-short file leaves the module without that file's objects, and keeping
// work whose inputs do not change between frames.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/math.h"

struct Scene;
struct SceneObject;
struct Spline;

// The module clock rule: a frame delta below 10000 ms is added (negative
// deltas after a backward seek included); larger ones, such as a jump of the
// music position, leave the clock where it is. Returns whether it moved.
bool AdvanceModuleClock(float* clockMs, int32_t frameDelta);

// u - floor(u): a path parameter in [0, 1), exact for u >= 0 (unchanged
// below 1), so clocks that run forward keep their values; a clock driven
// below 0 by seeks wraps instead of reading before the path's first key.
// A tiny negative u, whose wrap would round to 1, gives 0.
float WrapUnit(float u);

// t mod period into [0, period), also for negative t (C's % keeps the sign).
int32_t WrapCycle(int32_t t, int32_t period);

// The objects one LoadScene call added.
struct LoadedModel {
  bool ok = false;     // the load returned 1 and added at least one object
  int32_t first = -1;  // index of the first object added; -1 when !ok
  int32_t count = 0;   // objects added (also when !ok: they stay in the scene)
};

// LoadScene on `path`. A missing file is reported by the reader (message box,
// quit request); a file that is cut short or malformed loads silently, so this
// says on standard error that `module` goes on without it. Callers use the
// objects only when ok.
LoadedModel LoadModel(Scene& scene, const char* path, const char* module);

// The closed path every scene's lights travel: six key points with tangents
// of scale 5 (normalised), resampled to a path of nearly even speed. Only the
// resampled path is kept; evaluate it with a WrapUnit parameter.
std::unique_ptr<Spline> MakeLightPath();

// Writes one of an object's RGBA colour fields.
inline void SetColour(float* out, float r, float g, float b, float a = 1.0f) {
  out[0] = r;
  out[1] = g;
  out[2] = b;
  out[3] = a;
}

// One object's render settings as a scene sets them at init. What is left
// out is the same for every object of every scene: cube map 31, no specular
// colour, shininess 0.82, overlay alpha 1 and no extra pass; colours are opaque.
struct ObjectLook {
  int32_t textureName, renderMode;
  float baseAlpha;
  float base[3], ambient[3];
  float lightW, spotExponent;
  float attenuation[3];  // constant, linear, quadratic
};
void ApplyLook(SceneObject& o, const ObjectLook& look);

// Whether an object index from LoadModel or CloneObject may be used.
inline bool HasObject(int32_t index) { return index >= 0; }

// Work whose inputs stay the same from frame to frame, kept between frames.
//
// A mesh's undeformed smooth normals depend on its loaded vertices only, which
// never change: SnapshotKeptNormals copies the loaded vertices into the base
// arrays (SnapshotVertices) and fills the base vertex and face normals as
// ComputeSmoothNormals would, computing them at the first call and copying
// them afterwards. clear() forgets them.
struct KeptNormals {
  std::vector<Vector4> vertex, face;
  void clear() {
    vertex.clear();
    face.clear();
  }
};
void SnapshotKeptNormals(Scene& scene, int32_t index, KeptNormals* kept);

// An object's world copy (TransformObject with vertex normals) made under a
// fixed view: TransformKeptWorld transforms again only when the object's
// placement or `context` (the caller's view and whatever the source geometry
// depends on, up to kKeptWorldContext values) differs from the last call, and
// skips the modelview read-back otherwise. The caller vouches that the
// current modelview follows from `context`. ready = false forgets it.
constexpr int kKeptWorldContext = 12;
struct KeptWorld {
  bool ready = false;
  float key[2 + 9 + 16 + kKeptWorldContext];
};
void TransformKeptWorld(Scene& scene, int32_t index, int32_t source, const float* context,
                        int contextCount, KeptWorld* kept);
