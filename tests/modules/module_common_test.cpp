// The rules every effect module shares: its clock, wrapping clock-derived
// values, and loading a model so a broken file leaves no objects in use.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "assets/file_error.h"
#include "assets/scene.h"
#include "core/settings.h"
#include "module_harness.h"
#include "modules/module_common.h"

namespace {
void IgnoreBox(const char*, const char*) {}
}  // namespace

TEST(ModuleCommon, ClockTakesDeltasBelowTenSecondsOnly) {
  float clock = 100.0f;
  EXPECT_TRUE(AdvanceModuleClock(&clock, 16));
  EXPECT_EQ(116.0f, clock);
  EXPECT_TRUE(AdvanceModuleClock(&clock, 9999));
  EXPECT_EQ(10115.0f, clock);
  EXPECT_FALSE(AdvanceModuleClock(&clock, 10000));  // a jump of the music position
  EXPECT_EQ(10115.0f, clock);
  EXPECT_TRUE(AdvanceModuleClock(&clock, -12000));  // backward seeks are followed
  EXPECT_EQ(-1885.0f, clock);
}

TEST(ModuleCommon, WrapsKeepForwardValuesAndFoldNegativeOnes) {
  EXPECT_EQ(0.8f, WrapUnit(0.8f));
  EXPECT_EQ(0.0f, WrapUnit(0.0f));
  EXPECT_FLOAT_EQ(0.25f, WrapUnit(3.25f));
  EXPECT_FLOAT_EQ(0.75f, WrapUnit(-1.25f));
  EXPECT_EQ(0.0f, WrapUnit(-1e-9f));  // 1 - 1e-9 rounds to 1, which a closed path calls 0

  EXPECT_EQ(23999, WrapCycle(23999, 24000));
  EXPECT_EQ(0, WrapCycle(24000, 24000));
  EXPECT_EQ(12000, WrapCycle(-12000, 24000));
  EXPECT_EQ(23999, WrapCycle(-1, 24000));
}

TEST(ModuleCommon, LoadModelCountsAWholeLoadOnly) {
  SetFileErrorBox(IgnoreBox);
  ScratchData data("module-common");
  Scene scene(100, 1024, 512, 512, 256);

  LoadedModel ball = LoadModel(scene, data.Model("kiloball.3ds").c_str(), "test");
  ASSERT_TRUE(ball.ok);
  EXPECT_EQ(0, ball.first);
  EXPECT_GE(ball.count, 1);

  TruncateFile(data.Model("vet.3ds"));
  testing::internal::CaptureStderr();
  LoadedModel cut = LoadModel(scene, data.Model("vet.3ds").c_str(), "test");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(cut.ok);
  EXPECT_EQ(-1, cut.first);
  EXPECT_NE(std::string::npos, err.find("vet.3ds")) << err;

  quitRequested = 0;
  testing::internal::CaptureStderr();
  LoadedModel missing = LoadModel(scene, data.Model("none.3ds").c_str(), "test");
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(0, missing.count);
  EXPECT_EQ(1, quitRequested);  // the reader's own report
  quitRequested = 0;
}
