// Module B: its clock, camera, deformations and closing-pass values as plain
// arithmetic, then headless frames of both modes, a clock driven below zero,
// and broken data folders in child processes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/gl.h"
#include "module_harness.h"
#include "modules/module_b.h"
#include "modules/module_b_frame.h"
#include "modules/module_common.h"
#include "gl_test.h"
#include "toolkit/noise.h"
#include "toolkit/spline.h"

namespace fs = std::filesystem;

namespace {
bool Finite(const Vector4& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

const NoiseTable& Noise512() {
  static NoiseTable table(512, 511, 222);
  return table;
}
}  // namespace

TEST(ModuleBFrame, ClockJumpsOnEachChangeFromOpeningToClosing) {
  ModuleBClock c;
  AdvanceModuleBClock(c, 1, 1);  // the loading sequence's warm-up calls
  AdvanceModuleBClock(c, 1, 0);
  EXPECT_EQ(2.0f, c.localMs);  // no jump: prevMode starts at 1
  for (int i = 0; i < 10; ++i) AdvanceModuleBClock(c, 100, 0);
  EXPECT_EQ(1002.0f, c.localMs);
  ModuleBTime time = AdvanceModuleBClock(c, 16, 1);
  EXPECT_EQ(1002.0f + 5100.0f + 16.0f, c.localMs);
  EXPECT_FLOAT_EQ(c.localMs * 0.001f, time.t);
  AdvanceModuleBClock(c, 16, 1);  // staying in mode 1: no further jump
  EXPECT_EQ(6134.0f, c.localMs);
  AdvanceModuleBClock(c, 16, 0);
  AdvanceModuleBClock(c, 16, 1);  // back and forth jumps again
  EXPECT_EQ(6134.0f + 32.0f + 5100.0f, c.localMs);
}

TEST(ModuleBFrame, LongDeltaLeavesTheClockButMovesTheCamera) {
  ModuleBClock c;
  c.localMs = 4000.0f;
  c.prevMode = 0;
  ModuleBTime time = AdvanceModuleBClock(c, 10000, 0);
  EXPECT_EQ(4000.0f, c.localMs);
  EXPECT_FLOAT_EQ(10.0f, time.dt);

  ModuleBCamera cam;
  ModuleBCameraPosition(cam, 0, c.localMs, time.dt);
  EXPECT_FLOAT_EQ(19.0f, cam.phase);  // speed 1.9 for 10 s
  ModuleBCamera cam1;
  ModuleBCameraPosition(cam1, 1, 40000.0f, 10.0f);
  EXPECT_FLOAT_EQ(7.5f, cam1.phase);  // speed 0.75 before 106 s
}

TEST(ModuleBFrame, DistanceFactorCycle) {
  EXPECT_EQ(3.0f, ModuleBDistanceFactor(0));
  EXPECT_EQ(3.0f, ModuleBDistanceFactor(4999));
  EXPECT_FLOAT_EQ(3.0f, ModuleBDistanceFactor(5000));
  EXPECT_FLOAT_EQ(1.2f, ModuleBDistanceFactor(7000));
  EXPECT_FLOAT_EQ(1.2f, ModuleBDistanceFactor(21999));
  EXPECT_FLOAT_EQ(1.2f, ModuleBDistanceFactor(22000));
  // The square roots step by about 0.040 at each join; nowhere more.
  for (int c = 0; c < 24000; ++c) {
    float step = std::fabs(ModuleBDistanceFactor((c + 1) % 24000) - ModuleBDistanceFactor(c));
    ASSERT_LE(step, 0.041f) << "cycleMs " << c;
  }

  // Mode 0 runs the cycle at twice the speed from 12 s in: the camera starts
  // in the near part, and the clock-derived cycle wraps for negative clocks.
  ModuleBCamera cam;
  ModuleBCameraPosition(cam, 0, 0.0f, 0.0f);
  EXPECT_EQ(12000, cam.cycleMs);
  EXPECT_FLOAT_EQ(1.2f, cam.distanceFactor);
  ModuleBCameraPosition(cam, 1, -12000.0f, 0.0f);
  EXPECT_EQ(12000, cam.cycleMs);
}

TEST(ModuleBFrame, CubeRestsBeforeDropStartAndNeverRisesPastEight) {
  ModuleBCube cube;
  float localMs = 0.0f;
  bool bounced = false, squashed = false;
  for (int frame = 0; frame < 200000 / 16; ++frame) {
    localMs += 16.0f;
    float t = localMs * 0.001f;
    ModuleBCubeShape s = AdvanceModuleBCube(cube, t, localMs, 0.016f, 16);
    ASSERT_TRUE(std::isfinite(s.d) && std::isfinite(s.k)) << t;
    ASSERT_LE(s.d, 8.0f) << t;
    ASSERT_GE(s.d, 0.0f) << t;
    if (s.o <= s.dropStart) {
      ASSERT_EQ(0.0f, s.d) << t;
      ASSERT_EQ(0.0f, s.squash) << t;
      ASSERT_EQ(1.0f, s.k) << t;
    } else {
      bounced |= s.d > 0.0f;
      squashed |= s.squash > 0.5f;
    }
    if (t < 16.0f) {
      ASSERT_LE(s.o, s.dropStart) << t;  // the first drop comes at 16 s
    }
  }
  EXPECT_TRUE(bounced);
  EXPECT_TRUE(squashed);
}

TEST(ModuleBFrame, RelaxationWorksInPlaceRowByRow) {
  const int rows = 4, cols = 4;
  std::vector<float> f(rows * cols);
  for (int i = 0; i < rows * cols; ++i) f[i] = static_cast<float>((i * 7) % 5);
  std::vector<float> expect = f;
  const float r = 0.5f;
  for (int j = 1; j <= rows - 2; ++j)
    for (int k = 1; k <= cols - 2; ++k) {
      float* e = expect.data();
      e[j * cols + k] = r * (e[(j - 1) * cols + k] + e[(j + 1) * cols + k] + e[j * cols + k + 1] +
                             e[j * cols + k - 1]) * 0.25f + (1 - r) * e[j * cols + k];
    }
  std::vector<float> g = f;
  RelaxHeightField(g.data(), rows, cols, r);
  EXPECT_EQ(expect, g);
  // Row 2 reads row 1's new values: relaxing row 2 alone differs.
  std::vector<float> only2 = f;
  RelaxHeightFieldRow(only2.data(), rows, cols, 2, r);
  EXPECT_NE(g[2 * cols + 1], only2[2 * cols + 1]);
  // The border is never written; r = 0 and a field without inner rows are left alone.
  for (int k = 0; k < cols; ++k) EXPECT_EQ(f[k], g[k]);
  std::vector<float> h = f;
  RelaxHeightField(h.data(), rows, cols, 0.0f);
  RelaxHeightField(h.data(), 2, 8, 1.0f);
  EXPECT_EQ(f, h);
}

TEST(ModuleBFrame, BackballPoleVertexStaysFinite) {
  Vector4 normal(0.0f, -1.0f, 0.0f);
  for (int mode = 0; mode < 2; ++mode) {
    Vector4 pole = DeformBackballVertex(Noise512(), mode, 3.0f, Vector4(0.0f, 500.0f, 0.0f), normal);
    EXPECT_TRUE(Finite(pole)) << mode;
    EXPECT_EQ(0.0f, pole.x);
    EXPECT_EQ(0.0f, pole.z);
    // Just off the axis the angle is defined again.
    Vector4 near = DeformBackballVertex(Noise512(), mode, 3.0f, Vector4(0.0f, 500.0f, 1e-3f), normal);
    EXPECT_TRUE(Finite(near));
  }
  // Mode 0 stretches y sixteen times, mode 1 doubles everything.
  Vector4 flat = DeformBackballVertex(Noise512(), 0, 0.0f, Vector4(10.0f, 10.0f, 10.0f), Vector4());
  EXPECT_FLOAT_EQ(40.0f, flat.x);
  EXPECT_FLOAT_EQ(160.0f, flat.y);
  flat = DeformBackballVertex(Noise512(), 1, 0.0f, Vector4(10.0f, 10.0f, 10.0f), Vector4());
  EXPECT_FLOAT_EQ(20.0f, flat.y);
}

TEST(ModuleBFrame, NegativeClockStaysOnThePathsAndTextures) {
  std::unique_ptr<Spline> path = MakeLightPath();
  Spline& even = *path;

  Vector3 a1, a2, b1, b2;
  ModuleBLightPositions(even, -12.0f, &a1, &a2);  // parameters -0.4 and -1.2
  ModuleBLightPositions(even, 8.0f, &b1, &b2);    // 1.6 and 0.8: the same points
  EXPECT_TRUE(Finite(a1) && Finite(a2));
  EXPECT_NEAR(b1.x, a1.x, 1e-3f);
  EXPECT_NEAR(b1.y, a1.y, 1e-3f);
  EXPECT_NEAR(b2.x, a2.x, 1e-3f);
  EXPECT_EQ(100.0f, a2.z);

  ModuleBSprite sprites[kModuleBSprites];
  for (float t : {-12.0f, -0.3f, 0.0f, 45.0f}) {
    ModuleBSwarm(t, sprites);
    for (const ModuleBSprite& s : sprites) {
      ASSERT_GE(s.texture0, 42) << t;
      ASSERT_LE(s.texture0, 46) << t;
      ASSERT_GE(s.texture1, 42) << t;
      ASSERT_LE(s.texture1, 46) << t;
      ASSERT_NE(s.texture0, s.texture1);
      ASSERT_TRUE(std::isfinite(s.x) && std::isfinite(s.alpha0));
    }
  }

  ModuleBCube cube;
  ModuleBCubeShape s = AdvanceModuleBCube(cube, -12.0f, -12000.0f, -12.0f, -12000);
  Vector4 v = DeformCubeVertex(Noise512(), s, cube.spin, Vector4(30, -30, 30), Vector4(0.5f, 0.5f, 0.7f));
  EXPECT_TRUE(Finite(v));
}

TEST(ModuleBFrame, SwarmInTheClosingHasOneVisibleSpriteAPair) {
  ModuleBSprite sprites[kModuleBSprites];
  ModuleBSwarm(60.0f, sprites);
  for (int j = 0; j < kModuleBSprites; ++j) {
    EXPECT_EQ(0.0f, sprites[j].alpha1);  // m = 0 past 31 s
    float size0 = (std::sin(0.4f * j) + 7.0f) * 8.0f;
    EXPECT_FLOAT_EQ(size0, sprites[j].half0);
    EXPECT_GE(sprites[j].alpha0, 0.0f);
    EXPECT_LE(sprites[j].alpha0, 0.15f * 1.0001f);
  }
}

TEST(ModuleBFrame, RefractionBehindTheEyeClampsToTheEdge) {
  float u, v;
  RefractionCoordinates(1.0f, 0.05f, Vector4(10, 10, 5), Vector4(0, 0, 1), &u, &v);  // behind
  EXPECT_EQ(1.0f, u);
  EXPECT_EQ(1.0f, v);
  RefractionCoordinates(1.0f, 0.05f, Vector4(-10, -10, 5), Vector4(0, 0, 1), &u, &v);
  EXPECT_EQ(0.0f, u);
  EXPECT_EQ(0.0f, v);
  RefractionCoordinates(1.0f, 0.0f, Vector4(0, 0, -50), Vector4(), &u, &v);  // straight ahead
  EXPECT_FLOAT_EQ(0.5f, u);
  EXPECT_FLOAT_EQ(0.5f, v);
  RefractionCoordinates(1.0f, 0.1f, Vector4(0, 0, -50), Vector4(1, 1, 0), &u, &v);
  EXPECT_FLOAT_EQ(0.6f, u);
  EXPECT_FLOAT_EQ(0.65f, v);
}

TEST(ModuleBFrame, ClosingPassWeights) {
  EXPECT_EQ(0.0f, ModuleBZoomBlur(0, 1.0f).weight);
  EXPECT_GT(ModuleBZoomBlur(0, 15.0f).weight, 0.0f);
  EXPECT_EQ(0.0f, ModuleBZoomBlur(1, 40.0f).weight);
  EXPECT_GT(ModuleBZoomBlur(1, 70.0f).weight, 0.0f);
  EXPECT_EQ(0.0f, ModuleBGreetingsWeight(54.0f));
  EXPECT_EQ(1.0f, ModuleBGreetingsWeight(65.0f));
  EXPECT_EQ(0.0f, ModuleBGreetingsWeight(77.0f));
  EXPECT_FLOAT_EQ(1.1f + 4096.0f, ModuleBEchoScale(0.0f));
  EXPECT_FLOAT_EQ(1.1f, ModuleBEchoScale(1.0f));
  float bands[kModuleBBands];
  ModuleBBandValues(50.0f, bands);
  for (float b : bands) EXPECT_EQ(1.0f, b);
  ModuleBBandValues(67.0f, bands);  // the blur sweeps up the bands: the top is in it first
  EXPECT_EQ(0.0f, bands[kModuleBBands - 1]);
  EXPECT_GT(bands[0], 0.5f);
  ModuleBBandValues(70.0f, bands);  // the top bands come back first
  EXPECT_GT(bands[kModuleBBands - 1], bands[0]);
}

// Headless frames, loaded once a process with the built data.
class ModuleBGl : public GlTest {
 protected:
  static ModuleBProbe afterLoad;
  static void Load() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    LoadOnlyModule(kModuleB, ChildDataDir() ? ChildDataDir() : BuiltDataDir());
    afterLoad = ModuleBState();
  }
  // Advances the module clock towards `seconds` in big steps of the given mode.
  static void SeekModule(float seconds, int mode) {
    RenderModule(kModuleB, 0, mode);  // a change to mode 1 jumps first
    while (ModuleBState().localMs + 9999.0f < seconds * 1000.0f) RenderModule(kModuleB, 9999, mode);
    int rest = static_cast<int>(seconds * 1000.0f - ModuleBState().localMs);
    RenderModule(kModuleB, rest, mode);
  }
};
ModuleBProbe ModuleBGl::afterLoad;

