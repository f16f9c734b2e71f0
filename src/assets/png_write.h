// Writing 8-bit RGB pictures as PNG: for the offline renderer, the forge's
// contact sheets and the GL tests. Beside the image readers, below the shell.
#pragma once
#include <cstdint>

// Writes 8-bit RGB rows. bottomUp: rows come bottom row first (GL order) and
// are flipped so the file shows the picture upright.
bool WritePng(const char* path, int width, int height, const uint8_t* rgb, bool bottomUp);
