#include "toolkit/noise.h"

#include <cmath>
#include <utility>

#include "toolkit/random.h"

namespace {

// The twelve edge directions of a cube, three ints each.
const int kGradients[36] = {
    0, 1, 1,  0, 1, -1,  0, -1, 1,  0, -1, -1,   //
    1, 0, 1,  1, 0, -1,  -1, 0, 1,  -1, 0, -1,   //
    1, 1, 0,  1, -1, 0,  -1, 1, 0,  -1, -1, 0};

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

float Lerp(float t, float a, float b) { return a + t * (b - a); }

// Truncation toward zero without the undefined conversion of values beyond
// int range (clamped; NaN becomes a finite value too). minss/maxss: no branch.
int32_t TruncateToInt(float v) {
  return static_cast<int32_t>(std::fmax(std::fmin(v, 2147483520.0f), -2147483648.0f));
}

float Corner(const NoiseTable& t, int32_t hash, float fx, float fy, float fz) {
  const int* g = kGradients + t.gradientIndex[hash & t.mask];
  return g[0] * fx + g[1] * fy + g[2] * fz;
}

}  // namespace

NoiseTable::NoiseTable(int32_t size_, int32_t mask_, int32_t seed)
    : size(size_ > 0 ? size_ : 1), mask(mask_) {
  if (mask < 0 || mask >= size) {
    mask = 1;
    while (mask * 2 <= size) mask *= 2;
    mask -= 1;
  }
  gradientIndex.resize(size);
  permutationA.resize(size);
  permutationB.resize(size);
  permutationC.resize(size);
  SeedRandom(static_cast<uint32_t>(seed));
  for (int32_t i = 0; i < size; ++i) {
    gradientIndex[i] = (NextRandom() % 12) * 3;
    permutationA[i] = permutationB[i] = permutationC[i] = i;
  }
  for (int32_t i = 0; i < size; ++i) {
    std::swap(permutationA[i], permutationA[NextRandom() & mask]);
    std::swap(permutationB[i], permutationB[NextRandom() & mask]);
    std::swap(permutationC[i], permutationC[NextRandom() & mask]);
  }
}

float Noise3(const NoiseTable& t, float x, float y, float z) {
  const int32_t m = t.mask;
  int32_t X = TruncateToInt(x), Y = TruncateToInt(y), Z = TruncateToInt(z);
  const float fx = x - static_cast<float>(X);
  const float fy = y - static_cast<float>(Y);
  const float fz = z - static_cast<float>(Z);
  X &= m;
  Y &= m;
  Z &= m;

  // The +1 of a neighbour goes onto the hashed sums, not the lattice coordinate.
  const int32_t a0 = Y + t.permutationA[Z];
  const int32_t a1 = Y + t.permutationA[(Z + 1) & m];
  const int32_t b00 = X + t.permutationB[a0 & m];
  const int32_t b10 = X + t.permutationB[(a0 + 1) & m];
  const int32_t b01 = X + t.permutationB[a1 & m];
  const int32_t b11 = X + t.permutationB[(a1 + 1) & m];

  const float u = Fade(fx), v = Fade(fy), w = Fade(fz);
  const float x00 = Lerp(u, Corner(t, b00, fx, fy, fz), Corner(t, b00 + 1, fx - 1, fy, fz));
  const float x10 = Lerp(u, Corner(t, b10, fx, fy - 1, fz), Corner(t, b10 + 1, fx - 1, fy - 1, fz));
  const float x01 = Lerp(u, Corner(t, b01, fx, fy, fz - 1), Corner(t, b01 + 1, fx - 1, fy, fz - 1));
  const float x11 =
      Lerp(u, Corner(t, b11, fx, fy - 1, fz - 1), Corner(t, b11 + 1, fx - 1, fy - 1, fz - 1));
  return Lerp(w, Lerp(v, x00, x10), Lerp(v, x01, x11));
}

float FractalNoise(const NoiseTable& table, float x, float y, float z, int32_t octaves) {
  float sum = 0.0f, amplitude = 1.0f;
  for (int32_t i = 0; i < octaves; ++i) {
    sum += Noise3(table, x, y, z) * amplitude;
    amplitude *= 0.5f;
    x *= 2.0f;
    y *= 2.0f;
    z *= 2.0f;
  }
  return sum;
}

float Turbulence(const NoiseTable& table, float x, float y, float z, int32_t octaves) {
  float sum = 0.0f, amplitude = 1.0f;
  for (int32_t i = 0; i < octaves; ++i) {
    sum += std::fabs(Noise3(table, x, y, z) * amplitude);
    amplitude *= 0.5f;
    x *= 2.0f;
    y *= 2.0f;
    z *= 2.0f;
  }
  return sum;
}
