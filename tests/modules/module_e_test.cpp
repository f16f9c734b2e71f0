// Module E: its per-frame arithmetic without GL, then headless frames of the
// loaded module (the cave relief computed once, clocks driven below 0, broken
// model files).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "assets/scene.h"
#include "core/gl.h"
#include "gl_test.h"
#include "module_harness.h"
#include "modules/module_e.h"
#include "modules/module_e_frame.h"
#include "toolkit/envelope.h"
#include "toolkit/noise.h"
#include "toolkit/spline.h"

namespace {

// ---------------------------------------------------------------------------
// Arithmetic

TEST(ModuleEFrame, ClockTakesShortDeltasAndFollowsSeeksBack) {
  float clock = 1.0f;
  ModuleEClock c = AdvanceModuleEClock(&clock, 16);
  EXPECT_EQ(17.0f, clock);
  EXPECT_FLOAT_EQ(0.017f, c.seconds);
  EXPECT_FLOAT_EQ(0.016f, c.deltaSeconds);
  EXPECT_EQ(17, c.cycleMs);

  // A jump of the music position leaves the clock, but its delta still turns the camera.
  c = AdvanceModuleEClock(&clock, 10000);
  EXPECT_EQ(17.0f, clock);
  EXPECT_FLOAT_EQ(10.0f, c.deltaSeconds);

  c = AdvanceModuleEClock(&clock, -12017);
  EXPECT_EQ(-12000.0f, clock);
  EXPECT_FLOAT_EQ(-12.0f, c.seconds);
  EXPECT_EQ(12000, c.cycleMs);  // wrapped into the cycle, not a negative remainder

  EXPECT_EQ(23999, ClockCycle(-1.0f, 24000));
  EXPECT_EQ(0, ClockCycle(-0.5f, 24000));  // trunc toward zero first
  EXPECT_EQ(1599, ClockCycle(-1.0f, 1600));
  EXPECT_GE(ClockCycle(3e9f, 24000), 0);   // clamped, not an undefined conversion
  EXPECT_GE(ClockCycle(-3e9f, 24000), 0);
}

TEST(ModuleEFrame, LongDeltaTurnsTheCameraWithoutMovingTheClock) {
  CameraPose pose;
  Envelope envelope;
  float clock = 2000.0f, angle = 500.0f, factor = 0.0f;
  ModuleEClock c = AdvanceModuleEClock(&clock, 12000);
  MoveModuleECamera(pose, &angle, &factor, envelope, c);
  EXPECT_EQ(2000.0f, clock);
  EXPECT_FLOAT_EQ(500.0f + 1.7f * 12.0f, angle);
}

TEST(ModuleEFrame, CameraDistanceByCycleTime) {
  for (int32_t c : {0, 2500, 4999}) EXPECT_EQ(3.0f, DistanceFactor(c)) << c;
  for (int32_t c : {7000, 15000, 21999}) EXPECT_FLOAT_EQ(1.2f, DistanceFactor(c)) << c;

  // Flying in and out has no jumps: the square root steps by 0.040 at the joins.
  float largest = 0.0f;
  for (int32_t c = 0; c < 24000; ++c) {
    const float step = std::fabs(DistanceFactor((c + 1) % 24000) - DistanceFactor(c));
    largest = std::fmax(largest, step);
  }
  EXPECT_LE(largest, 0.041f);
  EXPECT_GT(largest, 0.039f);

  // The camera sits at 2 f times the orbit: 6 times below 5 s, 2.4 times on the plateau.
  CameraPose pose;
  Envelope envelope;
  for (float ms : {1000.0f, 10000.0f}) {
    float clock = ms, angle = 500.0f, factor = 0.0f;
    ModuleEClock c = AdvanceModuleEClock(&clock, 0);
    MoveModuleECamera(pose, &angle, &factor, envelope, c);
    Vector4 orbit = CameraOrbit(500.0f);
    const float times = ms < 5000.0f ? 6.0f : 2.4f;
    EXPECT_NEAR(orbit.x * times, pose.position.x, 1e-3f);
    EXPECT_NEAR(orbit.y * times, pose.position.y, 1e-3f);
    EXPECT_NEAR(orbit.z * times, pose.position.z, 1e-3f);
    // Aimed at the origin: the direction points from the position to it.
    Vector4 d = pose.direction;
    EXPECT_NEAR(1.0f, d.lengthSquared(), 1e-5f);
    EXPECT_LT(d.dot(pose.position), 0.0f);
  }
}

TEST(ModuleEFrame, CameraSwingsBackOnceNearFifteenSeconds) {
  Envelope envelope;
  float slowest = 10.0f;
  for (float t = 0.0f; t < 24.0f; t += 0.01f) {
    const float speed = CameraSpeed(envelope, t);
    if (t < 14.5f || t > 15.11f) {
      EXPECT_FLOAT_EQ(1.7f, speed) << t;
    }
    slowest = std::fmin(slowest, speed);
  }
  EXPECT_LT(slowest, 0.0f);  // it turns backwards for a moment
}

TEST(ModuleEFrame, LightPathParameterWrapsBelowZero) {
  Spline path(3, true);
  AddKey(path, 0.0f, 0.0f, 0.0f);
  AddKey(path, 4.0f, 2.0f, -1.0f);
  AddKey(path, -2.0f, 1.0f, 3.0f);
  BuildTangents(path, 1.0f, false);
  auto expected = [&](float u) {
    Vector4 q;
    Evaluate(path, q, u);
    return Vector3(q.x * 0.9f * 5.0f, (q.y * 0.9f - 4.0f) * 15.0f, q.z * 0.9f * 8.0f);
  };
  // T = 0 is u = 0.8; T = 2 s closes the loop at the first key.
  for (auto [t, u] : {std::pair{0.0f, 0.8f}, {2.0f, 0.0f}, {5.5f, 0.35f},
                      {-12.0f, 0.6f}, {-2.0f, 0.6f}}) {  // behind 0: wrapped, not read before the keys
    const Vector3 p = LightPosition(path, t);
    const Vector3 e = expected(u);
    EXPECT_NEAR(e.x, p.x, 1e-4f) << t;
    EXPECT_NEAR(e.y, p.y, 1e-4f) << t;
    EXPECT_NEAR(e.z, p.z, 1e-4f) << t;
  }
  EXPECT_NEAR(-60.0f, LightPosition(path, 2.0f).y, 1e-4f);
}

TEST(ModuleEFrame, PulseAndBands) {
  Envelope envelope;
  EXPECT_FLOAT_EQ(4.0f, PulseScale(envelope, 0.0f));     // cycle time 200: the peak
  EXPECT_FLOAT_EQ(1.0f, PulseScale(envelope, 1000.0f));  // between pulses
  EXPECT_FLOAT_EQ(4.0f, PulseScale(envelope, 1600.0f));  // every 1.6 s
  EXPECT_FLOAT_EQ(4.0f, PulseScale(envelope, -1600.0f)); // also behind 0
  for (float ms = -5000.0f; ms < 5000.0f; ms += 7.0f) {
    const float c = PulseScale(envelope, ms);
    ASSERT_GE(c, 1.0f);
    ASSERT_LE(c, 4.0f);
  }

  // Band values stay within 0 .. 0.034; the blend q stays 0 even where its
  // rise (2000 to 4000 ms of the cycle) would be half way, as the fall kept
  // from the pulse has long ended: band 1 has the q = 0 value at 3000 ms.
  float values[10];
  PulseScale(envelope, 3000.0f);
  BandValues(envelope, 3000.0f, values);
  EXPECT_NEAR((std::sin(2.3f * 3.0f + std::cos(0.222f + 1.21f * 3.0f) + 0.34f) + 1.0f) * 0.017f,
              values[1], 1e-6f);
  for (float ms = -5000.0f; ms < 50000.0f; ms += 333.0f) {
    BandValues(envelope, ms, values);
    for (float v : values) {
      ASSERT_GE(v, 0.0f);
      ASSERT_LE(v, 0.034f);
    }
  }
}

TEST(ModuleEFrame, CaveReliefIsAlongTheNormalAndIgnoresTheEnvelope) {
  NoiseTable table(512, 511, 222);
  Envelope fresh, used;
  used.start = 14.5f;
  used.length = 0.3f;
  used.outStart = 200.0f;
  const Vector4 normal(0.0f, -1.0f, 0.0f);
  for (float x = -400.0f; x < 400.0f; x += 37.0f) {
    const Vector4 base(x, 0.5f * x, -0.25f * x);
    const Vector4 a = DeformCaveVertex(table, fresh, base, normal);
    const Vector4 b = DeformCaveVertex(table, used, base, normal);
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));  // nothing carried over between vertices
    EXPECT_FLOAT_EQ(1.75f * base.x, a.x);
    EXPECT_FLOAT_EQ(1.75f * base.z, a.z);
    // Pushed along y by 2 g with |g| <= 150.
    EXPECT_LE(std::fabs(a.y / 1.75f - base.y), 300.0f + 1e-3f);
  }
  const Vector4 still = DeformCaveVertex(table, fresh, Vector4(3.0f, 4.0f, 5.0f), Vector4());
  EXPECT_FLOAT_EQ(5.25f, still.x);
  EXPECT_FLOAT_EQ(7.0f, still.y);
  EXPECT_FLOAT_EQ(8.75f, still.z);
}

