// The show's schedule: the module and mode a time selects, the windows that
// describe it and their agreement with each other.
#include "director/show_windows.h"

#include <gtest/gtest.h>

#include "modules/modules.h"

TEST(ShowWindows, SelectsTheModuleAndModeAtEachBoundary) {
  struct Row {
    int32_t t, module, mode;
  };
  const Row rows[] = {
      {-500, kModuleB, 0},   {0, kModuleB, 0},      {29999, kModuleB, 0},  {30000, kModuleE, 0},
      {62399, kModuleE, 0},  {62400, kModuleD, 0},  {90499, kModuleD, 0},  {90500, kModuleC, 1},
      {146999, kModuleC, 1}, {147000, kModuleD, 1}, {161999, kModuleD, 1}, {162000, kModuleA, 1},
      {215299, kModuleA, 1}, {215300, kModuleB, 1}, {302499, kModuleB, 1}, {302500, kNoModule, 0},
      {303499, kNoModule, 0}, {303500, kNoModule, 0}, {INT32_MAX, kNoModule, 0},
      {INT32_MIN, kModuleB, 0},
  };
  for (const Row& r : rows) {
    ShowSlot s = SelectShowSlot(r.t);
    EXPECT_EQ(s.module, r.module) << "t = " << r.t;
    EXPECT_EQ(s.mode, r.mode) << "t = " << r.t;
  }
}

TEST(ShowWindows, WindowsTileTheShowAndAgreeWithTheSelection) {
  int32_t count = 0;
  const ShowWindow* w = ShowWindows(&count);
  ASSERT_EQ(count, 8);
  EXPECT_EQ(w[0].fromMs, 0);
  EXPECT_EQ(w[count - 1].toMs, 303500);
  for (int32_t i = 0; i < count; ++i) {
    if (i > 0) EXPECT_EQ(w[i].fromMs, w[i - 1].toMs) << "window " << i;
    for (int32_t t : {w[i].fromMs, w[i].toMs - 1}) {
      ShowSlot s = SelectShowSlot(t);
      EXPECT_EQ(s.module, w[i].slot.module) << "t = " << t;
      EXPECT_EQ(s.mode, w[i].slot.mode) << "t = " << t;
    }
  }
  int32_t fades = 0;
  const ShowFade* f = ShowFades(&fades);
  ASSERT_EQ(fades, 3);
  for (int32_t i = 0; i < fades; ++i) EXPECT_LT(f[i].fromMs, f[i].toMs);
}

TEST(ShowWindows, LettersNameTheModules) {
  EXPECT_STREQ(ModuleLetter(kModuleA), "A");
  EXPECT_STREQ(ModuleLetter(kModuleE), "E");
  EXPECT_STREQ(ModuleLetter(kNoModule), "-");
  EXPECT_STREQ(ModuleLetter(kModuleCount), "-");
}

TEST(ShowWindows, FadesCoverTheCutsAndNothingElse) {
  // The opening fade-in, negative times included, and the zoom into module C
  // from one millisecond after its envelope starts.
  ASSERT_NE(ShowFadeAt(-5), nullptr);
  EXPECT_EQ(ShowFadeAt(0)->kind, kFadeFromBlack);
  EXPECT_EQ(ShowFadeAt(999)->kind, kFadeFromBlack);
  EXPECT_EQ(ShowFadeAt(1000), nullptr);
  EXPECT_EQ(ShowFadeAt(90000), nullptr);
  const ShowFade* in = ShowFadeAt(90001);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->kind, kFadeZoom);
  EXPECT_EQ(in->curve, kEaseIn);
  EXPECT_EQ(in->toMs - in->envelopeStartMs, 500);
  const ShowFade* out = ShowFadeAt(90500);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->curve, kEaseOut);
  EXPECT_EQ(ShowFadeAt(90799), out);
  EXPECT_EQ(ShowFadeAt(90800), nullptr);
  EXPECT_EQ(ShowFadeAt(kShowLengthMs - 1), nullptr);
  // Every fade lies inside a module's window: the blank last second has none.
  int32_t windows = 0;
  const ShowWindow* w = ShowWindows(&windows);
  EXPECT_EQ(w[windows - 1].toMs, kShowLengthMs);
}
