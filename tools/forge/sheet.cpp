// Contact sheet: every picture the forge makes, scaled into a labelled grid,
// so a person can look over the whole set at once.
#include <algorithm>
#include <cmath>

#include "forge.h"
#include "forge_text.h"
#include "shell/capture.h"

bool WriteContactSheet(const std::string& pngPath) {
  std::vector<ImageFile> images = BuildImageFiles();
  const int cols = 8, thumb = 168, pad = 8, label = 22;
  const int cellW = thumb + pad, cellH = thumb + label + pad;
  int rows = int((images.size() + cols - 1) / cols);
  Picture sheet = MakePicture(cols * cellW + pad, rows * cellH + pad);
  for (float& v : sheet.rgb) v = 0.18f;
  Coverage labels = MakeCoverage(sheet.width, sheet.height);
  for (size_t i = 0; i < images.size(); ++i) {
    const Picture& p = images[i].picture;
    int x0 = pad + int(i % cols) * cellW, y0 = pad + int(i / cols) * cellH;
    float k = float(thumb) / float(std::max(p.width, p.height));
    int tw = std::max(1, int(p.width * k)), th = std::max(1, int(p.height * k));
    int ox = x0 + (thumb - tw) / 2, oy = y0 + (thumb - th) / 2;
    // Box filter over each thumbnail pixel's footprint.
    for (int y = 0; y < th; ++y) {
      for (int x = 0; x < tw; ++x) {
        int sx0 = int(x / k), sx1 = std::max(sx0 + 1, int((x + 1) / k));
        int sy0 = int(y / k), sy1 = std::max(sy0 + 1, int((y + 1) / k));
        float acc[3] = {0, 0, 0};
        int count = 0;
        for (int sy = sy0; sy < std::min(sy1, p.height); ++sy)
          for (int sx = sx0; sx < std::min(sx1, p.width); ++sx, ++count)
            for (int c = 0; c < 3; ++c) acc[c] += PixelAt(p, sx, sy)[c];
        if (count)
          SetPixel(sheet, ox + x, oy + y, acc[0] / count, acc[1] / count, acc[2] / count);
      }
    }
    DrawText(labels, images[i].name, float(x0 + thumb / 2), y0 + thumb + 16, 13, 13, false);
  }
  for (size_t i = 0; i < labels.a.size(); ++i)
    for (int c = 0; c < 3; ++c) sheet.rgb[i * 3 + c] = std::max(sheet.rgb[i * 3 + c], labels.a[i]);
  std::vector<uint8_t> bytes = ToBytes(sheet);
  return WritePng(pngPath.c_str(), sheet.width, sheet.height, bytes.data(), false);
}