TEST(ModuleEFrame, SurfaceCoordinatesStayInTheTexture) {
  NoiseTable table(512, 511, 222);
  // Straight ahead of the eye: the middle of the copied frame, give or take the ripple.
  SurfaceRipple mid = RippleSurfaceVertex(table, Vector4(0.0f, 0.0f, -50.0f), Vector4(), 3.0f);
  EXPECT_NEAR(0.5f, mid.u, 0.0151f);
  EXPECT_NEAR(0.5f, mid.v, 0.0151f);
  // At the eye plane, behind it and far off to the side: clamped, finite.
  const Vector4 eyes[] = {Vector4(10.0f, -10.0f, 0.0f), Vector4(-3.0f, 4.0f, 20.0f),
                          Vector4(1e6f, -1e6f, -1.0f)};
  for (const Vector4& eye : eyes) {
    for (float t : {-12.0f, 0.0f, 31.0f}) {
      SurfaceRipple s = RippleSurfaceVertex(table, eye, Vector4(120.0f, 0.0f, -75.0f), t);
      EXPECT_GE(s.u, 0.0f);
      EXPECT_LE(s.u, 1.0f);
      EXPECT_GE(s.v, 0.0f);
      EXPECT_LE(s.v, 1.0f);
      EXPECT_LE(std::fabs(s.offset), 2.0f);
    }
  }
}

