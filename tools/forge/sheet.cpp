// Contact sheet: every picture the forge makes, scaled into a labelled grid,
// so a person can look over the whole set at once.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "forge.h"
#include "forge_text.h"
#include "assets/png_write.h"

namespace {

const ImageFile* Find(const std::vector<ImageFile>& images, const std::string& name) {
  for (const ImageFile& f : images)
    if (f.name == name) return &f;
  return nullptr;
}

// One 1024 x 768 screen as the viewer sees it: masked pictures laid over a
// dark backdrop in the 1024 x 512 render area, each scaled by `scale` about
// (x, y), then the area stretched 1.5 times in height.
struct Layer {
  const char* colour;
  const char* mask;
  float scale, x, y, alpha;
};
Picture Screen(const std::vector<ImageFile>& images, const std::vector<Layer>& layers) {
  Picture out = MakePicture(1024, 768);
  for (int r = 0; r < 768; ++r) {
    for (int c = 0; c < 1024; ++c) {
      float X = float(c) + 0.5f - 512.0f, Y = (384.0f - float(r) - 0.5f) / 1.5f;
      float px[3] = {0.08f, 0.1f, 0.16f + 0.08f * (Y + 256) / 512};
      for (const Layer& l : layers) {
        const ImageFile* colourFile = Find(images, l.colour);
        const ImageFile* maskFile = Find(images, l.mask);
        if (!colourFile || !maskFile) continue;
        const Picture& col = colourFile->picture;
        const Picture& msk = maskFile->picture;
        float u = (X - l.x) / l.scale / 1024.0f + 0.5f, v = (Y - l.y) / l.scale / 512.0f + 0.5f;
        if (u < 0 || u >= 1 || v < 0 || v >= 1) continue;
        int ix = int(u * col.width), iy = int((1 - v) * col.height);
        float a = l.alpha * PixelAt(msk, ix, iy)[2];
        for (int k = 0; k < 3; ++k) px[k] = px[k] * (1 - a) + PixelAt(col, ix, iy)[k] * a;
      }
      SetPixel(out, c, r, px[0], px[1], px[2]);
    }
  }
  return out;
}

}  // namespace

bool WriteModelPreviews(const std::string& pngPath);

bool WriteScreenPreviews(const std::string& pngPath) {
  std::vector<ImageFile> images = BuildImageFiles();
  // Module D's logo echoes once they have gathered (16 or 25 at alpha 0.2).
  const float gathered = 1.0f - std::pow(0.8f, 16.0f);
  Picture shots[3] = {
      Screen(images, {{"tro2b.jpg", "tro_m2b.pcx", 2.1f, 50, -90, gathered},
                      {"tromel.jpg", "tromel.pcx", 2.1f, 50, -90, gathered}}),
      Screen(images, {{"tro2n.jpg", "tro_m2n.pcx", 1.35f, 50, -90, gathered},
                      {"tromel.jpg", "tromel.pcx", 1.35f, 50, -90, gathered}}),
      Screen(images, {{"greets1.jpg", "greets1.pcx", 1.0f, 0, 0, 0.75f}}),
  };
  Picture sheet = MakePicture(1024, 768);
  for (int i = 0; i < 3; ++i)
    for (int r = 0; r < 768 / 2; ++r)
      for (int c = 0; c < 1024 / 2; ++c) {
        const float* a = PixelAt(shots[i], 2 * c, 2 * r);
        int ox = (i % 2) * 512, oy = (i / 2) * 384;
        SetPixel(sheet, ox + c, oy + r, a[0], a[1], a[2]);
      }
  std::vector<uint8_t> bytes = ToBytes(sheet);
  return WritePng(pngPath.c_str(), sheet.width, sheet.height, bytes.data(), false);
}

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
  if (!WritePng(pngPath.c_str(), sheet.width, sheet.height, bytes.data(), false)) return false;
  std::string screens = pngPath;
  size_t dot = screens.rfind(".png");
  std::string stem = dot == std::string::npos ? screens : screens.substr(0, dot);
  return WriteScreenPreviews(stem + "-screens.png") && WriteModelPreviews(stem + "-models.png");
}

