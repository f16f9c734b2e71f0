// A start part-way through: the modules stepped there without drawing give the
// same frames as a play from 0 that draws every 60 fps frame on the way.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "render_test_util.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Small frames: the state the modules sum does not depend on the size.
std::string Capture(int32_t fromMs, bool drawPreroll, const std::string& dir) {
  int status = 0;
  std::string out = RunCommand(std::string(MARVOKE_BUILD_DIR) +
                                   "/marvoke-render --scale 0.25 --window 256x192 --from " +
                                   std::to_string(fromMs) + " --to " + std::to_string(fromMs + 34) +
                                   (drawPreroll ? " --preroll-draw" : "") + " --png " + dir + " 2>&1",
                               &status);
  EXPECT_EQ(0, status) << out;
  return out;
}

}  // namespace

// Module E at 45 s sums its camera angle from the frame step; a drawn
// pre-roll takes minutes here, so 250 s is left to the benchmark-sized run
// named in the README.
TEST(StartPartWay, SteppedStateDrawsWhatAPlayFromZeroDraws) {
  const int32_t at = 45000;
  const std::string stepped = TestDir("start-stepped"), drawn = TestDir("start-drawn");
  Capture(at, false, stepped);
  Capture(at, true, drawn);
  for (int n = 0; n < 3; ++n) {
    char name[32];
    snprintf(name, sizeof name, "/frame_%06d.png", n);
    const std::string a = ReadFile(stepped + name), b = ReadFile(drawn + name);
    ASSERT_FALSE(a.empty()) << stepped + name;
    EXPECT_TRUE(a == b) << "frame " << n << " differs: " << stepped + name << " " << drawn + name;
  }
}
