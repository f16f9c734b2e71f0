#include <gtest/gtest.h>

#include <cmath>

#include "core/math.h"
#include "toolkit/random.h"

namespace {

TEST(Math, VectorOperationsKeepW) {
  Vector4 v(3.0f, 0.0f, 4.0f, 7.0f);
  v.normalize();
  EXPECT_FLOAT_EQ(v.x, 0.6f);
  EXPECT_FLOAT_EQ(v.y, 0.0f);
  EXPECT_FLOAT_EQ(v.z, 0.8f);
  EXPECT_EQ(v.w, 7.0f);  // 3D operations never touch w

  Vector4 l(3.0f, 0.0f, 4.0f, 1.0f);
  EXPECT_FLOAT_EQ(l.length(), 5.0f);
  EXPECT_FLOAT_EQ(l.w, 5.0f);

  Vector4 c(9.0f, 9.0f, 9.0f, 2.0f);
  c.cross(Vector4(1, 0, 0), Vector4(0, 1, 0));
  EXPECT_EQ(c.x, 0.0f);
  EXPECT_EQ(c.y, 0.0f);
  EXPECT_EQ(c.z, 1.0f);
  EXPECT_EQ(c.w, 2.0f);

  // The receiver may be one of the operands.
  Vector3 a(1, 0, 0);
  a.cross(a, Vector3(0, 1, 0));
  EXPECT_EQ(a.z, 1.0f);

  Vector4 out(0, 0, 0, 3.0f);
  project(out, Vector4(2, 0, 0), Vector4(3, 4, 0));
  EXPECT_FLOAT_EQ(out.x, 3.0f);
  EXPECT_FLOAT_EQ(out.y, 0.0f);
  EXPECT_EQ(out.w, 3.0f);

  Vector4 d = Vector4(5, 6, 7).difference(1, 2, 3);
  EXPECT_EQ(d.x, 4.0f);
  EXPECT_EQ(d.y, 4.0f);
  EXPECT_EQ(d.z, 4.0f);

  Vector4 f;
  f.fromVector(Vector3(1, 2, 3), 4.0f);
  EXPECT_EQ(f.w, 4.0f);
  EXPECT_EQ(dot(f, Vector4(1, 1, 1, 100)), 6.0f);
}

TEST(Math, Rotations) {
  Vector4 y(1, 0, 0);
  rotateY(y, 3.14159265f / 2.0f);
  EXPECT_NEAR(y.x, 0.0f, 1e-6);
  EXPECT_NEAR(y.z, 1.0f, 1e-6);
  Vector3 z(1, 0, 0);
  rotateZ(z, 3.14159265f / 2.0f);
  EXPECT_NEAR(z.x, 0.0f, 1e-6);
  EXPECT_NEAR(z.y, -1.0f, 1e-6);
}

TEST(Math, Falloffs) {
  EXPECT_FLOAT_EQ(FalloffSoft(0.0f), 1.0f);
  EXPECT_FLOAT_EQ(FalloffSoft(0.25f), 0.1875f);
  EXPECT_EQ(FalloffSoft(1.0f), 0.0f);  // the rim runs the polynomial
  EXPECT_EQ(FalloffSoft(1.5f), 0.0f);
  EXPECT_FLOAT_EQ(FalloffSmooth(0.0f), 1.0f);
  // r = 0.5: 0.5⁸ · (32/8 + 25/4 + 4 + 1)
  EXPECT_FLOAT_EQ(FalloffSmooth(0.25f), (1.0f / 256.0f) * 15.25f);
  EXPECT_EQ(FalloffSmooth(1.0f), 0.0f);
  EXPECT_EQ(FalloffSmooth(2.0f), 0.0f);
}

TEST(Math, AngleOfUsesTruncatedConstants) {
  EXPECT_EQ(AngleOf(1.0f, 0.0f), 1.570795f);
  EXPECT_EQ(AngleOf(0.0f, 0.0f), -1.570795f);
  EXPECT_EQ(AngleOf(-2.0f, 0.0f), -1.570795f);
  EXPECT_NEAR(AngleOf(1.0f, -1.0f), 2.356f, 1e-3);
  EXPECT_FLOAT_EQ(AngleOf(1.0f, -1.0f), std::atan(-1.0f) + 3.14159f);
  EXPECT_FLOAT_EQ(AngleOf(1.0f, 1.0f), std::atan(1.0f));
}

TEST(Random, MatchesTheShowsGenerator) {
  SeedRandom(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int e : expected) EXPECT_EQ(NextRandom(), e);
  SeedRandom(111);
  int a = NextRandom(), b = NextRandom();
  SeedRandom(111);
  EXPECT_EQ(NextRandom(), a);
  EXPECT_EQ(NextRandom(), b);
  // The state wraps modulo 2³² and results stay within 15 bits.
  SeedRandom(0xFFFFFFFFu);
  uint32_t state = 0xFFFFFFFFu * 214013u + 2531011u;
  EXPECT_EQ(NextRandom(), static_cast<int>((state >> 16) & 0x7FFF));
}

}  // namespace
