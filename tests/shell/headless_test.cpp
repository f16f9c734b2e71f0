#include <gtest/gtest.h>

#include "gl_test.h"

using HeadlessTest = GlTest;

// The screen passes blend with destination alpha and rely on it reading 1.0:
// the framebuffer must have no alpha bits, as the window's does.
TEST_F(HeadlessTest, FramebufferHasWindowFormatAndDestinationAlphaReadsOne) {
  GLint r = 0, g = 0, b = 0, a = -1, depth = 0, stencil = 0;
  glGetIntegerv(GL_RED_BITS, &r);
  glGetIntegerv(GL_GREEN_BITS, &g);
  glGetIntegerv(GL_BLUE_BITS, &b);
  glGetIntegerv(GL_ALPHA_BITS, &a);
  glGetIntegerv(GL_DEPTH_BITS, &depth);
  glGetIntegerv(GL_STENCIL_BITS, &stencil);
  EXPECT_EQ(8, r);
  EXPECT_EQ(8, g);
  EXPECT_EQ(8, b);
  EXPECT_EQ(0, a);
  EXPECT_GE(depth, 24);
  EXPECT_GE(stencil, 8);

  // Clear to black with alpha 0, then draw grey weighted by destination alpha.
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_ALPHA, GL_ZERO);
  glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
  glBegin(GL_QUADS);
  glVertex2f(-1, -1);
  glVertex2f(1, -1);
  glVertex2f(1, 1);
  glVertex2f(-1, 1);
  glEnd();
  glDisable(GL_BLEND);
  auto p = ReadPixel(512, 384);
  EXPECT_NEAR(128, p[0], 1);
  EXPECT_EQ(255, p[3]);
}
