#include "toolkit/billboards.h"

#include <cmath>

#include "core/gl.h"
#include "core/math.h"

void BeginBillboards(Scene& scene, unsigned texture, int tilt) {
  scene.billboardMode = tilt;
  glPushMatrix();
  glDepthMask(0);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);

  // Keep the view's translation but drop its rotation, so quads built in the
  // xy plane face the screen.
  glGetFloatv(GL_MODELVIEW_MATRIX, scene.viewMatrix);
  glGetFloatv(GL_MODELVIEW_MATRIX, scene.billboardMatrix);
  float* m = scene.billboardMatrix;
  m[0] = m[5] = m[10] = 1.0f;
  m[1] = m[2] = m[4] = m[6] = m[8] = m[9] = 0.0f;
  glLoadMatrixf(m);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_COLOR_MATERIAL);
}

void DrawBillboard(Scene& scene, float x, float y, float z, float halfWidth, float halfHeight,
                   float r, float g, float b, float a) {
  float pitch = 0.0f;
  if (scene.billboardMode) {
    const Vector3& d = scene.cameraDirection;
    pitch = AngleOf(d.y, std::sqrt(d.x * d.x + d.z * d.z));
  }
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  // The view's rotation applied to the centre by hand; the translation kept in
  // billboardMatrix completes the placement.
  const float* m = scene.viewMatrix;
  glTranslatef(m[0] * x + m[4] * y + m[8] * z, m[1] * x + m[5] * y + m[9] * z,
               m[2] * x + m[6] * y + m[10] * z);
  glRotatef(-pitch * 57.29582790879778, 1.0f, 0.0f, 0.0f);
  glColor4f(r, g, b, a);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-halfWidth, -halfHeight, 0.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-halfWidth, halfHeight, 0.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(halfWidth, halfHeight, 0.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(halfWidth, -halfHeight, 0.0f);
  glEnd();
  glPopMatrix();
}

void EndBillboards(Scene& scene) {
  glPopMatrix();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_COLOR_MATERIAL);
  glDepthMask(1);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void ProjectToScreen(float* outX, float* outY, const Light& light) {
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  const Vector3& p = light.position;
  const float xe = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
  const float ye = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
  float h = -(m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
  if (h < 0.00001f) h = 0.00001f;  // at or behind the eye: far off screen, never a division by 0
  *outX = xe * 0.9375f / h;
  *outY = ye * 1.25f / h;
}
