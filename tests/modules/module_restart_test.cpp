// A module's restart and its state-only step, checked through its own table
// row: after a first play drawn frame by frame, the restored module stepped
// without drawing (but for the frames checked and the one before each) draws
// what the first play drew. A value a frame carries to the next that the
// module's record leaves out, or that only the drawn frame advances, makes
// the frames differ.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/area_target.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "director/shared.h"
#include "director/show_windows.h"
#include "effects/render_target.h"
#include "gl_test.h"
#include "module_harness.h"

namespace {

// One stretch of a module's play: `frames` frames of `deltaMs` in `mode`.
struct Stretch {
  int32_t frames, deltaMs, mode;
};

// Each module's windows of the show in long frames (the clocks take any delta
// below 10000 ms), so a few dozen frames reach every part of them.
struct ModulePlan {
  ModuleId id;
  const char* child;  // the child test that plays it
  std::vector<Stretch> stretches;
};

const ModulePlan kPlans[] = {
    {kModuleA, "ModuleRestartChild.PlaysModuleA", {{12, 4500, 1}}},
    {kModuleB, "ModuleRestartChild.PlaysModuleB", {{10, 3000, 0}, {16, 5500, 1}}},
    {kModuleC, "ModuleRestartChild.PlaysModuleC", {{12, 4700, 1}}},
    {kModuleD, "ModuleRestartChild.PlaysModuleD", {{12, 2400, 0}, {8, 1900, 1}}},
    {kModuleE, "ModuleRestartChild.PlaysModuleE", {{16, 2000, 0}}},
};

// Hashes of every fourth frame. Drawn: every frame drawn. Otherwise only the
// checked frames and the frame before each are drawn (some passes read the
// frame before), the rest stepped.
std::vector<uint64_t> Play(const ModulePlan& plan, bool drawn) {
  std::vector<uint64_t> hashes;
  int32_t k = 0;
  for (const Stretch& s : plan.stretches) {
    for (int32_t i = 0; i < s.frames; ++i, ++k) {
      const bool checked = k % 4 == 3;
      if (drawn || checked || k % 4 == 2)
        RenderModule(plan.id, s.deltaMs, s.mode);
      else
        StepModule(plan.id, s.deltaMs, s.mode);
      if (!checked) continue;
      BindAreaTarget();
      hashes.push_back(RenderAreaHash());
    }
  }
  return hashes;
}

// At the smallest render scale: the state does not depend on the size.
void PlayRestoreAndStep(const ModulePlan& plan) {
  SetRenderScale(kMinRenderScale);
  ASSERT_TRUE(CreateAreaTarget(PictureWidth(), PictureHeight()));
  LoadOnlyModule(plan.id, ChildDataDir());
  ASSERT_NE(nullptr, sharedTarget);
  KeepModuleState(plan.id);
  const RenderTarget keptShared = *sharedTarget;  // the feedback names the modules swap
  const std::vector<uint64_t> first = Play(plan, true);
  RestoreModuleState(plan.id);
  *sharedTarget = keptShared;
  const std::vector<uint64_t> second = Play(plan, false);
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); ++i)
    EXPECT_EQ(first[i], second[i]) << "checked frame " << i << " of module " << ModuleLetter(plan.id);
}

class ModuleRestartChild : public GlTest {
 protected:
  void SetUp() override {
    if (!ChildDataDir()) GTEST_SKIP() << "runs in a child of ModuleRestart";
    GlTest::SetUp();
  }
};

}  // namespace

// Each module in a child of its own: a module loads once a process.
TEST(ModuleRestart, EveryModuleRestoredAndSteppedDrawsItsFirstPlay) {
  for (const ModulePlan& plan : kPlans) {
    std::string out;
    EXPECT_EQ(0, RunInChild(plan.child, BuiltDataDir(), &out)) << out;
  }
}

TEST_F(ModuleRestartChild, PlaysModuleA) { PlayRestoreAndStep(kPlans[0]); }
TEST_F(ModuleRestartChild, PlaysModuleB) { PlayRestoreAndStep(kPlans[1]); }
TEST_F(ModuleRestartChild, PlaysModuleC) { PlayRestoreAndStep(kPlans[2]); }
TEST_F(ModuleRestartChild, PlaysModuleD) { PlayRestoreAndStep(kPlans[3]); }
TEST_F(ModuleRestartChild, PlaysModuleE) { PlayRestoreAndStep(kPlans[4]); }
