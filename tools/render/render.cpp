// The renderer's shared pieces: paths and stepping through the show.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "render.h"
#include "core/settings.h"
#include "shell/show.h"
#include "core/present.h"

std::string AbsolutePath(const char* path) {
  std::error_code error;
  std::filesystem::path p = std::filesystem::absolute(path, error);
  return error ? std::string(path) : p.lexically_normal().string();
}

void DrawFrameAt(int32_t t) {
  // Ticks as on a machine that has been up a while, one tick per ms of music
  // time, so the frames-per-second figure reads as the step rate.
  const uint32_t tickStart = 100000;
  musicTime = t;
  DrawShowFrame(t, tickStart + uint32_t(t));
}

void StepShow(const std::vector<int32_t>& stops, FrameRate rate, FrameVisit visit, void* user) {
  size_t nextStop = 0;
  for (int64_t step = 0;; ++step) {
    int32_t gridTime = FrameTimeMs(0, step, rate);
    // Stops between the previous step and this one get frames of their own.
    while (nextStop < stops.size() && stops[nextStop] < gridTime) {
      int32_t t = stops[nextStop++];
      DrawFrameAt(t);
      bool more = visit(t, user);
      SwapFrame();
      if (!more) return;
    }
    if (nextStop < stops.size() && stops[nextStop] == gridTime) ++nextStop;
    DrawFrameAt(gridTime);
    bool more = visit(gridTime, user);
    SwapFrame();
    if (!more) return;
  }
}

