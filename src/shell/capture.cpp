#include "shell/capture.h"

#include <cstddef>

#include "core/gl.h"

void ReadFramebufferRgb(int width, int height, std::vector<uint8_t>* rgb) {
  rgb->resize(size_t(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
}
