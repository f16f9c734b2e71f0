// Prints what module E's own arithmetic costs per frame, apart from its GL
// passes, and the one-time cave relief. Not a test: nothing passes or fails.
//
//   build/tests/bench_module_e [repeats]
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "assets/scene.h"
#include "bench_util.h"
#include "core/gl.h"
#include "modules/module_e.h"

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
  if (!OpenWithOnlyModule(kModuleE)) return 1;
  const Scene* scene = ModuleEScene();
  const ModuleEObjects o = ModuleEObjectIndices();
  if (!scene || o.cave < 0 || o.surface < 0) {
    std::fprintf(stderr, "Module E did not load its cave and surface.\n");
    return 1;
  }
  std::printf("module E, median of %d runs, ms\n", repeats);
  std::printf("  cave %d vertices %d faces, surface %d vertices %d faces\n",
              scene->objects[o.cave]->vertexCount, scene->objects[o.cave]->faceCount,
              scene->objects[o.surface]->vertexCount, scene->objects[o.surface]->faceCount);

  // Into the inside of the cave, where the light is near the walls.
  for (int i = 0; i < 3; ++i) RenderModule(kModuleE, 4000, 0);
  glFinish();

  const double relief = MedianMs(repeats, [] { ModuleEDeformCave(); });
  std::printf("one-time cave relief (noise, normals, creases)   %8.3f\n", relief);
  const double caveWorldOnce = MedianMs(repeats, [] {
    ModuleEForgetKeptWork();
    ModuleETransformCave();
  });
  std::printf("one-time cave to world space with normals        %8.3f\n", caveWorldOnce);

  const double update = MedianMs(repeats, [] { ModuleEUpdate(16); });
  const double caveWorld = MedianMs(repeats, [] { ModuleETransformCave(); });
  const double shadow = MedianMs(repeats, [] { ModuleEBuildCaveShadow(); });
  const double surfaceEye = MedianMs(repeats, [] { ModuleETransformSurface(); });
  const double ripple = MedianMs(repeats, [] { ModuleERippleSurface(); });
  std::printf("per frame:\n");
  std::printf("  clock, camera, light, pulse, bands, boxes        %8.3f\n", update);
  std::printf("  cave to world space (kept copy)                  %8.3f\n", caveWorld);
  std::printf("  cave shadow volume                               %8.3f\n", shadow);
  std::printf("  surface to eye space with normals                %8.3f\n", surfaceEye);
  std::printf("  surface ripple, texture coordinates, normals     %8.3f\n", ripple);
  std::printf("  arithmetic total                                 %8.3f\n",
              update + caveWorld + shadow + surfaceEye + ripple);

  const double frame = MedianMs(std::max(3, repeats / 4), [] {
    RenderModule(kModuleE, 16, 0);
    glFinish();
  });
  std::printf("whole render step with GL (this renderer)          %8.3f\n", frame);
  return 0;
}
