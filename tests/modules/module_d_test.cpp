// Module D: the arithmetic of its frame (flickers, shots, noise flattening,
// water rule, logo echoes) without GL, and headless frames of both plays,
// the fade-out through the timeline and broken model files in child runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "assets/scene.h"
#include "core/settings.h"
#include "director/shared.h"
#include "director/timeline.h"
#include "effects/render_target.h"
#include "gl_test.h"
#include "module_harness.h"
#include "modules/module_d.h"
#include "toolkit/noise.h"

namespace {
bool Finite(const Vector4& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
bool Finite(const Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The arrays a ripple reads and writes, zeroed, for n vertices.
void GiveRippleArrays(SceneObject& o, int n) {
  o.vertexCount = n;
  o.vertices = AllocateArray<Vector4>(o, n);
  o.worldVertices = AllocateArray<Vector4>(o, n);
  o.baseVertices = AllocateArray<Vector4>(o, n);
  o.baseNormals = AllocateArray<Vector4>(o, n);
  o.texU = AllocateArray<float>(o, n);
  o.texV = AllocateArray<float>(o, n);
}
}  // namespace

// Half-way up its rise (three and a half cosine cycles over 3 s) a flicker
// is at 0.5; at the rise's end, where its fall begins, at 1.
TEST(ModuleDFrame, FirstFlickerIsHalfWayAt12500AndRollsTheCamera) {
  EXPECT_NEAR(0.5f, ModuleDFlash1(12500.0f), 1e-4f);
  EXPECT_NEAR(1.0f, ModuleDFlash1(14000.0f), 1e-4f);
  EXPECT_EQ(0.0f, ModuleDFlash2(12500.0f));
  // Outside their windows both are 0: the second play never flickers.
  for (float t : {0.0f, 11000.0f, 17001.0f, 20999.0f, 27001.0f, 147000.0f - 62400.0f + 3000.0f}) {
    EXPECT_EQ(0.0f, ModuleDFlash1(t)) << t;
    EXPECT_EQ(0.0f, ModuleDFlash2(t)) << t;
  }
  EXPECT_NEAR(0.5f, ModuleDFlash2(22500.0f), 1e-4f);
  EXPECT_NEAR(1.0f, ModuleDFlash2(24000.0f), 1e-4f);

  ModuleDFrame f;
  f.clockS = 12.5f;
  f.zoom = 1.2f;
  f.roll = -0.75f * (ModuleDFlash1(12500.0f) + ModuleDFlash2(12500.0f));
  f.shots = ModuleDShotWeights(12500.0f, ModuleDFlash1(12500.0f), 0.0f);
  CameraPose plain, rolled;
  Vector4 target;
  ModuleDFrame still = f;
  still.roll = 0.0f;
  ModuleDAimCamera(still, 1, &plain, &target);
  ModuleDAimCamera(f, 1, &rolled, &target);
  // Up (0, -1, 0) turned about z by 0.4 roll, about -0.15 rad.
  EXPECT_NEAR(-0.15f, 0.4f * f.roll, 2e-3f);
  EXPECT_NEAR(-std::sin(0.4f * f.roll), rolled.up.x, 1e-6f);
  EXPECT_NEAR(-std::cos(0.4f * f.roll), rolled.up.y, 1e-6f);
  EXPECT_EQ(0.0f, plain.up.x);
}

TEST(ModuleDFrame, ShotWeightsAtBeat1000FrameTheLampFromNear) {
  for (float clock : {1000.0f, 10600.0f}) {  // beat 1000 of two bars
    ModuleDShots w = ModuleDShotWeights(clock, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(1.0f, w.c1) << clock;
    EXPECT_EQ(0.0f, w.c2);
    EXPECT_EQ(0.0f, w.c3);
    EXPECT_FLOAT_EQ(1.0f, w.k1);
    EXPECT_FLOAT_EQ(1.0f, w.wide);
    EXPECT_EQ(0.0f, w.flash);
  }

  ModuleDFrame f;
  f.clockS = 1.0f;
  f.zoom = 3.0f;
  f.shots = ModuleDShotWeights(1000.0f, 0.0f, 0.0f);
  f.lampPosition.set(4.0f, -30.0f, 12.0f);
  CameraPose camera;
  Vector4 target;
  ModuleDAimCamera(f, 0, &camera, &target);
  const float a = 1.25f;
  const float nearX = -2.3f * std::sin(0.03425f * a);
  const float nearY = 3.4f * std::cos(0.05f * a) + std::sin(0.032f * a) + 3.0f;
  const float nearZ = 0.6f * std::cos(0.01625f * a) + 9.0f;
  EXPECT_NEAR(nearX * 6.0f, camera.position.x, 1e-4f);
  EXPECT_NEAR(nearY * 6.0f, camera.position.y, 1e-4f);
  EXPECT_NEAR(nearZ * 6.0f, camera.position.z, 1e-4f);
  EXPECT_NEAR(40.0f - 4.0f, target.x, 1e-5f);
  EXPECT_NEAR(2.0f + 30.0f, target.y, 1e-5f);
  EXPECT_NEAR(-12.0f, target.z, 1e-5f);

  // Flicker takes over from the shots, at most 0.8 of them (two flashes at 1).
  ModuleDShots lit = ModuleDShotWeights(1000.0f, 1.0f, 1.0f);
  EXPECT_FLOAT_EQ(0.8f, lit.flash);
  EXPECT_FLOAT_EQ(0.2f, lit.k1);
  EXPECT_FLOAT_EQ((2.0f - 0.2f) * 0.2f, lit.wide);
}

TEST(ModuleDFrame, ModeTwoMovesLikeModeOneAndZoomFollowsItsCycle) {
  ModuleDFrame f;
  f.clockS = 31.7f;
  f.zoom = ModuleDZoom(7700);
  f.lampPosition.set(1, 2, 3);
  CameraPose one, two;
  Vector4 t1, t2;
  ModuleDAimCamera(f, 1, &one, &t1);
  ModuleDAimCamera(f, 2, &two, &t2);
  EXPECT_EQ(one.position.x, two.position.x);
  EXPECT_EQ(one.position.y, two.position.y);
  EXPECT_EQ(t1.y, t2.y);
  EXPECT_EQ(0.0f, t1.x);

  EXPECT_EQ(3.0f, ModuleDZoom(0));
  EXPECT_FLOAT_EQ(3.0f, ModuleDZoom(5000));
  EXPECT_NEAR(1.2f, ModuleDZoom(6999), 2e-3f);  // continuous into the near stretch
  EXPECT_EQ(1.2f, ModuleDZoom(7000));
  EXPECT_EQ(1.2f, ModuleDZoom(21999));
  EXPECT_NEAR(1.2f, ModuleDZoom(22000), 1e-6f);
  EXPECT_NEAR(3.0f, ModuleDZoom(23999), 0.05f);
}

TEST(ModuleDFrame, NoiseFlatteningKeepsStrongValuesAndFoldsDeepOnes) {
  EXPECT_EQ(0.5f, ModuleDFlatten(0.5f));
  EXPECT_EQ(0.73f, ModuleDFlatten(0.73f));
  EXPECT_EQ(1.0f, ModuleDFlatten(1.0f));
  EXPECT_NEAR(0.1f, ModuleDFlatten(-1.0f), 1e-7f);  // -1 (0.3 * 0 - 0.1)
  EXPECT_EQ(0.0f, ModuleDFlatten(0.0f));
  EXPECT_NEAR(0.3f * 0.2f, ModuleDFlatten(0.3f), 1e-7f);   // shallow: a fifth
  EXPECT_NEAR(-0.6f * 0.2f, ModuleDFlatten(-0.6f), 1e-7f); // past -0.6: 0.2 of it
  EXPECT_NEAR(0.5f, ModuleDFlatten(0.4999f), 1e-3f);       // no step at 0.5
}

TEST(ModuleDFrame, CaveVertexIsStretchedAndPushedAlongItsNormal) {
  NoiseTable noise(512, 511, 222);
  const Vector4 b(10.0f, -4.0f, 3.0f);
  Vector4 flat = ModuleDCaveVertex(noise, b, Vector4(0, 0, 0), 0.0f);
  EXPECT_FLOAT_EQ(70.0f, flat.x);  // x and z by 7, y by 2
  EXPECT_FLOAT_EQ(-8.0f, flat.y);
  EXPECT_FLOAT_EQ(21.0f, flat.z);

  // Along a unit normal the push is 180 N with |N| <= 1, y scaled by 1.46.
  for (int i = 0; i < 50; ++i) {
    Vector4 at(37.0f * i - 900.0f, 13.0f * i, -21.0f * i);
    Vector4 up = ModuleDCaveVertex(noise, at, Vector4(0, 1, 0), -0.3f);
    ASSERT_TRUE(Finite(up));
    EXPECT_FLOAT_EQ(at.x * 7.0f, up.x);
    EXPECT_LE(std::fabs(up.y - 2.0f * at.y), 2.0f * 180.0f * 1.46f + 1e-2f);
  }
}

TEST(ModuleDFrame, EyeAtTheWaterLevelIsNotUnderIt) {
  const float level = 17.5f;
  // The eye sits at the negated camera position; -y is up, so an eye below
  // the surface has a larger y.
  EXPECT_TRUE(ModuleDEyeUnderWater(Vector4(3, -(level + 1.0f), 2), level));
  EXPECT_FALSE(ModuleDEyeUnderWater(Vector4(3, -(level - 1.0f), 2), level));
  EXPECT_FALSE(ModuleDEyeUnderWater(Vector4(3, -level, 2), level));
}

TEST(ModuleDFrame, LogosOnlyBetweenThreeAndElevenPointNineSeconds) {
  float e1, e2;
  for (float s : {-12.0f, 0.0f, 2.99f, 3.0f, 11.9f, 11.95f, 28.1f, 90.0f}) {
    ModuleDLogoWeights(s, &e1, &e2);
    EXPECT_EQ(0.0f, e1) << s;
    EXPECT_EQ(0.0f, e2) << s;
  }
  ModuleDLogoWeights(5.0f, &e1, &e2);
  EXPECT_NEAR(1.0f, e1, 1e-6f);
  EXPECT_EQ(0.0f, e2);
  ModuleDLogoWeights(8.0f, &e1, &e2);
  EXPECT_EQ(0.0f, e1);
  EXPECT_FLOAT_EQ(1.0f, e2);

  // At full weight the echoes collapse onto one solid logo.
  ModuleDEcho first[kModuleDEchoesFirst];
  ModuleDLogoWeights(5.0f, &e1, &e2);
  ModuleDEchoesFirst(5.0f, e1, first);
  for (const ModuleDEcho& e : first) {
    EXPECT_NEAR(50.0f, e.x, 1e-3f);
    EXPECT_NEAR(-90.0f, e.y, 1e-3f);
    EXPECT_NEAR(2.1f, e.scale, 1e-4f);
    EXPECT_NEAR(0.2f, e.alpha, 1e-6f);
  }
  // Faint and scattered while the weight is small.
  ModuleDEcho second[kModuleDEchoesSecond];
  ModuleDLogoWeights(5.5f, &e1, &e2);
  ModuleDEchoesSecond(5.5f, e2, second);
  float spread = 0.0f;
  for (const ModuleDEcho& e : second) {
    spread = std::fmax(spread, std::fabs(e.x - 50.0f));
    EXPECT_LT(e.alpha, 0.2f * 0.5f);
    EXPECT_EQ(1.35f, e.scale);
  }
  EXPECT_GT(spread, 10.0f);
}

TEST(ModuleDFrame, PulsesBandsAndScreenCoordinatesStayInRange) {
  // The lamps pulse half a period apart.
  EXPECT_NEAR(2.3f, ModuleDGlow(0.0f, 400), 1e-4f);
  EXPECT_NEAR(0.3f, ModuleDGlow(0.0f, 1200), 1e-4f);
  float bands[kModuleDBands];
  for (float t : {-12000.0f, -1.0f, 0.0f, 799.5f, 28100.0f, 1e7f}) {
    EXPECT_GE(ModuleDGlow(t, 400), 0.3f - 1e-5f) << t;
    EXPECT_LE(ModuleDGlow(t, 1200), 2.3f + 1e-5f) << t;
    ModuleDBandOffsets(-0.7f, t * 0.001f, bands);
    for (float v : bands) {
      EXPECT_GE(v, 0.0f);
      EXPECT_LE(v, 0.03f + 1e-7f);
    }
  }
  float u, v;
  ModuleDScreenCoords(Vector4(3, -2, 0), &u, &v);  // at the eye: depth raised, no division by 0
  EXPECT_TRUE(std::isfinite(u) && std::isfinite(v));
  ModuleDScreenCoords(Vector4(2, 1, -4), &u, &v);
  EXPECT_FLOAT_EQ(0.5f * 2 / 4 + 0.5f, u);
  EXPECT_FLOAT_EQ(0.65f * 1 / 4 + 0.5f, v);
}

TEST(ModuleDFrame, RipplesClampTextureCoordinatesForVerticesBehindTheEye) {
  NoiseTable noise(512, 511, 222);
  SceneObject o;
  GiveRippleArrays(o, 3);
  o.worldVertices[0].set(50, -50, 0.0f);  // at the eye
  o.worldVertices[1].set(-50, 50, 5.0f);  // behind it
  o.worldVertices[2].set(1, 1, -400.0f);  // far in front
  for (int j = 0; j < 3; ++j) {
    o.vertices[j].set(100.0f * j, 5, -70.0f * j);
    o.baseNormals[j].set(0, -1, 0);
  }
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 0)
      ModuleDRippleWater(o, noise, 12.0f, nullptr);
    else
      ModuleDRippleBubble(o, noise, -12.0f);  // a clock below 0 too
    for (int j = 0; j < 3; ++j) {
      EXPECT_GE(o.texU[j], 0.0f);
      EXPECT_LE(o.texU[j], 1.0f);
      EXPECT_GE(o.texV[j], 0.0f);
      EXPECT_LE(o.texV[j], 1.0f);
      ASSERT_TRUE(Finite(o.baseVertices[j]));
      EXPECT_EQ(0.0f, o.baseVertices[j].x);  // pushed along the normal only
    }
  }
  // The far vertex keeps its projected place, moved by the small ripple only.
  EXPECT_NEAR(0.5f, o.texU[2], 0.02f);
}

TEST(ModuleDFrame, StillWaveMadeOnceRipplesExactlyAsComputedEachFrame) {
  NoiseTable noise(512, 511, 222);
  SceneObject a, b;
  for (SceneObject* o : {&a, &b}) {
    GiveRippleArrays(*o, 40);
    for (int j = 0; j < 40; ++j) {
      o->vertices[j].set(97.0f * j - 2000.0f, 0.0f, 1234.5f - 61.0f * j);
      o->worldVertices[j].set(3.0f * j, -2.0f * j, -50.0f - j);
      o->baseNormals[j].set(0.0f, -1.0f, 0.0f);
    }
  }
  float still[40];
  ModuleDStillWave(a, noise, still);
  ModuleDRippleWater(a, noise, 31.25f, still);
  ModuleDRippleWater(b, noise, 31.25f, nullptr);
  for (int j = 0; j < 40; ++j) {
    EXPECT_EQ(b.texU[j], a.texU[j]);
    EXPECT_EQ(b.texV[j], a.texV[j]);
    EXPECT_EQ(b.baseVertices[j].y, a.baseVertices[j].y);
  }
}

// ---- Headless frames ----

namespace {
std::string loadOutput;

class ModuleDGl : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    static bool loaded = false;
    if (!loaded && !ChildDataDir()) {
      testing::internal::CaptureStdout();
      LoadOnlyModule(kModuleD, BuiltDataDir());
      loadOutput = testing::internal::GetCapturedStdout();
      loaded = true;
    }
  }
};

