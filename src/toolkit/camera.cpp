#include "toolkit/camera.h"

#include "assets/scene.h"
#include "core/gl.h"

namespace {
void SetPerspective(Scene& scene, const CameraPose& pose, int32_t width, int32_t height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // 4:3 whatever the viewport: the 2:1 render area is drawn stretched.
  gluPerspective(scene.fieldOfView, 1.3333333333333333, 0.1, 1000.0);
  // Replace the depth row: z_ndc = 0.01 + 0.101 / z_eye, no far plane.
  float m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  m[10] = -0.01f;
  m[14] = -0.101f;
  glLoadMatrixf(m);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // The eye sits at the negated position, looking along the negated direction.
  const Vector4& p = pose.position;
  const Vector4& d = pose.direction;
  const Vector4& u = pose.up;
  gluLookAt(-static_cast<double>(p.x), -static_cast<double>(p.y), -static_cast<double>(p.z),
            -static_cast<double>(p.x) - d.x, -static_cast<double>(p.y) - d.y,
            -static_cast<double>(p.z) - d.z, u.x, u.y, u.z);
  scene.cameraPosition.set(p.x, p.y, p.z);
  scene.cameraDirection.set(d.x, d.y, d.z);
}
}  // namespace

void SetPerspectiveView(Scene& scene, const CameraPose& pose) {
  SetPerspective(scene, pose, scene.windowWidth, scene.windowHeight);
}

void SetPerspectiveViewTarget(Scene& scene, const CameraPose& pose) {
  SetPerspective(scene, pose, scene.targetWidth, scene.targetHeight);
}

void SetOrthoTarget(const Scene& scene) { SetOrthoWindow(scene.targetWidth, scene.targetHeight); }

void SetOrthoWindow(int32_t width, int32_t height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-static_cast<double>(width / 2), static_cast<double>(width / 2),
          -static_cast<double>(height / 2), static_cast<double>(height / 2), 0.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, width, height);
}
