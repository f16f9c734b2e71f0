// Screen effects drawn on the headless context and read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "effects/blurs.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "effects/zoom_blur.h"
#include "gl_test.h"

namespace {

// Centred pixel orthographic projection over the lower-left w x h.
void Ortho(int w, int h) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-(w / 2), w / 2, -(h / 2), h / 2, 0.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, w, h);
}

// Flat rectangle in window pixels (lower-left origin) under Ortho(1024, 512).
void FillRect(int x0, int y0, int x1, int y1, float r, float g, float b) {
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glColor4f(r, g, b, 1.0f);
  glRectf(x0 - 512.0f, y0 - 256.0f, x1 - 512.0f, y1 - 256.0f);
}

// The test picture: four quadrants of the 1024 x 512 area in distinct colours.
void DrawQuadrants() {
  FillRect(0, 0, 512, 256, 0.8f, 0.0f, 0.0f);       // lower left: red
  FillRect(512, 0, 1024, 256, 0.0f, 0.8f, 0.0f);    // lower right: green
  FillRect(0, 256, 512, 512, 0.0f, 0.0f, 0.8f);     // upper left: blue
  FillRect(512, 256, 1024, 512, 0.4f, 0.4f, 0.4f);  // upper right: grey
}

// One blur pass over a flat area: four taps at alpha 65/256, each rounded
// into the 8-bit buffer (the alpha itself is stored as 65/255).
int FourTaps(int v) { return std::min(255, 4 * static_cast<int>(std::lround(v * 65.0 / 255.0))); }

void ExpectPixel(int x, int y, int r, int g, int b, int tolerance = 3) {
  auto p = ReadPixel(x, y);
  EXPECT_NEAR(p[0], r, tolerance) << "red at " << x << "," << y;
  EXPECT_NEAR(p[1], g, tolerance) << "green at " << x << "," << y;
  EXPECT_NEAR(p[2], b, tolerance) << "blue at " << x << "," << y;
}

class EffectsTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    target = CreateRenderTarget(1024, 512, 256, 128);
    ASSERT_NE(target, nullptr);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    Ortho(1024, 512);
  }
  void TearDown() override { FreeRenderTarget(target); }
  RenderTarget* target = nullptr;
};