// Moves the module clock to `ms` in deltas the clock rule accepts.
void SetClock(float ms) {
  for (int i = 0; i < 100 && ModuleDClockMs() != ms; ++i) {
    float step = ms - ModuleDClockMs();
    if (step > 9000.0f) step = 9000.0f;
    RenderModule(kModuleD, static_cast<int32_t>(step), 0);
  }
}
}  // namespace

TEST_F(ModuleDGl, LoadsItsFiveModelsAndWarmsUpTwice) {
  EXPECT_TRUE(FileErrors().empty());
  EXPECT_NE(std::string::npos, loadOutput.find(" Faces in scene.\n")) << loadOutput;
  EXPECT_EQ(2.0f, ModuleDClockMs());  // warm-up (1, 0) and (1, 1)
  ModuleDObjects o = ModuleDObjectIndices();
  EXPECT_EQ(0, o.cave);
  EXPECT_GT(o.ball, o.cave);
  EXPECT_GT(o.water, o.ball);
  EXPECT_GT(o.box, o.water);
  EXPECT_GT(o.bead, o.box);
}

TEST_F(ModuleDGl, FramesOfBothModesDrawAndMove) {
  for (int mode = 0; mode < 2; ++mode) {
    SetClock(mode == 0 ? 7000.0f : 30000.0f);
    RenderModule(kModuleD, 16, mode);
    ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
    const uint64_t first = RenderAreaHash();
    const double mean = RenderAreaMean();
    SaveFramePng(mode == 0 ? "module_d_mode0" : "module_d_mode1", 1024, 512);
    RenderModule(kModuleD, 40, mode);
    ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
    EXPECT_GT(mean, 3.0) << "mode " << mode;
    EXPECT_NE(first, RenderAreaHash()) << "mode " << mode;
  }
}