// ---------------------------------------------------------------------------
// Headless frames

class ModuleEGl : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    static bool loaded = false;
    if (!loaded) {
      testing::internal::CaptureStdout();
      LoadOnlyModule(kModuleE, ChildDataDir() ? ChildDataDir() : BuiltDataDir());
      loadOutput() = testing::internal::GetCapturedStdout();
      loaded = true;
    }
  }
  static std::string& loadOutput() {
    static std::string out;
    return out;
  }
  // Renders one frame with `delta` and checks GL is clean.
  static void Frame(int32_t delta) {
    RenderModule(kModuleE, delta, 0);
    ASSERT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());
  }
};

// Drives the module clock to `ms` (in steps the clock rule accepts) and draws.
void FrameAtClock(float ms) {
  for (;;) {
    const float gap = ms - ModuleEStateNow().clockMs;
    const int32_t step = gap > 9999.0f ? 9999 : static_cast<int32_t>(gap);
    RenderModule(kModuleE, step, 0);
    if (step == static_cast<int32_t>(gap)) break;
  }
}

bool SameBits(const void* a, const void* b, size_t bytes) { return std::memcmp(a, b, bytes) == 0; }

TEST_F(ModuleEGl, InitLoadsEveryObjectAndCountsAllFaces) {
  if (ChildDataDir()) GTEST_SKIP() << "runs on the built data";
  const ModuleEObjects o = ModuleEObjectIndices();
  const Scene* scene = ModuleEScene();
  ASSERT_NE(nullptr, scene);
  for (int32_t i : {o.cave, o.surface, o.box1, o.box2, o.ball1, o.ball2}) EXPECT_GE(i, 0);
  EXPECT_TRUE(FileErrors().empty());
  // Cave, surface, six boxes and six balls: the four that are never drawn count too.
  ASSERT_EQ(14, scene->objectCount);
  const int32_t faces = scene->objects[o.cave]->faceCount + scene->objects[o.surface]->faceCount +
                        6 * scene->objects[o.box1]->faceCount +
                        6 * scene->objects[o.ball1]->faceCount;
  EXPECT_NE(std::string::npos, loadOutput().find(std::to_string(faces) + " Faces in scene.\n"))
      << loadOutput();
}

