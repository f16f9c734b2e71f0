// Frame timing, option parsing, progress text, statistics and the contact sheet.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "capture_options.h"
#include "render_options.h"
#include "contact_sheet.h"
#include "frame_clock.h"
#include "frame_stats.h"
#include "progress.h"

namespace {

FrameRate Rate(const char* text) {
  FrameRate r;
  std::string error;
  EXPECT_TRUE(ParseFrameRate(text, &r, &error)) << text << ": " << error;
  return r;
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

TEST(FrameClock, FrameTimesAreFlooredFromTheStart) {
  FrameRate r60 = Rate("60");
  EXPECT_EQ(FrameTimeMs(0, 0, r60), 0);
  EXPECT_EQ(FrameTimeMs(0, 1, r60), 16);   // 16.67
  EXPECT_EQ(FrameTimeMs(0, 2, r60), 33);   // 33.33
  EXPECT_EQ(FrameTimeMs(0, 3, r60), 50);
  EXPECT_EQ(FrameTimeMs(90500, 1, r60), 90516);
  EXPECT_EQ(FrameTimeMs(0, 18209, r60), 303483);

  // NTSC rate: 1001/60 ms per frame, never drifting over a long show.
  FrameRate ntsc = Rate("60000/1001");
  EXPECT_EQ(ntsc.num, 60000);
  EXPECT_EQ(ntsc.den, 1001);
  EXPECT_EQ(FrameTimeMs(0, 1, ntsc), 16);     // 16.683
  EXPECT_EQ(FrameTimeMs(0, 60, ntsc), 1001);  // exactly
  EXPECT_EQ(FrameTimeMs(0, 59, ntsc), 984);   // 984.3167
  EXPECT_EQ(FrameTimeMs(1000, 60000, ntsc), 1000 + 1001000);
  for (int64_t n = 0; n < 20000; n += 7)
    EXPECT_EQ(FrameTimeMs(5, n, ntsc), 5 + int32_t(std::floor(n * 1001.0 / 60.0 + 1e-9))) << n;
}

TEST(FrameClock, CountCoversExactlyTheRange) {
  FrameRate r60 = Rate("60");
  EXPECT_EQ(FrameCount(0, kShowLengthMs, r60), 18210);
  EXPECT_EQ(FrameCount(0, 1000, r60), 60);
  EXPECT_EQ(FrameCount(0, 1, r60), 1);
  EXPECT_EQ(FrameCount(100, 100, r60), 0);
  EXPECT_EQ(FrameCount(200, 100, r60), 0);
  FrameRate ntsc = Rate("60000/1001");
  for (int32_t from : {0, 7, 90500}) {
    for (int32_t to : {from + 1, from + 17, from + 1001, from + 5000}) {
      int64_t n = FrameCount(from, to, ntsc);
      EXPECT_LT(FrameTimeMs(from, n - 1, ntsc), to);
      EXPECT_GE(FrameTimeMs(from, n, ntsc), to);
    }
  }
  EXPECT_EQ(FramesDurationText(60, ntsc), "1.001000");
  EXPECT_EQ(FramesDurationText(18210, r60), "303.500000");
  EXPECT_EQ(FramesDurationText(1, Rate("30000/1001")), "0.033366");  // rounded down
}

TEST(FrameClock, RatesParseAsExactFractions) {
  EXPECT_EQ(Rate("29.97").num, 2997);
  EXPECT_EQ(Rate("29.97").den, 100);
  EXPECT_EQ(Rate("120/2").num, 60);
  EXPECT_EQ(Rate("120/2").den, 1);
  EXPECT_EQ(FormatFrameRate(Rate("24000/1001")), "24000/1001");
  FrameRate r;
  std::string error;
  for (const char* bad : {"", "0", "0/5", "5/0", "-60", "60fps", "1/2/3", "2000", "abc", "."})
    EXPECT_FALSE(ParseFrameRate(bad, &r, &error)) << bad;
  EXPECT_FALSE(error.empty());
}

TEST(CaptureOptions, ParsesAndValidates) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--video", "a.mp4", "--from", "1000", "--to", "2000", "--fps", "60000/1001",
                     "--size", "640x480", "--crf", "23", "--preroll-step", "500"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.videoPath, "a.mp4");
  EXPECT_EQ(o.fromMs, 1000);
  EXPECT_EQ(o.toMs, 2000);
  EXPECT_EQ(o.fps.den, 1001);
  EXPECT_EQ(o.outWidth, 640);
  EXPECT_EQ(o.outHeight, 480);
  EXPECT_EQ(o.crf, 23);
  EXPECT_EQ(o.prerollStepMs, 500);

  CaptureOptions d;
  ASSERT_TRUE(Parse({"--sheet", "s.png"}, &d, &error)) << error;
  EXPECT_EQ(d.fromMs, 0);
  EXPECT_EQ(d.toMs, kShowLengthMs);
  EXPECT_EQ(d.fps.num, 60);
  EXPECT_EQ(d.musicPath, "Music/quendel2b.ogg");

