// The ffmpeg pipe: its command line and its failures. Whole captures through
// it are checked in capture_run_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ffmpeg_pipe.h"
#include "ogg_encode.h"
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

// A second of the show at 60000/1001 fps from the lens's cut, with its music.
EncoderSettings ClipFromTheLens() {
  EncoderSettings s;
  s.outputPath = "out.mp4";
  s.fps.num = 60000;
  s.fps.den = 1001;
  s.audioPath = "Music/quendel2b.ogg";
  s.audioFromMs = 90500;
  s.frameCount = 60;
  return s;
}

std::string CommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += a + " ";
  return line;
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
  EncoderSettings s = ClipFromTheLens();
  s.outWidth = 640;
  s.outHeight = 480;
  std::string line = CommandLine(EncoderCommand(s));
  EXPECT_NE(line.find("-framerate 60000/1001 -i pipe:0"), std::string::npos) << line;
  EXPECT_NE(line.find("-ss 90.500 -t 1.001000 -i Music/quendel2b.ogg"), std::string::npos) << line;
  EXPECT_NE(line.find("-vf vflip,scale=640:480:flags=bicubic:out_color_matrix=bt709:out_range=tv,"
                      "format=yuv420p,setsar=1"),
            std::string::npos)
      << line;
  EXPECT_NE(line.find("-pix_fmt yuv420p -colorspace bt709 -color_primaries bt709 -color_trc bt709 "
                      "-color_range tv"),
            std::string::npos)
      << line;
  EXPECT_NE(line.find("-g 60 "), std::string::npos) << "a keyframe every second: " << line;
  EXPECT_NE(line.find("-ar 48000 -c:a aac -b:a 320k"), std::string::npos) << line;

  // WebM and Matroska carry Opus; another shape gets bars, not a stretch.
  s.outputPath = "out.webm";
  s.codec = "libvpx-vp9";
  s.outWidth = 1280;
  s.outHeight = 720;
  line = CommandLine(EncoderCommand(s));
  EXPECT_NE(line.find("-c:a libopus"), std::string::npos) << line;
  EXPECT_NE(line.find("scale=960:720:"), std::string::npos) << line;
  EXPECT_NE(line.find("pad=1280:720:160:0:black,setsar=1"), std::string::npos) << line;
}

TEST(EncoderCommand, TheJoinCopiesTheSegmentsAndCutsTheMusicAsOnePieceWould) {
  EncoderSettings s = ClipFromTheLens();
  std::string join = CommandLine(JoinCommand(s, "parts/join.txt"));
  std::string encode = CommandLine(EncoderCommand(s));
  EXPECT_NE(join.find("-f concat -safe 0 -i parts/join.txt -ss 90.500 -t 1.001000 -i "
                      "Music/quendel2b.ogg -map 0:v:0 -map 1:a:0 -c:v copy"),
            std::string::npos) << join;
  // The music's encoding and the file's end are the one-piece capture's own.
  const std::string tail = "-ar 48000 -c:a aac -b:a 320k -shortest -movflags +faststart out.mp4 ";
  EXPECT_EQ(join.substr(join.size() - tail.size()), tail) << join;
  EXPECT_EQ(encode.substr(encode.size() - tail.size()), tail) << encode;
  EXPECT_EQ(join.find("-vf"), std::string::npos) << "nothing is encoded again: " << join;
}

TEST(EncoderCommand, PicturesKeepTheirShapeInAnySize) {
  const struct {
    int fw, fh, ow, oh;
    VideoFit want;
  } cases[] = {
      {1024, 768, 1024, 768, {1024, 768, 0, 0}},
      {1024, 768, 1280, 720, {960, 720, 160, 0}},
      {1024, 768, 640, 640, {640, 480, 0, 80}},
      {1920, 1080, 1280, 720, {1280, 720, 0, 0}},
      {1024, 768, 255, 190, {252, 190, 0, 0}},  // even sizes for 4:2:0
  };
  for (const auto& c : cases) {
    VideoFit f = FitVideo(c.fw, c.fh, c.ow, c.oh);
    EXPECT_EQ(f.width, c.want.width) << c.ow << "x" << c.oh;
    EXPECT_EQ(f.height, c.want.height) << c.ow << "x" << c.oh;
    EXPECT_EQ(f.x, c.want.x) << c.ow << "x" << c.oh;
    EXPECT_EQ(f.y, c.want.y) << c.ow << "x" << c.oh;
  }
}

// A pure red picture through the capture's own settings decodes to BT.709's
// limited-range red, and the file says which matrix, primaries, transfer and range it used.
TEST_F(EncoderTest, RedDecodesToBt709AndTheStreamsAreTagged) {
  ASSERT_TRUE(WriteTestOgg(dir + "/music.ogg", 1.0));
  EncoderSettings s = Settings("red.mp4", 10);
  s.audioPath = dir + "/music.ogg";
  Encoder e;
  std::string error;
  ASSERT_TRUE(StartEncoder(s, &e, &error)) << error;
  std::vector<uint8_t> rgb(size_t(64) * 48 * 3, 0);
  for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 255;
  for (int n = 0; n < 10; ++n) ASSERT_TRUE(EncodeFrame(&e, rgb.data(), rgb.size()));
  ASSERT_EQ(FinishEncoder(&e), 0);

  int status = 0;
  const std::string tags = RunCommand(
      "ffprobe -v error -show_entries stream=color_space,color_primaries,color_transfer,"
      "color_range,sample_rate,sample_aspect_ratio -of default=nw=1 " + s.outputPath, &status);
  ASSERT_EQ(status, 0) << tags;
  for (const char* want : {"color_space=bt709", "color_primaries=bt709", "color_transfer=bt709",
                           "color_range=tv", "sample_rate=48000", "sample_aspect_ratio=1:1"})
    EXPECT_NE(tags.find(want), std::string::npos) << want << " in\n" << tags;

  // The middle pixel of the first frame, as stored: Y, Cb, Cr.
  const std::string raw = dir + "/red.yuv";
  RunCommand("ffmpeg -v error -y -i " + s.outputPath + " -frames:v 1 -f rawvideo -pix_fmt yuv444p " +
                 raw, &status);
  ASSERT_EQ(status, 0);
  FILE* f = fopen(raw.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<uint8_t> planes(size_t(64) * 48 * 3);
  ASSERT_EQ(fread(planes.data(), 1, planes.size(), f), planes.size());
  fclose(f);
  const size_t middle = size_t(24) * 64 + 32, plane = size_t(64) * 48;
  EXPECT_NEAR(planes[middle], 63, 2);
  EXPECT_NEAR(planes[plane + middle], 102, 2);
  EXPECT_NEAR(planes[2 * plane + middle], 240, 2);
}

}  // namespace
