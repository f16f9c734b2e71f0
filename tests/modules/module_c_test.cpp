// Module C: the orbiting camera and its zoom, the smoke billboards, the lens's
// growth and deformation, headless frames across its window and the fade-in
// from module D, and loading with each model file missing or cut short.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "core/gl.h"
#include "director/timeline.h"
#include "gl_test.h"
#include "module_harness.h"
#include "modules/module_c.h"
#include "modules/module_c_frame.h"
#include "core/math.h"

// ---- Arithmetic, no GL ----

TEST(ModuleCFrame, CameraStartsFarOutAndZoomMovesBoundedPerMs) {
  Vector4 p = ModuleCCameraPosition(0.0f, ModuleCZoom(0));
  EXPECT_FLOAT_EQ(0.0f, p.x);
  EXPECT_FLOAT_EQ(387.0f, p.y);
  EXPECT_FLOAT_EQ(315.0f, p.z);

  EXPECT_EQ(3.0f, ModuleCZoom(4999));
  EXPECT_EQ(3.0f, ModuleCZoom(5000));
  EXPECT_EQ(1.2f, ModuleCZoom(7000));
  EXPECT_EQ(1.2f, ModuleCZoom(21999));
  EXPECT_FLOAT_EQ(1.2f, ModuleCZoom(22000));
  EXPECT_NEAR(1.2f, ModuleCZoom(6999), 0.001f);
  // The square root is steep at 5000 and 23999; one ms there moves the zoom by
  // 3 * 0.6 * sqrt(0.0005) = 0.04025, and nowhere by more.
  float previous = ModuleCZoom(23999);
  for (int32_t ms = 0; ms < 24000; ++ms) {
    const float z = ModuleCZoom(ms);
    ASSERT_LE(std::fabs(z - previous), 0.0403f) << ms;
    ASSERT_GE(z, 1.2f - 1e-6f) << ms;
    ASSERT_LE(z, 3.0f) << ms;
    previous = z;
  }
}

TEST(ModuleCFrame, ClockAddsDeltasBelowTenSecondsAndWrapsTheCycle) {
  ModuleCClock clock;
  AdvanceModuleCClock(&clock, 9999);
  EXPECT_EQ(9999.0f, clock.clockMs);
  AdvanceModuleCClock(&clock, 10000);  // a jump of the music position
  EXPECT_EQ(9999.0f, clock.clockMs);
  for (int i = 0; i < 3; ++i) AdvanceModuleCClock(&clock, 9999);
  EXPECT_EQ(15996, clock.cycleMs);
  EXPECT_FLOAT_EQ(39.996f, clock.clockS);
  AdvanceModuleCClock(&clock, -51996);  // seeks back can drive it below 0
  EXPECT_EQ(-12000.0f, clock.clockMs);
  EXPECT_EQ(12000, clock.cycleMs);
}

TEST(ModuleCFrame, SmokeBillboardZeroStartsUnseenOnItsFirstImage) {
  Envelope env;
  SmokeBillboard b;
  PlaceSmokeBillboard(0, 0.0f, env, &b);
  EXPECT_EQ(42, b.texture0);
  EXPECT_EQ(43, b.texture1);
  EXPECT_EQ(0.0f, b.alpha1);  // f = 0: only the first image
  EXPECT_EQ(0.0f, b.alpha0);  // height 400: not faded in yet
  EXPECT_FLOAT_EQ(400.0f + 8.0f * std::sin(0.5f), b.y);
  EXPECT_FLOAT_EQ(24.0f * 7.0f + 4.0f, b.half1);

  // Negative times too: five images in turn, the fade, the band's radius.
  for (int32_t i = 0; i < kModuleCSmokeCount; ++i) {
    for (float s : {-30.0f, -0.001f, 0.0f, 0.5f, 7.3f, 31.25f, 58.5f}) {
      PlaceSmokeBillboard(i, s, env, &b);
      SCOPED_TRACE(std::to_string(i) + " at " + std::to_string(s));
      ASSERT_TRUE(b.texture0 >= 42 && b.texture0 <= 46);
      ASSERT_EQ(42 + (b.texture0 - 42 + 1) % 5, b.texture1);
      ASSERT_TRUE(b.alpha0 >= 0.0f && b.alpha1 >= 0.0f && b.alpha0 + b.alpha1 <= 0.3f + 1e-6f);
      ASSERT_LE(std::fabs(b.y), 408.0f);
      ASSERT_NEAR(180.0f, std::hypot(b.x, b.z), 8.0f * std::sqrt(2.0f) + 1e-3f);
    }
  }
}