TEST_F(EffectsTest, CreationSizesAndHalvesByTruncation) {
  RenderTarget* odd = CreateRenderTarget(1023, 511, 255, 127);
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(odd->fullHalfWidth, 511);
  EXPECT_EQ(odd->fullHalfHeight, 255);
  EXPECT_EQ(odd->smallHalfWidth, 127);
  EXPECT_EQ(odd->smallHalfHeight, 63);
  EXPECT_EQ(odd->useSmallTextures, 0);
  EXPECT_EQ(odd->useSmallSize, 0);
  EXPECT_EQ(odd->zoomFade, 0.0f);
  // Each group is allocated at its own final size.
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, odd->fullFeedback[2]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  EXPECT_EQ(w, 1023);
  EXPECT_EQ(h, 511);
  glBindTexture(GL_TEXTURE_2D, odd->smallTextures[3]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  EXPECT_EQ(w, 255);
  EXPECT_EQ(h, 127);
  FreeRenderTarget(odd);
  // Null targets and bad slots draw nothing instead of reading out of bounds.
  CopyFrameToTarget(nullptr, 0);
  CopyFrameToTarget(target, 4);
  DrawFade(target, -1, 1.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(EffectsTest, FadeScalesTheCopyAfterClearing) {
  DrawQuadrants();
  CopyFrameToTarget(target, 0);
  for (float alpha : {0.0f, 0.5f, 1.0f}) {
    FillRect(0, 0, 1024, 512, 1, 1, 1);  // the fade must clear this first
    DrawFade(target, 0, alpha);
    int v = static_cast<int>(std::lround(204 * alpha));
    int grey = static_cast<int>(std::lround(102 * alpha));
    ExpectPixel(100, 100, v, 0, 0);
    ExpectPixel(900, 100, 0, v, 0);
    ExpectPixel(100, 400, 0, 0, v);
    ExpectPixel(900, 400, grey, grey, grey);
  }
  SaveFramePng("effects_fade_full", 1024, 512);
}

TEST_F(EffectsTest, TargetQuadBlendsAndBrightens) {
  DrawQuadrants();
  CopyFrameToTarget(target, 1);
  // Alpha 1, blend 1: the texture replaces the picture.
  FillRect(0, 0, 1024, 512, 0.2f, 0.2f, 0.2f);
  DrawTargetQuad(target, 1, 1.0f, 0.0f, 1);
  ExpectPixel(100, 100, 204, 0, 0);
  ExpectPixel(900, 400, 102, 102, 102);
  // Half alpha over a grey picture mixes evenly.
  FillRect(0, 0, 1024, 512, 0.2f, 0.2f, 0.2f);
  DrawTargetQuad(target, 1, 0.5f, 0.0f, 1);
  ExpectPixel(100, 100, 128, 26, 26);
  // Brightness 0.5 lifts every channel by half and saturates at white.
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  DrawTargetQuad(target, 1, 1.0f, 0.5f, 1);
  ExpectPixel(100, 100, 255, 128, 128);
  ExpectPixel(900, 400, 230, 230, 230);
  // Blend 2 adds.
  FillRect(0, 0, 1024, 512, 0.2f, 0.2f, 0.2f);
  DrawTargetQuad(target, 1, 1.0f, 0.0f, 2);
  ExpectPixel(100, 100, 255, 51, 51);
  // Blend 3 of the transformed quad weighs by source colour.
  FillRect(0, 0, 1024, 512, 0.0f, 0.0f, 0.0f);
  DrawTargetQuadTransformed(target, 1, 1.0f, 0.0f, kQuadColour, QuadPlacement{});
  ExpectPixel(100, 100, 163, 0, 0, 4);  // 0.8 * 0.8
}

TEST_F(EffectsTest, TransformedQuadMovesScalesAndRotates) {
  DrawQuadrants();
  CopyFrameToTarget(target, 0);
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  // Half size, moved right by 256: covers window x 512..1024, y 128..384.
  QuadPlacement at;
  at.x = 256.0f;
  at.scale = 0.5f;
  at.axisZ = 1.0f;  // a turn of 0 degrees
  DrawTargetQuadTransformed(target, 0, 1.0f, 0.0f, kQuadAlpha, at);
  ExpectPixel(300, 256, 0, 0, 0);
  ExpectPixel(600, 150, 204, 0, 0);
  ExpectPixel(1000, 360, 102, 102, 102);
  ExpectPixel(1000, 100, 0, 0, 0);
  // A half turn about z puts the grey quadrant at the lower left.
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  QuadPlacement turned;
  turned.angle = 180.0f;
  turned.axisZ = 1.0f;
  DrawTargetQuadTransformed(target, 0, 1.0f, 0.0f, kQuadAlpha, turned);
  ExpectPixel(100, 100, 102, 102, 102);
  ExpectPixel(900, 400, 204, 0, 0);
}

TEST_F(EffectsTest, SmallAndFullFlagsChooseGroupAndSizeIndependently) {
  // The lower-left 256 x 128 holds its own picture: four colours again.
  FillRect(0, 0, 1024, 512, 0.4f, 0.4f, 0.4f);
  FillRect(0, 0, 128, 64, 0.8f, 0.0f, 0.0f);
  FillRect(128, 0, 256, 64, 0.0f, 0.8f, 0.0f);
  FillRect(0, 64, 128, 128, 0.0f, 0.0f, 0.8f);
  FillRect(128, 64, 256, 128, 0.8f, 0.8f, 0.0f);
  target->useSmallSize = 1;
  CopyFrameToTarget(target, 0);  // small texture, small area only
  target->useSmallSize = 0;
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  FillRect(0, 0, 512, 512, 0.0f, 0.0f, 0.8f);
  CopyFrameToTarget(target, 0);  // full texture: blue left, black right

  // Small group stretched over the full-size quad.
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  target->useSmallTextures = 1;
  DrawTargetQuad(target, 0, 1.0f, 0.0f, 1);
  ExpectPixel(100, 100, 204, 0, 0);
  ExpectPixel(900, 100, 0, 204, 0);
  ExpectPixel(100, 400, 0, 0, 204);
  ExpectPixel(900, 400, 204, 204, 0);
  SaveFramePng("effects_small_on_full", 1024, 512);

  // Full group on the small quad: 256 x 128 centred.
  FillRect(0, 0, 1024, 512, 0.2f, 0.2f, 0.2f);
  target->useSmallTextures = 0;
  target->useSmallSize = 1;
  DrawTargetQuad(target, 0, 1.0f, 0.0f, 1);
  ExpectPixel(400, 256, 0, 0, 204);  // left of the quad's middle
  ExpectPixel(600, 256, 0, 0, 0);
  ExpectPixel(100, 100, 51, 51, 51);  // outside stays
  // The fade reads the size from useSmallTextures, not useSmallSize.
  DrawFade(target, 0, 1.0f);
  ExpectPixel(100, 100, 0, 0, 204);
}

TEST_F(EffectsTest, SlotThreeTilesOthersClamp) {
  DrawQuadrants();
  CopyFrameToTarget(target, 3);
  CopyFrameToTarget(target, 2);
  for (int slot : {2, 3}) {
    FillRect(0, 0, 1024, 512, 0, 0, 0);
    // A quad whose texture window spans two copies across.
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, slot == 3 ? target->fullTextures[3] : target->fullTextures[2]);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-512, -256, -1);
    glTexCoord2f(2, 0);
    glVertex3f(512, -256, -1);
    glTexCoord2f(2, 1);
    glVertex3f(512, 256, -1);
    glTexCoord2f(0, 1);
    glVertex3f(-512, 256, -1);
    glEnd();
    ExpectPixel(100, 100, 204, 0, 0);
    if (slot == 3)
      ExpectPixel(600, 100, 204, 0, 0);  // the second copy starts over
    else
      ExpectPixel(600, 100, 0, 204, 0);  // the edge texel is stretched
  }
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
}

TEST_F(EffectsTest, BlurWithoutSpreadIsTheSourceTimesFourTaps) {
  DrawQuadrants();
  CopyFrameToTarget(target, 0);
  BlurTarget(target, 0, 1, 0.0f, 0.0f, 1.0f, 1, 1, 1);
  // 204 * 4 * 65/256 and 102 * 4 * 65/256, each tap rounded in the buffer.
  ExpectPixel(100, 100, 207, 0, 0, 3);
  ExpectPixel(900, 400, 104, 104, 104, 3);
  // Several passes feed back: each applies the four taps again.
  FillRect(0, 0, 1024, 512, 0.4f, 0.4f, 0.4f);
  CopyFrameToTarget(target, 0);
  BlurTarget(target, 0, 3, 0.0f, 0.0f, 1.0f, 1, 1, 1);
  int v = FourTaps(FourTaps(FourTaps(102)));
  ExpectPixel(900, 400, v, v, v, 2);
  // The tint multiplies.
  DrawQuadrants();
  CopyFrameToTarget(target, 0);
  BlurTarget(target, 0, 1, 0.0f, 0.0f, 1.0f, 0.5f, 1, 1);
  ExpectPixel(100, 100, 105, 0, 0, 3);
}

TEST_F(EffectsTest, BlurSpreadsEdgesAndKeepsFlatAreas) {
  DrawQuadrants();
  CopyFrameToTarget(target, 0);
  BlurTarget(target, 0, 8, 1.5f, 1.5f, 0.041666668f, 1, 1, 1);
  SaveFramePng("effects_blur", 1024, 512);
  // Flat areas keep their colour (times the slight gain), the red/green edge
  // at x = 512 is now a ramp.
  auto flat = ReadPixel(100, 100);
  EXPECT_GT(flat[0], 200);
  auto left = ReadPixel(500, 100), right = ReadPixel(524, 100);
  EXPECT_GT(left[1], 10);
  EXPECT_GT(right[0], 10);
}

TEST_F(EffectsTest, BoostBrightnessAddsAndSaturates) {
  FillRect(0, 0, 1024, 512, 0.6f, 0.6f, 0.6f);
  CopyFrameToTarget(target, 0);
  FillRect(0, 0, 512, 512, 0.2f, 0.2f, 0.2f);
  // Gain 1, two passes: (frame + source) clamped after pass 1, that again after pass 2.
  BoostBrightness(target, 0, 2, 1.0f);
  ExpectPixel(100, 100, 204, 204, 204);
  ExpectPixel(900, 100, 255, 255, 255);
  // Gain 0.4 over black.
  CopyFrameToTarget(target, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  BoostBrightness(target, 0, 1, 0.4f);
  ExpectPixel(100, 100, 82, 82, 82);
  ExpectPixel(900, 100, 102, 102, 102);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  glDisable(GL_COLOR_MATERIAL);
}

TEST_F(EffectsTest, BandAndGridBlurWithZeroValuesCopyInPlace) {
  DrawQuadrants();
  CopyFrameToTarget(target, 0);
  float zeros[96 * 96] = {};
  BandBlur(target, 0, 2, 1.5f, 1.5f, 0.5f, 1, 1, 1, 10, zeros);
  // Two passes of four taps: 204 * (65/64)^2.
  ExpectPixel(100, 100, 210, 0, 0, 4);
  ExpectPixel(100, 400, 0, 0, 210, 4);
  ExpectPixel(900, 400, 105, 105, 105, 4);

  DrawQuadrants();
  CopyFrameToTarget(target, 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  GridBlurSpec flat;
  flat.strength = 2.0f;
  flat.base = {1.0f, 1.0f, 1.0f};
  flat.tint = {1.0f, 0.0f, 0.0f};
  flat.rows = flat.columns = 8;
  flat.values = zeros;
  GridBlur(target, 0, flat);
  ExpectPixel(100, 100, 207, 0, 0, 3);
  ExpectPixel(900, 100, 0, 207, 0, 3);
  ExpectPixel(100, 400, 0, 0, 207, 3);
}

TEST_F(EffectsTest, GridBlurTintGrowsEachPass) {
  // Under GL_ADD the colour is added: base 0 plus tint x strength^p x value.
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  CopyFrameToTarget(target, 0);
  float ones[4 * 4];
  for (float& v : ones) v = 1.0f;
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  // Strength 0.5, tint (1, 0, 0): pass 1 adds 0.5 red per tap (4 x 65/256 x 0.5).
  GridBlurSpec grid;
  grid.spreadX = grid.spreadY = 0.0f;
  grid.strength = 0.5f;
  grid.tint = {1.0f, 0.0f, 0.0f};
  grid.rows = grid.columns = 4;
  grid.values = ones;
  GridBlur(target, 0, grid);
  ExpectPixel(512, 256, 129, 0, 0, 3);
  // Pass 2 reads pass 1 back and adds 0.25 red per tap.
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  CopyFrameToTarget(target, 0);
  grid.passes = 2;
  GridBlur(target, 0, grid);
  // (129 + 64) * 65/64 rounded per tap: about 196.
  ExpectPixel(512, 256, 196, 0, 0, 4);
}

TEST_F(EffectsTest, ZoomBlurOnePassDrawsTheSourceOnce) {
  DrawQuadrants();
  CopyFrameToTarget(target, 0);
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  // Zoom and angle do not move pass 0.
  ZoomBlur(target, 0, 1, 0.5f, 0.7f, 1.1f, 0.3f, 0.5f, 0.5f);
  ExpectPixel(100, 100, 102, 0, 0);
  ExpectPixel(1000, 10, 0, 102, 0);
  ExpectPixel(20, 500, 0, 0, 102);
}

TEST_F(EffectsTest, ZoomBlurSmearsOutwardAndFades) {
  // A bright square in the middle on black.
  FillRect(0, 0, 1024, 512, 0, 0, 0);
  FillRect(448, 192, 576, 320, 1, 1, 1);
  CopyFrameToTarget(target, 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  ZoomBlur(target, 0, 6, 0.4f, 0.0f, 0.0f, 0.1f, 0.0f, 0.0f);
  SaveFramePng("effects_zoom_blur", 1024, 512);
  // Positive zoom gives negative D, a narrower window: the square grows,
  // symmetrically about the centre.
  auto inside = ReadPixel(512, 256);
  auto leftOut = ReadPixel(430, 256), rightOut = ReadPixel(593, 256);
  EXPECT_GT(inside[0], 250);
  EXPECT_GT(leftOut[0], 20);
  EXPECT_NEAR(leftOut[0], rightOut[0], 4);
  // Far away nothing arrives.
  ExpectPixel(50, 50, 0, 0, 0);
}

}  // namespace
