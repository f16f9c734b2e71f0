// The forged track as the show reads it: build/Music/quendel2b.ogg.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "director/show_windows.h"
#include "synth/measures.h"
#include "synth/meter.h"
#include "synth/render.h"
#include "synth/score.h"
#include "synth/track.h"

namespace {

const std::string kTrack = std::string(MARVOKE_BUILD_DIR) + "/Music/quendel2b.ogg";

struct Decoded {
  bool ok = false;
  int rate = 0, channels = 0;
  ogg_int64_t pcmTotal = 0;
  double seconds = 0.0;
  synth::Stereo pcm;
};

const Decoded& Track() {
  static const Decoded d = [] {
    Decoded d;
    OggVorbis_File vf;
    if (ov_fopen(kTrack.c_str(), &vf) != 0) return d;
    vorbis_info* vi = ov_info(&vf, -1);
    d.rate = static_cast<int>(vi->rate);
    d.channels = vi->channels;
    d.pcmTotal = ov_pcm_total(&vf, -1);
    d.seconds = ov_time_total(&vf, -1);
    int section = 0;
    for (;;) {
      float** pcm;
      long n = ov_read_float(&vf, &pcm, 4096, &section);
      if (n <= 0) break;
      d.pcm.left.insert(d.pcm.left.end(), pcm[0], pcm[0] + n);
      d.pcm.right.insert(d.pcm.right.end(), pcm[d.channels - 1], pcm[d.channels - 1] + n);
    }
    ov_clear(&vf);
    d.ok = true;
    return d;
  }();
  return d;
}

// The measures of the whole track, once for the tests that read them.
const synth::MusicAnalysis& Analysis() {
  static const synth::MusicAnalysis a = [] {
    const Decoded& d = Track();
    return synth::AnalyseMusic(d.pcm.left.data(), d.pcm.right.data(), d.pcm.left.size(), d.rate);
  }();
  return a;
}

float PeakBetween(const synth::Stereo& s, double fromMs, double toMs) {
  float peak = 0.0f;
  for (int64_t i = synth::MsToFrame(fromMs); i < synth::MsToFrame(toMs); ++i)
    peak = std::max({peak, std::fabs(s.left[i]), std::fabs(s.right[i])});
  return peak;
}

}  // namespace

TEST(MusicFile, HasTheShowsFormatAndLength) {
  const Decoded& d = Track();
  ASSERT_TRUE(d.ok) << "can't open " << kTrack;
  EXPECT_EQ(d.rate, 44100);
  EXPECT_EQ(d.channels, 2);
  EXPECT_NEAR(d.seconds, 303.5, 0.05);  // the show's length
  EXPECT_EQ(d.pcmTotal, synth::kTrackFrames);
  EXPECT_EQ(static_cast<int64_t>(d.pcm.left.size()), synth::kTrackFrames);
}

TEST(MusicFile, MeetsItsLoudnessFigures) {
  const Decoded& d = Track();
  ASSERT_TRUE(d.ok);
  size_t n = d.pcm.left.size();
  double lufs = synth::IntegratedLoudness(d.pcm.left.data(), d.pcm.right.data(), n, d.rate);
  EXPECT_NEAR(lufs, -14.0, 0.5);
  double truePeakDb = 20.0 * std::log10(synth::TruePeak(d.pcm.left.data(), d.pcm.right.data(), n));
  EXPECT_LE(truePeakDb, -1.0);
  EXPECT_LT(PeakBetween(d.pcm, 0, synth::kTrackMs), 1.0f);  // nothing clipped
}

TEST(MusicFile, BreakAndEndAreSilentAndTheMusicFadesIn) {
  const Decoded& d = Track();
  ASSERT_TRUE(d.ok);
  // The encoder smears an edge by a few milliseconds at most.
  EXPECT_LT(PeakBetween(d.pcm, 90010, 90490), 1e-3f);
  EXPECT_LT(PeakBetween(d.pcm, 302510, synth::kTrackMs), 1e-3f);
  EXPECT_GT(PeakBetween(d.pcm, 89800, 90000), 0.05f);   // the sweep runs up to the cut
  EXPECT_GT(PeakBetween(d.pcm, 90500, 90700), 0.05f);   // and the next section hits on time
  // Out of silence over the first second.
  EXPECT_LT(PeakBetween(d.pcm, 0, 20), 0.01f);
  EXPECT_LT(PeakBetween(d.pcm, 0, 200), PeakBetween(d.pcm, 1000, 1200));
}

