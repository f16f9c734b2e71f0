// The music's measures on synthetic signals whose figures are known: tones
// at set levels, clicks at set times, channels alike or opposed, and a track
// whose material changes at one moment.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "synth/measures.h"

using namespace synth;

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct Track {
  std::vector<float> l, r;
  size_t frames() const { return l.size(); }
};

Track Silence(double seconds) {
  Track t;
  t.l.assign(size_t(seconds * kRate), 0.0f);
  t.r = t.l;
  return t;
}

// Adds a sine of `hz` at `dbfs` peak to both channels over [from, to) s.
void AddSine(Track& t, double hz, double dbfs, double from, double to) {
  double a = std::pow(10.0, dbfs / 20.0);
  for (size_t i = size_t(from * kRate); i < size_t(to * kRate) && i < t.frames(); ++i) {
    float v = float(a * std::sin(2.0 * kPi * hz * double(i) / kRate));
    t.l[i] += v;
    t.r[i] += v;
  }
}

uint32_t Next(uint32_t& s) { return s = s * 1664525u + 1013904223u; }
float Noise(uint32_t& s) { return float(Next(s) >> 8) / float(1 << 23) - 1.0f; }

// A short decaying noise burst at each time.
void AddClicks(Track& t, const std::vector<double>& at) {
  uint32_t seed = 7;
  for (double s : at)
    for (size_t i = 0; i < size_t(0.04 * kRate); ++i) {
      size_t j = size_t(s * kRate) + i;
      if (j >= t.frames()) break;
      float v = 0.5f * Noise(seed) * float(std::exp(-double(i) / (0.008 * kRate)));
      t.l[j] += v;
      t.r[j] += v;
    }
}

}  // namespace

TEST(MusicMeasures, ShortTermLoudnessReadsTonesAndTheirTimes) {
  // 1 kHz at -23 dBFS in both channels reads -23 LUFS; silence before it.
  Track t = Silence(10.0);
  AddSine(t, 1000.0, -23.0, 5.0, 10.0);
  std::vector<double> st = ShortTermSeries(t.l.data(), t.r.data(), t.frames(), kRate);
  ASSERT_EQ(st.size(), size_t(100 - 29));
  EXPECT_NEAR(st[60], -23.0, 0.1);  // [6, 9) s: all tone
  EXPECT_LT(st[10], -150.0);        // [1, 4) s: all silence
  EXPECT_NEAR(st[35], -23.0 + 10.0 * std::log10(0.5), 0.15);  // [3.5, 6.5): half tone
  EXPECT_TRUE(ShortTermSeries(t.l.data(), t.r.data(), size_t(2.9 * kRate), kRate).empty());
}

TEST(MusicMeasures, LoudnessRangeFollowsTheReferenceCases) {
  // The two level steps of the range's reference signals: 20 s at -20 dBFS,
  // then 20 s at -30 (10 LU) or at -15 (5 LU).
  for (double second : {-30.0, -15.0}) {
    Track t = Silence(40.0);
    AddSine(t, 1000.0, -20.0, 0.0, 20.0);
    AddSine(t, 1000.0, second, 20.0, 40.0);
    double lra = LoudnessRange(ShortTermSeries(t.l.data(), t.r.data(), t.frames(), kRate));
    EXPECT_NEAR(lra, std::fabs(second + 20.0), 0.3) << second;
  }
  // A steady tone has no range; the gates drop silence and what lies 20 LU under the rest.
  Track steady = Silence(50.0);
  AddSine(steady, 1000.0, -20.0, 0.0, 40.0);
  AddSine(steady, 1000.0, -45.0, 40.0, 50.0);
  EXPECT_LT(LoudnessRange(ShortTermSeries(steady.l.data(), steady.r.data(), steady.frames(), kRate)), 0.5);
  EXPECT_EQ(0.0, LoudnessRange({-80.0, -90.0}));
  EXPECT_EQ(0.0, LoudnessRange({}));
}