TEST_F(ModuleEGl, FramesAcrossTheWindowShowAndMove) {
  if (ChildDataDir()) GTEST_SKIP() << "runs on the built data";
  // Outside the cave, flying in, inside, the swing back, flying out, a second cycle.
  uint64_t previous = 0;
  for (float ms : {1500.0f, 6000.0f, 11000.0f, 14800.0f, 23000.0f, 31000.0f}) {
    FrameAtClock(ms);
    ASSERT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError()) << ms;
    SaveFramePng("module_e_clock_" + std::to_string(static_cast<int>(ms)), 1024, 512);
    EXPECT_GT(RenderAreaMean(), 2.0) << ms;  // not blank
    const uint64_t hash = RenderAreaHash();
    EXPECT_NE(previous, hash) << ms;
    previous = hash;
    // The next frame, 16 ms on, differs too.
    Frame(16);
    EXPECT_NE(previous, RenderAreaHash()) << ms;
  }
}

TEST_F(ModuleEGl, LightRidesThePathAndClocksBelowZeroStayInRange) {
  if (ChildDataDir()) GTEST_SKIP() << "runs on the built data";
  // At 0.1 T + 0.8 = 1, 2 or 0 the light is at the start of the resampled
  // path, one sample past the first key point (-17, 0, -5), which is shrunk
  // by 0.9, lowered by 4 and stretched by (5, 15, 8).
  Vector3 first;
  for (float ms : {2000.0f, 12000.0f, -8000.0f}) {
    FrameAtClock(ms);
    const Vector3 p = ModuleEStateNow().lightPosition;
    if (ms == 2000.0f) first = p;
    EXPECT_FLOAT_EQ(first.x, p.x) << ms;
    EXPECT_FLOAT_EQ(first.y, p.y) << ms;
    EXPECT_FLOAT_EQ(first.z, p.z) << ms;
    EXPECT_NEAR(-17.0f * 0.9f * 5.0f, p.x, 3.0f) << ms;
    EXPECT_NEAR(-4.0f * 15.0f, p.y, 3.0f) << ms;
    EXPECT_NEAR(-5.0f * 0.9f * 8.0f, p.z, 3.0f) << ms;
  }
  // A quarter of the loop later the light is well along the path.
  FrameAtClock(4500.0f);
  const Vector3 later = ModuleEStateNow().lightPosition;
  EXPECT_GT(std::fabs(later.x - first.x) + std::fabs(later.z - first.z), 20.0f);

  // -12000 ms: the path, the camera cycle and the pulse all read wrapped values.
  FrameAtClock(18000.0f);
  const Vector3 ahead = ModuleEStateNow().lightPosition;
  FrameAtClock(-12000.0f);
  const ModuleEState s = ModuleEStateNow();
  ASSERT_EQ(-12000.0f, s.clockMs);
  EXPECT_NEAR(ahead.x, s.lightPosition.x, 0.01f);  // u = -0.4 is 2.6 wrapped
  EXPECT_NEAR(ahead.y, s.lightPosition.y, 0.01f);
  EXPECT_NEAR(ahead.z, s.lightPosition.z, 0.01f);
  EXPECT_FLOAT_EQ(1.2f, s.distanceFactor);  // cycle time 12000
  EXPECT_GE(s.pulse, 1.0f);
  EXPECT_LE(s.pulse, 4.0f);
  EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());
  EXPECT_GT(RenderAreaMean(), 2.0);
  SaveFramePng("module_e_clock_minus_12000", 1024, 512);
}

