// Module A: the ball swarm and the sprite ribbon. The arithmetic is checked
// without GL; the frames, the sprite counts per texture and the broken-model
// fallbacks through the real loading sequence on a headless context.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/gl.h"
#include "director/timeline.h"
#include "effects/render_target.h"
#include "director/shared.h"
#include "gl_test.h"
#include "module_harness.h"
#include "modules/module_a.h"
#include "modules/module_a_frame.h"
#include "modules/module_common.h"
#include "toolkit/noise.h"
#include "toolkit/random.h"

namespace {
const NoiseTable& Noise() {
  static NoiseTable table(512, 511, 222);
  return table;
}

bool Finite(float x, float y, float z) {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// The five centres the init step prints, as "%f" writes them.
const char* const kCentreLines[kCentreCount] = {
    "found dista was 100000.000000\n", "found dista was 79.179840\n",
    "found dista was 68.866753\n",     "found dista was 74.402489\n",
    "found dista was 79.068451\n"};
}  // namespace

TEST(ModuleAFrame, CentresKeepTheirDistanceFromEveryEarlierCentre) {
  SeedRandom(141);
  Vector4 centre[kCentreCount];
  float distance[kCentreCount];
  PlaceCentres(centre, distance);

  for (int32_t e = 0; e < kCentreCount; ++e) {
    char line[64];
    snprintf(line, sizeof line, "found dista was %f\n", distance[e]);
    EXPECT_STREQ(kCentreLines[e], line) << "centre " << e;
  }
  // The first has nothing to compare with; every pair ends at least 65 apart
  // (the rule that skips the previous centre left centres 1 and 2 at 37.9).
  EXPECT_EQ(1e10f, distance[0] * distance[0]);
  for (int32_t a = 0; a < kCentreCount; ++a)
    for (int32_t b = a + 1; b < kCentreCount; ++b)
      EXPECT_GE(centre[a].difference(centre[b].x, centre[b].y, centre[b].z).lengthSquared(),
                4225.0f)
          << a << ", " << b;
  // Inside the box the candidates are drawn from (61, 61, 60, plus 4).
  for (const Vector4& c : centre) {
    EXPECT_LE(std::fabs(c.x), 65.0f);
    EXPECT_LE(std::fabs(c.y), 65.0f);
    EXPECT_LE(std::fabs(c.z), 64.0f);
  }
}

TEST(ModuleAFrame, ZoomCycleAndCameraAtTheStartClock) {
  EXPECT_EQ(3.0f, ZoomAt(0));
  EXPECT_EQ(3.0f, ZoomAt(2499));
  EXPECT_FLOAT_EQ(3.0f, ZoomAt(2500));
  EXPECT_FLOAT_EQ(static_cast<float>(3 * (1 - 0.6 * std::sqrt(0.5))), ZoomAt(3000));
  EXPECT_NEAR(1.2f, ZoomAt(3499), 0.002f);  // meets the plateau
  EXPECT_EQ(1.2f, ZoomAt(3500));
  EXPECT_EQ(1.2f, ZoomAt(10999));
  EXPECT_FLOAT_EQ(1.2f, ZoomAt(11000));
  EXPECT_NEAR(3.0f, ZoomAt(11999), 0.06f);  // back out by the end of the cycle

  ModuleAFrame frame;
  Vector4 base[kCentreCount];
  UpdateModuleAFrame(&frame, Noise(), base, 90000.0f, 2);
  EXPECT_EQ(6000, frame.cycleMs);
  EXPECT_EQ(1.2f, frame.zoom);
  const Vector4& p = frame.camera.position;
  EXPECT_NEAR(6.6 * 9 * std::sin(29.7), p.x, 1e-3);
  EXPECT_NEAR(6.6 * 6.3 * std::cos(29.7), p.y, 1e-3);
  EXPECT_NEAR(6.6 * (8 * std::cos(19.305) - 1), p.z, 1e-3);
  // Aimed at the origin, up made orthogonal.
  Vector4 d = frame.camera.direction;
  Vector4 toOrigin = p;
  toOrigin.scale(-1.0f / std::sqrt(p.lengthSquared()));
  EXPECT_NEAR(1.0f, d.dot(toOrigin), 1e-5f);
  EXPECT_NEAR(0.0f, d.dot(frame.camera.up), 1e-5f);
  // Each cycle starts zoomed out: 12 instead of 6.6 times the path.
  ModuleAFrame start;
  UpdateModuleAFrame(&start, Noise(), base, 96000.0f, 2);
  EXPECT_EQ(0, start.cycleMs);
  EXPECT_EQ(3.0f, start.zoom);
}

TEST(ModuleAFrame, CentresSpreadWideThenGather) {
  Vector4 base[kCentreCount] = {Vector4(10, 0, 0), Vector4(0, 20, 0), Vector4(0, 0, 30),
                                Vector4(-5, 5, 1), Vector4(1, 2, 3)};
  Vector4 out[kCentreCount];
  // 10.75 times out until 103 s, 0.75 times from 108 s, turning 0.2 rad/s about z.
  for (float s : {5.0f, 103.0f, 108.0f, 130.0f}) {
    MoveCentres(base, s, out);
    float k = s <= 103.0f ? 10.75f : 0.75f;
    EXPECT_NEAR(k * 10 * std::cos(0.2 * s), out[0].x, 1e-3 * k) << s;
    EXPECT_NEAR(-k * 10 * std::sin(0.2 * s), out[0].y, 1e-3 * k) << s;
    EXPECT_FLOAT_EQ(k * 30, out[2].z) << s;
  }
  MoveCentres(base, 105.5f, out);  // halfway through the gathering
  EXPECT_NEAR(5.75f * 30, out[2].z, 1e-3f);
}

TEST(ModuleAFrame, CentresPullNearSpritesAndLeaveFarOnes) {
  Vector4 centre[kCentreCount] = {Vector4(5, 6, 7), Vector4(500, 0, 0), Vector4(0, 500, 0),
                                  Vector4(0, 0, 500), Vector4(-500, 0, 0)};
  const Vector4 v(0.3f, -0.2f, 0.4f);  // J < 1 from centre 0; the others beyond J = 3601
  Vector4 p = centre[0];
  p.add(v);
  for (Pull pull : {kRibbonPull, kCloudPull}) {
    Vector4 q = PullTowardCentres(p, centre, pull);
    Vector4 left = q.difference(centre[0].x, centre[0].y, centre[0].z);
    EXPECT_NEAR((1 + pull.strength) * v.x, left.x, 1e-6f);
    EXPECT_NEAR((1 + pull.strength) * v.y, left.y, 1e-6f);
    EXPECT_NEAR((1 + pull.strength) * v.z, left.z, 1e-6f);
  }

  // Beyond J = 3601 of every centre nothing moves, bit for bit.
  Vector4 far(200, 200, 200);
  Vector4 q = PullTowardCentres(far, centre, kRibbonPull);
  EXPECT_EQ(far.x, q.x);
  EXPECT_EQ(far.y, q.y);
  EXPECT_EQ(far.z, q.z);

  // In between, the pull falls off with distance and points at the centre.
  float previous = 1.0f;
  for (float d : {1.5f, 5.0f, 15.0f, 30.0f, 50.0f}) {
    Vector4 at(centre[0].x + d, centre[0].y, centre[0].z);
    float moved = PullTowardCentres(at, centre, kRibbonPull).x - at.x;
    float share = -moved / d;
    EXPECT_GT(share, 0.0f) << d;
    EXPECT_LT(share, previous) << d;
    previous = share;
  }
}

TEST(ModuleAFrame, SpritesGrowFromAPointAndCloudsFadeIn) {
  EXPECT_LE(std::fabs(SpriteSpread(90000.0f, kRibbonGrowMs)), 0.01f);
  EXPECT_LE(std::fabs(SpriteSpread(93000.0f, kRibbonGrowMs)), 0.01f);
  float mid = SpriteSpread(94500.0f, kRibbonGrowMs);
  EXPECT_GT(mid, 0.4f);
  EXPECT_LT(mid, 0.6f);
  EXPECT_EQ(1.0f, SpriteSpread(96001.0f, kRibbonGrowMs));
  EXPECT_LT(SpriteSpread(96001.0f, kCloudGrowMs), 1.0f);
  EXPECT_EQ(1.0f, SpriteSpread(98001.0f, kCloudGrowMs));

  // Before it grows, the ribbon sits within the noise radius (8 +- 2) of the origin.
  Vector4 centre[kCentreCount];
  for (int e = 0; e < kCentreCount; ++e) centre[e].set(1000.0f * (e + 1), 0, 0);
  for (float A : {0.0f, 13.0f, 40.0f}) {
    Vector4 p = SwarmPoint(Noise(), 90.0f, A, SpriteSpread(90000.0f, kRibbonGrowMs), 0.7f);
    EXPECT_LE(std::sqrt(p.lengthSquared()), 10.0f * std::sqrt(3.0f) + 0.5f);
  }

  EXPECT_FLOAT_EQ(0.025f, CloudAlphaScale(4.0f));
  EXPECT_FLOAT_EQ(0.325f, CloudAlphaScale(8.01f));
  EXPECT_FLOAT_EQ(0.325f, CloudAlphaScale(90.0f));
}

TEST(ModuleAFrame, CloudImagesStayInRangeForANegativeClock) {
  // For T >= 0 the fraction is the one taken toward zero.
  for (float T : {0.0f, 3.1f, 15.38f, 90.0f, 143.7f, 400.25f}) {
    CloudBlend b = CloudBlendAt(T);
    double x = 0.065 * T;
    double u = 5.0 * (x - std::trunc(x));
    EXPECT_EQ(static_cast<int>(u) % 5, b.k) << T;
    EXPECT_NEAR(u - static_cast<int>(u), b.f, 1e-4) << T;
  }
  for (float T = -200.0f; T < 200.0f; T += 0.37f) {
    CloudBlend b = CloudBlendAt(T);
    ASSERT_GE(b.k, 0) << T;
    ASSERT_LE(b.k, 4) << T;
    ASSERT_EQ((b.k + 1) % 5, b.k2) << T;
    ASSERT_GE(b.f, 0.0f) << T;
    ASSERT_LT(b.f, 1.0f) << T;
  }
}

TEST(ModuleAFrame, SpritesDrawnOnlyInFrontOfTheCamera) {
  CameraPose camera;
  camera.position.set(0, 0, -10);
  camera.direction.set(0, 0, 1);
  EXPECT_TRUE(InFront(camera, Vector4(0, 0, 0)));
  EXPECT_TRUE(InFront(camera, Vector4(100, 0, -9)));
  EXPECT_FALSE(InFront(camera, Vector4(0, 0, -20)));
  EXPECT_FALSE(InFront(camera, Vector4(100, 0, -10)));  // exactly side-on
  EXPECT_FALSE(InFront(camera, Vector4(0, 0, -10)));    // at the camera itself
}

// GL: one load a process, through the real loading sequence.
class ModuleA : public GlTest {
 protected:
  static std::string loadOutput;

  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    static bool loaded = false;
    if (!loaded) {
      loaded = true;
      testing::internal::CaptureStdout();
      LoadOnlyModule(kModuleA, ChildDataDir() ? ChildDataDir() : BuiltDataDir());
      loadOutput = testing::internal::GetCapturedStdout();
    }
  }