// The arc, with thresholds a little inside the track's goals: quiet
// breakdowns against a late climax, a clean low end and a change at each cut.
TEST(MusicFile, HasAnArcAChangeAtEveryCutAndACleanLowEnd) {
  const Decoded& d = Track();
  ASSERT_TRUE(d.ok);
  const float* l = d.pcm.left.data();
  const float* r = d.pcm.right.data();
  const synth::MusicAnalysis& a = Analysis();
  synth::SpanFigures whole = synth::MeasureSpan(a, l, r, 0.0, d.seconds);
  EXPECT_GE(whole.loudnessRange, 5.5);
  EXPECT_LE(whole.bands.below40, 0.035);
  // The loudest 3 s: in the swarm or the closing, not the first cave.
  EXPECT_GE(whole.loudestAt, 162.0);
  for (double cut : {30.0, 62.4, 90.5, 147.0, 162.0, 215.3}) EXPECT_GE(synth::NoveltyAt(a.novelty, cut), 1.8) << cut;
}

// The windows' contrast: breakdowns 6 LU under their window for 4 s or more in
// the smoke, the swarm and the closing, some 30 s of them together, sparser
// and wider than the rest; the windows' medians apart; air above 4 kHz
// wherever the drums play.
TEST(MusicFile, BreakdownsAreDeepAndLongAndEveryWindowHasAir) {
  const Decoded& d = Track();
  ASSERT_TRUE(d.ok);
  const float* l = d.pcm.left.data();
  const float* r = d.pcm.right.data();
  const synth::MusicAnalysis& a = Analysis();
  int32_t count = 0;
  const ShowWindow* windows = ShowWindows(&count);
  double quiet = 0.0, lowMedian = 1e9, highMedian = -1e9;
  std::vector<int32_t> quietWindows;
  for (int32_t i = 0; i < count; ++i) {
    const ShowWindow& w = windows[i];
    if (w.slot.module == kNoModule) continue;
    synth::SpanFigures f = synth::MeasureSpan(a, l, r, w.fromMs / 1000.0, w.toMs / 1000.0);
    for (const synth::QuietPassage& q : synth::QuietPassages(a, w.fromMs / 1000.0, w.toMs / 1000.0, 6.0, 4.0)) {
      quiet += q.to - q.from;
      if (quietWindows.empty() || quietWindows.back() != w.fromMs) quietWindows.push_back(w.fromMs);
      // A breakdown is sparser and wider than its window, not only quieter.
      synth::SpanFigures in = synth::MeasureSpan(a, l, r, q.from, q.to);
      EXPECT_LT(in.onsetsPerSecond, 0.75 * f.onsetsPerSecond) << "quiet from " << q.from << " s";
      EXPECT_LT(in.correlation, f.correlation - 0.2) << "quiet from " << q.from << " s";
    }
    EXPECT_GE(f.bands.above4k, 0.028) << "window from " << w.fromMs << " ms";
    if (i == 0) continue;  // the opening rises from silence
    lowMedian = std::min(lowMedian, f.medianShortTerm);
    highMedian = std::max(highMedian, f.medianShortTerm);
  }
  EXPECT_GE(quiet, 29.0);
  EXPECT_EQ(quietWindows, (std::vector<int32_t>{90500, 162000, 215300}));
  EXPECT_GE(highMedian - lowMedian, 3.6);
}

TEST(MusicFile, ForgingAgainGivesTheSameBytes) {
  std::ifstream in(kTrack, std::ios::binary);
  ASSERT_TRUE(in) << kTrack;
  std::stringstream built;
  built << in.rdbuf();
  std::string dir = std::string(MARVOKE_BUILD_DIR) + "/test-output/music-again";
  std::filesystem::create_directories(dir + "/Music");
  std::string bytes;
  ASSERT_TRUE(synth::ForgeTrack(dir, &bytes, nullptr));
  EXPECT_TRUE(bytes == built.str()) << "the track differs between two runs";
  std::filesystem::remove_all(dir);
}
