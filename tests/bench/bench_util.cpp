#include "bench_util.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/area_target.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "director/loading.h"
#include "shell/headless.h"

double MedianMs(int repeats, const std::function<void()>& work) {
  work();
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    auto start = std::chrono::steady_clock::now();
    work();
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

bool OpenWithOnlyModule(ModuleId id) {
  // MARVOKE_BENCH_SCALE sets the render scale, as --scale does for the show.
  if (const char* text = getenv("MARVOKE_BENCH_SCALE")) {
    float scale = 1.0f;
    if (!ParseRenderScale(text, "MARVOKE_BENCH_SCALE", &scale)) return false;
    SetRenderScale(scale);
  }
  HeadlessInfo info{};
  if (!OpenHeadless(1024, 768, &info)) {
    fprintf(stderr, "No headless GL context.\n");
    return false;
  }
  if (!CreateAreaTarget(PictureWidth(), PictureHeight())) {
    fprintf(stderr, "No framebuffer for a %d x %d render area.\n", renderWidth, renderHeight);
    return false;
  }
  if (chdir(MARVOKE_BUILD_DIR) != 0) {
    fprintf(stderr, "Can't enter %s\n", MARVOKE_BUILD_DIR);
    return false;
  }
  for (int m = 0; m < kModuleCount; ++m)
    if (m != id) moduleTable[m] = ModuleEntry{nullptr, nullptr, nullptr};
  LoadAll(renderWidth, renderHeight, renderWidth / 4, renderHeight / 4, PictureWidth(),
          PictureHeight());
  return true;
}
