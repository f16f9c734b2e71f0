#include "forge_noise.h"

#include <algorithm>
#include <cmath>

uint32_t HashInts(int x, int y, int z, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B9u;
  h ^= uint32_t(x) * 0x85EBCA6Bu;
  h = (h << 13) | (h >> 19);
  h ^= uint32_t(y) * 0xC2B2AE35u;
  h = (h << 17) | (h >> 15);
  h ^= uint32_t(z) * 0x27D4EB2Fu;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

namespace {

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

int Wrap(int v, int period) {
  int m = v % period;
  return m < 0 ? m + period : m;
}

float Grad2(int ix, int iy, uint32_t seed, float dx, float dy) {
  uint32_t h = HashInts(ix, iy, 0, seed);
  float a = float(h & 0xFFFF) * (6.2831853f / 65536.0f);
  return std::cos(a) * dx + std::sin(a) * dy;
}

float Grad3(int ix, int iy, int iz, uint32_t seed, float dx, float dy, float dz) {
  switch (HashInts(ix, iy, iz, seed) % 12) {
    case 0: return dx + dy;
    case 1: return -dx + dy;
    case 2: return dx - dy;
    case 3: return -dx - dy;
    case 4: return dx + dz;
    case 5: return -dx + dz;
    case 6: return dx - dz;
    case 7: return -dx - dz;
    case 8: return dy + dz;
    case 9: return -dy + dz;
    case 10: return dy - dz;
    default: return -dy - dz;
  }
}

}  // namespace

float SmoothStep(float e0, float e1, float x) {
  float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

float Mix(float a, float b, float t) { return a + (b - a) * t; }

float TileNoise(float x, float y, int period, uint32_t seed) {
  return TileNoiseXY(x, y, period, period, seed);
}

float TileNoiseXY(float x, float y, int periodX, int periodY, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int x0 = int(fx), y0 = int(fy);
  float dx = x - fx, dy = y - fy;
  int ax = Wrap(x0, periodX), bx = Wrap(x0 + 1, periodX);
  int ay = Wrap(y0, periodY), by = Wrap(y0 + 1, periodY);
  float n00 = Grad2(ax, ay, seed, dx, dy);
  float n10 = Grad2(bx, ay, seed, dx - 1, dy);
  float n01 = Grad2(ax, by, seed, dx, dy - 1);
  float n11 = Grad2(bx, by, seed, dx - 1, dy - 1);
  float u = Fade(dx), v = Fade(dy);
  return 1.41f * Mix(Mix(n00, n10, u), Mix(n01, n11, u), v);
}

float TileFbm(float x, float y, int period, int octaves, uint32_t seed, float gain) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * TileNoise(x, y, period, seed + uint32_t(o) * 101u);
    norm += amp;
    amp *= gain;
    x *= 2;
    y *= 2;
    period *= 2;
  }
  return sum / norm;
}

float TileTurbulence(float x, float y, int period, int octaves, uint32_t seed) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * std::fabs(TileNoise(x, y, period, seed + uint32_t(o) * 131u));
    norm += amp;
    amp *= 0.5f;
    x *= 2;
    y *= 2;
    period *= 2;
  }
  return sum / norm;
}

float TileCells(float x, float y, int period, uint32_t seed) {
  int cx = int(std::floor(x)), cy = int(std::floor(y));
  float best = 9.0f;
  for (int j = -1; j <= 1; ++j) {
    for (int i = -1; i <= 1; ++i) {
      int gx = cx + i, gy = cy + j;
      uint32_t h = HashInts(Wrap(gx, period), Wrap(gy, period), 7, seed);
      float px = gx + float(h & 0xFFFF) / 65536.0f;
      float py = gy + float(h >> 16) / 65536.0f;
      float d = (px - x) * (px - x) + (py - y) * (py - y);
      best = std::min(best, d);
    }
  }
  return std::sqrt(best);
}

float Noise3D(float x, float y, float z, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
  int x0 = int(fx), y0 = int(fy), z0 = int(fz);
  float dx = x - fx, dy = y - fy, dz = z - fz;
  float u = Fade(dx), v = Fade(dy), w = Fade(dz);
  float c[2][2][2];
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i)
        c[k][j][i] = Grad3(x0 + i, y0 + j, z0 + k, seed, dx - i, dy - j, dz - k);
  float a = Mix(Mix(c[0][0][0], c[0][0][1], u), Mix(c[0][1][0], c[0][1][1], u), v);
  float b = Mix(Mix(c[1][0][0], c[1][0][1], u), Mix(c[1][1][0], c[1][1][1], u), v);
  return Mix(a, b, w);
}
