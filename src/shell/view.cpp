#include "shell/view.h"

#include "core/gl.h"
#include "core/settings.h"

void SetTargetView(int width, int height) {
  if (height == 0) return;
  glViewport(0, 0, renderWidth, renderHeight);
  screenWidth = width;
  screenHeight = height;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-(renderWidth / 2), renderWidth / 2, -(renderHeight / 2), renderHeight / 2, 0, 1);
  glMatrixMode(GL_MODELVIEW);
}

void SetWindowView() {
  glViewport(0, 0, screenWidth, screenHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-0.5 * screenWidth, 0.5 * screenWidth, -0.5 * screenHeight, 0.5 * screenHeight, 0.1,
          100000);
  glMatrixMode(GL_MODELVIEW);
}
