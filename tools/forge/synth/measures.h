// Figures of a decoded stereo track beyond its integrated loudness: the
// short-term loudness series and loudness range (EBU Tech 3341/3342), band
// energy shares, onset density, stereo correlation and a novelty curve of
// section changes. One analysis pass keeps per-100 ms sums, so any span of the
// track (a window of the show, the whole) is measured from them quickly.
//
// The novelty curve, defined here once:
//  - features at 10 frames a second (frame k: [0.1 k, 0.1 k + 0.1) s, Hann
//    window of 8192 samples around its centre, power of both channels):
//    chroma, 12 bins (55 Hz to 5 kHz, nearest equal-tempered pitch class),
//    scaled to unit length; 13 cepstral coefficients (MFCC: 40 triangular mel
//    bands 20 Hz to 8 kHz, 10 log10 of their energy, orthonormal DCT-II,
//    coefficients 0 to 12), each standardised over the whole track;
//  - self-similarity S(a, b) = the mean of the chroma and the MFCC cosines
//    (a silent frame's chroma has cosine 0 with everything);
//  - an 8 s checkerboard kernel (40 frames a side) with a Gaussian taper
//    (sigma 2 s) correlated along the diagonal; the value at boundary t (time
//    0.1 t s) compares the 4 s before with the 4 s after; frames beyond the
//    track count as nothing;
//  - z-scores over the whole track; the value at a cut is the highest z within
//    0.5 s of it.
#pragma once
#include <array>
#include <cstddef>
#include <vector>

namespace synth {

// 10 log10 of a mean square K-weighted power, -0.691 offset (LUFS).
double PowerToLufs(double power);

// Short-term loudness every 100 ms: value k is the loudness of
// [0.1 k, 0.1 k + 3) s; empty for a track shorter than 3 s.
std::vector<double> ShortTermSeries(const float* left, const float* right, size_t frames, int rate);

// The same from the meter's 100 ms powers (StepPowers).
std::vector<double> ShortTermFromPowers(const std::vector<double>& stepPowers);

// Loudness range after EBU Tech 3342 from a short-term series: blocks above
// -70 LUFS, then above the mean of those less 20 LU; the 10th to the 95th
// percentile of what is left. 0 when nothing passes the gates.
double LoudnessRange(const std::vector<double>& shortTermLufs);

// Shares of the total energy (both channels, 0..1).
struct BandShares {
  double below40 = 0.0, from40to120 = 0.0, above4k = 0.0;
};
BandShares BandEnergyShares(const float* left, const float* right, size_t frames, int rate);

// Onsets: peaks of the spectral flux (rectified rise of 40 mel bands in dB,
// 10 ms hop), the flux scaled by its 99th percentile over the signal (at
// least 1 dB, so a steady sound's ripple is no onset); a peak
// is the highest within 30 ms before it, 0.07 above its mean over +-100 ms,
// at least 30 ms after the last. Seconds from the start.
std::vector<double> OnsetTimes(const float* left, const float* right, size_t frames, int rate);

// Sum of L R over the square root of sum L^2 times sum R^2: 1 for mono, 0 for
// unrelated channels, -1 for opposed ones; 0 for silence.
double StereoCorrelation(const float* left, const float* right, size_t frames);

// The novelty curve above: z[t] at 0.1 t s, t = 0 .. feature frames.
struct Novelty {
  std::vector<double> z;
};
Novelty NoveltyCurve(const float* left, const float* right, size_t frames, int rate);
// Highest z within 0.5 s of `seconds` (-99 outside the curve).
double NoveltyAt(const Novelty& n, double seconds);
struct NoveltyPeak {
  double seconds = 0.0, z = 0.0;
};
// The `count` highest local maxima, at least `spacingSeconds` apart, highest first.
std::vector<NoveltyPeak> NoveltyPeaks(const Novelty& n, size_t count, double spacingSeconds);

// Everything above from one pass over the track.
struct MusicAnalysis {
  int rate = 0;
  size_t frames = 0;
  std::vector<double> loudness;               // K-weighted mean square per 100 ms
  std::vector<std::array<double, 4>> bands;   // < 40, 40-120, > 4k Hz, total; per 100 ms
  std::vector<std::array<double, 3>> stereo;  // sum L L, R R, L R per 100 ms
  std::vector<double> onsets;                 // seconds
  Novelty novelty;
  // Log-frequency spectrum per 100 ms: kSpectrumRows rows from kSpectrumLowHz
  // up, kSpectrumRowsPerOctave a octave, dB of mean power per bin.
  std::vector<float> spectrum;
};
constexpr int kSpectrumRowsPerOctave = 24;
constexpr int kSpectrumRows = 9 * kSpectrumRowsPerOctave;
constexpr double kSpectrumLowHz = 30.0;

MusicAnalysis AnalyseMusic(const float* left, const float* right, size_t frames, int rate);

// Figures of [fromSeconds, toSeconds), rounded to 100 ms steps.
struct SpanFigures {
  double integrated = -200.0, medianShortTerm = -200.0, loudnessRange = 0.0;
  double truePeakDb = -200.0;
  BandShares bands;
  double onsetsPerSecond = 0.0, correlation = 0.0;
  double loudestShortTerm = -200.0, loudestAt = 0.0;  // the loudest 3 s and where they start
  bool hasShortTerm = false;                           // the span holds a whole 3 s block
};
SpanFigures MeasureSpan(const MusicAnalysis& a, const float* left, const float* right, double fromSeconds,
                        double toSeconds);

// Quiet passages of a span: runs of its short-term loudness (3 s blocks that
// lie in the span) at least `belowLu` under the span's median for at least
// `minSeconds`. A run of n blocks is n / 10 s long, from its first block's
// centre to one step past its last's; `below` is the run's mean depth.
struct QuietPassage {
  double from = 0.0, to = 0.0, below = 0.0;
};
std::vector<QuietPassage> QuietPassages(const MusicAnalysis& a, double fromSeconds, double toSeconds,
                                        double belowLu, double minSeconds);

}  // namespace synth
