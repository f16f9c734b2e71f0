// The show's pictures: textures, sprites, the cube map, the logos with their
// masks, the greetings, the loading picture and module B's ripple field.
// Tileable textures sample noise on lattices that wrap with the picture, so
// their edges meet; sprites are drawn additively by the show, so their shape
// lives in their brightness and their edges are black.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "forge.h"
#include "forge_noise.h"
#include "forge_text.h"

namespace {

constexpr float kPi = 3.14159265f;

struct Rgb {
  float r, g, b;
};
Rgb Lerp(const Rgb& a, const Rgb& b, float t) {
  return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)};
}
Rgb Scale(const Rgb& c, float k) { return {c.r * k, c.g * k, c.b * k}; }

// Colour ramp through evenly spaced stops, t in 0..1.
Rgb Ramp(const std::vector<Rgb>& stops, float t) {
  t = std::clamp(t, 0.0f, 1.0f) * float(stops.size() - 1);
  int i = std::min(int(t), int(stops.size()) - 2);
  return Lerp(stops[i], stops[i + 1], t - float(i));
}

void Put(Picture& p, int x, int y, const Rgb& c) { SetPixel(p, x, y, c.r, c.g, c.b); }

void AddSpot(Picture& p, float cx, float cy, float sigma, const Rgb& c, bool wrap) {
  int r = int(std::ceil(sigma * 3.5f));
  for (int dy = -r; dy <= r; ++dy) {
    for (int dx = -r; dx <= r; ++dx) {
      int x = int(std::floor(cx)) + dx, y = int(std::floor(cy)) + dy;
      if (wrap) {
        x = (x % p.width + p.width) % p.width;
        y = (y % p.height + p.height) % p.height;
      } else if (x < 0 || y < 0 || x >= p.width || y >= p.height) {
        continue;
      }
      float fx = float(int(std::floor(cx)) + dx) + 0.5f - cx;
      float fy = float(int(std::floor(cy)) + dy) + 0.5f - cy;
      float k = std::exp(-(fx * fx + fy * fy) / (2 * sigma * sigma));
      float* px = PixelAt(p, x, y);
      px[0] += c.r * k;
      px[1] += c.g * k;
      px[2] += c.b * k;
    }
  }
}

// ---- Sprites -------------------------------------------------------------

// Soft round glow of the sprite ribbon: bright core, zero from the rim out.
Picture RibbonSprite() {
  const int n = 128;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float dx = (x + 0.5f) / (n * 0.5f) - 1, dy = (y + 0.5f) / (n * 0.5f) - 1;
      float r2 = std::min(1.0f, (dx * dx + dy * dy) / 0.92f);
      float rim = (1 - r2) * (1 - r2) * (1 - r2);
      // Faint: module A draws 2048 of them additively, and while its ribbon
      // grows from a point they all pile up on a few pixels.
      float v = 0.6f * std::min(1.0f, 0.55f * rim + 0.6f * std::exp(-r2 * 22.0f) * rim);
      Put(p, x, y, {v, v * 0.97f, v * 0.93f});
    }
  }
  return p;
}

// Radial fade to black for cloud-like sprites; 0 at radius 0.95 and beyond.
float SpriteFade(float dx, float dy, float softness) {
  float r = std::sqrt(dx * dx + dy * dy) / 0.95f;
  if (r >= 1) return 0;
  return std::pow(1 - r * r, softness);
}

// Puffy cloud: billows of noise inside a soft disc, brightest in the middle.
Picture CloudSprite(uint32_t seed) {
  const int n = 128;
  Picture p = MakePicture(n, n);
  ForgeRandom rnd(seed);
  float ox = rnd.Range(0, 64), oy = rnd.Range(0, 64);
  float stretch = rnd.Range(0.8f, 1.25f);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float dx = (x + 0.5f) / (n * 0.5f) - 1, dy = (y + 0.5f) / (n * 0.5f) - 1;
      // Squeezed by the stretch both ways so the ellipse stays inside the disc.
      float k = std::max(stretch, 1 / stretch);
      float fade = SpriteFade(dx * stretch * k, dy / stretch * k, 1.6f);
      float f = TileFbm(ox + x / 24.0f, oy + y / 24.0f, 256, 5, seed);
      float billow = 1 - std::fabs(TileFbm(ox + x / 40.0f, oy + y / 40.0f, 256, 3, seed + 9));
      float v = fade * std::clamp(0.45f + 0.9f * f + 0.35f * billow * billow, 0.0f, 1.2f);
      // Module A lays 45 of these additively over its glow: at full strength
      // they burn the middle of the frame to white.
      v = std::min(1.0f, v * 0.35f);
      Put(p, x, y, {v, v, v * 0.98f});
    }
  }
  return p;
}

