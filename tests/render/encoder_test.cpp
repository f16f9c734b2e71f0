// The ffmpeg pipe: synthetic frames in, a decodable MP4 with its audio out.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ffmpeg_pipe.h"
#include "render_test_util.h"

namespace {

class EncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int status = 0;
    RunCommand("ffmpeg -version >/dev/null 2>&1", &status);
    if (status != 0) GTEST_SKIP() << "ffmpeg is not installed";
    // A folder per test: CTest runs them in parallel processes.
    dir = TestDir(std::string("encoder-") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ogg = dir + "/music.ogg";
    ASSERT_TRUE(WriteTestOgg(ogg, 4.0));
  }
  EncoderSettings Settings(const std::string& name, int64_t frames) {
    EncoderSettings s;
    s.outputPath = dir + "/" + name;
    s.frameWidth = s.outWidth = 64;
    s.frameHeight = s.outHeight = 48;
    s.fps.num = 60000;
    s.fps.den = 1001;
    s.audioPath = ogg;
    s.audioFromMs = 1250;
    s.frameCount = frames;
    return s;
  }
  // Bottom-up RGB frames: a bar that moves each frame, black at the top row.
  void Feed(Encoder* e, const EncoderSettings& s, int frames) {
    std::vector<uint8_t> rgb(size_t(s.frameWidth) * s.frameHeight * 3);
    for (int n = 0; n < frames; ++n) {
      for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t((i / 3 % s.frameWidth + n) * 4);
      ASSERT_TRUE(EncodeFrame(e, rgb.data(), rgb.size())) << "frame " << n;
    }
  }
  std::string dir, ogg;
};

TEST_F(EncoderTest, VideoDecodesWithEveryFrameAndMatchingAudio) {
  EncoderSettings s = Settings("full.mp4", 45);
  Encoder e;
  std::string error;
  ASSERT_TRUE(StartEncoder(s, &e, &error)) << error;
  Feed(&e, s, 45);
  EXPECT_EQ(e.framesWritten, 45);
  ASSERT_EQ(FinishEncoder(&e), 0);
  ProbedStream video, audio;
  ProbeMedia(s.outputPath, &video, &audio);
  ASSERT_TRUE(video.present);
  ASSERT_TRUE(audio.present);
  EXPECT_EQ(video.width, 64);
  EXPECT_EQ(video.height, 48);
  EXPECT_EQ(video.frames, 45);
  EXPECT_NEAR(video.duration, 45 * 1001 / 60000.0, 1e-3);
  EXPECT_NEAR(audio.duration, video.duration, 1001 / 60000.0);
}

TEST_F(EncoderTest, ScalesToTheRequestedSize) {
  EncoderSettings s = Settings("small.mp4", 5);
  s.outWidth = 32;
  s.outHeight = 24;
  s.audioPath.clear();
  Encoder e;
  std::string error;
  ASSERT_TRUE(StartEncoder(s, &e, &error)) << error;
  Feed(&e, s, 5);
  ASSERT_EQ(FinishEncoder(&e), 0);
  ProbedStream video, audio;
  ProbeMedia(s.outputPath, &video, &audio);
  EXPECT_EQ(video.width, 32);
  EXPECT_EQ(video.height, 24);
  EXPECT_EQ(video.frames, 5);
  EXPECT_FALSE(audio.present);
}

TEST_F(EncoderTest, StoppingEarlyLeavesAPlayableFileOfWhatWasWritten) {
  // The audio was asked for 200 frames; the capture stops after 20.
  EncoderSettings s = Settings("stopped.mp4", 200);
  Encoder e;
  std::string error;
  ASSERT_TRUE(StartEncoder(s, &e, &error)) << error;
  Feed(&e, s, 20);
  ASSERT_EQ(FinishEncoder(&e), 0);
  ProbedStream video, audio;
  ProbeMedia(s.outputPath, &video, &audio);
  EXPECT_EQ(video.frames, 20);
  ASSERT_TRUE(audio.present);
  // The shortest stream ends the file: audio stops within an AAC packet.
  EXPECT_LT(audio.duration, video.duration + 0.03);
}

TEST_F(EncoderTest, ADeadEncoderFailsTheWriteInsteadOfKillingTheRenderer) {
  EncoderSettings s = Settings("dead.mp4", 5);
  s.codec = "no-such-codec";
  Encoder e;
  std::string error;
  ASSERT_TRUE(StartEncoder(s, &e, &error)) << error;
  std::vector<uint8_t> rgb(size_t(64) * 48 * 3, 0);
  bool failed = false;
  // ffmpeg exits on the bad codec once the first frame arrives; the pipe
  // buffer may still take some frames before the write fails.
  for (int n = 0; n < 2000 && !failed; ++n) failed = !EncodeFrame(&e, rgb.data(), rgb.size());
  EXPECT_TRUE(failed);
  EXPECT_NE(FinishEncoder(&e), 0);
}

TEST_F(EncoderTest, MissingFfmpegIsReported) {
  EncoderSettings s = Settings("none.mp4", 5);
  s.ffmpeg = "/nonexistent/ffmpeg";
  Encoder e;
  std::string error;
  EXPECT_FALSE(StartEncoder(s, &e, &error));
  EXPECT_NE(error.find("ffmpeg"), std::string::npos);
}

TEST(EncoderCommand, FlipsAndCutsTheAudioToTheFrames) {
  EncoderSettings s;
  s.outputPath = "out.mp4";
  s.fps.num = 60000;
  s.fps.den = 1001;
  s.audioPath = "Music/quendel2b.ogg";
  s.audioFromMs = 90500;
  s.frameCount = 60;
  s.outWidth = 640;
  s.outHeight = 480;
  std::string line;
  for (const std::string& a : EncoderCommand(s)) line += a + " ";
  EXPECT_NE(line.find("-framerate 60000/1001 -i pipe:0"), std::string::npos) << line;
  EXPECT_NE(line.find("-ss 90.500 -t 1.001000 -i Music/quendel2b.ogg"), std::string::npos) << line;
  EXPECT_NE(line.find("-vf vflip,scale=640:480"), std::string::npos) << line;
  EXPECT_NE(line.find("-pix_fmt yuv420p"), std::string::npos) << line;
}

}  // namespace
