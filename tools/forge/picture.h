// Pictures as the forge draws them: float RGB, top row first, and the writers
// that turn them into the show's JPEG and PCX files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<float> rgb;  // 3 floats a pixel, 0..1, top row first
};

Picture MakePicture(int width, int height);
inline float* PixelAt(Picture& p, int x, int y) { return &p.rgb[(size_t(y) * p.width + x) * 3]; }
inline const float* PixelAt(const Picture& p, int x, int y) {
  return &p.rgb[(size_t(y) * p.width + x) * 3];
}
void SetPixel(Picture& p, int x, int y, float r, float g, float b);
// Colour bytes, top row first, rounded and clamped.
std::vector<uint8_t> ToBytes(const Picture& p);

// libjpeg-turbo compressor, three components, 4:4:4 so gradients stay clean.
bool WriteJpeg(const std::string& path, const Picture& p, int quality = 95);
// PCX version 5, run-length encoded, 8-bit indices with a 256-entry palette.
// The picture's red channel is quantised to a grey palette.
bool WritePcxPaletted(const std::string& path, const Picture& p);
// PCX version 5, run-length encoded, three 8-bit planes (red, green, blue a line).
bool WritePcxPlanar(const std::string& path, const Picture& p);
// Run-length coding of one stream of bytes as the PCX decoder reads it.
void PcxEncode(const uint8_t* data, size_t count, std::vector<uint8_t>* out);
