// Texture uploads of decoded images. Rows are tightly packed (3 × width bytes),
// so the unpack alignment is set to 1 for the upload and restored after it.
#include <vector>

#include "assets/image.h"
#include "core/gl.h"

namespace {

void UploadTightRows(GLenum target, GLint internalFormat, GLenum format, GLsizei width,
                     GLsizei height, const void* data) {
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(target, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, data);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

const void* PixelsOrNull(const Image& image) {
  return image.pixels.empty() ? nullptr : image.pixels.data();
}

}  // namespace

void LoadTexture(Image& image, const char* path, unsigned name) {
  LoadJpeg(image, path);  // on failure the previous content is uploaded
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  UploadTightRows(GL_TEXTURE_2D, 3, GL_RGB, GLsizei(image.width), GLsizei(image.height),
                  PixelsOrNull(image));
}

void LoadCubeFace(Image& image, const char* path, unsigned name, int face) {
  LoadJpeg(image, path);
  if (face < 0 || face > 5) return;
  glBindTexture(GL_TEXTURE_CUBE_MAP, name);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  UploadTightRows(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face), 3, GL_RGB,
                  GLsizei(image.width), GLsizei(image.height), PixelsOrNull(image));
}

void LoadMaskedTexture(Image& image, const char* maskPath, const char* colourPath,
                       unsigned name) {
  const bool haveMask = LoadPcx(image, maskPath);
  const std::vector<uint8_t> mask = image.pixels;
  const size_t maskWidth = image.width, maskHeight = image.height;
  LoadJpeg(image, colourPath);

  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  const size_t w = image.width, h = image.height;
  std::vector<uint8_t> rgba(w * h * 4);
  for (size_t i = 0; i < h; ++i) {
    for (size_t j = 0; j < w; ++j) {
      const uint8_t* colour = image.pixels.data() + (i * w + j) * 3;
      uint8_t* out = rgba.data() + (i * w + j) * 4;
      out[0] = colour[0];
      out[1] = colour[1];
      out[2] = colour[2];
      // A mask of another size (or none) is read where it overlaps, opaque elsewhere.
      bool inside = haveMask && i < maskHeight && j < maskWidth;
      out[3] = inside ? mask[(i * maskWidth + j) * 3 + 2] : 255;
    }
  }
  UploadTightRows(GL_TEXTURE_2D, 4, GL_RGBA, GLsizei(w), GLsizei(h),
                  rgba.empty() ? nullptr : rgba.data());
}
