#include <gtest/gtest.h>

#include "core/area_target.h"
#include "director/timeline.h"
#include "gl_test.h"
#include "shell/overlay.h"
#include "core/settings.h"
#include "shell/show.h"
#include "shell/view.h"

namespace {

// Four colours in the quadrants of the render area and yellow above it, drawn
// straight into the framebuffer.
void PaintRenderArea() {
  glEnable(GL_SCISSOR_TEST);
  auto fill = [](int x, int y, int w, int h, float r, float g, float b) {
    glScissor(x, y, w, h);
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  };
  fill(0, 0, 1024, 768, 1, 1, 0);
  fill(0, 0, 512, 256, 1, 0, 0);
  fill(512, 0, 512, 256, 0, 1, 0);
  fill(0, 256, 512, 256, 0, 0, 1);
  fill(512, 256, 512, 256, 1, 1, 1);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);  // as the timeline leaves it
}

void ExpectColour(int x, int y, int r, int g, int b) {
  auto p = ReadPixel(x, y);
  EXPECT_NEAR(r, p[0], 2) << "at " << x << "," << y;
  EXPECT_NEAR(g, p[1], 2) << "at " << x << "," << y;
  EXPECT_NEAR(b, p[2], 2) << "at " << x << "," << y;
}

class PostPassTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (!PostTexture()) CreatePostTexture();
    SetTargetView(1024, 768);
  }
  void TearDown() override {
    SetTargetView(1024, 768);
    SetFrameLinesEnabled(true);
  }
};

}  // namespace

// 1024 x 512 shown at 1024 x 768: stretched 1.5x vertically, not horizontally,
// and nothing of what lay above the render area survives.
TEST_F(PostPassTest, StretchesTheRenderAreaOverTheWindow) {
  PaintRenderArea();
  DrawPostPass();
  SaveFramePng("post_pass_1024x768", 1024, 768);
  ExpectColour(100, 100, 255, 0, 0);
  ExpectColour(900, 100, 0, 255, 0);
  ExpectColour(100, 700, 0, 0, 255);
  ExpectColour(900, 700, 255, 255, 255);
  // Row 370 of the window is row 247 of the area (red); unstretched it would be blue.
  ExpectColour(100, 370, 255, 0, 0);
  ExpectColour(100, 398, 0, 0, 255);
  ExpectColour(500, 100, 255, 0, 0);
  ExpectColour(524, 100, 0, 255, 0);
  ExpectColour(1023, 765, 255, 255, 255);
  // GL_CLAMP: the top row blends a sixth of the black border in.
  EXPECT_NEAR(212, ReadPixel(1023, 767)[0], 4);
}

// After a resize the copy still takes 1024 x 512; the quad follows the window.
TEST_F(PostPassTest, FollowsTheWindowAfterAResize) {
  SetTargetView(800, 600);
  PaintRenderArea();
  DrawPostPass();
  ExpectColour(390, 290, 255, 0, 0);
  ExpectColour(410, 290, 0, 255, 0);
  ExpectColour(390, 310, 0, 0, 255);
  ExpectColour(410, 310, 255, 255, 255);
  ExpectColour(799, 597, 255, 255, 255);
  ExpectColour(900, 100, 0, 0, 0);  // outside the window: cleared
}

// The overlay draws no glyphs: its texts are one line on standard output.
TEST_F(PostPassTest, OverlayPrintsOneLineAndLeavesThePictureAlone) {
  BindWindowTarget();  // the overlay draws over the window, after the post pass
  PaintRenderArea();
  ::testing::internal::CaptureStdout();
  DrawOverlay(90600, 58);
  DrawOverlay(-12, 0);
  SetFrameLinesEnabled(false);
  DrawOverlay(5, 5);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ("Time: 90600   Fps: 58\nTime: -12   Fps: 0\n", out);
  ExpectColour(100, 100, 255, 0, 0);
  ExpectColour(100, 700, 255, 255, 0);
  // Left in the 2D state.
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

// The frames-per-second window opens on the first frame (which reports 1) and
// closes on the first frame more than 1000 ticks later.
TEST_F(PostPassTest, ShowFrameCountsFramesPerSecondAndQuitsAtTheEnd) {
  BeginShow(50000);
  quitRequested = 0;
  ::testing::internal::CaptureStdout();
  DrawShowFrame(0, 50000);
  EXPECT_EQ(1, FramesPerSecond());
  EXPECT_EQ(0, FrameDelta());
  for (int i = 1; i <= 50; ++i) DrawShowFrame(i * 20, 50000 + i * 20);
  EXPECT_EQ(1, FramesPerSecond());  // 50 frames, but the window has not closed yet
  DrawShowFrame(1020, 51001);
  EXPECT_EQ(51, FramesPerSecond());
  EXPECT_EQ(20, FrameDelta());
  DrawShowFrame(303499, 51010);
  EXPECT_EQ(0, quitRequested);
  DrawShowFrame(303500, 51020);
  EXPECT_EQ(1, quitRequested);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(0u, out.find("Time: 0   Fps: 1\n"));
  EXPECT_NE(std::string::npos, out.find("\nTime: 1020   Fps: 51\nTime: 303499   Fps: 51\n"));
  EXPECT_EQ(54, std::count(out.begin(), out.end(), '\n'));
  quitRequested = 0;
}