// Smoke blob: turbulent wisps in a soft, slightly off-centre body. Each of the
// ten has its own shape so the show's cross-fades between them read as motion.
Picture NoiseBlob(int index) {
  const int n = 128;
  Picture p = MakePicture(n, n);
  uint32_t seed = 700 + uint32_t(index) * 37u;
  ForgeRandom rnd(seed);
  float cx = rnd.Range(-0.12f, 0.12f), cy = rnd.Range(-0.12f, 0.12f);
  float scale = rnd.Range(18.0f, 30.0f);
  float swirl = rnd.Range(0.6f, 1.6f);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float dx = (x + 0.5f) / (n * 0.5f) - 1, dy = (y + 0.5f) / (n * 0.5f) - 1;
      float fade = SpriteFade(dx - cx * (1 - std::fabs(dx)), dy - cy * (1 - std::fabs(dy)), 2.0f);
      float wx = TileFbm(x / 40.0f, y / 40.0f, 256, 3, seed + 1) * swirl;
      float wy = TileFbm(x / 40.0f + 5.2f, y / 40.0f + 1.3f, 256, 3, seed + 2) * swirl;
      float t = TileTurbulence(x / scale + wx, y / scale + wy, 256, 5, seed);
      // Only the wisps carry light, not the body between them: the show
      // adds dozens of these over each other, and a filled disc sums to a
      // pale wash that hides everything in front of it.
      float v = fade * std::clamp(1.8f * t - 0.3f, 0.0f, 1.0f);
      Put(p, x, y, {v, v, v});
    }
  }
  return p;
}

// ---- Environment ---------------------------------------------------------

Picture Black() { return MakePicture(256, 256); }

// The one lit face of the cube map: a soft green-blue light panel whose edges
// fade to black, so it meets the black faces around it without a seam.
Picture EnvironmentPanel() {
  const int n = 256;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float dx = (x + 0.5f) / (n * 0.5f) - 1, dy = (y + 0.5f) / (n * 0.5f) - 1;
      float box = std::max(std::fabs(dx), std::fabs(dy));
      float r2 = dx * dx + dy * dy;
      float edge = 1 - SmoothStep(0.45f, 0.97f, box);
      float glow = 0.35f + 0.65f * std::exp(-r2 * 2.5f);
      float bands = 0.85f + 0.15f * std::cos(dy * 9.0f);
      Rgb c = Lerp({0.55f, 0.95f, 1.0f}, {0.15f, 0.75f, 0.35f}, 0.5f + 0.5f * dy);
      Put(p, x, y, Scale(c, edge * glow * bands));
    }
  }
  return p;
}

// ---- Tileable surfaces ---------------------------------------------------

// Near-white with a faint marbled cloud: the show tints it per object.
Picture White() {
  const int n = 256;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float f = TileFbm(x / 64.0f, y / 64.0f, 4, 5, 31);
      float vein = 1 - SmoothStep(0.0f, 0.08f, std::fabs(TileFbm(x / 128.0f, y / 128.0f, 2, 4, 32)));
      float v = 0.9f + 0.07f * f - 0.06f * vein;
      Put(p, x, y, {v, v, std::min(1.0f, v * 1.02f)});
    }
  }
  return p;
}

// Rocky ground: layered noise and dark cracks along noise zero lines. The
// same crack field, glowing, is the glow texture, so the two line up.
struct Rock {
  float height, crack;
};
Rock RockAt(int x, int y, int n, uint32_t seed) {
  float s = float(n) / 4.0f;  // four lattice cells a tile
  float h = TileFbm(x / s, y / s, 4, 6, seed);
  float wx = 0.4f * TileFbm(x / s + 3.1f, y / s, 4, 3, seed + 5);
  float c = std::fabs(TileFbm(x / s * 1.5f + wx, y / s * 1.5f, 6, 4, seed + 11));
  return {h, 1 - SmoothStep(0.0f, 0.05f, c)};
}

