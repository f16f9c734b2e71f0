// The view set-ups on the headless context: depth values read back, matrices
// checked where a picture would say less.
#include "toolkit/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "assets/scene.h"
#include "gl_test.h"

namespace {

CameraPose LookDownMinusZ() {
  CameraPose pose;
  // Eye at the origin: the look-at uses the negated position and direction.
  pose.position.set(0, 0, 0);
  pose.direction.set(0, 0, 1);
  pose.up.set(0, 1, 0);
  return pose;
}

float DepthAt(int x, int y) {
  float d = -1;
  glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &d);
  return d;
}

class CameraTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  void TearDown() override {
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
  }
  Scene scene{10, 1024, 512, 256, 128};
};

// A large square facing the eye at eye distance d.
void SquareAt(float d) {
  glBegin(GL_QUADS);
  glVertex3f(-100 * d, -100 * d, -d);
  glVertex3f(100 * d, -100 * d, -d);
  glVertex3f(100 * d, 100 * d, -d);
  glVertex3f(-100 * d, 100 * d, -d);
  glEnd();
}

TEST_F(CameraTest, PerspectiveDepthHasNoFarPlane) {
  SetPerspectiveView(scene, LookDownMinusZ());
  SquareAt(0.10001f);
  EXPECT_NEAR(DepthAt(512, 256), 0.0f, 1e-3);
  SquareAt(10.1f);
  EXPECT_NEAR(DepthAt(512, 256), 0.5f, 1e-4);
  // Far beyond the old far plane of 1000: still drawn, close to 0.505.
  SquareAt(5000.0f);
  EXPECT_NEAR(DepthAt(512, 256), 0.505f, 1e-4);
  // A triangle with vertices at infinity (w = 0) is drawn, not clipped.
  glClear(GL_DEPTH_BUFFER_BIT);
  glBegin(GL_TRIANGLES);
  glVertex4f(-1, -1, -1, 0);
  glVertex4f(1, -1, -1, 0);
  glVertex4f(0, 1, -1, 0);
  glEnd();
  EXPECT_NEAR(DepthAt(512, 256), 0.505f, 1e-4);
}

TEST_F(CameraTest, PerspectiveKeepsFourThirdsAndFollowsTheFieldOfView) {
  float m[16];
  for (float fov : {75.0f, 40.0f}) {
    scene.fieldOfView = fov;
    SetPerspectiveViewTarget(scene, LookDownMinusZ());
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    float cot = 1.0f / std::tan(fov * 0.5f * 3.14159265f / 180.0f);
    EXPECT_NEAR(m[5], cot, 1e-5);
    EXPECT_NEAR(m[0], cot * 0.75f, 1e-5);
    EXPECT_EQ(m[10], -0.01f);
    EXPECT_EQ(m[14], -0.101f);
    EXPECT_EQ(m[11], -1.0f);
  }
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 256);
  EXPECT_EQ(viewport[3], 128);
  SetPerspectiveView(scene, LookDownMinusZ());
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 1024);
  EXPECT_EQ(viewport[3], 512);
  GLint mode;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(CameraTest, LookAtUsesTheNegatedPoseAndStoresItUnchanged) {
  CameraPose pose;
  pose.position.set(1, 2, 3);
  pose.direction.set(0, 0, -1);
  pose.up.set(0, -1, 0);
  SetPerspectiveView(scene, pose);
  EXPECT_EQ(scene.cameraPosition.x, 1.0f);
  EXPECT_EQ(scene.cameraPosition.z, 3.0f);
  EXPECT_EQ(scene.cameraDirection.z, -1.0f);
  // Eye at (-1, -2, -3) looking towards +z with up -y: a point 5 ahead lands
  // in the middle, and a point above it in world y lands below the middle.
  float mv[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, mv);
  auto eyeOf = [&](float x, float y, float z, int row) {
    return mv[row] * x + mv[4 + row] * y + mv[8 + row] * z + mv[12 + row];
  };
  EXPECT_NEAR(eyeOf(-1, -2, 2, 0), 0.0f, 1e-5);
  EXPECT_NEAR(eyeOf(-1, -2, 2, 1), 0.0f, 1e-5);
  EXPECT_NEAR(eyeOf(-1, -2, 2, 2), -5.0f, 1e-5);
  EXPECT_LT(eyeOf(-1, 0, 2, 1), 0.0f);
}

TEST_F(CameraTest, OrthoIsCentredInPixelsAndHalvesByTruncation) {
  float m[16];
  SetOrthoWindow(1023, 511);
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  EXPECT_FLOAT_EQ(m[0], 2.0f / 1022.0f);  // -511 .. 511
  EXPECT_FLOAT_EQ(m[5], 2.0f / 510.0f);   // -255 .. 255
  EXPECT_FLOAT_EQ(m[12], 0.0f);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 1023);
  EXPECT_EQ(viewport[3], 511);

  SetOrthoTarget(scene);
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 256);
  EXPECT_EQ(viewport[3], 128);
  // One unit a pixel: a rectangle over x 0..64 covers pixels 128..191.
  glDisable(GL_DEPTH_TEST);
  glColor3f(1, 1, 1);
  glRectf(0, -10, 64, 10);
  EXPECT_EQ(ReadPixel(127, 64)[0], 0);
  EXPECT_EQ(ReadPixel(128, 64)[0], 255);
  EXPECT_EQ(ReadPixel(191, 64)[0], 255);
  EXPECT_EQ(ReadPixel(192, 64)[0], 0);
}

}  // namespace