  const std::vector<std::vector<const char*>> bad = {
      {},                                                  // nothing to do
      {"--video"},                                         // missing value
      {"--video", "a.mp4", "--size", "641x480"},           // odd width for 4:2:0
      {"--video", "a.mp4", "--size", "640x481"},           // odd height for 4:2:0
      {"--video", "a.mp4", "--size", "8x8"},               // too small
      {"--video", "a.mp4", "--size", "640"},               // malformed
      {"--png", "d", "--size", "640x480"},                 // size without video
      {"--video", "a.mp4", "--from", "2000", "--to", "1000"},
      {"--video", "a.mp4", "--to", "400000"},              // past the show
      {"--video", "a.mp4", "--from", "-5"},
      {"--video", "a.mp4", "--preroll-step", "10000"},     // module clocks would drop it
      {"--video", "a.mp4", "--preroll-step", "0"},
      {"--video", "a.mp4", "--fps", "0"},
      {"--video", "a.mp4", "--bench"},
      {"--video", "a.mp4", "--json"},
      {"--video", "a.mp4", "--bogus"},
  };
  for (const auto& args : bad) {
    CaptureOptions b;
    error.clear();
    EXPECT_FALSE(Parse(args, &b, &error)) << (args.empty() ? "(none)" : args.back());
    EXPECT_FALSE(error.empty());
  }
  // 4:4:4 takes odd sizes.
  CaptureOptions odd;
  EXPECT_TRUE(Parse({"--video", "a.mp4", "--pix-fmt", "yuv444p", "--size", "641x481"}, &odd, &error))
      << error;
}

TEST(Progress, LineShowsFramesShowTimeRateAndTimeLeft) {
  std::string line = FormatProgress(600, 1200, 10000, 20.0, 10);
  EXPECT_EQ(line, "[#####.....]  600/1200 frames  show 10.0 s  30.0 fps  left 0:20");
  EXPECT_EQ(FormatProgress(1200, 1200, 20000, 40.0, 0), "1200/1200 frames  show 20.0 s  30.0 fps");
  EXPECT_EQ(FormatProgress(0, 100, 0, 0.0, 4), "[....]  0/100 frames  show 0.0 s  0.0 fps");
  // Segments drawn side by side have no one show time.
  EXPECT_EQ(FormatProgress(50, 100, -1, 10.0, 0), "50/100 frames  5.0 fps  left 0:10");
}

TEST(Progress, PlainOutputPrintsOneLinePerTenth) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  Progress p;
  BeginProgress(&p, out, "Rendering", 95);
  for (int i = 1; i <= 95; ++i) UpdateProgress(&p, i, i * 16);
  EndProgress(&p, 95, 95 * 16);
  fclose(out);
  std::string s(text, size);
  free(text);
  int lines = 0;
  for (char c : s) lines += c == '\n';
  EXPECT_EQ(lines, 10) << s;
  EXPECT_NE(s.find("Rendering  10%"), std::string::npos) << s;
  EXPECT_NE(s.find("Rendering 100%  95/95 frames"), std::string::npos) << s;
  EXPECT_EQ(s.find('\r'), std::string::npos);
}

TEST(FrameStats, PercentilesInterpolateBetweenRanks) {
  std::vector<double> v;
  for (int i = 10; i >= 0; --i) v.push_back(i);  // 0..10, unsorted
  TimeSummary t = Summarize(v);
  EXPECT_EQ(t.count, 11);
  EXPECT_DOUBLE_EQ(t.median, 5);
  EXPECT_DOUBLE_EQ(t.p10, 1);
  EXPECT_DOUBLE_EQ(t.p90, 9);
  EXPECT_DOUBLE_EQ(Summarize({4, 8}).median, 6);
  EXPECT_DOUBLE_EQ(Summarize({3}).p90, 3);
  EXPECT_EQ(Summarize({}).count, 0);
  EXPECT_DOUBLE_EQ(Summarize({}).median, 0);
}

TEST(ContactSheet, ThumbnailsAreUprightAveragedAndLabelled) {
  const int w = 64, h = 48;
  // Bottom-up frame: the bottom half red, the top half blue.
  std::vector<uint8_t> frame(size_t(w) * h * 3, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) frame[(size_t(y) * w + x) * 3 + (y < h / 2 ? 0 : 2)] = 200;
  ContactSheet s;
  BeginSheet(&s, w, h, 3);
  EXPECT_EQ(SheetWidth(s), 3 * 16);
  EXPECT_EQ(SheetHeight(s), 12 + 14);
  AddSheetFrame(&s, frame.data(), 151500);
  AddSheetFrame(&s, frame.data(), 0);
  AddSheetFrame(&s, frame.data(), 0);
  AddSheetFrame(&s, frame.data(), 0);  // past the last cell: ignored
  auto px = [&](int x, int y, int c) { return s.rgb[(size_t(y) * SheetWidth(s) + x) * 3 + c]; };
  EXPECT_EQ(px(5, 1, 2), 200);  // top of the thumbnail: blue
  EXPECT_EQ(px(5, 1, 0), 0);
  EXPECT_EQ(px(5, 10, 0), 200);  // bottom: red
  EXPECT_EQ(s.filled, 3);
  EXPECT_EQ(SheetTimeLabel(151500), "2:31.500");
  EXPECT_EQ(SheetTimeLabel(303499), "5:03.499");
  // The label strip holds white glyph pixels.
  int white = 0;
  for (int y = 12; y < 26; ++y)
    for (int x = 0; x < 16; ++x) white += px(x, y, 0) == 255 && px(x, y, 1) == 255;
  EXPECT_GT(white, 10);
}