Picture Terrain(uint32_t seed, const std::vector<Rgb>& ramp, float strata) {
  const int n = 512;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      Rock r = RockAt(x, y, n, seed);
      float grain = TileNoise(x / 4.0f, y / 4.0f, n / 4, seed + 3);
      float grainFine = TileNoise(x / 2.0f, y / 2.0f, n / 2, seed + 4);
      // Strata: bands whose count a tile is whole, bent by the height field.
      float band = strata * std::sin(2 * kPi * (6.0f * y / n + 0.6f * r.height));
      float t = 0.5f + 0.45f * r.height + 0.08f * band;
      Rgb c = Ramp(ramp, t);
      float shade = (1 - 0.55f * r.crack) * (0.93f + 0.05f * grainFine + 0.02f * grain);
      Put(p, x, y, Scale(c, shade));
    }
  }
  return p;
}

Picture TerrainGlow(uint32_t seed) {
  const int n = 512;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      Rock r = RockAt(x, y, n, seed);
      // Veins glow where the cracks cut through the low ground, and the low
      // ground itself smoulders: the cave is lit by a dim lamp, so its glow
      // must cover more than hairlines to be seen.
      float low = SmoothStep(0.25f, -0.35f, r.height);
      float spark = SmoothStep(0.55f, 0.8f, TileFbm(x / 32.0f, y / 32.0f, 16, 2, seed + 21));
      float v = std::min(1.0f, r.crack * (0.5f + 0.5f * low) + 0.25f * spark * low +
                                   0.35f + 0.5f * low);
      Put(p, x, y, {std::min(1.0f, 1.1f * v), 0.75f * v, 0.35f * v});
    }
  }
  return p;
}

// Dark wet sand with pebbles.
Picture DarkBeach() {
  const int n = 512;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float wet = TileFbm(x / 128.0f, y / 128.0f, 4, 4, 51);
      float grain = TileNoise(x / 2.0f, y / 2.0f, n / 2, 52) * 0.5f + TileNoise(x / 4.0f, y / 4.0f, n / 4, 53);
      float cell = TileCells(x / 16.0f, y / 16.0f, 32, 54);
      float pebble = 1 - SmoothStep(0.28f, 0.42f, cell);
      uint32_t h = HashInts(int(std::floor(x / 16.0f)), int(std::floor(y / 16.0f)), 0, 55);
      float tone = float(h & 255) / 255.0f;
      Rgb sand = Lerp({0.27f, 0.23f, 0.19f}, {0.12f, 0.12f, 0.14f}, 0.5f + 0.5f * wet);
      sand = Scale(sand, 0.9f + 0.12f * grain);
      Rgb stone = Lerp({0.2f, 0.21f, 0.24f}, {0.42f, 0.38f, 0.33f}, tone);
      stone = Scale(stone, 0.8f + 0.3f * (1 - cell));
      Put(p, x, y, Lerp(sand, stone, pebble * (0.55f + 0.45f * SmoothStep(-0.2f, 0.3f, wet))));
    }
  }
  return p;
}

// Deep blue clouds with brighter streams: the opening and closing ball.
Picture BlueBackground() {
  const int n = 512;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float wx = TileFbm(x / 128.0f, y / 128.0f, 4, 3, 61);
      float f = TileFbm(x / 128.0f + 0.8f * wx, y / 128.0f, 4, 6, 62);
      float streams = 1 - std::fabs(TileFbm(x / 256.0f + 0.5f * wx, y / 256.0f, 2, 5, 63));
      streams = std::pow(streams, 6.0f);
      Rgb c = Ramp({{0.02f, 0.04f, 0.14f}, {0.08f, 0.2f, 0.5f}, {0.25f, 0.5f, 0.95f},
                    {0.75f, 0.9f, 1.0f}},
                   0.4f + 0.5f * f + 0.45f * streams);
      Put(p, x, y, c);
    }
  }
  return p;
}

