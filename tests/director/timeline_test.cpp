// The timeline with recording stand-ins for the modules: which module runs
// with which mode at each boundary, and the cross-fades read back as pixels.
#include "director/timeline.h"

#include <gtest/gtest.h>

#include <vector>

#include "director/shared.h"
#include "gl_test.h"
#include "modules/modules.h"
#include "core/settings.h"
#include "toolkit/camera.h"

namespace {

struct Call {
  int module;
  int32_t delta;
  int32_t mode;
};
std::vector<Call> calls;

// Each stand-in fills the render area with its own colour (module D adds a
// white square in the middle) and leaves what the real modules leave: the
// centred orthographic view of the render area and texture environment GL_ADD.
const float kColours[kModuleCount][3] = {
    {0.8f, 0.0f, 0.0f}, {0.0f, 0.8f, 0.0f}, {0.0f, 0.0f, 0.8f}, {0.8f, 0.8f, 0.0f},
    {0.0f, 0.8f, 0.8f}};

template <int Id>
void Record(int32_t delta, int32_t mode) {
  calls.push_back({Id, delta, mode});
  SetOrthoWindow(1024, 512);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glColor3fv(kColours[Id]);
  glRectf(-512, -256, 512, 256);
  if (Id == kModuleD) {
    glColor3f(1, 1, 1);
    glRectf(-32, -32, 32, 32);
  }
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
}

class TimelineTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    saved_ = {moduleTable[0], moduleTable[1], moduleTable[2], moduleTable[3], moduleTable[4]};
    moduleTable[kModuleA].render = Record<kModuleA>;
    moduleTable[kModuleB].render = Record<kModuleB>;
    moduleTable[kModuleC].render = Record<kModuleC>;
    moduleTable[kModuleD].render = Record<kModuleD>;
    moduleTable[kModuleE].render = Record<kModuleE>;
    CreateSharedObjects(1024, 512, 256, 128);
    calls.clear();
    quitRequested = 0;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
  }
  void TearDown() override {
    for (int i = 0; i < kModuleCount; ++i) moduleTable[i] = saved_[i];
    quitRequested = 0;
  }
  // Draws the frame at t and returns the one module call it made (module -1: none).
  Call FrameAt(int32_t t) {
    calls.clear();
    RenderFrame(t);
    if (calls.size() != 1) return {-1, 0, 0};
    return calls[0];
  }
  std::vector<ModuleEntry> saved_;
};

// Red, green or blue of a pixel away from module D's square, in 0..1.
float Channel(int channel) { return ReadPixel(100, 100)[channel] / 255.0f; }

TEST_F(TimelineTest, PicksTheModuleAndModeAtEachBoundary) {
  struct Row {
    int32_t t;
    int module;
    int32_t mode;
  };
  const Row rows[] = {
      {-500, kModuleB, 0},  {0, kModuleB, 0},       {29999, kModuleB, 0}, {30000, kModuleE, 0},
      {62399, kModuleE, 0}, {62400, kModuleD, 0},   {90000, kModuleD, 0}, {90001, kModuleD, 0},
      {90499, kModuleD, 0}, {90500, kModuleC, 1},   {90799, kModuleC, 1}, {90800, kModuleC, 1},
      {146999, kModuleC, 1}, {147000, kModuleD, 1}, {161999, kModuleD, 1}, {162000, kModuleA, 1},
      {215299, kModuleA, 1}, {215300, kModuleB, 1}, {302499, kModuleB, 1}, {302500, -1, 0},
      {303499, -1, 0},      {303500, -1, 0},
  };
  for (const Row& row : rows) {
    Call c = FrameAt(row.t);
    EXPECT_EQ(c.module, row.module) << "t = " << row.t;
    if (row.module >= 0 && row.module != kModuleE) {
      EXPECT_EQ(c.mode, row.mode) << "t = " << row.t;
    }
    EXPECT_EQ(quitRequested, row.t >= 303500 ? 1 : 0) << "t = " << row.t;
  }
}

TEST_F(TimelineTest, FrameDeltaFollowsSeeksBothWays) {
  RenderFrame(5000);
  EXPECT_EQ(FrameAt(5016).delta, 16);
  EXPECT_EQ(FrameDelta(), 16);
  // A backward seek: negative, handed to the module as is.
  EXPECT_EQ(FrameAt(2016).delta, -3000);
  EXPECT_EQ(FrameDelta(), -3000);
  EXPECT_EQ(FrameAt(40000).delta, 37984);
  // Nothing drawn, but the delta still moves.
  FrameAt(302600);
  EXPECT_EQ(FrameDelta(), 262600);
}

TEST_F(TimelineTest, OpeningFadeInFromBlack) {
  FrameAt(0);
  EXPECT_NEAR(Channel(1), 0.0f, 0.01f);
  FrameAt(500);
  EXPECT_NEAR(Channel(1), 0.4f, 0.015f);  // half of 0.8
  FrameAt(999);
  EXPECT_NEAR(Channel(1), 0.8f, 0.015f);
  FrameAt(1000);
  EXPECT_NEAR(Channel(1), 0.8f, 0.01f);
}

TEST_F(TimelineTest, ZoomBlurredCrossFadeBetweenDAndC) {
  FrameAt(90000);  // no transition yet
  EXPECT_NEAR(Channel(0), 0.8f, 0.01f);
  FrameAt(90001);
  EXPECT_NEAR(Channel(0), 0.8f, 0.015f);
  FrameAt(90250);  // halfway: half dark
  EXPECT_NEAR(Channel(0), 0.4f, 0.02f);
  FrameAt(90400);  // the zoom has spread the white square outward
  SaveFramePng("timeline_fade_out_90400", 1024, 512);
  auto nearSquare = ReadPixel(512 + 60, 256);
  EXPECT_GT(nearSquare[2], 10);
  FrameAt(90499);
  EXPECT_LT(Channel(0), 0.02f);
  FrameAt(90500);  // module C fully dark
  EXPECT_NEAR(Channel(2), 0.0f, 0.01f);
  FrameAt(90650);
  EXPECT_NEAR(Channel(2), 0.4f, 0.02f);
  FrameAt(90799);
  EXPECT_NEAR(Channel(2), 0.8f, 0.015f);
  FrameAt(90800);
  EXPECT_NEAR(Channel(2), 0.8f, 0.01f);
}

TEST_F(TimelineTest, ClearsToBlackAtTheEnd) {
  // Whatever the buffer held (the closing picture) must not be shown again.
  for (int32_t t : {302500, 303499, 303500}) {
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(FrameAt(t).module, -1) << "t = " << t;
    for (int channel = 0; channel < 3; ++channel) EXPECT_EQ(ReadPixel(100, 100)[channel], 0) << "t = " << t;
    EXPECT_EQ(ReadPixel(1000, 500)[1], 0) << "t = " << t;
    EXPECT_EQ(quitRequested, t >= 303500 ? 1 : 0) << "t = " << t;
  }
  // The window before it is untouched by the clear.
  FrameAt(302499);
  EXPECT_NEAR(Channel(1), 0.8f, 0.01f);
}

TEST_F(TimelineTest, MissingModulesDrawNothing) {
  moduleTable[kModuleE].render = nullptr;
  glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  FrameAt(40000);
  EXPECT_TRUE(calls.empty());
  EXPECT_NEAR(Channel(2), 0.6f, 0.01f);
}

}  // namespace
