#include "bench_util.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

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
  HeadlessInfo info{};
  if (!OpenHeadless(1024, 768, &info)) {
    fprintf(stderr, "No headless GL context.\n");
    return false;
  }
  if (chdir(MARVOKE_BUILD_DIR) != 0) {
    fprintf(stderr, "Can't enter %s\n", MARVOKE_BUILD_DIR);
    return false;
  }
  for (int m = 0; m < kModuleCount; ++m)
    if (m != id) moduleTable[m] = ModuleEntry{nullptr, nullptr, nullptr};
  LoadAll(renderWidth, renderHeight, 256, 128, screenWidth, screenHeight);
  return true;
}
