#include "shell/view.h"

#include "core/area_target.h"
#include "core/gl.h"
#include "core/settings.h"

void SetTargetView(int width, int height) {
  if (height == 0) return;
  BindAreaTarget();
  glViewport(0, 0, renderWidth, renderHeight);
  screenWidth = width;
  screenHeight = height;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-(renderWidth / 2), renderWidth / 2, -(renderHeight / 2), renderHeight / 2, 0, 1);
  glMatrixMode(GL_MODELVIEW);
}

void SetWindowView() {
  BindWindowTarget();
  // The projection spans the whole window; the viewport squeezes it into the
  // picture's rectangle, so what is drawn over the window keeps its shape.
  const PictureRect r = FitPicture(screenWidth, screenHeight);
  glViewport(r.x, r.y, r.width, r.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-0.5 * screenWidth, 0.5 * screenWidth, -0.5 * screenHeight, 0.5 * screenHeight, 0.1,
          100000);
  glMatrixMode(GL_MODELVIEW);
}
