#include "toolkit/billboards.h"

#include <algorithm>
#include <vector>

#include "gl_test.h"
#include "mesh_fixtures.h"
#include "shell/capture.h"

namespace {

// Footprint of the lit pixels of the frame.
struct Footprint {
  int count = 0, left = 1 << 20, right = -1, bottom = 1 << 20, top = -1;
  float FillOfBox() const { return (float)count / ((right - left + 1) * (top - bottom + 1)); }
};

Footprint LitPixels() {
  std::vector<uint8_t> rgb;
  ReadFramebufferRgb(1024, 768, &rgb);
  Footprint f;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) {
      if (rgb[3 * (y * 1024 + x)] < 128) continue;
      ++f.count;
      f.left = std::min(f.left, x);
      f.right = std::max(f.right, x);
      f.bottom = std::min(f.bottom, y);
      f.top = std::max(f.top, y);
    }
  return f;
}

class BillboardsTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    const uint8_t white[4] = {255, 255, 255, 255};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  }
  void TearDown() override { glDeleteTextures(1, &texture); }

  Footprint Draw(Vector4 eye, Vector4 target, int tilt, Vector4 at) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    LookAt(scene, eye, target);
    BeginBillboards(scene, texture, tilt);
    DrawBillboard(scene, at.x, at.y, at.z, 0.5f, 0.3f, 1.0f, 1.0f, 1.0f, 1.0f);
    EndBillboards(scene);
    return LitPixels();
  }

  Scene scene{10000, 1024, 768, 512, 256};
  GLuint texture = 0;
};

TEST_F(BillboardsTest, QuadsStayParallelToTheScreenAtTheirPoint) {
  const Vector4 at(1.0f, -1.0f, 0.5f);
  for (Vector4 eye : {Vector4(3, -4, -7), Vector4(-6, -1, 2), Vector4(0.5f, -2, -5)}) {
    SCOPED_TRACE(testing::Message() << "eye " << eye.x << " " << eye.y << " " << eye.z);
    const Footprint f = Draw(eye, {0, -1, 0}, 0, at);
    ASSERT_GT(f.count, 100);
    EXPECT_GT(f.FillOfBox(), 0.97f);  // an upright rectangle fills its bounding box
    const float aspect = (float)(f.right - f.left + 1) / (f.top - f.bottom + 1);
    EXPECT_NEAR(aspect, 0.5f / 0.3f, 0.06f);
    LookAt(scene, eye, {0, -1, 0});
    const Pixel centre = ScreenOf(at);
    EXPECT_NEAR((f.left + f.right) / 2.0f, centre.x, 1.5f);
    EXPECT_NEAR((f.bottom + f.top) / 2.0f, centre.y, 1.5f);
  }
  SaveFramePng("billboard", 1024, 768);

  // Tilting by the camera's pitch changes nothing for a level camera.
  const Footprint level = Draw({0, -1, -6}, {2, -1, 0}, 0, at);
  const Footprint tilted = Draw({0, -1, -6}, {2, -1, 0}, 1, at);
  EXPECT_EQ(tilted.count, level.count);
  EXPECT_EQ(tilted.left, level.left);
  EXPECT_EQ(tilted.top, level.top);
  // A camera looking down foreshortens a tilted quad.
  const Footprint down = Draw({0, -6, -4}, at, 0, at);
  const Footprint downTilted = Draw({0, -6, -4}, at, 1, at);
  EXPECT_LT(downTilted.top - downTilted.bottom, down.top - down.bottom - 10);
}

TEST_F(BillboardsTest, BatchStateAndWhatEndLeaves) {
  LookAt(scene, {3, -4, -7}, {0, -1, 0});
  float before[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  glEnable(GL_DEPTH_TEST);
  BeginBillboards(scene, texture, 1);
  EXPECT_EQ(scene.billboardMode, 1);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
  float inside[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, inside);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(scene.viewMatrix[i], before[i]);
  for (int i : {12, 13, 14}) EXPECT_EQ(inside[i], before[i]);  // translation kept
  EXPECT_EQ(inside[0], 1.0f);
  EXPECT_EQ(inside[1], 0.0f);
  EXPECT_EQ(inside[9], 0.0f);
  EndBillboards(scene);

  float after[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], before[i]);
  GLint v = 0;
  GLboolean depthWrites = 0;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  EXPECT_TRUE(depthWrites);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_COLOR_MATERIAL) && glIsEnabled(GL_BLEND));
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &v);
  EXPECT_EQ(v, GL_ADD);
  glGetIntegerv(GL_BLEND_DST, &v);
  EXPECT_EQ(v, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_BLEND);
  glDisable(GL_COLOR_MATERIAL);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(BillboardsTest, ProjectToScreenDividesByTheDistanceInFront) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  Light light;
  float x = 0.0f, y = 0.0f;
  light.position.set(1.0f, 2.0f, -4.0f);
  ProjectToScreen(&x, &y, light);
  EXPECT_FLOAT_EQ(x, 0.9375f / 4.0f);
  EXPECT_FLOAT_EQ(y, 2.5f / 4.0f);

  // At or behind the eye the distance is clamped: far outside any view, but finite.
  for (float z : {4.0f, 0.0f}) {
    light.position.set(1.0f, 2.0f, z);
    ProjectToScreen(&x, &y, light);
    EXPECT_FLOAT_EQ(x, 0.9375f / 0.00001f);
    EXPECT_FLOAT_EQ(y, 2.0f * 1.25f / 0.00001f);
  }

  // Through a camera, the point looked at lands in the middle.
  LookAt(scene, {3, -4, -7}, {1, -1, 2});
  light.position.set(1.0f, -1.0f, 2.0f);
  ProjectToScreen(&x, &y, light);
  EXPECT_NEAR(x, 0.0f, 1e-5);
  EXPECT_NEAR(y, 0.0f, 1e-5);
}

}  // namespace