TEST_F(ModuleEGl, CaveReliefIsComputedOnceAndMatchesARecomputation) {
  if (ChildDataDir()) GTEST_SKIP() << "runs on the built data";
  Frame(16);
  ASSERT_TRUE(ModuleEStateNow().caveDeformed);
  const SceneObject& cave = *ModuleEScene()->objects[ModuleEObjectIndices().cave];
  const size_t vertices = static_cast<size_t>(cave.vertexCount);
  const size_t corners = 6 * static_cast<size_t>(cave.faceCount);
  const std::vector<Vector4> base(cave.baseVertices, cave.baseVertices + vertices);
  const std::vector<Vector4> normals(cave.baseNormals, cave.baseNormals + vertices);
  const std::vector<uint8_t> flags(cave.cornerFlags, cave.cornerFlags + corners);
  const std::vector<Vector4> cornerNormals(cave.cornerNormals, cave.cornerNormals + corners);
  auto unchanged = [&] {
    return SameBits(base.data(), cave.baseVertices, vertices * sizeof(Vector4)) &&
           SameBits(normals.data(), cave.baseNormals, vertices * sizeof(Vector4)) &&
           SameBits(flags.data(), cave.cornerFlags, corners) &&
           SameBits(cornerNormals.data(), cave.cornerNormals, corners * sizeof(Vector4));
  };
  // The relief creases some corners, so the flags are part of what must match.
  EXPECT_NE(flags.end(), std::find(flags.begin(), flags.end(), 1));

  // Frames at other clocks keep the cached relief, and a fresh computation
  // there gives the same bits.
  for (int32_t delta : {5000, 9000, -30000}) {
    Frame(delta);
    EXPECT_TRUE(unchanged()) << delta;
    ModuleEDeformCave();
    EXPECT_TRUE(unchanged()) << delta;
  }

  // So the pixels are those of a frame that recomputes it: the same frame
  // drawn again (delta 0) after a recomputation hashes the same.
  Frame(0);
  const uint64_t cached = RenderAreaHash();
  ModuleEDeformCave();
  Frame(0);
  EXPECT_EQ(cached, RenderAreaHash());
}

