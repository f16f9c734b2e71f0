#include <gtest/gtest.h>

#include "gl_test.h"
#include "core/settings.h"
#include "shell/view.h"

namespace {

struct ViewState {
  GLint viewport[4];
  GLfloat projection[16];
  GLint matrixMode;
};

ViewState ReadView() {
  ViewState v{};
  glGetIntegerv(GL_VIEWPORT, v.viewport);
  glGetFloatv(GL_PROJECTION_MATRIX, v.projection);
  glGetIntegerv(GL_MATRIX_MODE, &v.matrixMode);
  return v;
}

class ViewTest : public GlTest {
 protected:
  void TearDown() override {
    screenWidth = 1024;
    screenHeight = 768;
  }
};

}  // namespace

// The render area is 1024 x 512 whatever the window: only the recorded window
// size follows the argument.
TEST_F(ViewTest, TargetViewCoversTheRenderAreaWithACentredOrtho) {
  SetTargetView(800, 600);
  EXPECT_EQ(800, screenWidth);
  EXPECT_EQ(600, screenHeight);
  ViewState v = ReadView();
  EXPECT_EQ(0, v.viewport[0]);
  EXPECT_EQ(0, v.viewport[1]);
  EXPECT_EQ(1024, v.viewport[2]);
  EXPECT_EQ(512, v.viewport[3]);
  EXPECT_EQ(GL_MODELVIEW, v.matrixMode);
  // glOrtho(-512, 512, -256, 256, 0, 1)
  EXPECT_FLOAT_EQ(2.0f / 1024, v.projection[0]);
  EXPECT_FLOAT_EQ(2.0f / 512, v.projection[5]);
  EXPECT_FLOAT_EQ(-2.0f, v.projection[10]);
  EXPECT_FLOAT_EQ(0.0f, v.projection[12]);
  EXPECT_FLOAT_EQ(0.0f, v.projection[13]);
  EXPECT_FLOAT_EQ(-1.0f, v.projection[14]);
}

// A minimised window reports height 0: nothing may change.
TEST_F(ViewTest, HeightZeroChangesNothing) {
  SetWindowView();
  glMatrixMode(GL_PROJECTION);
  ViewState before = ReadView();
  SetTargetView(640, 0);
  ViewState after = ReadView();
  EXPECT_EQ(1024, screenWidth);
  EXPECT_EQ(768, screenHeight);
  EXPECT_EQ(0, memcmp(before.viewport, after.viewport, sizeof before.viewport));
  EXPECT_EQ(0, memcmp(before.projection, after.projection, sizeof before.projection));
  EXPECT_EQ(GL_PROJECTION, after.matrixMode);
}

TEST_F(ViewTest, WindowViewCoversTheWindow) {
  SetTargetView(800, 600);
  SetWindowView();
  ViewState v = ReadView();
  EXPECT_EQ(800, v.viewport[2]);
  EXPECT_EQ(600, v.viewport[3]);
  EXPECT_EQ(GL_MODELVIEW, v.matrixMode);
  // glOrtho(-400, 400, -300, 300, 0.1, 100000)
  EXPECT_FLOAT_EQ(2.0f / 800, v.projection[0]);
  EXPECT_FLOAT_EQ(2.0f / 600, v.projection[5]);
  EXPECT_NEAR(-2.0 / 99999.9, v.projection[10], 1e-9);
  EXPECT_NEAR(-100000.1 / 99999.9, v.projection[14], 1e-6);
}
