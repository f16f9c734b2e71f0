// libFuzzer target: the JPEG decoder on arbitrary bytes.
#include <cstdint>
#include <cstdio>

#include "assets/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  Image image;
  if (DecodeJpeg(image, file)) {
    // A decoded image must be exactly as large as it says.
    if (image.pixels.size() != size_t(image.width) * image.height * 3) __builtin_trap();
  }
  std::fclose(file);
  return 0;
}
