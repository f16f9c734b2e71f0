#include "shell/overlay.h"

#include <cstdio>
#include <cstring>

#include "core/area_target.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "shell/view.h"

namespace {

GLuint postTexture = 0;
char overlayText[64];
bool frameLinesEnabled = true;

}  // namespace

void Set2dState() {
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glHint(GL_LINE_SMOOTH_HINT, GL_DONT_CARE);
  glLineWidth(1.0f);
}

GLuint PostTexture() { return postTexture; }

bool CreatePostTexture() {
  BindWindowTarget();
  glDisable(GL_LIGHTING);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glEnable(GL_TEXTURE_2D);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glDisable(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // The area gets a framebuffer of its own, so the window's size no longer
  // bounds it; it is made cleared and left bound.
  if (!CreateAreaTarget(PictureWidth(), PictureHeight())) return false;
  if (!postTexture) glGenTextures(1, &postTexture);
  glBindTexture(GL_TEXTURE_2D, postTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, renderWidth, renderHeight, 0);
  return true;
}

void DrawPostPass() {
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  BindAreaTarget();
  glBindTexture(GL_TEXTURE_2D, postTexture);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, renderWidth, renderHeight);

  SetWindowView();  // binds the window
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glDisable(GL_DEPTH_TEST);
  glBindTexture(GL_TEXTURE_2D, postTexture);

  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_BLEND);
  // Black plus the texture under the additive environment is the texture.
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
  const float sx = float(screenWidth) * 0.0009765625f;
  const float sy = float(screenHeight) * 0.0013020834f;
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-512.0f * sx, -384.0f * sy, -1.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(512.0f * sx, -384.0f * sy, -1.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(512.0f * sx, 384.0f * sy, -1.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-512.0f * sx, 384.0f * sy, -1.0f);
  glEnd();
  glPopMatrix();
}

void DrawOverlay(int32_t musicTime, int32_t framesPerSecond) {
  SetWindowView();
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.0f);
  Set2dState();

  // The fps text sits one line (0.02 of a 768-pixel window) below the time text.
  const float sy = float(screenHeight) * 0.0013020834f;
  snprintf(overlayText, sizeof overlayText, "Time: %i", musicTime);
  glColor3f(1.0f, 1.0f, 1.0f);
  DrawOverlayText(-0.49f, 0.46f, 0.1f, 0.0f, overlayText);
  if (frameLinesEnabled) {
    fputs(overlayText, stdout);
    fputs("   ", stdout);
  }
  snprintf(overlayText, sizeof overlayText, "Fps: %i", framesPerSecond);
  glColor3f(1.0f, 1.0f, 1.0f);
  DrawOverlayText(-0.49f, 0.46f - 0.02f / sy, 0.1f, 0.0f, overlayText);
  if (frameLinesEnabled) {
    fputs(overlayText, stdout);
    fputc('\n', stdout);
  }
  glPopMatrix();
}

void DrawOverlayText(float x, float y, float size, float alignment, const char* text) {
  const size_t n = strlen(text);
  glPushMatrix();
  glTranslatef(float(screenWidth) * x - alignment * size * float(n) * 104.76f,
               float(screenHeight) * y, 0.0f);
  glScalef(size, size, size);
  // No glyph set exists: nothing is drawn for any character.
  glPopMatrix();
}

void SetFrameLinesEnabled(bool enabled) { frameLinesEnabled = enabled; }
bool FrameLinesEnabled() { return frameLinesEnabled; }
