#include "module_harness.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "assets/file_error.h"
#include "core/gl.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "director/loading.h"
#include "run_command.h"

namespace fs = std::filesystem;

namespace {
const char* const kChildVariable = "MARVOKE_MODULE_DATA";
std::vector<std::string> fileErrors;

void RecordBox(const char* text, const char*) { fileErrors.push_back(text); }

void ReadRenderArea(std::vector<uint8_t>* rgb) {
  rgb->resize(size_t(renderWidth) * renderHeight * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, renderWidth, renderHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
}
}  // namespace

std::string BuiltDataDir() { return MARVOKE_BUILD_DIR; }

ScratchData::ScratchData(const std::string& tag) {
  fs::path root = fs::temp_directory_path() / ("marvoke-" + tag + "-" + std::to_string(getpid()));
  std::error_code ignored;
  fs::remove_all(root, ignored);
  fs::create_directories(root);
  fs::path built = BuiltDataDir();
  fs::create_directory_symlink(built / "Images", root / "Images");
  fs::create_directory_symlink(built / "Music", root / "Music");
  fs::copy(built / "Models", root / "Models", fs::copy_options::recursive);
  dir = root.string();
}

ScratchData::~ScratchData() {
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

std::string ScratchData::Model(const std::string& file) const {
  return (fs::path(dir) / "Models" / file).string();
}

void TruncateFile(const std::string& path) {
  std::error_code ec;
  auto size = fs::file_size(path, ec);
  ASSERT_FALSE(ec) << path;
  fs::resize_file(path, size / 2, ec);
  ASSERT_FALSE(ec) << path;
}

void LoadOnlyModule(ModuleId id, const std::string& dataDir) {
  ASSERT_EQ(0, chdir(dataDir.c_str())) << dataDir;
  fileErrors.clear();
  SetFileErrorBox(RecordBox);
  for (int m = 0; m < kModuleCount; ++m)
    if (m != id) moduleTable[m] = ModuleEntry{nullptr, nullptr, nullptr};
  quitRequested = 0;
  LoadAll(renderWidth, renderHeight, renderWidth / 4, renderHeight / 4, PictureWidth(),
          PictureHeight());
}

const std::vector<std::string>& FileErrors() { return fileErrors; }

const char* ChildDataDir() { return getenv(kChildVariable); }

int RunInChild(const std::string& testName, const std::string& dataDir, std::string* out) {
  return RunCommandLine(std::string(kChildVariable) + "='" + dataDir + "' /proc/" +
                            std::to_string(getpid()) + "/exe --gtest_filter='" + testName + "'",
                        out);
}

uint64_t RenderAreaHash() {
  std::vector<uint8_t> rgb;
  ReadRenderArea(&rgb);
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : rgb) h = (h ^ b) * 1099511628211ull;
  return h;
}

double RenderAreaMean() {
  std::vector<uint8_t> rgb;
  ReadRenderArea(&rgb);
  double sum = 0;
  for (uint8_t b : rgb) sum += b;
  return rgb.empty() ? 0 : sum / double(rgb.size());
}
