// The capture driver with a stand-in show that paints its music time into
// the frame, so every output can be checked for the time it was drawn at.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "capture_run.h"
#include "gl_test.h"
#include "ogg_encode.h"
#include "render_test_util.h"

namespace {

struct StandIn {
  std::vector<int32_t> times;  // every frame drawn, pre-roll included
  int64_t stopAfter = -1;      // raise SIGINT while drawing this call
};

// Lower half: the time in red (low byte), green (high byte) and blue 0;
// upper half: pure blue, so an upside-down picture shows.
void DrawTime(int32_t t, void* user) {
  auto* s = static_cast<StandIn*>(user);
  if (s->stopAfter >= 0 && int64_t(s->times.size()) == s->stopAfter) raise(SIGINT);
  s->times.push_back(t);
  glDisable(GL_SCISSOR_TEST);
  glClearColor((t & 255) / 255.0f, (t >> 8 & 255) / 255.0f, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 384, 1024, 384);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

class CaptureRunTest : public GlTest {
 protected:
  ShowHooks Hooks(StandIn* s) {
    ShowHooks h;
    h.drawFrame = DrawTime;
    h.user = s;
    return h;
  }
  FILE* Log() { return stderr; }
};

TEST_F(CaptureRunTest, PreRollThenEveryFrameAtItsExactTime) {
  std::string dir = TestDir("capture-png");
  CaptureOptions o;
  o.pngDir = dir;
  o.fromMs = 1000;
  o.toMs = 1100;
  o.prerollDraw = true;  // every pre-roll frame reaches the stand-in
  std::string error;
  ASSERT_TRUE(ParseFrameRate("60000/1001", &o.fps, &error));
  StandIn s;
  CaptureResult r;
  ASSERT_TRUE(RunCapture(o, Hooks(&s), Log(), &r));
  EXPECT_EQ(r.framesPlanned, 6);  // 1000, 1016, 1033, 1050, 1066, 1083
  EXPECT_EQ(r.framesDone, 6);
  EXPECT_FALSE(r.interrupted);

  // Pre-roll on the capture's own grid from 0: 0, 16, 33, ... up to 984.
  int64_t pre = PrerollFrameCount(1000, o.fps, 0);
  EXPECT_EQ(pre, 60);
  ASSERT_EQ(int64_t(s.times.size()), pre + 6);
  for (int64_t k = 0; k < pre; ++k) EXPECT_EQ(s.times[k], FrameTimeMs(0, k, o.fps));
  EXPECT_EQ(s.times[pre - 1], 984);

  const int32_t expected[] = {1000, 1016, 1033, 1050, 1066, 1083};
  for (int n = 0; n < 6; ++n) {
    EXPECT_EQ(s.times[pre + n], expected[n]);
    char path[512];
    snprintf(path, sizeof path, "%s/frame_%06d.png", dir.c_str(), expected[n]);
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPngRgb(path, &w, &h, &rgb)) << path;
    ASSERT_EQ(w, 1024);
    ASSERT_EQ(h, 768);
    // Upright: blue on top, the time at the bottom.
    EXPECT_EQ(rgb[2], 255);
    const uint8_t* bottom = &rgb[(size_t(767) * 1024 + 10) * 3];
    EXPECT_EQ(bottom[0] | bottom[1] << 8, expected[n]) << "frame " << n;
  }
}

TEST_F(CaptureRunTest, CoarsePreRollStepsFromZero) {
  CaptureOptions o;
  o.sheetPath = TestDir("capture-preroll") + "/sheet.png";
  o.fromMs = 25000;
  o.toMs = 25010;
  o.prerollStepMs = 9999;
  StandIn s;
  CaptureResult r;
  ASSERT_TRUE(RunCapture(o, Hooks(&s), Log(), &r));
  // The pre-roll steps the show's state and draws only its last frame.
  const std::vector<int32_t> drawnLast = {19998, 25000};
  EXPECT_EQ(s.times, drawnLast);

  o.prerollDraw = true;
  StandIn all;
  ASSERT_TRUE(RunCapture(o, Hooks(&all), Log(), &r));
  const std::vector<int32_t> drawnAll = {0, 9999, 19998, 25000};
  EXPECT_EQ(all.times, drawnAll);
}

TEST_F(CaptureRunTest, VideoHasEveryFrameAndItsStretchOfMusic) {
  std::string dir = TestDir("capture-video");
  ASSERT_TRUE(WriteTestOgg(dir + "/music.ogg", 3.0));
  CaptureOptions o;
  o.videoPath = dir + "/clip.mp4";
  o.musicPath = dir + "/music.ogg";
  o.fromMs = 500;
  o.toMs = 1200;
  o.outWidth = 256;
  o.outHeight = 192;
  std::string error;
  ASSERT_TRUE(ParseFrameRate("30000/1001", &o.fps, &error));
  o.prerollStepMs = 250;
  StandIn s;
  CaptureResult r;
  ASSERT_TRUE(RunCapture(o, Hooks(&s), Log(), &r));
  ProbedStream video, audio;
  ProbeMedia(o.videoPath, &video, &audio);
  ASSERT_TRUE(video.present);
  EXPECT_EQ(video.frames, FrameCount(500, 1200, o.fps));
  EXPECT_EQ(video.width, 256);
  EXPECT_EQ(video.height, 192);
  ASSERT_TRUE(audio.present);
  EXPECT_NEAR(audio.duration, video.duration, 1001 / 30000.0);

  // Decoded, the first frame is upright (blue on top) and drawn at 500 ms
  // (red 500 & 255 = 244 at the bottom), within the codec's loss.
  int status = 0;
  RunCommand("ffmpeg -v error -y -i '" + o.videoPath + "' -frames:v 1 '" + dir + "/first.png'",
             &status);
  ASSERT_EQ(status, 0);
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(ReadPngRgb(dir + "/first.png", &w, &h, &rgb));
  ASSERT_EQ(w, 256);
  const uint8_t* top = &rgb[(size_t(20) * w + 128) * 3];
  const uint8_t* bottom = &rgb[(size_t(h - 20) * w + 128) * 3];
  EXPECT_GT(top[2], 230);
  EXPECT_LT(top[0], 25);
  EXPECT_NEAR(bottom[0], 244, 8);
  EXPECT_LT(bottom[2], 25);
}

TEST_F(CaptureRunTest, CtrlCEndsWithAPlayableVideo) {
  std::string dir = TestDir("capture-interrupted");
  ASSERT_TRUE(WriteTestOgg(dir + "/music.ogg", 3.0));
  CaptureOptions o;
  o.videoPath = dir + "/cut.mp4";
  o.musicPath = dir + "/music.ogg";
  o.toMs = 2000;
  o.outWidth = 128;
  o.outHeight = 96;
  StandIn s;
  s.stopAfter = 10;  // Ctrl-C arrives while frame 10 is drawn
  CaptureResult r;
  RunCapture(o, Hooks(&s), Log(), &r);
  EXPECT_TRUE(r.interrupted);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(r.framesDone, 11);  // the frame in hand is finished
  ProbedStream video, audio;
  ProbeMedia(o.videoPath, &video, &audio);
  EXPECT_EQ(video.frames, 11);
  ASSERT_TRUE(audio.present);
  EXPECT_LT(audio.duration, video.duration + 0.03);
  // The handler is gone again: the test process still has its own.
  struct sigaction now;
  sigaction(SIGINT, nullptr, &now);
  EXPECT_NE(now.sa_handler, SIG_IGN);
}

TEST_F(CaptureRunTest, SheetHasOneLabelledCellPerInterval) {
  std::string dir = TestDir("capture-sheet");
  CaptureOptions o;
  o.sheetPath = dir + "/sheet.png";
  o.toMs = 2100;
  o.sheetEveryMs = 500;
  o.fps.num = 20;  // 0, 50, 100, ...
  StandIn s;
  CaptureResult r;
  ASSERT_TRUE(RunCapture(o, Hooks(&s), Log(), &r));
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(ReadPngRgb(o.sheetPath, &w, &h, &rgb));
  EXPECT_EQ(w, 5 * 256);  // 0, 500, 1000, 1500, 2000
  EXPECT_EQ(h, 192 + 14);
  // Cell 2 is the frame at 1000 ms: red 1000 & 255 = 232, green 3, from the bottom of its thumb.
  const uint8_t* p = &rgb[(size_t(190) * w + 2 * 256 + 10) * 3];
  EXPECT_EQ(p[0], 232);
  EXPECT_EQ(p[1], 3);
}

TEST_F(CaptureRunTest, BenchMeasuresAStretchOfEveryModuleWindow) {
  CaptureOptions o;
  o.bench = true;
  o.json = true;
  o.benchFrames = 3;
  o.prerollStepMs = 5000;
  StandIn s;
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  ASSERT_TRUE(RunBench(o, Hooks(&s), "stand-in", out, Log()));
  fclose(out);
  std::string json(text, size);
  free(text);
  for (const char* m : {"\"module\": \"A\"", "\"module\": \"B\"", "\"module\": \"C\"",
                        "\"module\": \"D\"", "\"module\": \"E\"", "\"cpu_ms\"", "\"gpu_driver_ms\""})
    EXPECT_NE(json.find(m), std::string::npos) << m << "\n" << json;
  // Seven windows of three frames each, in the middle of each window.
  int frames = 0;
  for (size_t i = 0; (i = json.find("\"frames\": 3", i)) != std::string::npos; ++i) ++frames;
  EXPECT_EQ(frames, 7);
  // Times never go back: module clocks see one forward run of the show.
  for (size_t i = 1; i < s.times.size(); ++i) EXPECT_GT(s.times[i], s.times[i - 1]);
  EXPECT_LT(s.times.back(), 302500);
}

}  // namespace

