#include "gl_test.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "shell/capture.h"

namespace {
bool glReady = false;
}

void GlTest::SetUpTestSuite() {
  // Also when a test binary is run by hand: the software renderer's bytes.
  setenv("MARVOKE_SOFTWARE_GL", "1", 0);
  if (!glReady) glReady = OpenHeadless(1024, 768);
}

void GlTest::SetUp() {
  if (!glReady) GTEST_SKIP() << "no headless GL context";
  glViewport(0, 0, 1024, 768);
}

std::array<uint8_t, 4> ReadPixel(int x, int y) {
  std::array<uint8_t, 4> p{};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
  return p;
}

std::string SaveFramePng(const std::string& name, int width, int height) {
  std::filesystem::path dir = std::filesystem::path(MARVOKE_TEST_OUTPUT_DIR);
  std::filesystem::create_directories(dir);
  std::string path = (dir / (name + ".png")).string();
  std::vector<uint8_t> rgb;
  ReadFramebufferRgb(width, height, &rgb);
  WritePng(path.c_str(), width, height, rgb.data(), true);
  return path;
}
