#include "toolkit/envelope.h"

#include <gtest/gtest.h>

namespace {
Envelope Make(float start, float length) {
  Envelope e;
  e.start = start;
  e.length = length;
  return e;
}
}  // namespace

TEST(Envelope, StartsAtZeroWithUnitScale) {
  Envelope e;
  EXPECT_EQ(e.start, 0.0f);
  EXPECT_EQ(e.length, 0.0f);
  EXPECT_EQ(e.lengthScale, 1.0f);
}

TEST(Envelope, RampsAtKnownPoints) {
  Envelope e = Make(0, 1000);
  EXPECT_NEAR(EaseIn(e, 500, 1, 1), 0.5f, 1e-6);
  EXPECT_NEAR(EaseIn(e, 250, 1, 1), 0.1464466f, 1e-5);
  EXPECT_NEAR(EaseOut(e, 250, 1, 1), 0.8535534f, 1e-5);
  EXPECT_FLOAT_EQ(RampIn(e, 250), 0.25f);
  // Exponent 2 at the midpoint: 0.5 - 0.5 cos(0.25 pi).
  EXPECT_NEAR(EaseIn(e, 500, 1, 2), 0.1464466f, 1e-5);
  // Frequency 2 rises and falls back.
  EXPECT_NEAR(EaseIn(e, 500, 2, 1), 1.0f, 1e-5);
  EXPECT_NEAR(EaseIn(e, 999, 2, 1), 0.0f, 1e-4);
}

TEST(Envelope, BoundsAreStrict) {
  Envelope e = Make(100, 200);
  EXPECT_EQ(EaseIn(e, 100, 1, 1), 0.0f);
  EXPECT_EQ(EaseIn(e, -5000, 1, 1), 0.0f);
  EXPECT_EQ(EaseOut(e, 100, 1, 1), 1.0f);
  EXPECT_EQ(RampIn(e, 100), 0.0f);
  // At the cut the formula is evaluated and gives the end value.
  EXPECT_NEAR(EaseIn(e, 300, 1, 1), 1.0f, 1e-6);
  EXPECT_NEAR(EaseOut(e, 300, 1, 1), 0.0f, 1e-6);
  EXPECT_EQ(EaseIn(e, 300.5f, 1, 1), 1.0f);
  EXPECT_EQ(EaseOut(e, 300.5f, 1, 1), 0.0f);
  EXPECT_EQ(RampIn(e, 300.5f), 1.0f);
}

TEST(Envelope, LengthScaleMovesTheCosineEnd) {
  Envelope e = Make(0, 100);
  e.lengthScale = 2;
  // Past the length the cosine keeps running: at 1.5 lengths it is back to 0.5.
  EXPECT_NEAR(EaseIn(e, 150, 1, 1), 0.5f, 1e-5);
  EXPECT_EQ(EaseIn(e, 201, 1, 1), 1.0f);
  // The linear ramp ignores the scale.
  EXPECT_EQ(RampIn(e, 150), 1.0f);
}

TEST(Envelope, EaseInOutRisesHoldsAndFalls) {
  Envelope e = Make(0, 100);
  e.outStart = 900;
  e.outLength = 100;
  EXPECT_EQ(EaseInOut(e, 0, 1, 1), 0.0f);
  EXPECT_NEAR(EaseInOut(e, 50, 1, 1), 0.5f, 1e-6);
  EXPECT_NEAR(EaseInOut(e, 100, 1, 1), 1.0f, 1e-6);
  EXPECT_EQ(EaseInOut(e, 500, 1, 1), 1.0f);
  EXPECT_EQ(EaseInOut(e, 900, 1, 1), 1.0f);
  EXPECT_NEAR(EaseInOut(e, 950, 1, 1), 0.5f, 1e-6);
  EXPECT_EQ(EaseInOut(e, 1000.5f, 1, 1), 0.0f);
  // Overlapping phases multiply.
  e.outStart = 50;
  EXPECT_NEAR(EaseInOut(e, 100, 1, 1), 0.5f, 1e-6);
}