TEST(MusicMeasures, BandSharesSplitAt40And120HzAnd4kHz) {
  struct Case {
    double hz;
    double below40, mid, above4k;
  } cases[] = {{30.0, 1, 0, 0}, {80.0, 0, 1, 0}, {1000.0, 0, 0, 0}, {6000.0, 0, 0, 1}};
  for (const Case& c : cases) {
    Track t = Silence(4.0);
    AddSine(t, c.hz, -12.0, 0.0, 4.0);
    BandShares s = BandEnergyShares(t.l.data(), t.r.data(), t.frames(), kRate);
    EXPECT_NEAR(s.below40, c.below40, 0.01) << c.hz;
    EXPECT_NEAR(s.from40to120, c.mid, 0.01) << c.hz;
    EXPECT_NEAR(s.above4k, c.above4k, 0.01) << c.hz;
  }
  Track mix = Silence(4.0);
  AddSine(mix, 25.0, -12.0, 0.0, 4.0);
  AddSine(mix, 8000.0, -12.0, 0.0, 4.0);
  BandShares s = BandEnergyShares(mix.l.data(), mix.r.data(), mix.frames(), kRate);
  EXPECT_NEAR(s.below40, 0.5, 0.02);
  EXPECT_NEAR(s.above4k, 0.5, 0.02);
  BandShares none = BandEnergyShares(mix.l.data(), mix.r.data(), 0, kRate);
  EXPECT_EQ(0.0, none.below40 + none.from40to120 + none.above4k);
}

TEST(MusicMeasures, OnsetsFallOnTheClicksAndNotInASteadyTone) {
  Track t = Silence(10.0);
  AddSine(t, 220.0, -30.0, 0.0, 10.0);  // a bed that must not count
  std::vector<double> at;
  for (double s = 0.5; s < 9.5; s += 0.25) at.push_back(s);
  AddClicks(t, at);
  std::vector<double> onsets;
  for (double s : OnsetTimes(t.l.data(), t.r.data(), t.frames(), kRate))
    if (s > 0.2) onsets.push_back(s);  // the bed itself starts at 0
  ASSERT_EQ(onsets.size(), at.size());
  for (size_t i = 0; i < at.size(); ++i) EXPECT_NEAR(onsets[i], at[i], 0.02) << i;

  Track steady = Silence(10.0);
  AddSine(steady, 220.0, -12.0, 0.0, 10.0);
  EXPECT_LE(OnsetTimes(steady.l.data(), steady.r.data(), steady.frames(), kRate).size(), 1u);
  EXPECT_TRUE(OnsetTimes(steady.l.data(), steady.r.data(), 0, kRate).empty());
}

TEST(MusicMeasures, StereoCorrelationOfAlikeOpposedAndUnrelatedChannels) {
  Track t = Silence(2.0);
  uint32_t a = 1, b = 99;
  for (size_t i = 0; i < t.frames(); ++i) {
    t.l[i] = Noise(a);
    t.r[i] = Noise(b);
  }
  EXPECT_NEAR(StereoCorrelation(t.l.data(), t.r.data(), t.frames()), 0.0, 0.01);
  EXPECT_NEAR(StereoCorrelation(t.l.data(), t.l.data(), t.frames()), 1.0, 1e-9);
  std::vector<float> inverted(t.l);
  for (float& v : inverted) v = -v;
  EXPECT_NEAR(StereoCorrelation(t.l.data(), inverted.data(), t.frames()), -1.0, 1e-9);
  Track quiet = Silence(1.0);
  EXPECT_EQ(0.0, StereoCorrelation(quiet.l.data(), quiet.r.data(), quiet.frames()));
}

TEST(MusicMeasures, NoveltyPeaksWhereTheMaterialChanges) {
  // 24 s of an A minor chord with clicks, then 24 s of a bright F sharp chord
  // without: the one change lies at 24 s.
  Track t = Silence(48.0);
  for (double hz : {220.0, 261.63, 329.63}) AddSine(t, hz, -20.0, 0.0, 24.0);
  for (double hz : {739.99, 932.33, 1108.73, 4000.0}) AddSine(t, hz, -22.0, 24.0, 48.0);
  std::vector<double> at;
  for (double s = 0.25; s < 24.0; s += 0.5) at.push_back(s);
  AddClicks(t, at);
  Novelty n = NoveltyCurve(t.l.data(), t.r.data(), t.frames(), kRate);
  ASSERT_EQ(n.z.size(), size_t(481));
  std::vector<NoveltyPeak> peaks = NoveltyPeaks(n, 3, 4.0);
  ASSERT_FALSE(peaks.empty());
  EXPECT_NEAR(peaks[0].seconds, 24.0, 0.3);
  EXPECT_GT(peaks[0].z, 3.0);
  EXPECT_DOUBLE_EQ(NoveltyAt(n, 24.3), peaks[0].z);  // within 0.5 s of the cut
  EXPECT_LT(NoveltyAt(n, 12.0), 1.0);                 // inside a steady stretch
  for (size_t i = 1; i < peaks.size(); ++i) {
    EXPECT_LE(peaks[i].z, peaks[i - 1].z);
    EXPECT_GE(std::fabs(peaks[i].seconds - peaks[0].seconds), 4.0);
  }
  EXPECT_EQ(-99.0, NoveltyAt(n, 100.0));
}

