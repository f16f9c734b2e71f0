#include <gtest/gtest.h>

#include <cstdlib>

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

namespace {

const char* const kSoftware = "EGL_MESA_device_software EGL_EXT_device_drm";

std::string Names(const std::vector<HeadlessCandidate>& list) {
  std::string out;
  for (const HeadlessCandidate& c : list) out += c.name + (c.software ? "*" : "") + ";";
  return out;
}

}  // namespace

// Hardware devices come before Mesa's surfaceless platform (llvmpipe where
// both are installed), software devices and the default display last; the
// device entries keep their index into EGL's own list.
TEST(HeadlessCandidates, HardwareFirstThenSurfacelessThenSoftwareThenDefault) {
  std::vector<EglDeviceDescription> devices = {
      {"llvmpipe", kSoftware}, {"gpu0", "EGL_EXT_device_drm"}, {"gpu1", ""}};
  auto list = OrderHeadlessCandidates(devices, true, true, false);
  EXPECT_EQ("gpu0;gpu1;Mesa;llvmpipe*;EGL_DEFAULT_DISPLAY;", Names(list));
  EXPECT_EQ(1, list[0].deviceIndex);
  EXPECT_EQ(2, list[1].deviceIndex);
  EXPECT_EQ(0, list[3].deviceIndex);
  EXPECT_EQ(HeadlessPlatform::Surfaceless, list[2].platform);
  EXPECT_EQ(HeadlessPlatform::Default, list[4].platform);

  // An extension name that merely starts like the software one is no match.
  devices = {{"odd", "EGL_MESA_device_software_not"}};
  EXPECT_EQ("odd;EGL_DEFAULT_DISPLAY;", Names(OrderHeadlessCandidates(devices, false, true, false)));
  EXPECT_EQ("", Names(OrderHeadlessCandidates({}, false, false, false)));
}

// Pinned to software: the software device first, no hardware device at all.
TEST(HeadlessCandidates, SoftwareOnlyDropsHardware) {
  std::vector<EglDeviceDescription> devices = {{"gpu0", ""}, {"llvmpipe", kSoftware}};
  EXPECT_EQ("llvmpipe*;Mesa*;EGL_DEFAULT_DISPLAY;",
            Names(OrderHeadlessCandidates(devices, true, true, true)));
}

// The tests themselves run pinned, and the listing numbers what it lists.
TEST_F(HeadlessTest, PinnedTestsRunOnTheSoftwareRenderer) {
  const char* pin = getenv("MARVOKE_SOFTWARE_GL");
  ASSERT_TRUE(pin && *pin) << "the test run sets MARVOKE_SOFTWARE_GL";
  HeadlessInfo info{};
  ASSERT_TRUE(OpenHeadless(1024, 768, &info));
  EXPECT_NE(nullptr, strstr(info.renderer, "llvmpipe")) << info.renderer;
  std::vector<HeadlessCandidate> list = HeadlessCandidates();
  ASSERT_FALSE(list.empty());
  std::string text = DescribeHeadlessCandidates(list);
  EXPECT_EQ(0u, text.find("  0: ")) << text;
  for (const HeadlessCandidate& c : list) EXPECT_TRUE(c.platform != HeadlessPlatform::Device || c.software);
}
