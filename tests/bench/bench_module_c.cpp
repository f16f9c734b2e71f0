// Prints what module C's own arithmetic costs a frame, apart from its GL
// calls, at a few module times (the lens grows, so later frames deform more
// height but the same vertices), and the one-time cost of its init step.
// Not a test: nothing here passes or fails.
//
//   build/tests/bench_module_c [repeats]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench_util.h"
#include "modules/module_c.h"
#include "modules/module_c_frame.h"
#include "core/settings.h"
#include "toolkit/envelope.h"
#include "toolkit/noise.h"

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
  if (!OpenWithOnlyModule(kModuleC)) return 1;

  // Init again, timed: models, light path, noise tables.
  auto start = std::chrono::steady_clock::now();
  ModuleCInit(renderWidth, renderHeight, renderWidth / 2, renderHeight / 2);
  const double initMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const ModuleCObjects o = ModuleCObjectsLoaded();
  printf("module C: %d objects, %d faces\n", o.objectCount, o.faceTotal);
  printf("init (models, light path, noise tables): %.2f ms\n", initMs);

  printf("%-10s %12s %12s %12s %12s %12s\n", "module s", "update", "smoke 75", "growth+wobble",
         "eye space", "2 tex passes");
  Envelope env;
  NoiseTable noise(512, 511, 222);
  for (float seconds : {4.0f, 20.0f, 35.0f, 50.0f}) {
    // Put the clock there (the deltas stay below 10000 ms).
    float left = seconds * 1000.0f - ModuleCClockMs();
    while (left > 9000.0f) {
      ModuleCUpdate(9000);
      left -= 9000.0f;
    }
    while (left < -9000.0f) {
      ModuleCUpdate(-9000);
      left += 9000.0f;
    }
    ModuleCUpdate(int32_t(left));

    // A frame's whole update, with a zero delta so the clock stays put.
    const double update = MedianMs(repeats, [] { ModuleCUpdate(0); });
    const double smoke = MedianMs(repeats, [&] {
      SmokeBillboard b;
      for (int32_t i = 0; i < kModuleCSmokeCount; ++i) PlaceSmokeBillboard(i, seconds, env, &b);
    });
    const double growth = MedianMs(repeats, [&] {
      LensGrowth g = ModuleCLensGrowth(seconds * 1000.0f, env);
      Vector4 v(30.0f, 5.0f, -20.0f), n(0.0f, 1.0f, 0.0f), b = v;
      DeformLensVertex(noise, g, seconds, v, n, &b);
    });
    const double eye = MedianMs(repeats, [] { ModuleCLensToEyeSpace(); });
    const double coordinates = MedianMs(repeats, [] {
      ModuleCLensCoordinates(0);
      ModuleCLensCoordinates(1);
    });
    printf("%-10.1f %9.3f ms %9.3f ms %9.5f ms %9.3f ms %9.3f ms\n", seconds, update, smoke,
           growth, eye, coordinates);
  }
  printf("update = clock, lamp, camera, smoke, lens growth, deformation and normals;\n"
         "growth+wobble is one vertex; arithmetic a frame = update + eye space + 2 tex passes\n");
  return 0;
}
