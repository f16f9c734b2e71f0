#include "assets/png_write.h"

#include <png.h>
#include <cstdio>

bool WritePng(const char* path, int width, int height, const uint8_t* rgb, bool bottomUp) {
  FILE* f = fopen(path, "wb");
  if (!f) {
    fprintf(stderr, "Can't write %s\n", path);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(f);
    fprintf(stderr, "Can't write %s\n", path);
    return false;
  }
  png_init_io(png, f);
  // Fast compression: frames are written by the hundred.
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    int row = bottomUp ? height - 1 - y : y;
    png_write_row(png, rgb + size_t(row) * width * 3);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return fclose(f) == 0;
}
