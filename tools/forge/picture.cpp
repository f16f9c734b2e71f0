#include "picture.h"

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

Picture MakePicture(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.rgb.assign(size_t(width) * height * 3, 0.0f);
  return p;
}

void SetPixel(Picture& p, int x, int y, float r, float g, float b) {
  float* px = PixelAt(p, x, y);
  px[0] = r;
  px[1] = g;
  px[2] = b;
}

std::vector<uint8_t> ToBytes(const Picture& p) {
  std::vector<uint8_t> out(p.rgb.size());
  for (size_t i = 0; i < p.rgb.size(); ++i) {
    float v = std::clamp(p.rgb[i], 0.0f, 1.0f);
    out[i] = uint8_t(std::lround(v * 255.0f));
  }
  return out;
}

bool WriteJpeg(const std::string& path, const Picture& p, int quality) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "marvoke-forge: can't write %s\n", path.c_str());
    return false;
  }
  std::vector<uint8_t> bytes = ToBytes(p);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = JDIMENSION(p.width);
  cinfo.image_height = JDIMENSION(p.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // No chroma subsampling: coloured gradients and thin text keep their edges.
  for (int c = 0; c < 3; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = &bytes[size_t(cinfo.next_scanline) * p.width * 3];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  bool ok = fflush(f) == 0 && !ferror(f);
  fclose(f);
  if (!ok) fprintf(stderr, "marvoke-forge: write error on %s\n", path.c_str());
  return ok;
}

void PcxEncode(const uint8_t* data, size_t count, std::vector<uint8_t>* out) {
  size_t i = 0;
  while (i < count) {
    uint8_t v = data[i];
    size_t run = 1;
    while (i + run < count && data[i + run] == v && run < 63) ++run;
    // A lone byte below 0xC0 is stored as itself; anything else needs a count byte.
    if (run == 1 && v < 0xC0) {
      out->push_back(v);
    } else {
      out->push_back(uint8_t(0xC0 | run));
      out->push_back(v);
    }
    i += run;
  }
}

namespace {

std::vector<uint8_t> PcxHeader(int width, int height, int planes) {
  std::vector<uint8_t> h(128, 0);
  auto put16 = [&](int at, int v) {
    h[at] = uint8_t(v & 0xFF);
    h[at + 1] = uint8_t((v >> 8) & 0xFF);
  };
  h[0] = 10;  // manufacturer
  h[1] = 5;   // version
  h[2] = 1;   // run-length encoding
  h[3] = 8;   // bits per pixel and plane
  put16(4, 0);
  put16(6, 0);
  put16(8, width - 1);
  put16(10, height - 1);
  put16(12, 72);
  put16(14, 72);
  h[65] = uint8_t(planes);
  put16(66, width);  // bytes per line: the widths used are even, so no padding
  put16(68, 1);
  return h;
}

bool WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "marvoke-forge: can't write %s\n", path.c_str());
    return false;
  }
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (fclose(f) == 0) && ok;
  if (!ok) fprintf(stderr, "marvoke-forge: write error on %s\n", path.c_str());
  return ok;
}

}  // namespace

bool WritePcxPaletted(const std::string& path, const Picture& p) {
  std::vector<uint8_t> bytes = ToBytes(p);
  std::vector<uint8_t> out = PcxHeader(p.width, p.height, 1);
  std::vector<uint8_t> index(size_t(p.width) * p.height);
  for (size_t i = 0; i < index.size(); ++i) index[i] = bytes[i * 3];
  // Each line is coded on its own, as PCX writers customarily do.
  for (int y = 0; y < p.height; ++y) PcxEncode(&index[size_t(y) * p.width], p.width, &out);
  out.push_back(0x0C);
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c) out.push_back(uint8_t(i));
  return WriteAll(path, out);
}

bool WritePcxPlanar(const std::string& path, const Picture& p) {
  std::vector<uint8_t> bytes = ToBytes(p);
  std::vector<uint8_t> out = PcxHeader(p.width, p.height, 3);
  std::vector<uint8_t> line(p.width);
  for (int y = 0; y < p.height; ++y) {
    for (int c = 0; c < 3; ++c) {
      for (int x = 0; x < p.width; ++x) line[x] = bytes[(size_t(y) * p.width + x) * 3 + c];
      PcxEncode(line.data(), line.size(), &out);
    }
  }
  return WriteAll(path, out);
}
