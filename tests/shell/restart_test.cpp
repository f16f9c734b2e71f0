// A restart after a whole play (Home, --loop) is a fresh play: the loaded
// show, played to its end and restored, draws what it drew the first time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "core/gl.h"
#include "core/settings.h"
#include "director/timeline.h"
#include "gl_test.h"
#include "shell/show.h"

namespace {

// One frame a module window (B's two modes, D's two, and after B's jump).
constexpr int64_t kDrawnFrames[] = {1200, 2700, 4500, 7200, 9300, 11400, 15000, 17400};

uint64_t FrameHash() {
  std::vector<uint8_t> rgb(size_t(screenWidth) * screenHeight * 3);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, screenWidth, screenHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : rgb) h = (h ^ b) * 1099511628211ull;
  return h;
}

// A play from 0 to the end at 60 frames a second: the modules' state-only
// step for every frame but the chosen ones and the frame before each, which
// are drawn (some passes read the previous frame), and the last second.
// Hashes of the chosen.
std::vector<uint64_t> Play() {
  std::vector<uint64_t> hashes;
  size_t next = 0;
  for (int64_t k = 0; !quitRequested; ++k) {
    const int32_t t = PrerollStepTime(k);
    if (t >= 302500) {  // the closing black, drawn: its frame ends the play
      DrawShowFrame(t, uint32_t(t));
      continue;
    }
    const bool chosen = next < std::size(kDrawnFrames) && k == kDrawnFrames[next];
    if (chosen || (next < std::size(kDrawnFrames) && k + 1 == kDrawnFrames[next])) {
      DrawShowFrame(t, uint32_t(t));
      if (chosen) hashes.push_back(FrameHash()), ++next;
    } else {
      StepFrame(t);
    }
  }
  quitRequested = 0;
  return hashes;
}

class Restart : public GlTest {};

TEST_F(Restart, SecondPlayDrawsWhatTheFirstDrew) {
  ASSERT_EQ(0, chdir(MARVOKE_BUILD_DIR));
  quitRequested = 0;
  ASSERT_TRUE(BeginShow(0));
  ::testing::internal::CaptureStdout();  // the loading and frame lines
  RunStartup();
  KeepShowState();
  const std::vector<uint64_t> first = Play();
  RestoreShowState();
  const std::vector<uint64_t> second = Play();
  ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(std::size(kDrawnFrames), first.size());
  for (size_t i = 0; i < first.size(); ++i)
    EXPECT_EQ(first[i], second[i]) << "frame at " << PrerollStepTime(kDrawnFrames[i]) << " ms";
}

}  // namespace
