// The renderer's shared pieces: the option and job lists, paths, time lists
// and stepping through the show.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "render.h"
#include "core/settings.h"
#include "shell/show.h"
#include "core/present.h"

namespace {
std::vector<RenderOption> options;
std::vector<RenderJob> registeredJobs;
int fps = 60;
}  // namespace

const std::vector<RenderOption>& RenderOptions() { return options; }
const std::vector<RenderJob>& RenderJobs() { return registeredJobs; }
void SetRenderFps(int framesPerSecond) { fps = framesPerSecond; }

void AddRenderOption(const RenderOption& option) { options.push_back(option); }
void AddRenderJob(const RenderJob& job) { registeredJobs.push_back(job); }

std::string AbsolutePath(const char* path) {
  std::error_code error;
  std::filesystem::path p = std::filesystem::absolute(path, error);
  return error ? std::string(path) : p.lexically_normal().string();
}

int RenderFps() { return fps; }

bool ParseTimeList(const char* text, std::vector<int32_t>* times) {
  times->clear();
  const char* p = text;
  while (*p) {
    char* end = nullptr;
    long long t = strtoll(p, &end, 10);
    if (end == p || t < 0 || t > 100000000 || (*end && *end != ',')) {
      fprintf(stderr, "Expected times in ms like 1000,90600 but got \"%s\"\n", text);
      return false;
    }
    times->push_back(int32_t(t));
    p = *end ? end + 1 : end;
  }
  if (times->empty()) {
    fprintf(stderr, "Expected at least one time in ms\n");
    return false;
  }
  std::sort(times->begin(), times->end());
  times->erase(std::unique(times->begin(), times->end()), times->end());
  return true;
}

void DrawFrameAt(int32_t t) {
  // Ticks as on a machine that has been up a while, one tick per ms of music
  // time, so the frames-per-second figure reads as the step rate.
  const uint32_t tickStart = 100000;
  musicTime = t;
  DrawShowFrame(t, tickStart + uint32_t(t));
}

void StepShow(const std::vector<int32_t>& stops, FrameVisit visit, void* user) {
  size_t nextStop = 0;
  for (int64_t step = 0;; ++step) {
    int32_t gridTime = int32_t(step * 1000 / fps);
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

