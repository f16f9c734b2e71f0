// Picture statistics, their CSV, the options that ask for them and the curve
// drawn from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture_options.h"
#include "render_options.h"
#include "director/show_windows.h"
#include "look_curve.h"
#include "look_stats.h"
#include "render_test_util.h"
#include "modules/modules.h"

namespace {

std::string TempPath(const char* name) {
  std::string dir = std::string(MARVOKE_BUILD_DIR) + "/test-output";
  std::filesystem::create_directories(dir);
  return dir + "/" + name;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

bool Parse(std::vector<const char*> args, CaptureOptions* o, std::string* error) {
  args.insert(args.begin(), "marvoke-render");
  RenderCommand command;
  const bool ok = ParseRenderCommand(int(args.size()), const_cast<char**>(args.data()), &command,
                                     error);
  *o = command.capture;
  if (ok && command.mode != RenderMode::kCapture) *error = "not a capture";
  return ok && command.mode == RenderMode::kCapture;
}

}  // namespace

TEST(LookStats, SharesCountTheThresholdsInclusively) {
  // Ten pixels: luma exactly 245 (clipped), 244.x, exactly 12 (dark), 13,
  // and blue or red bright ones.
  const uint8_t px[][3] = {{245, 245, 245}, {244, 245, 245}, {12, 12, 12}, {13, 13, 13},
                           {0, 0, 0},       {100, 200, 250}, {250, 200, 100}, {255, 255, 255},
                           {0, 0, 0},       {0, 0, 0}};
  std::vector<uint8_t> rgb;
  for (const auto& p : px) rgb.insert(rgb.end(), p, p + 3);
  FrameLook l = MeasureFrame(rgb.data(), 5, 2);
  EXPECT_DOUBLE_EQ(l.clippedShare, 0.2);  // 245 and 255
  EXPECT_DOUBLE_EQ(l.darkShare, 0.4);     // 12 and three blacks
  EXPECT_NEAR(l.brightShare, 0.5, 1e-12);  // luma above 128: 245s, 244.4, the two colours, white
  // B - R: 0, 1, 150, -150, 0 over five bright pixels.
  EXPECT_NEAR(l.brightBlueMinusRed, 1.0 / 5.0, 1e-12);
  double sum = 0;
  for (const auto& p : px) sum += 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
  EXPECT_NEAR(l.meanLuma, sum / 10, 1e-9);
  // No pixels: all zero, no division.
  FrameLook empty = MeasureFrame(rgb.data(), 0, 0);
  EXPECT_EQ(empty.meanLuma, 0);
}

TEST(LookStats, CsvRoundTripsAndRejectsBadFiles) {
  std::string path = TempPath("look_roundtrip.csv");
  FILE* f = fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  WriteLookHeader(f);
  FrameLook a;
  a.timeMs = 90500;
  a.module = kModuleC;
  a.mode = 1;
  a.meanLuma = 116.25;
  a.clippedShare = 0.6;
  a.darkShare = 0.01;
  a.brightShare = 0.7;
  a.brightBlueMinusRed = -49.5;
  FrameLook b;
  b.timeMs = 303000;
  b.module = kNoModule;
  WriteLookRow(f, a);
  WriteLookRow(f, b);
  fclose(f);

  std::vector<FrameLook> rows;
  std::string error;
  ASSERT_TRUE(ReadLookCsv(path, &rows, &error)) << error;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].timeMs, 90500);
  EXPECT_EQ(rows[0].module, kModuleC);
  EXPECT_EQ(rows[0].mode, 1);
  EXPECT_NEAR(rows[0].meanLuma, 116.25, 1e-3);
  EXPECT_NEAR(rows[0].brightBlueMinusRed, -49.5, 1e-3);
  EXPECT_EQ(rows[1].module, kNoModule);

  std::string header = "time_s,module,mode,mean_luma,clipped_share,dark_share,bright_share,"
                       "bright_blue_minus_red\n";
  struct Bad {
    const char* name;
    std::string text;
    const char* says;
  } bad[] = {
      {"look_missing.csv", "", "can't read"},
      {"look_foreign.csv", "a,b,c\n1,2,3\n", "not a frame statistics file"},
      {"look_empty.csv", header, "no frames"},
      {"look_short.csv", header + "1.0,A,1,10\n", ":2: malformed"},
      {"look_letter.csv", header + "1.0,Q,1,1,0,0,0,0\n", "malformed"},
      {"look_number.csv", header + "1.0,A,1,ten,0,0,0,0\n", "malformed"},
      {"look_huge.csv", header + "1e300,A,1,1,0,0,0,0\n", "malformed"},
  };
  for (const Bad& c : bad) {
    std::string p = TempPath(c.name);
    std::remove(p.c_str());
    if (std::string(c.name) != "look_missing.csv") WriteText(p, c.text);
    EXPECT_FALSE(ReadLookCsv(p, &rows, &error)) << c.name;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
}

