// The ffmpeg pipe: its command line and its failures. Whole captures through
// it are checked in capture_run_test.cpp.
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
  }
  EncoderSettings Settings(const std::string& name, int64_t frames) {
    EncoderSettings s;
    s.outputPath = dir + "/" + name;
    s.frameWidth = s.outWidth = 64;
    s.frameHeight = s.outHeight = 48;
    s.fps.num = 60000;
    s.fps.den = 1001;
    s.frameCount = frames;
    return s;
  }
  std::string dir;
};

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
