#include "icon.h"

#include <cstdio>
#include <vector>

#include "assets/image.h"
#include "assets/png_write.h"

const char* const kIconSource = "stars1c.jpg";

bool WriteIcon(const std::string& dataDir, const std::string& pngPath, int size) {
  if (size < 16 || size > 1024) {
    fprintf(stderr, "marvoke-icon: size %d is not 16 to 1024\n", size);
    return false;
  }
  const std::string source = dataDir + "/Images/" + kIconSource;
  FILE* file = fopen(source.c_str(), "rb");
  Image image;
  const bool decoded = file && DecodeJpeg(image, file);
  if (file) fclose(file);
  if (!decoded || image.width < uint32_t(size) || image.height < uint32_t(size)) {
    fprintf(stderr, "marvoke-icon: can't read %s as a picture of at least %d x %d\n",
            source.c_str(), size, size);
    return false;
  }
  const uint32_t side = image.width < image.height ? image.width : image.height;
  const uint32_t x0 = (image.width - side) / 2, y0 = (image.height - side) / 2;
  std::vector<uint8_t> rgb(size_t(size) * size * 3);
  // Each icon pixel is the mean of the source pixels it covers, so thin bright
  // details thin out instead of flickering in and out as with point sampling.
  for (int y = 0; y < size; ++y) {
    const uint32_t sy0 = y0 + uint32_t(uint64_t(y) * side / size);
    const uint32_t sy1 = y0 + uint32_t(uint64_t(y + 1) * side / size);
    for (int x = 0; x < size; ++x) {
      const uint32_t sx0 = x0 + uint32_t(uint64_t(x) * side / size);
      const uint32_t sx1 = x0 + uint32_t(uint64_t(x + 1) * side / size);
      uint64_t sum[3] = {0, 0, 0};
      for (uint32_t sy = sy0; sy < sy1; ++sy)
        for (uint32_t sx = sx0; sx < sx1; ++sx)
          for (int k = 0; k < 3; ++k) sum[k] += image.pixels[(size_t(sy) * image.width + sx) * 3 + k];
      const uint64_t count = uint64_t(sy1 - sy0) * (sx1 - sx0);
      for (int k = 0; k < 3; ++k)
        rgb[(size_t(y) * size + x) * 3 + k] = uint8_t((sum[k] + count / 2) / count);
    }
  }
  // The decoded rows run bottom first, as GL takes them.
  if (!WritePng(pngPath.c_str(), size, size, rgb.data(), true)) {
    fprintf(stderr, "marvoke-icon: can't write %s\n", pngPath.c_str());
    return false;
  }
  return true;
}