TEST(MusicMeasures, SpansReadOnlyTheirOwnPart) {
  // 10 s of silence, then 10 s of a -20 dBFS tone with clicks 4 a second.
  Track t = Silence(20.0);
  AddSine(t, 1000.0, -20.0, 10.0, 20.0);
  std::vector<double> at;
  for (double s = 10.125; s < 20.0; s += 0.25) at.push_back(s);
  AddClicks(t, at);
  MusicAnalysis a = AnalyseMusic(t.l.data(), t.r.data(), t.frames(), kRate);
  SpanFigures quiet = MeasureSpan(a, t.l.data(), t.r.data(), 0.0, 9.5);  // the tone's own onset at 10 s aside
  SpanFigures tone = MeasureSpan(a, t.l.data(), t.r.data(), 10.0, 20.0);
  SpanFigures whole = MeasureSpan(a, t.l.data(), t.r.data(), 0.0, 20.0);
  EXPECT_LT(quiet.integrated, -150.0);
  EXPECT_EQ(0.0, quiet.onsetsPerSecond);
  EXPECT_GT(tone.integrated, -21.0);
  EXPECT_NEAR(tone.onsetsPerSecond, 4.0, 0.3);
  EXPECT_NEAR(whole.integrated, tone.integrated, 0.15);  // the gate drops the silence
  EXPECT_NEAR(tone.correlation, 1.0, 1e-6);
  EXPECT_GE(whole.loudestAt, 10.0);
  EXPECT_GT(tone.truePeakDb, -20.5);
  SpanFigures empty = MeasureSpan(a, t.l.data(), t.r.data(), 30.0, 40.0);
  EXPECT_FALSE(empty.hasShortTerm);
  EXPECT_EQ(-200.0, empty.integrated);
  SpanFigures shortSpan = MeasureSpan(a, t.l.data(), t.r.data(), 12.0, 13.0);
  EXPECT_FALSE(shortSpan.hasShortTerm);  // no whole 3 s block in 1 s
}

TEST(MusicMeasures, QuietPassagesAreDeepAndLongEnough) {
  // A -20 dBFS tone with a 10 s dip to -30 dBFS and a 5 s one: only the long
  // dip counts, from where whole 3 s blocks lie in it to where they leave it.
  Track t = Silence(60.0);
  AddSine(t, 1000.0, -20.0, 0.0, 20.0);
  AddSine(t, 1000.0, -30.0, 20.0, 30.0);
  AddSine(t, 1000.0, -20.0, 30.0, 45.0);
  AddSine(t, 1000.0, -30.0, 45.0, 50.0);
  AddSine(t, 1000.0, -20.0, 50.0, 60.0);
  MusicAnalysis a = AnalyseMusic(t.l.data(), t.r.data(), t.frames(), kRate);
  std::vector<QuietPassage> q = QuietPassages(a, 0.0, 60.0, 6.0, 4.0);
  ASSERT_EQ(q.size(), 1u);
  EXPECT_GE(q[0].from, 20.0);
  EXPECT_LE(q[0].to, 30.0);
  EXPECT_GT(q[0].to - q[0].from, 7.0);  // 10 s less the 3 s a block takes to fill
  EXPECT_NEAR(q[0].below, 10.0, 0.5);
  EXPECT_EQ(QuietPassages(a, 0.0, 60.0, 12.0, 4.0).size(), 0u);  // not that deep
  EXPECT_EQ(QuietPassages(a, 0.0, 60.0, 6.0, 1.0).size(), 2u);   // the short dip too
  EXPECT_EQ(QuietPassages(a, 30.0, 60.0, 6.0, 4.0).size(), 0u);  // a span sees only its own
  EXPECT_TRUE(QuietPassages(a, 70.0, 80.0, 6.0, 4.0).empty());
}