// Star field with a faint nebula; stars wrap around the edges.
Picture Stars() {
  const int n = 1024;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float f = TileFbm(x / 256.0f, y / 256.0f, 4, 5, 71);
      float g = TileFbm(x / 256.0f + 7.0f, y / 256.0f, 4, 4, 72);
      float neb = SmoothStep(0.0f, 0.7f, f);
      // Faint, but above black: module A's far shots are all sky.
      float haze = 0.35f + 0.65f * neb;
      Put(p, x, y, {0.1f * haze + 0.04f * SmoothStep(0.1f, 0.8f, g), 0.045f * haze, 0.16f * haze});
    }
  }
  ForgeRandom rnd(73);
  for (int i = 0; i < 1800; ++i) {
    float x = rnd.Range(0, float(n)), y = rnd.Range(0, float(n));
    float m = rnd.Uniform();
    float bright = 0.15f + 0.85f * std::pow(m, 7.0f) * 3.0f;
    float temp = rnd.Uniform();
    Rgb c = temp < 0.2f ? Rgb{1.0f, 0.8f, 0.6f} : temp < 0.5f ? Rgb{0.75f, 0.85f, 1.0f} : Rgb{1, 1, 1};
    float sigma = 0.55f + 0.9f * std::pow(m, 4.0f);
    AddSpot(p, x, y, sigma, Scale(c, bright), true);
    if (bright > 1.6f) {
      // A few big stars get a faint cross.
      for (int k = 1; k < 9; ++k) {
        float w = bright * 0.12f * (1 - k / 9.0f);
        AddSpot(p, x + k, y, 0.6f, Scale(c, w), true);
        AddSpot(p, x - k, y, 0.6f, Scale(c, w), true);
        AddSpot(p, x, y + k, 0.6f, Scale(c, w), true);
        AddSpot(p, x, y - k, 0.6f, Scale(c, w), true);
      }
    }
  }
  return p;
}

// Riveted copper plates of the lamp cages, brushed along x.
Picture CagePlates() {
  const int n = 256;
  Picture p = MakePicture(n, n);
  const int plate = 64;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float brush = TileNoiseXY(x / 32.0f, y / 2.0f, n / 32, n / 2, 81) * 0.6f +
                    TileNoiseXY(x / 64.0f, y / 4.0f, n / 64, n / 4, 82) * 0.4f;
      float patina = SmoothStep(0.1f, 0.6f, TileFbm(x / 64.0f, y / 64.0f, 4, 5, 83));
      int px = x % plate, py = y % plate;
      float seam = std::min(std::min(px, plate - 1 - px), std::min(py, plate - 1 - py));
      float groove = seam < 1.5f ? 0.35f : seam < 3.0f ? 1.15f : 1.0f;
      Rgb c = Lerp({0.72f, 0.45f, 0.26f}, {0.3f, 0.55f, 0.5f}, 0.6f * patina);
      c = Scale(c, (0.85f + 0.15f * brush) * groove);
      // Rivets near every plate corner.
      float best = 99;
      for (int cy : {6, plate - 7})
        for (int cx : {6, plate - 7}) best = std::min(best, std::hypot(float(px - cx), float(py - cy)));
      if (best < 3.0f) c = Scale({0.9f, 0.7f, 0.45f}, 1.1f - 0.25f * best);
      Put(p, x, y, c);
    }
  }
  return p;
}

// ---- Pictures with text --------------------------------------------------

// The screen shows the 1024 x 512 render area stretched 1.5 times in height,
// so text in full-frame pictures is set at two thirds of its height.
constexpr float kSquash = 2.0f / 3.0f;

// Fills a picture with a gradient behind everything, so soft mask edges
// show colour, not black.
Picture GradientFill(int w, int h, const std::vector<Rgb>& ramp, float tilt) {
  Picture p = MakePicture(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      Put(p, x, y, Ramp(ramp, float(y) / float(h) + tilt * (float(x) / float(w) - 0.5f)));
  return p;
}

Picture CoverageToPicture(const Coverage& c) {
  Picture p = MakePicture(c.width, c.height);
  for (size_t i = 0; i < c.a.size(); ++i) p.rgb[i * 3] = p.rgb[i * 3 + 1] = p.rgb[i * 3 + 2] = c.a[i];
  return p;
}

// Mask = letters plus a soft halo.
Coverage WithHalo(const Coverage& text, int radius, float halo) {
  Coverage blur = BlurCoverage(text, radius, 3);
  Coverage out = text;
  for (size_t i = 0; i < out.a.size(); ++i)
    out.a[i] = std::min(1.0f, std::max(text.a[i], halo * std::min(1.0f, blur.a[i] * 2.0f)));
  return out;
}

// Brighter rim along the letters' upper edges: a cheap bevel.
void Bevel(Picture& p, const Coverage& text, const Rgb& light, float amount) {
  for (int y = 1; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      float here = text.a[size_t(y) * p.width + x];
      float above = text.a[size_t(y - 1) * p.width + x];
      float rim = std::max(0.0f, here - above);
      float* px = PixelAt(p, x, y);
      px[0] += light.r * rim * amount;
      px[1] += light.g * rim * amount;
      px[2] += light.b * rim * amount;
    }
  }
}

