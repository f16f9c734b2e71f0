// --at T1,T2,... --png DIR: the frames at those music times as PNG files.
#include <cstdio>
#include <filesystem>
#include <vector>

#include "render.h"
#include "render_options.h"
#include "shell/capture.h"
#include "core/settings.h"

namespace {

struct Progress {
  const std::vector<int32_t>* times;
  std::string folder;
  size_t next = 0;
  bool ok = true;
  std::vector<uint8_t> rgb;  // reused for every frame
};

bool VisitFrame(int32_t t, void* user) {
  Progress* p = static_cast<Progress*>(user);
  if (t != (*p->times)[p->next]) return true;
  std::string path = (std::filesystem::path(p->folder) / PngFrameName(t)).string();
  ReadFramebufferRgb(screenWidth, screenHeight, &p->rgb);
  if (WritePng(path.c_str(), screenWidth, screenHeight, p->rgb.data(), true)) {
    printf("Wrote %s\n", path.c_str());
  } else {
    p->ok = false;
  }
  return ++p->next < p->times->size() && p->ok;
}

}  // namespace

bool RunPngFrames(const std::vector<int32_t>& times, const std::string& folder, FrameRate rate) {
  if (times.empty()) return true;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    fprintf(stderr, "marvoke-render: can't create %s: %s\n", folder.c_str(),
            error.message().c_str());
    return false;
  }
  Progress progress;
  progress.times = &times;
  progress.folder = folder;
  StepShow(times, rate, VisitFrame, &progress);
  return progress.ok;
}
