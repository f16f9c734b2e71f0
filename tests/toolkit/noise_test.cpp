#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "toolkit/noise.h"
#include "toolkit/random.h"

namespace {

TEST(Noise, TablesFollowTheGeneratorsOrder) {
  NoiseTable table(256, 255, 111);
  // The generator written out independently: gradients first, then A, B, C swaps.
  uint32_t state = 111;
  auto next = [&] {
    state = state * 214013u + 2531011u;
    return int((state >> 16) & 0x7FFF);
  };
  for (int i = 0; i < 256; ++i) ASSERT_EQ(table.gradientIndex[i], next() % 12 * 3) << i;
  int a[256], b[256], c[256];
  for (int i = 0; i < 256; ++i) a[i] = b[i] = c[i] = i;
  for (int i = 0; i < 256; ++i) {
    std::swap(a[i], a[next() & 255]);
    std::swap(b[i], b[next() & 255]);
    std::swap(c[i], c[next() & 255]);
  }
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(table.permutationA[i], a[i]) << i;
    ASSERT_EQ(table.permutationB[i], b[i]) << i;
    ASSERT_EQ(table.permutationC[i], c[i]) << i;
  }
  // Building a table leaves the shared generator where its last draw left it.
  EXPECT_EQ(NextRandom(), next());
}

TEST(Noise, SameSeedSameTables) {
  NoiseTable first(512, 511, 222);
  SeedRandom(9);  // whatever happened in between
  NoiseTable second(512, 511, 222);
  EXPECT_EQ(first.gradientIndex, second.gradientIndex);
  EXPECT_EQ(first.permutationA, second.permutationA);
  EXPECT_EQ(first.permutationB, second.permutationB);
  NoiseTable other(512, 511, 333);
  EXPECT_NE(first.permutationA, other.permutationA);
  std::vector<int> sorted = first.permutationB;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 512; ++i) ASSERT_EQ(sorted[i], i);
}

// Plain trilinear reference with the corner hashes spelled out.
double Reference(const NoiseTable& t, double x, double y, double z) {
  static const int g[12][3] = {{0, 1, 1},  {0, 1, -1},  {0, -1, 1},  {0, -1, -1},
                               {1, 0, 1},  {1, 0, -1},  {-1, 0, 1},  {-1, 0, -1},
                               {1, 1, 0},  {1, -1, 0},  {-1, 1, 0},  {-1, -1, 0}};
  int X = int(x), Y = int(y), Z = int(z);
  double f[3] = {x - X, y - Y, z - Z};
  int m = t.mask;
  X &= m, Y &= m, Z &= m;
  auto fade = [](double s) { return s * s * s * (s * (s * 6 - 15) + 10); };
  double result = 0;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < 2; ++k) {
        int a = Y + t.permutationA[(Z + k) & m];
        int b = X + t.permutationB[(a + j) & m];
        const int* grad = g[t.gradientIndex[(b + i) & m] / 3];
        double d = grad[0] * (f[0] - i) + grad[1] * (f[1] - j) + grad[2] * (f[2] - k);
        double weight = (i ? fade(f[0]) : 1 - fade(f[0])) * (j ? fade(f[1]) : 1 - fade(f[1])) *
                        (k ? fade(f[2]) : 1 - fade(f[2]));
        result += weight * d;
      }
  return result;
}

TEST(Noise, MatchesTheLatticeConstruction) {
  NoiseTable table(256, 255, 111);
  const float points[][3] = {{0.5f, 0.25f, 0.75f}, {3.3f, 17.9f, 250.5f}, {255.5f, 0.1f, 0.9f},
                             {-0.4f, 2.2f, 1.7f},  {-3.6f, -0.2f, 7.7f}};
  for (const auto& p : points)
    EXPECT_NEAR(Noise3(table, p[0], p[1], p[2]), Reference(table, p[0], p[1], p[2]), 1e-5)
        << p[0] << " " << p[1] << " " << p[2];
  for (int x = -3; x <= 3; ++x)
    for (int z = 0; z < 300; z += 37) EXPECT_EQ(Noise3(table, float(x), 5.0f, float(z)), 0.0f);
}

TEST(Noise, NegativeCoordinatesJumpAtIntegers) {
  NoiseTable table(256, 255, 111);
  // Just left of −1 the lattice value 0 is near; just right of it the fraction
  // is almost −1, where the fade is far outside 0 … 1.
  float maxJump = 0.0f, maxPositiveJump = 0.0f;
  for (int i = 0; i < 20; ++i) {
    float y = 0.3f + 0.37f * i, z = 0.6f + 0.53f * i;
    maxJump = std::max(maxJump, std::fabs(Noise3(table, -0.999f, y, z) - Noise3(table, -1.001f, y, z)));
    maxPositiveJump =
        std::max(maxPositiveJump, std::fabs(Noise3(table, 1.001f, y, z) - Noise3(table, 0.999f, y, z)));
  }
  EXPECT_GT(maxJump, 0.5f);
  EXPECT_LT(maxPositiveJump, 0.05f);
}

TEST(Noise, OctaveSums) {
  NoiseTable table(1024, 1023, 333);
  EXPECT_EQ(FractalNoise(table, 1.3f, 2.7f, 0.4f, 0), 0.0f);
  EXPECT_EQ(Turbulence(table, 1.3f, 2.7f, 0.4f, 0), 0.0f);
  EXPECT_EQ(FractalNoise(table, 1.3f, 2.7f, 0.4f, 1), Noise3(table, 1.3f, 2.7f, 0.4f));
  float two = Noise3(table, 1.3f, 2.7f, 0.4f) + 0.5f * Noise3(table, 2.6f, 5.4f, 0.8f);
  EXPECT_FLOAT_EQ(FractalNoise(table, 1.3f, 2.7f, 0.4f, 2), two);
  float turbulence = std::fabs(Noise3(table, 1.3f, 2.7f, 0.4f)) +
                     std::fabs(0.5f * Noise3(table, 2.6f, 5.4f, 0.8f));
  EXPECT_FLOAT_EQ(Turbulence(table, 1.3f, 2.7f, 0.4f, 2), turbulence);
}

TEST(Noise, OutOfRangeInputsStayInsideTheTables) {
  NoiseTable bad(100, 255, 5);  // mask past the size is narrowed
  EXPECT_LT(bad.mask, 100);
  EXPECT_EQ(bad.mask, 63);
  NoiseTable table(256, 255, 111);
  Noise3(bad, 1e20f, -1e20f, 3.5f);
  Noise3(table, NAN, INFINITY, -INFINITY);
  Noise3(table, 3e9f, -3e9f, 0.5f);
}

}  // namespace
