// --loading-png DIR: every loading frame saved as DIR/loading_NN.png, read
// back before its swap, so the loading screen can be looked at.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "director/loading.h"
#include "render.h"
#include "shell/capture.h"
#include "core/settings.h"

namespace {

std::string loadingDir;
int framesSaved = 0;
bool writeFailed = false;
std::vector<uint8_t> frame;  // reused for every frame

void SaveLoadingFrame(int number, void*) {
  ReadFramebufferRgb(screenWidth, screenHeight, &frame);
  char name[32];
  snprintf(name, sizeof name, "loading_%02d.png", number);
  std::string path = (std::filesystem::path(loadingDir) / name).string();
  if (WritePng(path.c_str(), screenWidth, screenHeight, frame.data(), true))
    ++framesSaved;
  else
    writeFailed = true;
}

}  // namespace

void HookLoadingFrames(const std::string& folder) {
  loadingDir = folder;
  std::error_code error;
  std::filesystem::create_directories(loadingDir, error);
  SetLoadingFrameHook(SaveLoadingFrame, nullptr);
}

bool ReportLoadingFrames() {
  SetLoadingFrameHook(nullptr, nullptr);
  if (writeFailed || framesSaved == 0) {
    fprintf(stderr, "Could not write the loading frames into %s\n", loadingDir.c_str());
    return false;
  }
  fprintf(stderr, "%d loading frames saved in %s\n", framesSaved, loadingDir.c_str());
  return true;
}

