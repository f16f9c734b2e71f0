// What module B's own arithmetic costs per frame, apart from its GL calls:
// clock, lights, camera, backball and ice-cube deformation, sprites and the
// closing values; then the CPU work that needs the GL matrices (world copies,
// shadow volume, refraction coordinates); then one whole frame of each mode.
//
//   build/tests/bench_module_b [repeats]
#include <cstdio>
#include <cstdlib>

#include "bench_util.h"
#include "core/gl.h"
#include "modules/module_b.h"
#include "modules/module_b_frame.h"
#include "toolkit/noise.h"

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 50;

  // One-time costs that init pays, timed on their own.
  double tables = MedianMs(5, [] {
    NoiseTable a(256, 255, 111), b(512, 511, 222), c(1024, 1023, 333);
  });
  printf("noise tables (init, once): %.3f ms\n", tables);

  if (!OpenWithOnlyModule(kModuleB)) return 1;
  ModuleBProbe p = ModuleBState();
  printf("faces in scene: %d\n", p.faceTotal);

  for (int mode = 0; mode < 2; ++mode) {
    // Park the clock where each mode is busiest: the opening's grid blur and
    // ripple (6 s), the closing's flash and bouncing cube (65 s).
    RenderModule(kModuleB, 0, mode);
    float target = mode == 0 ? 6000.0f : 65000.0f;
    RenderModule(kModuleB, static_cast<int>(target - ModuleBState().localMs), mode);

    double update = MedianMs(repeats, [mode] {
      ModuleBUpdate(16, mode);
      ModuleBUpdate(-16, mode);  // stay at the same time
    }) / 2.0;
    if (mode == 0) {
      double first = MedianMs(repeats, [] {
        ModuleBForgetDeformation();
        ModuleBUpdate(16, 0);
        ModuleBUpdate(-16, 0);
      }) - update * 2.0;
      printf("mode 0: backball deformation, made once when the opening starts: %.3f ms\n", first);
    }
    double world = MedianMs(repeats, [] { ModuleBWorldSpace(); });
    double frame = MedianMs(repeats / 5 > 3 ? repeats / 5 : 3, [mode] {
      RenderModule(kModuleB, 16, mode);
      RenderModule(kModuleB, -16, mode);
      glFinish();
    }) / 2.0;
    printf("mode %d: arithmetic %.3f ms/frame, world copies + shadow volume + refraction "
           "coordinates %.3f ms/frame, whole frame (llvmpipe) %.1f ms\n",
           mode, update, world, frame);
  }
  return 0;
}
