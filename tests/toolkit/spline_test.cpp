#include <gtest/gtest.h>

#include <cmath>

#include "assets/pointer_array.h"
#include "toolkit/spline.h"

namespace {

float Distance(const Vector4& a, const Vector4& b) {
  Vector4 d = a;
  d.subtract(b);
  return std::sqrt(d.lengthSquared());
}

TEST(PointerArray, GrowsBySix) {
  PointerArray a;
  EXPECT_EQ(a.capacity, 6);
  for (int i = 0; i < 6; ++i) PushIndex(a, i * 10);
  EXPECT_EQ(a.capacity, 6);
  PushIndex(a, 60);
  EXPECT_EQ(a.capacity, 12);
  EXPECT_EQ(a.count, 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(IndexAt(a, i), i * 10);
  for (int i = 0; i < 6; ++i) PushIndex(a, 0);
  EXPECT_EQ(a.capacity, 18);
}

TEST(Spline, TwoKeyOpenPath) {
  Spline s(4, false);
  AddKey(s, 0, 0, 0);
  AddKey(s, 1, 0, 0);
  BuildTangents(s, 1.0f, false);
  EXPECT_EQ(s.tangents[0].x, 1.0f);
  EXPECT_EQ(s.tangents[1].x, 1.0f);
  Vector4 p;
  Evaluate(s, p, 0.5f);
  EXPECT_FLOAT_EQ(p.x, 0.5f);
  EXPECT_EQ(p.y, 0.0f);
  Evaluate(s, p, 1.0f);  // fractional part: back at the start
  EXPECT_EQ(p.x, 0.0f);
  // Control points of the last segment: start, start + tangent, end − tangent, end.
  Evaluate(s, p, 0.25f);
  EXPECT_EQ(s.p1.x, 1.0f);
  EXPECT_EQ(s.p2.x, 0.0f);
  EXPECT_EQ(s.p3.x, 1.0f);
  // Full-length tangents overshoot: u = 0.25 is 3·0.25·0.5625 + 3·0.0625·0.75·0 + 0.015625.
  EXPECT_FLOAT_EQ(p.x, 3 * 0.25f * 0.5625f + 0.015625f);
}

TEST(Spline, ClosedPathSegmentsAndTangents) {
  Spline s(8, true);
  AddKey(s, 0, 0, 0);
  AddKey(s, 4, 0, 0);
  AddKey(s, 4, 4, 0);
  AddKey(s, 0, 4, 0);
  BuildTangents(s, 1.0f, false);
  // Closed: t0 = k1 − k3, t3 = k0 − k2; inner ones the full difference.
  EXPECT_EQ(s.tangents[0].x, 4.0f);
  EXPECT_EQ(s.tangents[0].y, -4.0f);
  EXPECT_EQ(s.tangents[3].x, -4.0f);
  EXPECT_EQ(s.tangents[3].y, -4.0f);
  EXPECT_EQ(s.tangents[1].x, 4.0f);
  EXPECT_EQ(s.tangents[1].y, 4.0f);
  Vector4 p;
  Evaluate(s, p, 0.75f);  // four segments: 0.75 starts the one from key 3 back to key 0
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(p.y, 4.0f);
  EXPECT_EQ(s.p3.x, 0.0f);
  EXPECT_EQ(s.p3.y, 0.0f);
  Evaluate(s, p, 0.875f);
  EXPECT_GT(p.y, 0.0f);
  EXPECT_LT(p.y, 4.0f);

  Spline open(8, false);
  AddKey(open, 0, 0, 0);
  AddKey(open, 4, 0, 0);
  AddKey(open, 4, 4, 0);
  AddKey(open, 0, 4, 0);
  BuildTangents(open, 1.0f, false);
  EXPECT_EQ(open.tangents[0].y, 0.0f);  // open: k1 − k0
  EXPECT_EQ(open.tangents[3].x, -4.0f); // k3 − k2
  Evaluate(open, p, 2.0f / 3.0f);       // three segments: the start of the last one
  EXPECT_NEAR(p.x, 4.0f, 1e-5);
  EXPECT_NEAR(p.y, 4.0f, 1e-5);
}

TEST(Spline, AddKeyPastCapacityAndNormalizedTangents) {
  Spline s(2, false);
  AddKey(s, 0, 0, 0);
  AddKey(s, 3, 0, 4);
  AddKey(s, 9, 9, 9);
  EXPECT_EQ(s.count, 2);
  BuildTangents(s, 2.0f, true);
  EXPECT_FLOAT_EQ(s.tangents[0].x, 1.2f);
  EXPECT_FLOAT_EQ(s.tangents[0].z, 1.6f);
  EXPECT_EQ(s.tangentScale, 2.0f);
  EXPECT_EQ(s.normalizeTangents, 1);

  Spline raw(2, false);
  AddKey(raw, 0, 0, 0);
  AddKey(raw, 3, 0, 4);
  BuildTangents(raw, 2.0f, false);
  EXPECT_EQ(raw.tangents[0].x, 3.0f);  // scale stored, not applied
  EXPECT_EQ(raw.tangentScale, 2.0f);
}

TEST(Spline, LengthLeavesOutTheLastPiece) {
  // A straight segment 0..1 with tangent 1/3 of it runs at constant speed.
  Spline s(2, false);
  AddKey(s, 0, 0, 0);
  AddKey(s, 10, 0, 0);
  BuildTangents(s, 10.0f / 3.0f, true);
  // Steps of 1/200 along a 10-unit line are 0.05 long (squared 0.0025 > 0.001),
  // so each halves once to 0.025; the final piece reaching u = 1 is dropped.
  EXPECT_NEAR(s.length, 10.0f - 0.025f, 1e-3);
  EXPECT_EQ(s.reservedLength, 0.0f);
}

TEST(Spline, SampleCountIsNextMultipleAbove) {
  Spline s(4, false);
  AddKey(s, 0, 0, 0);
  AddKey(s, 10, 0, 0);
  AddKey(s, 20, 0, 0);
  AddKey(s, 30, 0, 0);
  BuildTangents(s, 10.0f / 3.0f, true);
  ComputeSampleCount(s);
  // Chords of Evaluate(i / 3): the last one wraps back to the start (u = 1),
  // so the shortest is one key spacing of 10.
  double q = std::trunc(std::cbrt(4.0 * 256) * s.length / 10.0);
  int qi = static_cast<int>(q);
  EXPECT_EQ(s.sampleCount, qi + 4 - qi % 4);
  EXPECT_EQ(s.sampleCount % 4, 0);
  EXPECT_GT(s.sampleCount, qi);
  int first = s.sampleCount;
  s.length *= 2.0f;
  ComputeSampleCount(s);  // once only
  EXPECT_EQ(s.sampleCount, first);
}

TEST(Spline, ResampleSpacesPointsEvenly) {
  Spline s(6, true);
  AddKey(s, 0, 0, 0);
  AddKey(s, 10, 0, 2);
  AddKey(s, 14, 0, 12);
  AddKey(s, 6, 3, 18);
  AddKey(s, -4, 0, 10);
  BuildTangents(s, 4.0f, true);
  ComputeSampleCount(s);
  ASSERT_GT(s.sampleCount, 5);
  Spline r(s.sampleCount + 8, true);
  Resample(s, r);
  ASSERT_GE(r.count, s.sampleCount - 2);
  float target = s.length / s.sampleCount;
  Vector4 start;
  Evaluate(s, start, 0.0f);
  // Every step but the closing ones lands within the ±0.1 band of the target spacing.
  float prevDist = Distance(r.keys[0], start);
  EXPECT_NEAR(prevDist, target, 0.1f + 1e-3f);
  for (int i = 1; i + 1 < r.count; ++i)
    EXPECT_NEAR(Distance(r.keys[i], r.keys[i - 1]), target, 0.1f + 1e-3f) << i;
  EXPECT_FLOAT_EQ(r.tangentScale, 5.0f * 4.0f / s.sampleCount);
  EXPECT_EQ(r.normalizeTangents, 1);
}

TEST(Spline, DegenerateInputStaysBounded) {
  Spline empty(0, false);
  Vector4 p(1, 1, 1);
  Evaluate(empty, p, 0.5f);
  EXPECT_EQ(p.x, 0.0f);
  BuildTangents(empty, 1.0f, true);
  ComputeSampleCount(empty);
  Spline dest(4, false);
  Resample(empty, dest);
  EXPECT_EQ(dest.count, 0);

  // Repeated keys: zero chords and zero tangents must neither hang nor NaN.
  Spline same(3, false);
  AddKey(same, 1, 1, 1);
  AddKey(same, 1, 1, 1);
  AddKey(same, 1, 1, 1);
  BuildTangents(same, 1.0f, true);
  EXPECT_NEAR(same.length, 0.0f, 1e-4);  // weights sum to 1 only within rounding
  ComputeSampleCount(same);
  EXPECT_GT(same.sampleCount, 0);
  Evaluate(same, p, -0.5f);  // outside the domain, still on the path
  EXPECT_NEAR(p.x, 1.0f, 1e-6);

  Spline nan(2, false);
  AddKey(nan, 0, 0, 0);
  AddKey(nan, NAN, 0, 0);
  BuildTangents(nan, 1.0f, false);  // returns rather than spinning
}

TEST(Camera, AimAndOrthonormalize) {
  CameraPose pose;
  pose.position.set(1, 1, 1);
  AimCamera(pose, Vector4(1, 1, 5));
  EXPECT_FLOAT_EQ(pose.direction.z, 1.0f);
  EXPECT_EQ(pose.up.y, -1.0f);

  pose.direction.set(0, 0, 1);
  pose.up.set(0, 1, 1);
  OrthonormalizeCamera(pose);
  EXPECT_NEAR(pose.up.x, 0.0f, 1e-6);
  EXPECT_NEAR(pose.up.y, 1.0f, 1e-6);
  EXPECT_NEAR(pose.up.z, 0.0f, 1e-6);
  EXPECT_NEAR(pose.side.x, 1.0f, 1e-6);
  EXPECT_NEAR(pose.side.y, 0.0f, 1e-6);
}

}  // namespace