namespace {

TEST_F(CaptureRunTest, MusicShorterThanTheRangeIsPaddedAndMissingMusicIsSilent) {
  std::string dir = TestDir("capture-short-music");
  ASSERT_TRUE(WriteTestOgg(dir + "/short.ogg", 1.0));
  EXPECT_NEAR(MusicSeconds(dir + "/short.ogg"), 1.0, 0.01);
  EXPECT_EQ(MusicSeconds(dir + "/missing.ogg"), 0.0);
  CaptureOptions o;
  o.videoPath = dir + "/padded.mp4";
  o.musicPath = dir + "/short.ogg";
  o.fromMs = 500;
  o.toMs = 1500;
  o.prerollStepMs = 500;
  o.fps.num = 30;
  o.outWidth = 64;
  o.outHeight = 48;
  StandIn s;
  CaptureResult r;
  ASSERT_TRUE(RunCapture(o, Hooks(&s), Log(), &r));
  ProbedStream video, audio;
  ProbeMedia(o.videoPath, &video, &audio);
  EXPECT_EQ(video.frames, 30);
  ASSERT_TRUE(audio.present);
  EXPECT_NEAR(audio.duration, video.duration, 1.0 / 30);

  o.videoPath = dir + "/silent.mp4";
  o.musicPath = dir + "/missing.ogg";
  ASSERT_TRUE(RunCapture(o, Hooks(&s), Log(), &r));
  ProbeMedia(o.videoPath, &video, &audio);
  EXPECT_EQ(video.frames, 30);
  EXPECT_FALSE(audio.present);
}

}  // namespace

namespace {

TEST_F(CaptureRunTest, AClosedOutputPipeEndsTheCaptureCleanly) {
  std::string dir = TestDir("capture-closed-pipe");
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);  // nobody reads the log any more, as after `| head`
  FILE* log = fdopen(fds[1], "w");
  ASSERT_NE(log, nullptr);
  CaptureOptions o;
  o.videoPath = dir + "/cut.mp4";
  o.musicPath.clear();
  o.toMs = 1000;
  o.outWidth = 64;
  o.outHeight = 48;
  StandIn s;
  CaptureResult r;
  RunCapture(o, Hooks(&s), log, &r);
  fclose(log);
  EXPECT_TRUE(r.interrupted);
  EXPECT_FALSE(r.failed);
  EXPECT_GT(r.framesDone, 0);
  EXPECT_LT(r.framesDone, 60);
  ProbedStream video, audio;
  ProbeMedia(o.videoPath, &video, &audio);
  EXPECT_EQ(video.frames, r.framesDone);
}

}  // namespace