TEST(LookStats, OptionsAskForStatisticsAndCurvesButNotWithTheBenchmark) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--stats", "s.csv", "--fps", "2"}, &o, &error)) << error;
  EXPECT_EQ(o.statsPath, "s.csv");
  CaptureOptions c;
  ASSERT_TRUE(Parse({"--curve", "c.png"}, &c, &error)) << error;
  CaptureOptions d;
  ASSERT_TRUE(Parse({"--curve", "c.png", "--curve-of", "s.csv"}, &d, &error)) << error;
  EXPECT_EQ(d.curveOf, "s.csv");

  const std::vector<std::vector<const char*>> wrong = {
      {"--bench", "--stats", "s.csv"},
      {"--bench", "--curve", "c.png"},
      {"--curve-of", "s.csv"},
      {"--curve-of", "s.csv", "--curve", "c.png", "--png", "dir"},
      {"--stats"},
  };
  for (const auto& args : wrong) {
    CaptureOptions w;
    EXPECT_FALSE(Parse(args, &w, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(LookCurve, DrawsWithAndWithoutMusic) {
  std::vector<FrameLook> frames;
  for (int32_t t = 0; t < 303500; t += 500) {
    FrameLook l;
    l.timeMs = t;
    ShowSlot s = SelectShowSlot(t);
    l.module = s.module;
    l.mode = s.mode;
    l.meanLuma = (t / 500) % 255;
    l.clippedShare = t > 100000 && t < 120000 ? 0.6 : 0.0;
    l.darkShare = t < 1000 ? 1.0 : 0.1;
    frames.push_back(l);
  }
  std::string error;
  std::string png = TempPath("look_curve.png");
  std::remove(png.c_str());
  ASSERT_TRUE(WriteLookCurve(png, frames, {-20.0, -14.0, -70.0, -200.0}, 250, &error)) << error;
  std::ifstream in(png, std::ios::binary);
  char sig[8] = {};
  in.read(sig, 8);
  EXPECT_EQ(std::string(sig + 1, 3), "PNG");
  // One frame only, no music: still a picture.
  ASSERT_TRUE(WriteLookCurve(png, {frames[0]}, {}, 250, &error)) << error;
  // A folder that isn't there: a reason, no crash.
  EXPECT_FALSE(WriteLookCurve(TempPath("no-such-folder/curve.png"), frames, {}, 250, &error));
  EXPECT_NE(error.find("can't write"), std::string::npos);
  // Music that can't be read or decoded: empty loudness with a reason.
  EXPECT_TRUE(ShortTermLoudness(TempPath("no-such.ogg"), 250, &error).empty());
  EXPECT_FALSE(error.empty());
  std::string junk = TempPath("look_junk.ogg");
  WriteText(junk, "OggS but not really");
  EXPECT_TRUE(ShortTermLoudness(junk, 250, &error).empty());
  EXPECT_NE(error.find("decode"), std::string::npos);
}

TEST(LookCurve, MarksTheMusicsStrongestChangesOnItsPanel) {
  // The forged track's changes: the strongest first, 4 s apart, one of them on
  // the cut into the heaving cave.
  std::string error;
  std::vector<MusicChange> changes;
  const std::string track = std::string(MARVOKE_BUILD_DIR) + "/Music/quendel2b.ogg";
  ASSERT_FALSE(ShortTermLoudness(track, 250, &error, &changes).empty()) << error;
  ASSERT_EQ(changes.size(), size_t(kMusicChangesMarked));
  bool atCut = false;
  for (size_t i = 0; i < changes.size(); ++i) {
    atCut = atCut || std::fabs(changes[i].ms - 62400.0) <= 500.0;
    if (i > 0) {
      EXPECT_LE(changes[i].z, changes[i - 1].z);
    }
    for (size_t j = 0; j < i; ++j) {
      EXPECT_GE(std::fabs(changes[i].ms - changes[j].ms), 4000.0);
    }
  }
  EXPECT_TRUE(atCut);

  // A mark changes the music panel and the legend, never the frames' panel.
  std::vector<FrameLook> frames(1);
  std::string plain = TempPath("look_plain.png"), marked = TempPath("look_marked.png");
  ASSERT_TRUE(WriteLookCurve(plain, frames, {-20.0, -14.0}, 250, &error)) << error;
  ASSERT_TRUE(WriteLookCurve(marked, frames, {-20.0, -14.0}, 250, &error, {{150000.0, 3.0}})) << error;
  int w = 0, h = 0, w2 = 0, h2 = 0;
  std::vector<uint8_t> a, b;
  ASSERT_TRUE(ReadPngRgb(plain, &w, &h, &a));
  ASSERT_TRUE(ReadPngRgb(marked, &w2, &h2, &b));
  ASSERT_EQ(w, w2);
  ASSERT_EQ(h, h2);
  size_t frameRows = 0, musicRows = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      size_t i = (size_t(y) * w + x) * 3;
      if (a[i] == b[i] && a[i + 1] == b[i + 1] && a[i + 2] == b[i + 2]) continue;
      if (y >= 60 && y < 440) ++frameRows;
      if (y >= 490 && y < 660) ++musicRows;
    }
  EXPECT_EQ(frameRows, 0u);
  EXPECT_GT(musicRows, 40u);
}