TEST_F(ModuleBGl, FramesOfBothModesMoveAndLeaveNoError) {
  if (ChildDataDir()) GTEST_SKIP();
  Load();
  EXPECT_EQ(2.0f, afterLoad.localMs);  // the warm-up calls, no jump
  EXPECT_EQ(0, afterLoad.prevMode);
  ASSERT_TRUE(HasObject(afterLoad.backball) && HasObject(afterLoad.icecube) &&
              HasObject(afterLoad.kiloball));
  EXPECT_GT(afterLoad.faceTotal, 0);

  SeekModule(21.0f, 0);
  ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
  uint64_t a = RenderAreaHash();
  double mean = RenderAreaMean();
  SaveFramePng("module_b_mode0_21s", 1024, 512);
  RenderModule(kModuleB, 40, 0);
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  EXPECT_NE(a, RenderAreaHash());
  EXPECT_GT(mean, 5.0);

  // The marker follows light1 through box clone 3.
  ModuleBProbe p = ModuleBState();
  EXPECT_EQ(p.light1.x, p.marker.x);
  EXPECT_EQ(p.light1.y, p.marker.y);
  EXPECT_EQ(p.light1.z, p.marker.z);

  float before = p.localMs;
  RenderModule(kModuleB, 16, 1);
  EXPECT_EQ(before + 5100.0f + 16.0f, ModuleBState().localMs);
  ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
  a = RenderAreaHash();
  SaveFramePng("module_b_mode1", 1024, 512);
  RenderModule(kModuleB, 40, 1);
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  EXPECT_NE(a, RenderAreaHash());
  EXPECT_GT(RenderAreaMean(), 5.0);
}

