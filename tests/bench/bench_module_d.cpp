// Prints what module D costs: its one-time init, the arithmetic of one frame
// apart from GL (clock, camera, cages, cave heave; world copies and shadow
// volumes; the ripples of the water and the bubble) and whole frames of each
// mode, with and without the logo echoes. Not a test.
//
//   build/tests/bench_module_d [repeats]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench_util.h"
#include "core/gl.h"
#include "modules/module_d.h"

namespace {
double initMs = 0.0;

void TimedInit(int32_t w, int32_t h, int32_t tw, int32_t th) {
  auto start = std::chrono::steady_clock::now();
  ModuleDInit(w, h, tw, th);
  initMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Moves the module clock to `ms` with deltas the clock rule takes.
void SetClock(float ms) {
  while (ModuleDClockMs() != ms) {
    float step = ms - ModuleDClockMs();
    if (step > 9000.0f) step = 9000.0f;
    ModuleDUpdate(static_cast<int32_t>(step), 0);
  }
}

double FrameMs(int repeats, int mode) {
  return MedianMs(repeats, [mode] {
    ModuleDRender(0, mode);
    glFinish();
  });
}
}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 30;
  moduleTable[kModuleD].init = TimedInit;
  if (!OpenWithOnlyModule(kModuleD)) return 1;
  printf("module D init (models, clones, edge lists, noise): %.2f ms\n", initMs);

  SetClock(20000.0f);
  const double update = MedianMs(repeats, [] { ModuleDUpdate(0, 0); });
  const double shadows = MedianMs(repeats, [] { ModuleDShadowArithmetic(); });
  const double water = MedianMs(repeats, [] { ModuleDRippleArithmetic(0); });
  const double bubble = MedianMs(repeats, [] { ModuleDRippleArithmetic(1); });
  printf("arithmetic per frame: update (clock, camera, cages, cave heave) %.3f ms\n", update);
  printf("                      world copies + 4 shadow volumes %.3f ms\n", shadows);
  printf("                      water ripple %.3f ms\n", water);
  printf("                      bubble ripple (eye under water only) %.3f ms\n", bubble);
  printf("                      total %.3f ms above the water, %.3f ms under it\n",
         update + shadows + water, update + shadows + water + bubble);
  SetClock(12500.0f);
  const double heave = MedianMs(repeats, [] {
    ModuleDForgetCaveHeave();
    ModuleDUpdate(0, 0);
  });
  printf("during a flicker (roll moves, the cave heaves afresh): update %.3f ms, total %.3f ms\n",
         heave, heave + shadows + water);
  SetClock(20000.0f);

  printf("whole frame, mode 0 (no logos, s = 20): %.2f ms\n", FrameMs(repeats, 0));
  SetClock(5500.0f);
  printf("whole frame, mode 0 with 32+50 logo echoes (s = 5.5): %.2f ms\n", FrameMs(repeats, 0));
  SetClock(35000.0f);
  printf("whole frame, mode 1 (s = 35): %.2f ms\n", FrameMs(repeats, 1));
  return 0;
}
