#include "assets/image.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "assets/file_error.h"

namespace {

// libjpeg's default handler ends the process on a corrupt stream; this one
// jumps back to the decoder instead. Warnings (premature end of data,
// corrupt entropy data) count as failures too: such a picture is unreadable.
struct JpegErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::longjmp(manager->jump, 1);
}

void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) cinfo->err->num_warnings++;  // trace messages (level >= 0) are ignored
}

// Decodes into `rgb` (bottom row first). Holds no objects with destructors:
// a longjmp from libjpeg lands here and must not skip any. `rgb` and `row`
// belong to the caller, so nothing leaks when it does.
bool DecodeJpegInto(FILE* file, std::vector<uint8_t>& rgb, std::vector<uint8_t>& row,
                    uint32_t& width, uint32_t& height) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager errors;
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JpegErrorExit;
  errors.base.emit_message = JpegEmitMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  // Greyscale comes out as RGB; CMYK and YCCK as CMYK, converted below.
  if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)
    cinfo.out_color_space = JCS_CMYK;
  else
    cinfo.out_color_space = JCS_RGB;
  uint64_t pixels = uint64_t(cinfo.image_width) * cinfo.image_height;
  if (pixels == 0 || pixels > kMaxImagePixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  const uint32_t w = cinfo.output_width, h = cinfo.output_height;
  const int components = cinfo.output_components;
  const bool cmyk = cinfo.out_color_space == JCS_CMYK;
  // Adobe writes CMYK inverted (0 = full ink).
  const bool inverted = cinfo.saw_Adobe_marker;
  if ((components != 3 && components != 4) || uint64_t(w) * h > kMaxImagePixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  rgb.assign(size_t(w) * h * 3, 0);
  row.assign(size_t(w) * components, 0);
  while (cinfo.output_scanline < h) {
    const uint32_t y = cinfo.output_scanline;
    JSAMPROW rows[1] = {row.data()};
    // A warning means corrupt or missing data: the picture is refused, so
    // decoding the rest (libjpeg would fill it in) is wasted work.
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1 || cinfo.err->num_warnings != 0) break;
    uint8_t* out = rgb.data() + size_t(h - 1 - y) * w * 3;  // upside down
    if (!cmyk) {
      std::memcpy(out, row.data(), size_t(w) * 3);
      continue;
    }
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t* p = row.data() + size_t(x) * 4;
      int k = inverted ? p[3] : 255 - p[3];
      for (int c = 0; c < 3; ++c) {
        int ink = inverted ? p[c] : 255 - p[c];
        out[x * 3 + c] = static_cast<uint8_t>(ink * k / 255);
      }
    }
  }
  const bool complete = cinfo.output_scanline == h;
  if (complete) jpeg_finish_decompress(&cinfo);
  const bool clean = complete && cinfo.err->num_warnings == 0;
  jpeg_destroy_decompress(&cinfo);
  width = w;
  height = h;
  return clean;
}

// Reads bytes from a PCX stream through a small buffer.
struct ByteReader {
  explicit ByteReader(FILE* f) : file(f) {}
  FILE* file;
  uint8_t buffer[4096];
  size_t size = 0, next = 0;
  int Get() {
    if (next == size) {
      size = std::fread(buffer, 1, sizeof buffer, file);
      next = 0;
      if (size == 0) return EOF;
    }
    return buffer[next++];
  }
};

// Run-length decoding of `total` bytes. Runs may cross lines; a run past the
// end is cut; a count of 0 consumes its value byte and skips one position.
// False when the data ends first.
bool DecodeRuns(FILE* file, uint8_t* out, size_t total) {
  ByteReader reader(file);
  size_t pos = 0;
  while (pos < total) {
    int b = reader.Get();
    if (b == EOF) return false;
    if (b < 0xC0) {
      out[pos++] = static_cast<uint8_t>(b);
      continue;
    }
    size_t count = size_t(b - 0xC0);
    int value = reader.Get();
    if (value == EOF) return false;
    if (count == 0) {
      pos++;
      continue;
    }
    if (count > total - pos) count = total - pos;
    std::memset(out + pos, value, count);
    pos += count;
  }
  return true;
}

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool DecodeJpeg(Image& image, FILE* file) {
  std::vector<uint8_t> rgb, row;
  uint32_t width = 0, height = 0;
  if (!DecodeJpegInto(file, rgb, row, width, height)) return false;
  image.pixels.swap(rgb);
  image.width = width;
  image.height = height;
  return true;
}