// Title logo. Module D draws it scaled 2.1 times about (50, -90) of the
// render area, so the screen's centre falls on column 488, row 213 and the
// visible part is columns 245-732, rows 91-335.
void TitleLogo(std::vector<ImageFile>& out) {
  const int w = 1024, h = 512;
  Coverage text = MakeCoverage(w, h);
  const std::string title = "MARVOKE";
  int em = FitEm(title, 400, kSquash);
  int emH = int(em * kSquash);
  DrawText(text, title, 488, 213 + int(0.36f * emH), em, emH);
  Coverage mask = WithHalo(text, 5, 0.45f);
  Picture colour = GradientFill(w, h,
                                {{0.3f, 0.05f, 0.4f}, {1.0f, 0.85f, 0.45f}, {1.0f, 0.55f, 0.15f},
                                 {0.9f, 0.2f, 0.35f}, {0.25f, 0.05f, 0.35f}},
                                0.15f);
  Bevel(colour, text, {1.0f, 1.0f, 0.9f}, 0.8f);
  out.push_back({"tro2b.jpg", ImageFormat::Jpeg, colour});
  out.push_back({"tro_m2b.pcx", ImageFormat::PcxPaletted, CoverageToPicture(mask)});
}

// Credits. Drawn scaled 1.35 times about (50, -90): the screen's centre is at
// column 475, row 189; visible are columns 96-854 and rows 0-379.
void CreditsLogo(std::vector<ImageFile>& out) {
  const int w = 1024, h = 512;
  Coverage text = MakeCoverage(w, h);
  struct Line {
    const char* role;
    const char* name;
  } lines[] = {{"code", "Lumifex"}, {"pictures", "Saltmarsh"}, {"music", "Orrinwick"}};
  // Rows 30-190 land above the ornament, which sits 90 units below the centre.
  int row = 30;
  for (const Line& l : lines) {
    int emRole = 28, emName = 52;
    DrawText(text, l.role, 475, row, emRole, int(emRole * kSquash), false);
    DrawText(text, l.name, 475, row + int(emName * kSquash * 0.95f), emName, int(emName * kSquash));
    row += 64;
  }
  Coverage mask = WithHalo(text, 4, 0.4f);
  Picture colour = GradientFill(w, h,
                                {{0.6f, 0.9f, 1.0f}, {0.85f, 0.95f, 1.0f}, {0.5f, 0.7f, 1.0f},
                                 {0.9f, 0.6f, 1.0f}, {0.3f, 0.2f, 0.6f}},
                                -0.1f);
  Bevel(colour, text, {1.0f, 1.0f, 1.0f}, 0.5f);
  out.push_back({"tro2n.jpg", ImageFormat::Jpeg, colour});
  out.push_back({"tro_m2n.pcx", ImageFormat::PcxPlanar, CoverageToPicture(mask)});
}

// Ornament drawn with both logos, centred where they are scaled about (row
// 256 lands 90 units below the screen's centre): a glowing rule with a
// diamond and a tag line under the title.
void Ornament(std::vector<ImageFile>& out) {
  const int w = 1024, h = 512;
  Coverage shape = MakeCoverage(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float dx = float(x) - 512.0f, dy = (float(y) - 250.0f) / kSquash;
      float along = 1 - SmoothStep(150.0f, 215.0f, std::fabs(dx));
      float line = along * (1 - SmoothStep(0.6f, 1.8f, std::fabs(float(y) - 250.0f)));
      float diamond = 1 - SmoothStep(12.0f, 14.0f, std::fabs(dx) + std::fabs(dy));
      float hole = 1 - SmoothStep(5.0f, 7.0f, std::fabs(dx) + std::fabs(dy));
      shape.a[size_t(y) * w + x] = std::max(line, diamond - hole);
    }
  }
  DrawText(shape, "a realtime journey in five rooms", 512, 282, 22, int(22 * kSquash), false);
  Coverage mask = WithHalo(shape, 4, 0.5f);
  Picture colour = GradientFill(w, h, {{0.4f, 0.8f, 1.0f}, {1.0f, 0.9f, 0.6f}, {1.0f, 0.6f, 0.3f}}, 0.5f);
  out.push_back({"tromel.jpg", ImageFormat::Jpeg, colour});
  out.push_back({"tromel.pcx", ImageFormat::PcxPaletted, CoverageToPicture(mask)});
}