  // Moves the module clock to `ms`: in one delta backwards, in steps below
  // the 10 s the clock ignores forwards.
  static void SetClock(float ms, int32_t mode) {
    while (ms - ModuleAClockMs() >= 10000.0f) RenderModule(kModuleA, 9999, 2);
    RenderModule(kModuleA, static_cast<int32_t>(ms - ModuleAClockMs()), mode);
  }
};
std::string ModuleA::loadOutput;

TEST_F(ModuleA, LoadsPrintsAndWarmsUp) {
  if (ChildDataDir()) GTEST_SKIP();
  std::string expected;
  for (const char* line : kCentreLines) expected += line;
  EXPECT_NE(std::string::npos, loadOutput.find(expected)) << loadOutput;

  ModuleAObjects o = ModuleAObjectIndices();
  EXPECT_EQ(0, o.ball);
  EXPECT_EQ(1, o.kilo);
  EXPECT_EQ(2, o.kiloClone);
  char faces[64];
  snprintf(faces, sizeof faces, "\n%d Faces in scene.\n", o.faceTotal);
  EXPECT_GT(o.faceTotal, 0);
  EXPECT_NE(std::string::npos, loadOutput.find(faces)) << loadOutput;
  EXPECT_TRUE(FileErrors().empty());
  EXPECT_EQ(90001.0f, ModuleAClockMs());  // one warm-up call
}

