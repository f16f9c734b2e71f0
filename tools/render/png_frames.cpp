// --at T1,T2,... --png DIR: the frames at those music times as PNG files.
#include <cstdio>
#include <filesystem>
#include <vector>

#include "render.h"
#include "shell/capture.h"
#include "core/settings.h"

namespace {

std::vector<int32_t> times;
std::string folder;

bool SetAt(const char* v) { return ParseTimeList(v, &times); }
bool SetPng(const char* v) {
  folder = AbsolutePath(v);
  return true;
}

int Wanted() {
  if (times.empty() && folder.empty()) return 0;
  if (times.empty() || folder.empty()) {
    fprintf(stderr, "--at and --png go together.\n");
    return -1;
  }
  return 1;
}

struct Progress {
  size_t next = 0;
  bool ok = true;
};

bool VisitFrame(int32_t t, void* user) {
  Progress* p = static_cast<Progress*>(user);
  if (t != times[p->next]) return true;
  char name[32];
  snprintf(name, sizeof name, "frame-%06d.png", int(t));
  std::string path = (std::filesystem::path(folder) / name).string();
  std::vector<uint8_t> rgb;
  ReadFramebufferRgb(screenWidth, screenHeight, &rgb);
  if (WritePng(path.c_str(), screenWidth, screenHeight, rgb.data(), true)) {
    printf("Wrote %s\n", path.c_str());
  } else {
    p->ok = false;
  }
  return ++p->next < times.size() && p->ok;
}

bool Run() {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    fprintf(stderr, "Can't create %s: %s\n", folder.c_str(), error.message().c_str());
    return false;
  }
  Progress progress;
  StepShow(times, VisitFrame, &progress);
  return progress.ok;
}

}  // namespace

void RegisterPngFrames() {
  AddRenderOption({"--at", "T1,T2,...", "music times in ms of the frames to write", SetAt});
  AddRenderOption({"--png", "DIR", "with --at: write those frames as DIR/frame-TTTTTT.png", SetPng});
  AddRenderJob({"png frames", 10, Wanted, nullptr, Run});
}