// Greetings: laid over the whole render area in the closing scene.
void Greetings(std::vector<ImageFile>& out, int w, int h, const char* jpg, const char* pcx,
               ImageFormat maskFormat) {
  float k = float(w) / 1024.0f;
  Coverage text = MakeCoverage(w, h);
  int emHead = int(64 * k);
  DrawText(text, "Marvoke greets", w * 0.5f, int(82 * k), emHead, int(emHead * kSquash));
  const char* names[] = {"Lantern Moths", "Copper Orchard",  "Nightjar Assembly", "Tidewater Glyphs",
                         "Paper Comets",  "Velvet Sawmill",  "Owlbright",         "Hollow Kettle",
                         "Frostline Weavers", "Mossy Circuit", "Driftglass",      "the Sleepless Cartographers"};
  int em = int(34 * k);
  for (int i = 0; i < 12; ++i) {
    float cx = (i % 2 == 0 ? 0.3f : 0.7f) * w;
    int row = int((150 + (i / 2) * 52) * k);
    DrawText(text, names[i], cx, row, em, int(em * kSquash), i != 11);
  }
  DrawText(text, "and everyone who still codes for the joy of it", w * 0.5f, int(478 * k),
           int(24 * k), int(24 * k * kSquash), false);
  Coverage mask = WithHalo(text, std::max(2, int(4 * k)), 0.5f);
  Picture colour = GradientFill(w, h,
                                {{1.0f, 0.75f, 0.4f}, {1.0f, 0.95f, 0.8f}, {0.6f, 0.9f, 1.0f},
                                 {0.75f, 0.6f, 1.0f}, {1.0f, 0.7f, 0.8f}},
                                0.3f);
  Bevel(colour, text, {1, 1, 1}, 0.4f);
  out.push_back({jpg, ImageFormat::Jpeg, colour});
  out.push_back({pcx, maskFormat, CoverageToPicture(mask)});
}

// Loading picture: the tilted plane and the final stretch of the loading
// screen's blurred copy over the window show it about twice as tall as it is
// drawn, so its planet and text are drawn at half their height.
Picture LoadingPicture() {
  const int w = 256, h = 512;
  const float squash = 0.5f;
  Picture p = MakePicture(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float t = float(y) / h;
      Rgb c = Ramp({{0.02f, 0.03f, 0.12f}, {0.1f, 0.12f, 0.4f}, {0.35f, 0.15f, 0.5f}, {0.05f, 0.02f, 0.08f}}, t);
      float f = TileFbm(x / 64.0f, y / 64.0f, 4, 5, 91);
      c = Scale(c, 0.85f + 0.3f * f);
      // A ringed planet in the upper half.
      float dx = (x - 128.0f) / 86.0f, dy = (y - 170.0f) / (86.0f * squash);
      float r = std::sqrt(dx * dx + dy * dy);
      if (r < 1) {
        float shade = std::clamp(0.4f + 0.8f * (-dx * 0.5f - dy * 0.6f + std::sqrt(1 - r * r)), 0.0f, 1.3f);
        float bands = 0.8f + 0.2f * std::sin(dy * 14 + 2 * TileFbm(x / 32.0f, y / 32.0f, 8, 3, 92));
        c = Scale({0.95f, 0.7f, 0.45f}, shade * bands * 0.8f);
      }
      float ring = std::fabs(std::sqrt((x - 128.0f) * (x - 128.0f) / (122.0f * 122.0f) +
                                       (y - 170.0f) * (y - 170.0f) / (40.0f * squash * 40.0f * squash)) - 1.0f);
      bool front = y > 170 || r >= 1;
      if (ring < 0.06f && front) c = Lerp(c, {0.8f, 0.85f, 1.0f}, 0.8f * (1 - ring / 0.06f));
      Put(p, x, y, c);
    }
  }
  ForgeRandom rnd(93);
  for (int i = 0; i < 160; ++i) {
    float x = rnd.Range(0, float(w)), y = rnd.Range(0, float(h));
    float b = 0.2f + 0.8f * std::pow(rnd.Uniform(), 3.0f);
    AddSpot(p, x, y, 0.6f, {b, b, b}, false);
  }
  Coverage text = MakeCoverage(w, h);
  int em = FitEm("MARVOKE", 224, squash);
  DrawText(text, "MARVOKE", 128, 345, em, int(em * squash));
  DrawText(text, "loading the rooms", 128, 380, 22, int(22 * squash), false);
  Coverage halo = BlurCoverage(text, 4, 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      size_t i = size_t(y) * w + x;
      float* px = PixelAt(p, x, y);
      float g = std::min(1.0f, halo.a[i] * 2.0f) * 0.5f;
      Rgb letter = Lerp({1.0f, 0.95f, 0.8f}, {1.0f, 0.6f, 0.3f}, float(y - 310) / 40.0f);
      for (int c = 0; c < 3; ++c) {
        float base = px[c] + g * (c == 2 ? 0.9f : 0.5f);
        px[c] = Mix(base, (&letter.r)[c], text.a[i]);
      }
    }
  }
  return p;
}