TEST(ModuleCFrame, RiseGrowthPulseAndGirthAtTheListedTimes) {
  Envelope env;
  LensGrowth g = ModuleCLensGrowth(5999.0f, env);
  EXPECT_EQ(0.0f, g.rise);
  EXPECT_EQ(0.0f, g.growth);
  EXPECT_EQ(1.0f, g.girth);
  EXPECT_NEAR(0.5f, ModuleCLensGrowth(7000.0f, env).rise, 1e-6f);
  EXPECT_EQ(1.0f, ModuleCLensGrowth(8001.0f, env).rise);
  g = ModuleCLensGrowth(16000.0f, env);
  EXPECT_EQ(0.0f, g.growth);
  EXPECT_EQ(0.0f, g.pulse);

  for (int k = 0; k < 16; ++k) {
    // Mid-step: the swell is full and the lens at its thinnest.
    g = ModuleCLensGrowth(16000.0f + 1700.0f * k + 850.0f, env);
    EXPECT_NEAR(1.0f, g.pulse, 1e-5f) << k;
    EXPECT_FLOAT_EQ(k + 1.0f, g.growth) << k;
    EXPECT_NEAR(0.4f + 0.1f * g.growth, g.girth, 1e-5f) << k;
    // A step's start: grown k whole steps, no swell.
    g = ModuleCLensGrowth(16000.0f + 1700.0f * k, env);
    EXPECT_EQ(float(k), g.growth) << k;
    EXPECT_EQ(0.0f, g.pulse) << k;
  }

  // Whole milliseconds, as the frame deltas give them.
  float previous = 0.0f;
  for (int32_t ms = 0; ms <= 70000; ++ms) {
    const float growth = ModuleCLensGrowth(float(ms), env).growth;
    ASSERT_GE(growth, previous) << ms;  // never drops, not at a step boundary either
    ASSERT_LE(growth, 17.0f) << ms;
    if (ms >= 43540) {
      ASSERT_EQ(17.0f, growth) << ms;
    }
    previous = growth;
  }
  EXPECT_LT(ModuleCLensGrowth(43300.0f, env).growth, 17.0f);  // the eased last step
}

TEST(ModuleCFrame, DeformationBeforeSixSecondsIsOneCommonTurn) {
  NoiseTable noise(512, 511, 222);
  Envelope env;
  const float s = 3.7f;
  const LensGrowth lens = ModuleCLensGrowth(3700.0f, env);
  const Vector4 normal(0.0f, 1.0f, 0.0f);
  for (const Vector4& v : {Vector4(50.0f, 3.0f, -20.0f), Vector4(-5.0f, -12.0f, 40.0f)}) {
    Vector4 b = v;
    DeformLensVertex(noise, lens, s, v, normal, &b);
    Vector4 turned = v;
    rotateY(turned, 6.283184f * std::sin(-0.1f * s));
    EXPECT_FLOAT_EQ(turned.x, b.x);
    EXPECT_FLOAT_EQ(turned.y, b.y);
    EXPECT_FLOAT_EQ(turned.z, b.z);
  }

  // Fully grown and wobbling: the vertex moves, stays finite and near the
  // lens (wobble 3, bulge 1.425, sway 51 units at most).
  const LensGrowth grown = ModuleCLensGrowth(50000.0f, env);
  ASSERT_EQ(17.0f, grown.growth);
  ASSERT_EQ(1.0f, grown.rise);
  const Vector4 v(50.0f, 3.0f, -20.0f);
  Vector4 b = v;
  DeformLensVertex(noise, grown, 50.0f, v, normal, &b);
  EXPECT_TRUE(std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.z));
  EXPECT_NE(v.x, b.x);
  EXPECT_LE(std::hypot(b.x, b.z), 1.425f * (std::hypot(v.x, v.z) + 3.0f) + 51.0f);
}

