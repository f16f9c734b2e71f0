// Reading the framebuffer back, for the offline renderer and the GL tests.
// PNG writing lives in assets/png_write.h.
#pragma once
#include <cstdint>
#include <vector>

#include "assets/png_write.h"

// Reads the w x h RGB area at the lower-left corner of the current read buffer,
// bottom row first (GL order).
void ReadFramebufferRgb(int width, int height, std::vector<uint8_t>* rgb);