// Module B's ripple field: rings spreading from two centres over a gentle
// swell; the show reads its red channel as heights 0..1.
Picture RippleField() {
  const int n = 96;
  Picture p = MakePicture(n, n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float r1 = std::hypot(x - 40.0f, y - 50.0f), r2 = std::hypot(x - 70.0f, y - 28.0f);
      float ring = 0.6f * std::sin(r1 * 0.55f) * std::exp(-r1 / 45.0f) +
                   0.4f * std::sin(r2 * 0.7f + 1.0f) * std::exp(-r2 / 30.0f);
      float swell = TileFbm(x / 24.0f, y / 24.0f, 4, 3, 101);
      float v = std::clamp(0.5f + 0.4f * ring + 0.15f * swell, 0.0f, 1.0f);
      Put(p, x, y, {v, v, v});
    }
  }
  return p;
}

bool WriteImage(const std::string& dir, const ImageFile& f) {
  std::string path = dir + "/Images/" + f.name;
  switch (f.format) {
    case ImageFormat::Jpeg: return WriteJpeg(path, f.picture);
    case ImageFormat::PcxPaletted: return WritePcxPaletted(path, f.picture);
    case ImageFormat::PcxPlanar: return WritePcxPlanar(path, f.picture);
  }
  return false;
}

}  // namespace

std::vector<ImageFile> BuildImageFiles() {
  std::vector<ImageFile> out;
  auto jpeg = [&](const std::string& name, Picture p) { out.push_back({name, ImageFormat::Jpeg, std::move(p)}); };
  jpeg("loadingVR1.jpg", LoadingPicture());
  jpeg("bill1.jpg", RibbonSprite());
  jpeg("valko.jpg", White());
  jpeg("darkbeach.jpg", DarkBeach());
  jpeg("blubackg.jpg", BlueBackground());
  jpeg("env1puvi.jpg", CagePlates());
  jpeg("black.jpg", Black());
  jpeg("env1gr.jpg", EnvironmentPanel());
  // The caves of modules D and E are lit from far off: a pale rock carries that light.
  jpeg("maasto1.jpg", Terrain(11, {{0.22f, 0.16f, 0.1f}, {0.56f, 0.42f, 0.28f}, {0.82f, 0.7f, 0.54f},
                                    {0.96f, 0.9f, 0.8f}}, 0.4f));
  jpeg("maasto2.jpg", Terrain(17, {{0.05f, 0.07f, 0.1f}, {0.2f, 0.26f, 0.3f}, {0.36f, 0.44f, 0.42f},
                                    {0.62f, 0.66f, 0.6f}}, 1.0f));
  TitleLogo(out);
  CreditsLogo(out);
  Ornament(out);
  Greetings(out, 1024, 512, "greets1.jpg", "greets1.pcx", ImageFormat::PcxPlanar);
  Greetings(out, 512, 256, "greets.jpg", "greets.pcx", ImageFormat::PcxPaletted);
  jpeg("maasto1glow.jpg", TerrainGlow(11));
  jpeg("stars1c.jpg", Stars());
  for (int d = 1; d <= 5; ++d) jpeg("bill_cl" + std::to_string(d) + ".jpg", CloudSprite(500 + uint32_t(d) * 13u));
  for (int d = 1; d <= 10; ++d) jpeg("noiseblob" + std::to_string(d) + "s.jpg", NoiseBlob(d));
  out.push_back({"qoru.pcx", ImageFormat::PcxPlanar, RippleField()});
  return out;
}

bool ForgeImages(const std::string& dir) {
  for (const ImageFile& f : BuildImageFiles())
    if (!WriteImage(dir, f)) return false;
  return true;
}