TEST_F(ModuleA, ClockFollowsDeltasBelowTenSeconds) {
  SetClock(100000.0f, 2);
  RenderModule(kModuleA, 16, 2);
  EXPECT_EQ(100016.0f, ModuleAClockMs());
  RenderModule(kModuleA, 10000, 2);  // a jump: ignored
  EXPECT_EQ(100016.0f, ModuleAClockMs());
  RenderModule(kModuleA, -3000, 2);  // a seek back: followed
  EXPECT_EQ(97016.0f, ModuleAClockMs());
  EXPECT_FLOAT_EQ(97.016f, ModuleALastFrame().clockS);
  EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(ModuleA, ModesChooseTheSpriteTextures) {
  SetClock(100000.0f, 0);  // both sprite systems grown
  int32_t visible = 0;
  for (const RibbonSprite& r : ModuleALastFrame().ribbon) visible += r.visible;
  EXPECT_GT(visible, 0);
  EXPECT_EQ(visible, ModuleABillboardCount(30));
  for (uint32_t t = 31; t <= 41; ++t) EXPECT_EQ(0, ModuleABillboardCount(t)) << t;

  RenderModule(kModuleA, 1, 1);
  EXPECT_GT(ModuleABillboardCount(30), 0);
  int32_t clouds = 0, visibleClouds = 0;
  for (uint32_t t = 37; t <= 41; ++t) {
    EXPECT_GT(ModuleABillboardCount(t), 0) << t;
    clouds += ModuleABillboardCount(t);
  }
  for (const CloudSprite& c : ModuleALastFrame().cloud) visibleClouds += c.visible;
  EXPECT_EQ(2 * visibleClouds, clouds);  // two cross-fading sprites a cloud
  for (uint32_t t = 31; t <= 36; ++t) EXPECT_EQ(0, ModuleABillboardCount(t)) << t;

  RenderModule(kModuleA, 1, 2);
  for (uint32_t t = 30; t <= 41; ++t) EXPECT_EQ(0, ModuleABillboardCount(t)) << t;
  EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(ModuleA, NegativeClockDrawsInRange) {
  SetClock(-12000.0f, 1);
  EXPECT_EQ(-12000.0f, ModuleAClockMs());
  EXPECT_EQ(GL_NO_ERROR, glGetError());
  const ModuleAFrame& f = ModuleALastFrame();
  EXPECT_EQ(0, f.cycleMs);
  for (const CloudSprite& c : f.cloud) {
    EXPECT_TRUE(c.blend.k >= 0 && c.blend.k <= 4);
    EXPECT_TRUE(Finite(c.x, c.y, c.z));
  }
  for (const RibbonSprite& r : f.ribbon) ASSERT_TRUE(Finite(r.x, r.y, r.z));
  EXPECT_EQ(11999, WrapCycle(static_cast<int32_t>(-12001.0f), kZoomCycleMs));
  int32_t clouds = 0;
  for (uint32_t t = 37; t <= 41; ++t) clouds += ModuleABillboardCount(t);
  int32_t visibleClouds = 0;
  for (const CloudSprite& c : f.cloud) visibleClouds += c.visible;
  EXPECT_EQ(2 * visibleClouds, clouds);
  SaveFramePng("module_a_clock_minus_12000", 1024, 512);
}

TEST_F(ModuleA, FramesAcrossTheWindowAreDrawnAndMove) {
  // Through the timeline, with the clock a show reaches: the warm-up's 90001
  // plus one frame on entering the window, then steps below 10 s.
  RenderFrame(161984);
  SetClock(90001.0f, 2);
  uint64_t previous = 0;
  int32_t t = 162000;
  for (; t < 215300; t += 7000) {
    RenderFrame(t);
    ASSERT_EQ(GL_NO_ERROR, glGetError()) << t;
    EXPECT_EQ(90017.0f + static_cast<float>(t - 162000), ModuleAClockMs());
    uint64_t hash = RenderAreaHash();
    EXPECT_GT(RenderAreaMean(), 2.0) << t;
    EXPECT_NE(previous, hash) << t;
    previous = hash;
    SaveFramePng("module_a_" + std::to_string(t), 1024, 512);
  }
  RenderFrame(t - 7000 + 16);  // and one frame later
  EXPECT_NE(previous, RenderAreaHash());
}

TEST_F(ModuleA, GlowLayerReadsBlue) {
  // Mode 2 draws no sprites, so slot 0 after the frame holds the balls' glow
  // alone, brightened and blurred. Over its bright texels blue must beat red,
  // once the balls have gathered close enough to glow brightly (clock 108 s).
  RenderTarget& target = *sharedTarget;
  for (float ms : {110000.0f, 120000.0f, 130000.0f}) {
    SetClock(ms, 2);
    std::vector<uint8_t> texels(size_t(target.smallWidth) * target.smallHeight * 4);
    glBindTexture(GL_TEXTURE_2D, target.smallTextures[0]);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    int64_t bright = 0, blueMinusRed = 0;
    for (size_t i = 0; i < texels.size(); i += 4) {
      const uint8_t* p = &texels[i];
      if (299 * p[0] + 587 * p[1] + 114 * p[2] > 128 * 1000) {
        ++bright;
        blueMinusRed += int(p[2]) - int(p[0]);
      }
    }
    ASSERT_GT(bright, 0) << "clock " << ms;
    EXPECT_GT(double(blueMinusRed) / double(bright), 20.0) << "clock " << ms;
  }
  EXPECT_EQ(GL_NO_ERROR, glGetError());
}

// Child half of the broken-model test: loads from the folder the parent made
// and draws a frame of each mode.
class ModuleAChild : public ModuleA {};

TEST_F(ModuleAChild, DrawsWithBrokenModels) {
  if (!ChildDataDir()) GTEST_SKIP() << "run by ModuleA.BrokenModelsFallBack";
  ModuleAObjects o = ModuleAObjectIndices();
  printf("objects ball=%d kilo=%d clone=%d\n", o.ball, o.kilo, o.kiloClone);
  for (const std::string& box : FileErrors()) printf("box: %s\n", box.c_str());
  for (int32_t mode : {0, 1, 2}) {
    RenderModule(kModuleA, 16, mode);
    EXPECT_EQ(GL_NO_ERROR, glGetError()) << mode;
  }
  SaveFramePng("module_a_broken", 1024, 512);
}

// Each broken folder needs a child (init runs once a process); two cover
// both files missing and cut short.
TEST_F(ModuleA, BrokenModelsFallBack) {
  if (ChildDataDir()) GTEST_SKIP();
  struct Case {
    const char* missing;
    const char* truncated;
  };
  const Case cases[] = {{"ballinv.3ds", "kiloball.3ds"}, {"kiloball.3ds", "ballinv.3ds"}};
  int n = 0;
  for (const Case& c : cases) {
    ScratchData data("module-a-" + std::to_string(n++));
    ASSERT_EQ(0, std::remove(data.Model(c.missing).c_str()));
    TruncateFile(data.Model(c.truncated));
    std::string out;
    int status = RunInChild("ModuleAChild.DrawsWithBrokenModels", data.dir, &out);
    EXPECT_EQ(0, status) << out;
    EXPECT_EQ(std::string::npos, out.find("[  FAILED  ]")) << out;

    // Neither file's objects are used, and each failure is reported.
    EXPECT_NE(std::string::npos, out.find("objects ball=-1 kilo=-1 clone=-1")) << out;
    EXPECT_NE(std::string::npos,
              out.find(std::string("box: Can't load file Models/") + c.missing))
        << out;
    EXPECT_NE(std::string::npos,
              out.find(std::string("Module A: \"Models/") + c.truncated + "\" did not load"))
        << out;
  }
}
