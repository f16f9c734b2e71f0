// Module A's costs: the per-frame arithmetic (camera, breathing, centres and
// the 2048 + 45 sprite points with their pull) apart from GL, its one-time
// set-up, and for reference a whole render step on this context. Not a test.
//
//   build/tests/bench_module_a [repeats]
#include <cstdio>
#include <cstdlib>

#include "bench_util.h"
#include "core/gl.h"
#include "modules/module_a.h"
#include "modules/module_a_frame.h"
#include "toolkit/noise.h"
#include "toolkit/random.h"

namespace {
ModuleAFrame frame;
Vector4 base[kCentreCount];
SpriteLook looks[kRibbonCount];

// Steps through the module's window at 60 fps so the pull and the spread see
// every phase (spread, gathering, zoom) rather than one frame's points.
float NextClock() {
  static float clock = 90000.0f;
  clock += 16.6667f;
  if (clock > 143300.0f) clock = 90000.0f;
  return clock;
}
}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? atoi(argv[1]) : 600;

  SeedRandom(222);
  NoiseTable noise(512, 511, 222);
  float distance[kCentreCount];
  SeedRandom(141);
  PlaceCentres(base, distance);

  printf("Module A, median of %d runs (ms)\n", repeats);
  printf("  per frame, arithmetic only (no GL):\n");
  printf("    whole update, mode 1        %8.4f\n", MedianMs(repeats, [&] {
           UpdateModuleAFrame(&frame, noise, base, NextClock(), 1);
         }));
  printf("    whole update, mode 0        %8.4f\n", MedianMs(repeats, [&] {
           UpdateModuleAFrame(&frame, noise, base, NextClock(), 0);
         }));
  printf("    camera, centres, breathing  %8.4f\n", MedianMs(repeats, [&] {
           UpdateModuleAFrame(&frame, noise, base, NextClock(), 2);
         }));
  printf("    ribbon, 2048 points         %8.4f\n", MedianMs(repeats, [&] {
           PlaceRibbon(&frame, noise, NextClock());
         }));
  printf("    clouds, 45 points           %8.4f\n", MedianMs(repeats, [&] {
           PlaceClouds(&frame, noise, NextClock());
         }));

  printf("  one-time:\n");
  printf("    five centres (seed 141)     %8.4f\n", MedianMs(repeats, [&] {
           SeedRandom(141);
           PlaceCentres(base, distance);
         }));
  printf("    sprite looks, 2048 + 45     %8.4f\n", MedianMs(repeats, [&] {
           for (int32_t i = 0; i < kRibbonCount; ++i) looks[i] = RibbonLook(i);
           for (int32_t i = 0; i < kCloudCount; ++i) looks[i] = CloudLook(i);
         }));

  if (!OpenWithOnlyModule(kModuleA)) return 1;
  const int frames = repeats < 60 ? repeats : 60;
  printf("  whole render step on this context (GL included, %d frames; mode 2 draws no sprites):\n", frames);
  for (int32_t mode : {1, 0, 2}) {
    double ms = MedianMs(frames, [&] {
      ModuleARender(16, mode);
      glFinish();
    });
    printf("    mode %d                      %8.4f\n", mode, ms);
  }
  return 0;
}
