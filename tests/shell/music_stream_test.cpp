#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "ogg_encode.h"
#include "shell/music_stream.h"

namespace {

namespace fs = std::filesystem;

class MusicStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("marvoke-stream-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string File(const char* name) { return (dir / name).string(); }
  fs::path dir;
};

// One buffer of 1024 stereo frames, as the device would ask for it.
std::vector<int16_t> Fill(MusicStream* s) {
  std::vector<int16_t> samples(2048);
  FillMusicBuffer(s, reinterpret_cast<uint8_t*>(samples.data()), int(samples.size() * 2));
  return samples;
}

int PeakOf(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (int16_t v : samples) peak = std::max(peak, std::abs(int(v)));
  return peak;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

TEST_F(MusicStreamTest, RejectsMissingEmptyAndNonVorbisFiles) {
  EXPECT_EQ(nullptr, OpenMusicStream(File("absent.ogg").c_str()));
  std::ofstream(File("empty.ogg"));
  EXPECT_EQ(nullptr, OpenMusicStream(File("empty.ogg").c_str()));
  std::ofstream(File("text.ogg")) << "OggS but not really a Vorbis stream at all";
  EXPECT_EQ(nullptr, OpenMusicStream(File("text.ogg").c_str()));
  EXPECT_EQ(nullptr, OpenMusicStream(dir.string().c_str()));  // a folder
}

// A file cut short either fails to open or plays what it has, then silence.
TEST_F(MusicStreamTest, TruncatedFilePlaysWhatItHasThenSilence) {
  ASSERT_TRUE(WriteTestOgg(File("full.ogg"), 1.0));
  for (double fraction : {0.1, 0.5, 0.9}) {
    fs::copy_file(File("full.ogg"), File("cut.ogg"), fs::copy_options::overwrite_existing);
    fs::resize_file(File("cut.ogg"), uintmax_t(fs::file_size(File("full.ogg")) * fraction));
    MusicStream* s = OpenMusicStream(File("cut.ogg").c_str());
    if (!s) continue;
    for (int i = 0; i < 60; ++i) Fill(s);
    EXPECT_EQ(0, PeakOf(Fill(s))) << fraction;
    EXPECT_EQ(61 * 1024 * 1000 / 44100, GetMusicStreamTime(s));
    CloseMusicStream(s);
  }
}

// Without a device the position is exactly the samples handed over; past the
// end of the data they are silence and the position keeps counting.
TEST_F(MusicStreamTest, CountsHandedSamplesAndPlaysSilencePastTheEnd) {
  ASSERT_TRUE(WriteTestOgg(File("tone.ogg"), 1.0));
  MusicStream* s = OpenMusicStream(File("tone.ogg").c_str());
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(44100, MusicStreamRate(s));
  EXPECT_EQ(2, MusicStreamChannels(s));
  EXPECT_EQ(0, GetMusicStreamTime(s));

  int loud = 0;
  for (int i = 0; i < 40; ++i) loud += PeakOf(Fill(s)) > 10000;
  EXPECT_EQ(40, loud);  // 40 buffers = 929 ms, all inside the 1 s tone
  EXPECT_EQ(40 * 1024 * 1000 / 44100, GetMusicStreamTime(s));

  for (int i = 0; i < 10; ++i) Fill(s);  // across the end
  for (int i = 0; i < 40; ++i) EXPECT_EQ(0, PeakOf(Fill(s)));
  EXPECT_EQ(90 * 1024 * 1000 / 44100, GetMusicStreamTime(s));
  CloseMusicStream(s);
}

TEST_F(MusicStreamTest, SeeksTakeEffectBeforeTheNextQuery) {
  ASSERT_TRUE(WriteTestOgg(File("tone.ogg"), 2.0, 44100, 2, 441.0f));
  MusicStream* s = OpenMusicStream(File("tone.ogg").c_str());
  ASSERT_NE(nullptr, s);

  // 441 Hz at 44100: 100 samples per period, so a seek to 1 s lands at phase 0.
  SetMusicStreamTime(s, 1000);
  EXPECT_EQ(1000, GetMusicStreamTime(s));
  std::vector<int16_t> samples = Fill(s);
  double dot = 0, norm = 0;
  for (int i = 0; i < 1024; ++i) {
    double expected = std::sin(6.283185307 * i / 100.0);
    dot += samples[2 * i] / 16384.0 * expected;
    norm += expected * expected;
  }
  EXPECT_GT(dot / norm, 0.8);  // in phase: a seek off by a quarter period gives ~0

  SetMusicStreamTime(s, 5000);  // past the end of the data
  EXPECT_EQ(5000, GetMusicStreamTime(s));
  EXPECT_EQ(0, PeakOf(Fill(s)));
  EXPECT_EQ(5000 + 1024 * 1000 / 44100, GetMusicStreamTime(s));

  SetMusicStreamTime(s, 200);  // and back into it
  EXPECT_EQ(200, GetMusicStreamTime(s));
  EXPECT_GT(PeakOf(Fill(s)), 10000);

  SetMusicStreamTime(s, -300);
  EXPECT_EQ(0, GetMusicStreamTime(s));
  CloseMusicStream(s);
}

// The dummy driver consumes samples at real-time pace, so the position runs
// like a clock; between callbacks it moves on with the wall clock.
TEST_F(MusicStreamTest, PlaysOnTheDummyDriverInRealTime) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_TRUE(WriteTestOgg(File("tone.ogg"), 1.0));
  MusicStream* s = OpenMusicStream(File("tone.ogg").c_str());
  ASSERT_NE(nullptr, s);
  std::string note;
  ASSERT_EQ(0, PlayMusicStream(s, &note));
  EXPECT_TRUE(note.empty()) << note;

  auto start = std::chrono::steady_clock::now();
  int32_t previous = GetMusicStreamTime(s);
  int distinct = 0;
  for (int i = 0; i < 40; ++i) {
    Sleep(10);
    int32_t t = GetMusicStreamTime(s);
    EXPECT_GE(t, previous);
    distinct += t != previous;
    previous = t;
  }
  double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
  EXPECT_NEAR(wall, previous, 150);
  EXPECT_GT(distinct, 20);  // not stepping by whole 40 ms buffers

  // A seek past the end: silence, and the time keeps running.
  SetMusicStreamTime(s, 4000);
  int32_t t0 = GetMusicStreamTime(s);
  EXPECT_GE(t0, 4000);
  EXPECT_LT(t0, 4050);
  Sleep(300);
  EXPECT_GT(GetMusicStreamTime(s), t0 + 150);
  CloseMusicStream(s);
}

// On a real device the position is the samples the device has taken, moved
// on between callbacks by the wall clock but never past what was handed over.
TEST_F(MusicStreamTest, PositionFollowsTheSamplesTheDeviceTakes) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_TRUE(WriteTestOgg(File("tone.ogg"), 1.0));
  MusicStream* s = OpenMusicStream(File("tone.ogg").c_str());
  ASSERT_NE(nullptr, s);
  ASSERT_EQ(0, PlayMusicStream(s));
  SetMusicStreamFollowsDevice(s, true);
  SetMusicStreamTime(s, 100);
  auto start = std::chrono::steady_clock::now();
  int32_t previous = GetMusicStreamTime(s);
  EXPECT_GE(previous, 100);
  int distinct = 0;
  for (int i = 0; i < 40; ++i) {
    Sleep(10);
    int32_t t = GetMusicStreamTime(s);
    EXPECT_GE(t, previous);
    distinct += t != previous;
    previous = t;
  }
  double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
  // The dummy driver only ever falls behind; at most one buffer runs ahead.
  EXPECT_LE(previous - 100, wall + 50);
  EXPECT_GE(previous - 100, wall * 0.5);
  EXPECT_GT(distinct, 20);
  CloseMusicStream(s);
}

TEST_F(MusicStreamTest, FallsBackToTheDummyDriverWhenNoDeviceOpens) {
  setenv("SDL_AUDIODRIVER", "no-such-audio-driver", 1);
  ASSERT_TRUE(WriteTestOgg(File("tone.ogg"), 1.0));
  MusicStream* s = OpenMusicStream(File("tone.ogg").c_str());
  ASSERT_NE(nullptr, s);
  std::string note;
  ASSERT_EQ(0, PlayMusicStream(s, &note));
  EXPECT_NE(std::string::npos, note.find("dummy")) << note;
  EXPECT_EQ(std::string::npos, note.find('\n'));
  Sleep(300);
  EXPECT_GT(GetMusicStreamTime(s), 150);
  CloseMusicStream(s);
}
