// Images: JPEG (libjpeg) and run-length PCX files decoded into a reusable RGB
// buffer, and their upload as 2D, cube-map and masked RGBA textures.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// A decode buffer reused for many files; each successful load replaces it.
struct Image {
  std::vector<uint8_t> pixels;  // 3 bytes a pixel (R, G, B), bottom row first, no row padding
  uint32_t width = 0;
  uint32_t height = 0;
};

// Decode a JPEG (colour, greyscale or CMYK) into the image as RGB. An
// unopenable, corrupt or truncated file is reported with the file-read box
// and a quit request; the result is then false and the image unchanged.
bool LoadJpeg(Image& image, const char* path);

// Decode a version-5 run-length PCX (256-colour paletted or three 8-bit
// planes). An unopenable file is reported and ends the process with exit
// code 1. Another version or encoding gives false with no message; malformed
// or truncated data gives false with a line on stderr. On false the image is
// unchanged.
bool LoadPcx(Image& image, const char* path);

// The decoders behind LoadJpeg and LoadPcx, on an open stream and without any
// report; they need no GL context (the fuzz targets call them).
bool DecodeJpeg(Image& image, FILE* file);
enum class PcxResult { Ok, Unsupported, Malformed };
PcxResult DecodePcx(Image& image, FILE* file);

// Images larger than this many pixels are refused rather than allocated.
constexpr uint64_t kMaxImagePixels = 8192ull * 8192ull;

// LoadJpeg, then upload as a 2D RGB texture named `name` (linear filters,
// repeat wrap, no mipmaps). Leaves `name` bound to GL_TEXTURE_2D.
void LoadTexture(Image& image, const char* path, unsigned name);

// LoadJpeg, then upload as cube-map face 0..5 (+X, −X, +Y, −Y, +Z, −Z) of
// `name` with nearest filters. Leaves `name` bound to GL_TEXTURE_CUBE_MAP.
void LoadCubeFace(Image& image, const char* path, unsigned name, int face);

// An RGBA texture: colour from the JPEG, alpha from the blue byte of the PCX
// mask at the same position (255 where the mask has no such pixel). Linear
// filters, wrap modes left at GL's defaults. Leaves `name` bound to GL_TEXTURE_2D.
void LoadMaskedTexture(Image& image, const char* maskPath, const char* colourPath, unsigned name);

// LoadPcx, then values[k × height + j] = red / 255 for column k and stored
// row j (column-major). Only the first `valueCount` entries are written.
void LoadHeightField(Image& image, const char* path, float* values, size_t valueCount);