TEST(ModuleCFrame, RefractionCoordinatesCentreBendAndClamp) {
  float u, v;
  const Vector4 ahead(0.0f, 0.0f, -100.0f);
  LensTexCoord(ahead, Vector4(0.0f, 0.0f, 1.0f), 1.3f, 0.15f, &u, &v);
  EXPECT_FLOAT_EQ(0.5f, u);
  EXPECT_FLOAT_EQ(0.5f, v);
  LensTexCoord(ahead, Vector4(0.2f, 0.1f, 0.9f), 1.3f, 0.1f, &u, &v);
  EXPECT_FLOAT_EQ(0.5f + 0.2f * 0.1f, u);
  EXPECT_FLOAT_EQ(0.5f + 0.1f * 0.1f * 1.5f, v);
  // Off to the side of the view, on and behind the eye plane: finite, in [0, 1].
  for (const Vector4& w : {Vector4(300.0f, -200.0f, -10.0f), Vector4(1.0f, 1.0f, 0.0f),
                           Vector4(-5.0f, 2.0f, 40.0f), Vector4(0.0f, 0.0f, 0.0f)}) {
    LensTexCoord(w, Vector4(0.0f, 0.0f, 1.0f), 1.0f, 0.15f, &u, &v);
    EXPECT_TRUE(u >= 0.0f && u <= 1.0f) << u;
    EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << v;
  }
}

// ---- Headless frames ----

namespace {
void RestoreModuleC() { moduleTable[kModuleC] = {ModuleCHandOver, ModuleCInit, ModuleCRender}; }

// Moves the module clock to `ms` in deltas the clock rule accepts.
void RenderAtClock(float ms, int32_t mode) {
  float left = ms - ModuleCClockMs();
  while (std::fabs(left) > 9000.0f) {
    const int32_t step = left > 0 ? 9000 : -9000;
    RenderModule(kModuleC, step, mode);
    left -= float(step);
  }
  RenderModule(kModuleC, int32_t(left), mode);
}
}  // namespace

class ModuleCGl : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    static bool loaded = false;
    if (!loaded) {
      RestoreModuleC();
      LoadOnlyModule(kModuleC, BuiltDataDir());
      loaded = true;
    }
  }
};

TEST_F(ModuleCGl, LoadsEveryObjectAndRendersAGrowingLensAcrossItsWindow) {
  const ModuleCObjects o = ModuleCObjectsLoaded();
  EXPECT_TRUE(FileErrors().empty());
  EXPECT_TRUE(o.ball >= 0 && o.lens >= 0 && o.box >= 0 && o.harru >= 0);
  EXPECT_EQ(4 + 2 * 5, o.objectCount);  // ball, lens, box, torus and five clones of each
  EXPECT_GT(o.faceTotal, 0);
  EXPECT_EQ(2.0f, ModuleCClockMs());  // two warm-up calls

  uint64_t previous = 0;
  for (float ms : {2000.0f, 9000.0f, 17000.0f, 25000.0f, 35000.0f, 46000.0f, 56000.0f}) {
    RenderAtClock(ms, 1);
    ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError()) << ms;
    SaveFramePng("module_c_" + std::to_string(int(ms)), 1024, 512);
    EXPECT_GT(RenderAreaMean(), 8.0) << ms;
    const uint64_t hash = RenderAreaHash();
    EXPECT_NE(previous, hash) << ms;
    RenderModule(kModuleC, 16, 1);
    EXPECT_NE(hash, RenderAreaHash()) << ms << ": frozen";
    previous = hash;
  }
}