TEST_F(ModuleDGl, KeptCaveHeaveDrawsTheSamePixelsAsAFreshOne) {
  SetClock(7000.0f);  // roll 0: the heave of the previous frame is kept
  RenderModule(kModuleD, 16, 0);
  ASSERT_EQ(0.0f, ModuleDLastFrame().roll);
  RenderModule(kModuleD, 0, 0);
  const uint64_t kept = RenderAreaHash();
  ModuleDForgetCaveHeave();
  RenderModule(kModuleD, 0, 0);
  EXPECT_EQ(kept, RenderAreaHash());

  SetClock(12500.0f);  // flickering: every frame heaves afresh
  RenderModule(kModuleD, 0, 0);
  const uint64_t rolled = RenderAreaHash();
  ModuleDForgetCaveHeave();
  RenderModule(kModuleD, 0, 0);
  EXPECT_EQ(rolled, RenderAreaHash());
  RenderModule(kModuleD, 16, 0);
  EXPECT_NE(rolled, RenderAreaHash());
}

TEST_F(ModuleDGl, LogoFramesLendSlotZeroAndGiveItBack) {
  const uint32_t before = sharedTarget->fullTextures[0];
  SetClock(4984.0f);
  RenderModule(kModuleD, 16, 0);  // s = 5: the first logos at full weight
  EXPECT_EQ(before, sharedTarget->fullTextures[0]);
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  SaveFramePng("module_d_logos", 1024, 512);
  SetClock(8000.0f);
  RenderModule(kModuleD, 16, 0);
  EXPECT_EQ(before, sharedTarget->fullTextures[0]);
  EXPECT_EQ(0, sharedTarget->useSmallTextures);
  EXPECT_EQ(0, sharedTarget->useSmallSize);
}

