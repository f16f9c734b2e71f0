// The forged track through the show's own stream layer: it opens, seeks and
// reports positions in milliseconds, and what it hands out matches the score.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/music_stream.h"

namespace {

const std::string kTrack = std::string(MARVOKE_BUILD_DIR) + "/Music/quendel2b.ogg";

// Hands `ms` of audio to a pretend device; returns the loudest 16-bit sample.
int Pull(MusicStream* s, int ms) {
  std::vector<int16_t> samples(static_cast<size_t>(ms) * 441 / 10 * 2);
  FillMusicBuffer(s, reinterpret_cast<uint8_t*>(samples.data()), static_cast<int>(samples.size() * 2));
  int peak = 0;
  for (int16_t v : samples) peak = std::max(peak, std::abs(static_cast<int>(v)));
  return peak;
}

}  // namespace

TEST(MusicStreamFile, OpensSeeksAndCountsMilliseconds) {
  MusicStream* s = OpenMusicStream(kTrack.c_str());
  ASSERT_NE(s, nullptr) << kTrack;
  EXPECT_EQ(MusicStreamRate(s), 44100);
  EXPECT_EQ(MusicStreamChannels(s), 2);
  EXPECT_EQ(GetMusicStreamTime(s), 0);

  // From the start: the fade-in, then music; the position follows what was handed out.
  EXPECT_LT(Pull(s, 20), 400);
  EXPECT_EQ(GetMusicStreamTime(s), 20);
  Pull(s, 1980);
  EXPECT_EQ(GetMusicStreamTime(s), 2000);
  EXPECT_GT(Pull(s, 500), 1000);

  // Into the break, out of it on the next section's downbeat.
  SetMusicStreamTime(s, 90100);
  EXPECT_EQ(GetMusicStreamTime(s), 90100);
  EXPECT_LT(Pull(s, 380), 40);
  EXPECT_EQ(GetMusicStreamTime(s), 90480);
  Pull(s, 20);
  EXPECT_GT(Pull(s, 200), 3000);
  EXPECT_EQ(GetMusicStreamTime(s), 90700);

  // Back and forth as the arrow keys do.
  SetMusicStreamTime(s, 180000);
  EXPECT_GT(Pull(s, 400), 3000);
  EXPECT_EQ(GetMusicStreamTime(s), 180400);
  SetMusicStreamTime(s, 177400);
  EXPECT_EQ(GetMusicStreamTime(s), 177400);

  // The silence after the closing, then past the end of the data: the show
  // quits at 303.5 s, where the file ends, and the position keeps counting after it.
  SetMusicStreamTime(s, 302600);
  EXPECT_LT(Pull(s, 1000), 40);
  EXPECT_EQ(GetMusicStreamTime(s), 303600);
  Pull(s, 1000);
  EXPECT_EQ(GetMusicStreamTime(s), 304600);
  CloseMusicStream(s);
}
