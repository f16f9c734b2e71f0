// Reading the framebuffer back and writing it out as PNG: for the offline
// renderer, the forge's contact sheets and the GL tests.
#pragma once
#include <cstdint>
#include <vector>

// Reads the w x h RGB area at the lower-left corner of the current read buffer,
// bottom row first (GL order).
void ReadFramebufferRgb(int width, int height, std::vector<uint8_t>* rgb);

// Writes 8-bit RGB rows. bottomUp: rows come bottom row first (GL order) and
// are flipped so the file shows the picture upright.
bool WritePng(const char* path, int width, int height, const uint8_t* rgb, bool bottomUp);