TEST_F(ModuleBGl, KeptOpeningDeformationDrawsTheSamePixels) {
  if (ChildDataDir()) GTEST_SKIP();
  Load();
  SeekModule(20.0f, 0);  // past the grid blur: a frame depends on the clock only
  RenderModule(kModuleB, 0, 0);
  uint64_t kept = RenderAreaHash();
  ModuleBForgetDeformation();
  RenderModule(kModuleB, 0, 0);
  EXPECT_EQ(kept, RenderAreaHash());
  RenderModule(kModuleB, 0, 1);  // the closing deforms with time, then the opening rebuilds
  RenderModule(kModuleB, -5100, 0);
  uint64_t rebuilt = RenderAreaHash();
  ModuleBForgetDeformation();
  RenderModule(kModuleB, 0, 0);
  EXPECT_EQ(rebuilt, RenderAreaHash());
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

// The closing deforms with time; the undeformed normals it starts from, and
// the ice cube's, are kept and agree with fresh ones after a backward seek.
TEST_F(ModuleBGl, KeptUndeformedNormalsDrawTheSamePixelsInTheClosing) {
  if (ChildDataDir()) GTEST_SKIP();
  Load();
  SeekModule(30.0f, 1);
  RenderModule(kModuleB, -2500, 1);
  RenderModule(kModuleB, 0, 1);
  const uint64_t kept = RenderAreaHash();
  ModuleBForgetDeformation();
  RenderModule(kModuleB, 0, 1);
  EXPECT_EQ(kept, RenderAreaHash());
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(ModuleBGl, GreetingsFlashLeavesSlotZeroOnItsFeedbackTexture) {
  if (ChildDataDir()) GTEST_SKIP();
  Load();
  SeekModule(60.0f, 1);
  ModuleBProbe p = ModuleBState();
  EXPECT_EQ(p.slot0Feedback, p.slot0Texture);
  float phase = p.bandPhaseA;
  RenderModule(kModuleB, 100, 1);
  EXPECT_FLOAT_EQ(phase + 2.5f, ModuleBState().bandPhaseA);  // persists and drifts
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  SaveFramePng("module_b_greetings", 1024, 512);
  EXPECT_GT(RenderAreaMean(), 5.0);
}

TEST_F(ModuleBGl, HeightFieldRelaxesOnlyWhileTheRippleRuns) {
  if (ChildDataDir()) GTEST_SKIP();
  Load();
  // A clock below 5 s (the warm-up leaves it there in a fresh process, or a
  // seek back brings it there): no relaxation.
  RenderModule(kModuleB, static_cast<int>(2000.0f - ModuleBState().localMs), 0);
  std::vector<float> field(ModuleBState().heightField, ModuleBState().heightField + 96 * 96);
  RenderModule(kModuleB, 16, 0);
  EXPECT_EQ(0, memcmp(field.data(), ModuleBState().heightField, field.size() * sizeof(float)));
  RenderModule(kModuleB, 4000, 0);  // 6 s
  EXPECT_NE(0, memcmp(field.data(), ModuleBState().heightField, field.size() * sizeof(float)));
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(ModuleBGl, ClockDrivenBelowZeroDrawsBothModes) {
  if (ChildDataDir()) GTEST_SKIP();
  Load();
  RenderModule(kModuleB, static_cast<int>(-12000.0f - ModuleBState().localMs), 0);
  EXPECT_EQ(-12000.0f, ModuleBState().localMs);
  ModuleBProbe p = ModuleBState();
  EXPECT_TRUE(Finite(p.light1) && Finite(p.cameraPosition));
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
  RenderModule(kModuleB, -5100, 1);  // undoes the jump to mode 1
  p = ModuleBState();
  EXPECT_EQ(-12000.0f, p.localMs);
  EXPECT_TRUE(Finite(p.light1) && Finite(p.cameraPosition) && std::isfinite(p.cubeD));
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

// Runs in a child for a broken data folder: loads, draws a frame of each mode
// and reports what loaded.
class ModuleBChild : public ModuleBGl {};

TEST_F(ModuleBChild, LoadsBrokenData) {
  if (!ChildDataDir()) GTEST_SKIP();
  Load();
  for (const std::string& e : FileErrors()) printf("box: %s\n", e.c_str());
  RenderModule(kModuleB, 16, 0);
  RenderModule(kModuleB, 16, 1);
  ModuleBProbe p = ModuleBState();
  printf("loaded: backball %d icecube %d kiloball %d\n", HasObject(p.backball),
         HasObject(p.icecube), HasObject(p.kiloball));
  if (HasObject(p.kiloball))
    printf("marker at light1: %d\n",
           p.marker.x == p.light1.x && p.marker.y == p.light1.y && p.marker.z == p.light1.z);
  printf("gl error: %d\n", static_cast<int>(glGetError()));
}

TEST(ModuleBBroken, MissingOrCutShortModelsAreSkipped) {
  struct Case {
    std::vector<std::string> missing, cut;
    std::vector<std::string> expect;
  };
  const std::vector<Case> cases = {
      {{"backball.3ds", "box.3ds"},
       {"icecube.3ds"},
       {"backball.3ds\" did not load", "box.3ds\" did not load", "icecube.3ds\" did not load",
        "loaded: backball 0 icecube 0 kiloball 1", "marker at light1: 1"}},
      {{"icecube.3ds"},
       {"backball.3ds", "box.3ds", "kiloball.3ds"},
       {"icecube.3ds\" did not load", "backball.3ds\" did not load", "kiloball.3ds\" did not load",
        "loaded: backball 0 icecube 0 kiloball 0"}},
      {{"kiloball.3ds"}, {}, {"kiloball.3ds\" did not load", "loaded: backball 1 icecube 1 kiloball 0"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    ScratchData data("module-b-" + std::to_string(n++));
    for (const std::string& f : c.missing) fs::remove(data.Model(f));
    for (const std::string& f : c.cut) TruncateFile(data.Model(f));
    std::string out;
    int status = RunInChild("ModuleBChild.LoadsBrokenData", data.dir, &out);
    EXPECT_EQ(0, status) << out;
    EXPECT_NE(std::string::npos, out.find("gl error: 0")) << out;
    for (const std::string& e : c.expect) EXPECT_NE(std::string::npos, out.find(e)) << e << "\n" << out;
    for (const std::string& f : c.missing)
      EXPECT_NE(std::string::npos, out.find("box: Can't load file Models/" + f)) << out;
  }
}

TEST(ModuleBBroken, MissingHeightFieldEndsWithExitCodeOne) {
  ScratchData data("module-b-qoru");
  fs::path images = fs::path(data.dir) / "Images";
  fs::remove(images);
  fs::create_directory(images);
  for (const auto& entry : fs::directory_iterator(fs::path(BuiltDataDir()) / "Images"))
    if (entry.path().filename() != "qoru.pcx")
      fs::create_symlink(entry.path(), images / entry.path().filename());
  std::string out;
  EXPECT_EQ(1, RunInChild("ModuleBChild.LoadsBrokenData", data.dir, &out)) << out;
  EXPECT_EQ(std::string::npos, out.find("loaded:")) << out;
}