TEST_F(ModuleDGl, BubbleFollowsTheEyeAndTheWater) {
  bool under = false, over = false;
  for (float ms = 0.0f; ms < 44000.0f; ms += 1750.0f) {
    SetClock(ms);
    for (int mode = 0; mode < 2; ++mode) {
      RenderModule(kModuleD, 0, mode);
      const bool eyeUnder =
          ModuleDEyeUnderWater(ModuleDCamera().position, ModuleDLastFrame().waterLevel);
      EXPECT_EQ(eyeUnder, ModuleDBubbleDrawn()) << ms;
      if (eyeUnder && !under) SaveFramePng("module_d_bubble", 1024, 512);
      (eyeUnder ? under : over) = true;
    }
  }
  EXPECT_TRUE(under);
  EXPECT_TRUE(over);
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(ModuleDGl, ClockDrivenBelowZeroStaysOnItsPaths) {
  SetClock(0.0f);
  RenderModule(kModuleD, -12000, 0);
  ASSERT_EQ(-12000.0f, ModuleDClockMs());
  for (int mode = 0; mode < 2; ++mode) {
    RenderModule(kModuleD, 0, mode);
    const ModuleDFrame& f = ModuleDLastFrame();
    EXPECT_TRUE(Finite(f.lampPosition) && Finite(f.lamp2Position));
    EXPECT_TRUE(Finite(ModuleDCamera().position) && Finite(ModuleDCamera().direction));
    EXPECT_GE(f.cycleMs, 0);
    EXPECT_LT(f.cycleMs, 24000);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  }
  EXPECT_GT(RenderAreaMean(), 1.0);
  SetClock(2.0f);
}

TEST_F(ModuleDGl, SecondPlayContinuesTheClockAndTheFadeOutIsDrawn) {
  // Forward jumps of 10 s or more leave the module clock alone.
  RenderFrame(75000);
  const float atFirst = ModuleDClockMs();
  RenderFrame(75016);
  EXPECT_EQ(atFirst + 16.0f, ModuleDClockMs());
  RenderFrame(89984);
  RenderFrame(90000);  // the last frame without the fade
  EXPECT_GT(RenderAreaMean(), 1.0);
  RenderFrame(90400);
  const double fading = RenderAreaMean();
  SaveFramePng("module_d_fade", 1024, 512);
  RenderModule(kModuleD, 0, 0);  // the same frame without the timeline's fade
  const double plain = RenderAreaMean();
  RenderFrame(90499);
  const double last = RenderAreaMean();
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  EXPECT_GT(plain, 3.0);
  EXPECT_LT(fading, 0.5 * plain);  // dimmed to about a tenth
  EXPECT_LT(last, 1.0);            // almost black

  const float leaving = ModuleDClockMs();
  RenderFrame(147000);  // module C's stretch lies between: nothing of it here
  EXPECT_EQ(leaving, ModuleDClockMs());
  RenderFrame(147016);
  EXPECT_EQ(leaving + 16.0f, ModuleDClockMs());
  // Mode 1: the orbit.
  CameraPose orbit;
  Vector4 target;
  ModuleDAimCamera(ModuleDLastFrame(), 1, &orbit, &target);
  EXPECT_EQ(orbit.position.x, ModuleDCamera().position.x);
  EXPECT_EQ(orbit.position.y, ModuleDCamera().position.y);
  EXPECT_GT(RenderAreaMean(), 1.0);
  SaveFramePng("module_d_second_play", 1024, 512);
}

// Run in a child for a broken data folder: loads, renders a frame of each
// mode (one with logos, one with the bubble's rule) and reports.
class ModuleDChild : public ModuleDGl {};

TEST_F(ModuleDChild, LoadsBrokenData) {
  if (!ChildDataDir()) GTEST_SKIP() << "runs in a child";
  LoadOnlyModule(kModuleD, ChildDataDir());
  for (const std::string& e : FileErrors()) printf("box: %s\n", e.c_str());
  SetClock(4984.0f);
  RenderModule(kModuleD, 16, 0);
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  SetClock(30000.0f);
  RenderModule(kModuleD, 16, 1);
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  ModuleDObjects o = ModuleDObjectIndices();
  printf("indices %d %d %d %d %d\n", o.cave, o.ball, o.water, o.box, o.bead);
}

TEST_F(ModuleDGl, MissingOrCutModelsAreSkipped) {
  struct Case {
    const char* tag;
    bool cut;
    std::vector<const char*> files;
    const char* indices;
  };
  const Case cases[] = {
      // Without the cave and the cages: the beads carry the lamps.
      {"d-missing-1", false, {"luola2taso.3ds", "holeboxsd.3ds"}, "indices -1 0 "},
      {"d-missing-2", false, {"ballbig.3ds", "vet.3ds", "bitball.3ds"}, "indices 0 -1 -1 "},
      {"d-cut", true,
       {"luola2taso.3ds", "ballbig.3ds", "vet.3ds", "holeboxsd.3ds", "bitball.3ds"},
       "indices -1 -1 -1 -1 -1"},
  };
  for (const Case& c : cases) {
    ScratchData data(c.tag);
    for (const char* f : c.files) {
      if (c.cut)
        TruncateFile(data.Model(f));
      else
        std::remove(data.Model(f).c_str());
    }
    std::string out;
    EXPECT_EQ(0, RunInChild("ModuleDChild.LoadsBrokenData", data.dir, &out)) << c.tag << out;
    EXPECT_NE(std::string::npos, out.find(c.indices)) << c.tag << out;
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << c.tag << out;
    for (const char* f : c.files) {
      const std::string expected = c.cut ? std::string("Module D: \"Models/") + f + "\" did not load"
                                         : std::string("Can't load file Models/") + f;
      EXPECT_NE(std::string::npos, out.find(expected)) << c.tag << " " << f << "\n" << out;
    }
  }
}


// The undeformed normals of the water and the bubble and the bubble's copy
// under its fixed camera are kept; after frames of both modes and a backward
// seek, a frame drawn with them matches one that makes them afresh.
TEST_F(ModuleDGl, KeptWaterAndBubbleWorkDrawsTheSamePixelsAsAFreshOne) {
  int bubbles = 0;
  for (float ms : {30000.0f, 9000.0f, 36000.0f, 5250.0f}) {  // forward and back
    for (int mode : {1, 0}) {
      SetClock(ms);
      RenderModule(kModuleD, 16, mode);
      RenderModule(kModuleD, 0, mode);
      const uint64_t kept = RenderAreaHash();
      bubbles += ModuleDBubbleDrawn();
      ModuleDForgetKeptWork();
      RenderModule(kModuleD, 0, mode);
      EXPECT_EQ(kept, RenderAreaHash()) << ms << " mode " << mode;
    }
  }
  EXPECT_GT(bubbles, 0) << "some of these frames draw the bubble";
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}