TEST_F(ModuleCGl, ModesChooseColoursAndOtherModesKeepTheLastOnes) {
  RenderAtClock(20000.0f, 0);
  const uint64_t warmUp = RenderAreaHash();
  RenderModule(kModuleC, 0, 1);
  const uint64_t show = RenderAreaHash();
  EXPECT_NE(warmUp, show);
  // An unknown mode draws with the colours last written: the lens's are those
  // of its outer pass, so both of its passes take them.
  RenderModule(kModuleC, 0, 2);
  const uint64_t afterShow = RenderAreaHash();
  RenderModule(kModuleC, 0, 0);
  RenderModule(kModuleC, 0, 2);
  EXPECT_NE(afterShow, RenderAreaHash());
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(ModuleCGl, ClockDrivenBelowZeroStillDraws) {
  RenderAtClock(-12000.0f, 1);
  EXPECT_EQ(-12000.0f, ModuleCClockMs());
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  SaveFramePng("module_c_minus12000", 1024, 512);
  EXPECT_GT(RenderAreaMean(), 4.0);
  RenderAtClock(2.0f, 1);
}

TEST_F(ModuleCGl, TimelineFadesInFromDarkWithZoomBlur) {
  RenderFrame(60000);  // module E's window: empty here, so it only sets the previous time
  RenderFrame(90500);
  const double dark = RenderAreaMean();
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  RenderFrame(90650);
  const double half = RenderAreaMean();
  SaveFramePng("module_c_fade_90650", 1024, 512);
  RenderFrame(90900);
  const double plain = RenderAreaMean();
  SaveFramePng("module_c_fade_90900", 1024, 512);
  EXPECT_LT(dark, 1.0);  // alpha 0 at the fade's start
  EXPECT_LT(dark, half);
  EXPECT_LT(half, plain);
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

// ---- Broken model files (each case in a child process of its own) ----

// Runs in a child only: loads from the broken folder and renders both modes.
namespace {
class ModuleCChild : public GlTest {};
}  // namespace

TEST_F(ModuleCChild, LoadsBrokenModelsAndDraws) {
  if (!ChildDataDir()) GTEST_SKIP() << "runs in a child of ModuleCBrokenModels";
  RestoreModuleC();
  LoadOnlyModule(kModuleC, ChildDataDir());
  RenderModule(kModuleC, 1, 0);
  ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
  RenderAtClock(45000.0f, 1);  // a grown lens
  ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
  EXPECT_GT(RenderAreaMean(), 4.0);
  const ModuleCObjects o = ModuleCObjectsLoaded();
  printf("objects ball=%d lens=%d box=%d harru=%d\n", o.ball, o.lens, o.box, o.harru);
  for (const std::string& e : FileErrors()) printf("box: %s\n", e.c_str());
}

// Each model file once missing and once cut short; two files broken a child
// (one each way), told apart by their messages and the indices left at -1.
TEST(ModuleCBrokenModels, EachModelMissingOrCutShortLoadsAndDraws) {
  struct File {
    const char* name;
    const char* index;  // as the child prints it when the file's objects are unused
  };
  const File files[4] = {{"backball.3ds", "ball=-1"}, {"linssi1d.3ds", "lens=-1"},
                         {"box.3ds", "box=-1"}, {"harru3ssd.3ds", "harru=-1"}};
  for (int i = 0; i < 4; ++i) {
    const File& missing = files[i];
    // The first child has neither ball nor lens: the smoke alone must show.
    const File& cut = files[(i + 1) % 4];
    SCOPED_TRACE(std::string(missing.name) + " missing, " + cut.name + " cut short");
    ScratchData data("module-c-broken");
    std::remove(data.Model(missing.name).c_str());
    TruncateFile(data.Model(cut.name));
    std::string out;
    EXPECT_EQ(0, RunInChild("ModuleCChild.LoadsBrokenModelsAndDraws", data.dir, &out)) << out;
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
    EXPECT_EQ(std::string::npos, out.find("runtime error")) << out;  // under UBSan
    EXPECT_NE(std::string::npos, out.find(missing.index)) << out;
    EXPECT_NE(std::string::npos, out.find(cut.index)) << out;
    EXPECT_NE(std::string::npos,
              out.find("box: Can't load file Models/" + std::string(missing.name)))
        << out;
    EXPECT_NE(std::string::npos,
              out.find("Module C: \"Models/" + std::string(cut.name) + "\" did not load"))
        << out;
  }
}

// The undeformed lens normals are kept; after a mode change and a backward
// seek, a frame drawn with them matches one that makes them afresh.
TEST_F(ModuleCGl, KeptLensNormalsDrawTheSamePixelsAsFreshOnes) {
  for (float ms : {35000.0f, 12000.0f, 46000.0f, 3000.0f}) {
    const int32_t mode = ms > 20000.0f ? 1 : 0;
    RenderAtClock(ms, mode);
    RenderModule(kModuleC, 0, mode);
    const uint64_t kept = RenderAreaHash();
    ModuleCForgetKeptWork();
    RenderModule(kModuleC, 0, mode);
    EXPECT_EQ(kept, RenderAreaHash()) << ms;
  }
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}