// The cave's world copy is made once: after frames at other clocks and a
// backward seek it holds the bits a fresh transform gives.
TEST_F(ModuleEGl, KeptCaveWorldCopyMatchesAFreshTransform) {
  if (ChildDataDir()) GTEST_SKIP() << "runs on the built data";
  SceneObject& cave = *ModuleEScene()->objects[ModuleEObjectIndices().cave];
  const size_t vertices = static_cast<size_t>(cave.vertexCount);
  const size_t faces = static_cast<size_t>(cave.faceCount);
  for (int32_t delta : {16, 7000, -20000}) {
    Frame(delta);
    Frame(0);
    const std::vector<Vector4> world(cave.worldVertices, cave.worldVertices + vertices);
    const std::vector<Vector4> normals(cave.worldVertexNormals, cave.worldVertexNormals + vertices);
    const std::vector<Vector4> faceNormals(cave.worldFaceNormals, cave.worldFaceNormals + faces);
    const uint64_t kept = RenderAreaHash();
    ModuleEForgetKeptWork();
    ModuleETransformCave();
    EXPECT_TRUE(SameBits(world.data(), cave.worldVertices, vertices * sizeof(Vector4))) << delta;
    EXPECT_TRUE(SameBits(normals.data(), cave.worldVertexNormals, vertices * sizeof(Vector4)));
    EXPECT_TRUE(SameBits(faceNormals.data(), cave.worldFaceNormals, faces * sizeof(Vector4)));
    Frame(0);
    EXPECT_EQ(kept, RenderAreaHash()) << delta;
  }
  // Kept means not redone: a mark in the copy survives until it is forgotten.
  const Vector4 first = cave.worldVertices[0];
  cave.worldVertices[0].x += 1.0f;
  ModuleETransformCave();
  EXPECT_EQ(first.x + 1.0f, cave.worldVertices[0].x);
  ModuleEForgetKeptWork();
  ModuleETransformCave();
  EXPECT_EQ(first.x, cave.worldVertices[0].x);
}

// The module loaded from a data folder with broken model files (a child of
// BrokenModelFilesLeaveTheRestRunning); in the parent it does nothing.
class ModuleEChild : public ModuleEGl {};

TEST_F(ModuleEChild, LoadsBrokenModels) {
  if (!ChildDataDir()) GTEST_SKIP() << "a child of BrokenModelFilesLeaveTheRestRunning";
  for (const std::string& e : FileErrors()) printf("box: %s\n", e.c_str());
  const ModuleEObjects o = ModuleEObjectIndices();
  printf("objects: cave %d surface %d box1 %d box2 %d ball1 %d ball2 %d\n", o.cave, o.surface,
         o.box1, o.box2, o.ball1, o.ball2);
  for (int32_t delta : {16, 6000, -20000}) Frame(delta);
  printf("frame mean %.2f\n", RenderAreaMean());
}

TEST_F(ModuleEGl, BrokenModelFilesLeaveTheRestRunning) {
  if (ChildDataDir()) GTEST_SKIP() << "runs on the built data";
  struct Case {
    const char* tag;
    std::vector<std::string> removed, truncated;
    const char* objects;
  };
  // Each file removed once and cut short once. The second case loses every
  // model; the first keeps the balls without the box they ride on, the third
  // the boxes without their balls.
  const Case cases[] = {
      {"e-broken-1", {"luola2taso.3ds", "holeboxsd.3ds"}, {"vet.3ds"},
       "objects: cave -1 surface -1 box1 -1 box2 -1 ball1 "},
      {"e-broken-2", {"vet.3ds", "kiloball.3ds"}, {"luola2taso.3ds", "holeboxsd.3ds"},
       "objects: cave -1 surface -1 box1 -1 box2 -1 ball1 -1 ball2 -1"},
      {"e-broken-3", {}, {"kiloball.3ds"}, "ball1 -1 ball2 -1"},
  };
  for (const Case& c : cases) {
    ScratchData data(c.tag);
    for (const std::string& f : c.removed) std::remove(data.Model(f).c_str());
    for (const std::string& f : c.truncated) TruncateFile(data.Model(f));
    std::string out;
    EXPECT_EQ(0, RunInChild("ModuleEChild.LoadsBrokenModels", data.dir, &out)) << out;
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
    EXPECT_NE(std::string::npos, out.find(c.objects)) << out;
    for (const std::string& f : c.removed)
      EXPECT_NE(std::string::npos, out.find("box: Can't load file Models/" + f)) << out;
    for (const std::string& f : c.truncated)
      EXPECT_NE(std::string::npos, out.find("Module E: \"Models/" + f + "\" did not load")) << out;
  }
}

}  // namespace