namespace {

// Flat-shaded software view of one mesh in a size x size cell: turned 35
// degrees about the vertical, tilted 25 degrees, fitted to the cell. Only
// faces turned to the viewer are drawn, so shapes seen from inside show
// their far walls.
void DrawMesh(Picture& out, int ox, int oy, int size, const Mesh& m) {
  const float ca = std::cos(0.61f), sa = std::sin(0.61f), ct = std::cos(0.44f), st = std::sin(0.44f);
  std::vector<Vec3f> p(m.vertices.size());
  float lo[2] = {1e30f, 1e30f}, hi[2] = {-1e30f, -1e30f};
  for (size_t i = 0; i < p.size(); ++i) {
    const Vec3f& v = m.vertices[i];
    float x = ca * v.x - sa * v.y, y = sa * v.x + ca * v.y, z = v.z;
    // Seen from the front and above: screen x right, y up, depth towards the viewer.
    Vec3f s{x, ct * z + st * y, st * z - ct * y};
    p[i] = s;
    lo[0] = std::min(lo[0], s.x), hi[0] = std::max(hi[0], s.x);
    lo[1] = std::min(lo[1], s.y), hi[1] = std::max(hi[1], s.y);
  }
  float k = 0.9f * size / std::max(hi[0] - lo[0], hi[1] - lo[1]);
  float cx = 0.5f * (lo[0] + hi[0]), cy = 0.5f * (lo[1] + hi[1]);
  std::vector<float> depth(size_t(size) * size, -1e30f);
  for (size_t f = 0; f < m.faces.size(); f += 3) {
    Vec3f a = p[m.faces[f]], b = p[m.faces[f + 1]], c = p[m.faces[f + 2]];
    float nz = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (nz <= 0) continue;  // turned away
    // Shade from the face normal in view space.
    Vec3f e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
    Vec3f n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z) + 1e-20f;
    float light = std::max(0.0f, (0.4f * n.x + 0.6f * n.y + 0.7f * n.z) / len / 1.0f);
    float shade = 0.2f + 0.8f * light;
    auto sx = [&](const Vec3f& q) { return (q.x - cx) * k + size * 0.5f; };
    auto sy = [&](const Vec3f& q) { return size * 0.5f - (q.y - cy) * k; };
    float x0 = sx(a), y0 = sy(a), x1 = sx(b), y1 = sy(b), x2 = sx(c), y2 = sy(c);
    int minx = std::max(0, int(std::floor(std::min({x0, x1, x2}))));
    int maxx = std::min(size - 1, int(std::ceil(std::max({x0, x1, x2}))));
    int miny = std::max(0, int(std::floor(std::min({y0, y1, y2}))));
    int maxy = std::min(size - 1, int(std::ceil(std::max({y0, y1, y2}))));
    float area = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0);
    if (std::fabs(area) < 1e-12f) continue;
    for (int y = miny; y <= maxy; ++y) {
      for (int x = minx; x <= maxx; ++x) {
        float px = x + 0.5f, py = y + 0.5f;
        float w0 = ((x1 - px) * (y2 - py) - (y1 - py) * (x2 - px)) / area;
        float w1 = ((x2 - px) * (y0 - py) - (y2 - py) * (x0 - px)) / area;
        float w2 = 1 - w0 - w1;
        if (w0 < 0 || w1 < 0 || w2 < 0) continue;
        float z = w0 * a.z + w1 * b.z + w2 * c.z;
        float& d = depth[size_t(y) * size + x];
        if (z <= d) continue;
        d = z;
        SetPixel(out, ox + x, oy + y, 0.85f * shade, 0.8f * shade, 0.7f * shade);
      }
    }
  }
}

}  // namespace

bool WriteModelPreviews(const std::string& pngPath) {
  std::vector<ModelFile> files = BuildModelFiles();
  const int cell = 256, cols = 4;
  int rows = int((files.size() + cols - 1) / cols);
  Picture out = MakePicture(cols * cell, rows * cell);
  for (float& v : out.rgb) v = 0.12f;
  Coverage labels = MakeCoverage(out.width, out.height);
  for (size_t i = 0; i < files.size(); ++i) {
    int ox = int(i % cols) * cell, oy = int(i / cols) * cell;
    DrawMesh(out, ox, oy, cell, files[i].meshes.front());
    char text[96];
    snprintf(text, sizeof text, "%s  %d faces", files[i].name.c_str(), files[i].meshes.front().FaceCount());
    DrawText(labels, text, float(ox + cell / 2), oy + cell - 6, 13, 13, false);
  }
  for (size_t i = 0; i < labels.a.size(); ++i)
    for (int c = 0; c < 3; ++c) out.rgb[i * 3 + c] = std::max(out.rgb[i * 3 + c], labels.a[i]);
  std::vector<uint8_t> bytes = ToBytes(out);
  return WritePng(pngPath.c_str(), out.width, out.height, bytes.data(), false);
}