bool LoadJpeg(Image& image, const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    ReportFileReadError(path);
    return false;
  }
  bool ok = DecodeJpeg(image, file);
  std::fclose(file);
  if (!ok) ReportFileReadError(path);
  return ok;
}

PcxResult DecodePcx(Image& image, FILE* file) {
  uint8_t header[128];
  if (std::fread(header, 1, sizeof header, file) != sizeof header) return PcxResult::Malformed;
  if (header[1] != 5 || header[2] != 1) return PcxResult::Unsupported;
  const int bitsPerPixel = header[3];
  const int planes = header[65];
  const int64_t width = ReadLe16(header + 66);
  const int64_t height = int64_t(ReadLe16(header + 10)) - int64_t(ReadLe16(header + 6)) + 1;
  if (width <= 0 || height <= 0) return PcxResult::Malformed;

  if (std::fseek(file, 0, SEEK_END) != 0) return PcxResult::Malformed;
  const long fileSize = std::ftell(file);
  if (fileSize < 128) return PcxResult::Malformed;
  const bool paletted = planes * bitsPerPixel == 8;
  const uint64_t total = uint64_t(width) * uint64_t(height) * (paletted ? 1 : 3);
  // Every two bytes of data make at most 63 bytes: a header claiming more
  // than the file can hold is refused before anything is allocated.
  const uint64_t dataBytes = uint64_t(fileSize) - 128;
  if (total > (dataBytes + 1) / 2 * 63 || uint64_t(width) * height > kMaxImagePixels)
    return PcxResult::Malformed;

  uint8_t palette[768];
  if (paletted) {
    if (fileSize < 128 + 768) return PcxResult::Malformed;
    if (std::fseek(file, fileSize - 768, SEEK_SET) != 0 ||
        std::fread(palette, 1, sizeof palette, file) != sizeof palette)
      return PcxResult::Malformed;
  }
  if (std::fseek(file, 128, SEEK_SET) != 0) return PcxResult::Malformed;
  std::vector<uint8_t> raw(total, 0);
  if (!DecodeRuns(file, raw.data(), raw.size())) return PcxResult::Malformed;

  const size_t w = size_t(width), h = size_t(height);
  std::vector<uint8_t> rgb(w * h * 3);
  for (size_t i = 0; i < h; ++i) {
    const size_t fileRow = h - 1 - i;
    uint8_t* out = rgb.data() + i * w * 3;
    if (paletted) {
      const uint8_t* index = raw.data() + fileRow * w;
      for (size_t j = 0; j < w; ++j) std::memcpy(out + j * 3, palette + index[j] * 3, 3);
    } else {
      // Each file row is three lines: red, green, blue.
      const uint8_t* line = raw.data() + fileRow * 3 * w;
      for (size_t j = 0; j < w; ++j) {
        out[j * 3 + 0] = line[j];
        out[j * 3 + 1] = line[w + j];
        out[j * 3 + 2] = line[2 * w + j];
      }
    }
  }
  image.pixels.swap(rgb);
  image.width = static_cast<uint32_t>(w);
  image.height = static_cast<uint32_t>(h);
  return PcxResult::Ok;
}

bool LoadPcx(Image& image, const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    ReportFileReadError(path);
    std::exit(1);
  }
  PcxResult result = DecodePcx(image, file);
  std::fclose(file);
  if (result == PcxResult::Malformed) std::fprintf(stderr, "Malformed PCX file %s\n", path);
  return result == PcxResult::Ok;
}

void LoadHeightField(Image& image, const char* path, float* values, size_t valueCount) {
  LoadPcx(image, path);
  const size_t w = image.width, h = image.height;
  for (size_t j = 0; j < h; ++j) {
    for (size_t k = 0; k < w; ++k) {
      size_t index = k * h + j;
      if (index < valueCount) values[index] = image.pixels[(j * w + k) * 3] / 255.0f;
    }
  }
}
