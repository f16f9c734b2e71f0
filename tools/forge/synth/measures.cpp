#include "synth/measures.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "synth/meter.h"

namespace synth {

namespace {

constexpr double kPiD = 3.14159265358979323846;
constexpr size_t kLongSize = 8192;   // 5.4 Hz bins at 44.1 kHz: the low bands and chroma resolve
constexpr size_t kShortSize = 1024;  // onsets: 23 ms windows
constexpr int kKernelHalf = 40;      // frames a side of the 8 s checkerboard
constexpr double kKernelSigma = 20.0;

using Complex = std::complex<double>;

// Iterative radix-2 transform of one size, its twiddles and order computed once.
struct Fft {
  size_t n = 0;
  std::vector<Complex> twiddle;
  std::vector<size_t> order;
  explicit Fft(size_t size) : n(size), twiddle(size / 2), order(size) {
    for (size_t k = 0; k < n / 2; ++k) twiddle[k] = std::polar(1.0, -2.0 * kPiD * double(k) / double(n));
    int bits = 0;
    while ((size_t(1) << bits) < n) ++bits;
    for (size_t i = 0; i < n; ++i) {
      size_t r = 0;
      for (int b = 0; b < bits; ++b)
        if (i & (size_t(1) << b)) r |= size_t(1) << (bits - 1 - b);
      order[i] = r;
    }
  }
  void Run(std::vector<Complex>& x) const {
    for (size_t i = 0; i < n; ++i)
      if (order[i] > i) std::swap(x[i], x[order[i]]);
    for (size_t len = 2; len <= n; len <<= 1) {
      size_t stride = n / len;
      for (size_t s = 0; s < n; s += len)
        for (size_t k = 0; k < len / 2; ++k) {
          Complex t = twiddle[k * stride] * x[s + k + len / 2];
          x[s + k + len / 2] = x[s + k] - t;
          x[s + k] += t;
        }
    }
  }
};

std::vector<double> Hann(size_t n) {
  std::vector<double> w(n);
  for (size_t i = 0; i < n; ++i) w[i] = 0.5 - 0.5 * std::cos(2.0 * kPiD * (double(i) + 0.5) / double(n));
  return w;
}

// Power spectrum (bins 0..n/2) of the windowed frame starting at `start` (may
// lie partly outside the track): both channels in one complex transform, left
// real and right imaginary, separated by symmetry. mono: of (L + R) / 2 instead.
void FramePower(const Fft& fft, const std::vector<double>& window, const float* left, const float* right,
                size_t frames, int64_t start, bool mono, std::vector<Complex>& buf, std::vector<double>& power) {
  const size_t n = fft.n;
  for (size_t i = 0; i < n; ++i) {
    int64_t j = start + int64_t(i);
    if (j < 0 || j >= int64_t(frames)) {
      buf[i] = 0.0;
      continue;
    }
    double l = left[j], r = right[j];
    buf[i] = mono ? Complex(0.5 * (l + r) * window[i], 0.0) : Complex(l * window[i], r * window[i]);
  }
  fft.Run(buf);
  power.resize(n / 2 + 1);
  for (size_t k = 0; k <= n / 2; ++k) {
    if (mono) {
      power[k] = std::norm(buf[k]);
      continue;
    }
    Complex a = buf[k], b = std::conj(buf[(n - k) % n]);
    power[k] = 0.5 * (std::norm(a + b) + std::norm(a - b)) * 0.5;  // |XL|^2 + |XR|^2
  }
}

// Triangular mel bands (HTK scale): per band its bins and weights. A band too
// narrow to hold a bin takes the bin nearest its centre.
struct MelBand {
  std::vector<std::pair<size_t, double>> taps;
};
std::vector<MelBand> MelBank(size_t n, int rate, int count, double lowHz, double highHz) {
  auto mel = [](double f) { return 2595.0 * std::log10(1.0 + f / 700.0); };
  auto hz = [](double m) { return 700.0 * (std::pow(10.0, m / 2595.0) - 1.0); };
  std::vector<double> edge(size_t(count) + 2);
  for (size_t i = 0; i < edge.size(); ++i)
    edge[i] = hz(mel(lowHz) + (mel(highHz) - mel(lowHz)) * double(i) / double(count + 1));
  const double binHz = double(rate) / double(n);
  std::vector<MelBand> bank(static_cast<size_t>(count));
  for (int b = 0; b < count; ++b) {
    double lo = edge[size_t(b)], mid = edge[size_t(b) + 1], hi = edge[size_t(b) + 2];
    for (size_t k = size_t(lo / binHz); k <= size_t(hi / binHz) + 1 && k <= n / 2; ++k) {
      double f = double(k) * binHz;
      double w = f < mid ? (f - lo) / (mid - lo) : (hi - f) / (hi - mid);
      if (w > 0.0) bank[size_t(b)].taps.push_back({k, w});
    }
    if (bank[size_t(b)].taps.empty())
      bank[size_t(b)].taps.push_back({std::min(n / 2, size_t(std::lround(mid / binHz))), 1.0});
  }
  return bank;
}

double Dot(const double* a, const double* b, int n) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

// What the 8192-sample frames at 10 a second give; any output may be null.
struct LongOutputs {
  std::vector<std::array<double, 4>>* bands = nullptr;
  std::vector<double>* chroma = nullptr;  // 12 a frame, unit length or zero
  std::vector<double>* mfcc = nullptr;    // 13 a frame, raw
  std::vector<float>* spectrum = nullptr;
};

size_t TenthFrames(size_t frames, int rate) { return rate >= 10 ? frames / size_t(rate / 10) : 0; }

void LongFrames(const float* left, const float* right, size_t frames, int rate, const LongOutputs& out) {
  const size_t hop = size_t(rate / 10), count = TenthFrames(frames, rate);
  const Fft fft(kLongSize);
  const std::vector<double> window = Hann(kLongSize);
  const double binHz = double(rate) / double(kLongSize);
  const std::vector<MelBand> mel = MelBank(kLongSize, rate, 40, 20.0, 8000.0);
  std::vector<int> pitchClass(kLongSize / 2 + 1, -1);
  for (size_t k = 1; k <= kLongSize / 2; ++k) {
    double f = double(k) * binHz;
    if (f < 55.0 || f > 5000.0) continue;
    long p = std::lround(69.0 + 12.0 * std::log2(f / 440.0));
    pitchClass[k] = int(((p % 12) + 12) % 12);  // 0 is C
  }
  if (out.bands) out.bands->assign(count, {0.0, 0.0, 0.0, 0.0});
  if (out.chroma) out.chroma->assign(count * 12, 0.0);
  if (out.mfcc) out.mfcc->assign(count * 13, 0.0);
  if (out.spectrum) out.spectrum->assign(count * kSpectrumRows, -200.0f);
  std::vector<Complex> buf(kLongSize);
  std::vector<double> power;
  for (size_t f = 0; f < count; ++f) {
    int64_t start = int64_t(f * hop + hop / 2) - int64_t(kLongSize / 2);
    FramePower(fft, window, left, right, frames, start, false, buf, power);
    if (out.bands) {
      std::array<double, 4>& b = (*out.bands)[f];
      for (size_t k = 0; k < power.size(); ++k) {
        double hz = double(k) * binHz;
        if (hz < 40.0) b[0] += power[k];
        else if (hz < 120.0) b[1] += power[k];
        else if (hz >= 4000.0) b[2] += power[k];
        b[3] += power[k];
      }
    }
    if (out.chroma) {
      double* c = &(*out.chroma)[f * 12];
      for (size_t k = 0; k < power.size(); ++k)
        if (pitchClass[k] >= 0) c[pitchClass[k]] += power[k];
      double norm = std::sqrt(Dot(c, c, 12));
      for (int i = 0; i < 12; ++i) c[i] = norm > 1e-12 ? c[i] / norm : 0.0;
    }
    if (out.mfcc) {
      double logMel[40];
      for (size_t b = 0; b < mel.size(); ++b) {
        double e = 0.0;
        for (const auto& t : mel[b].taps) e += power[t.first] * t.second;
        logMel[b] = 10.0 * std::log10(e + 1e-10);
      }
      double* m = &(*out.mfcc)[f * 13];
      for (int c = 0; c < 13; ++c) {
        double s = 0.0;
        for (int b = 0; b < 40; ++b) s += logMel[b] * std::cos(kPiD * c * (b + 0.5) / 40.0);
        m[c] = s * std::sqrt((c == 0 ? 1.0 : 2.0) / 40.0);
      }
    }
    if (out.spectrum) {
      float* row = &(*out.spectrum)[f * kSpectrumRows];
      for (int r = 0; r < kSpectrumRows; ++r) {
        double centre = kSpectrumLowHz * std::pow(2.0, double(r) / kSpectrumRowsPerOctave);
        double lo = centre * std::pow(2.0, -0.5 / kSpectrumRowsPerOctave);
        double hi = centre * std::pow(2.0, 0.5 / kSpectrumRowsPerOctave);
        size_t a = size_t(std::ceil(lo / binHz)), b = std::min(size_t(std::ceil(hi / binHz)), power.size());
        double p = 0.0;
        if (a < b) {
          for (size_t k = a; k < b; ++k) p += power[k];
          p /= double(b - a);
        } else {  // narrower than a bin: between the two bins around its centre
          double x = centre / binHz;
          size_t k = std::min(size_t(x), power.size() - 2);
          p = power[k] + (power[k + 1] - power[k]) * (x - double(k));
        }
        row[r] = float(10.0 * std::log10(p + 1e-20));
      }
    }
  }
}

// Standardises each of `dims` coefficients over all frames.
void Standardise(std::vector<double>& v, int dims) {
  size_t n = v.size() / size_t(dims);
  if (n == 0) return;
  for (int d = 0; d < dims; ++d) {
    double mean = 0.0, sq = 0.0;
    for (size_t i = 0; i < n; ++i) mean += v[i * dims + d];
    mean /= double(n);
    for (size_t i = 0; i < n; ++i) sq += (v[i * dims + d] - mean) * (v[i * dims + d] - mean);
    double sd = std::sqrt(sq / double(n));
    for (size_t i = 0; i < n; ++i) v[i * dims + d] = sd > 1e-9 ? (v[i * dims + d] - mean) / sd : 0.0;
  }
}

Novelty NoveltyFromFeatures(const std::vector<double>& chroma, std::vector<double> mfcc) {
  const size_t n = chroma.size() / 12;
  Standardise(mfcc, 13);
  std::vector<double> mfccNorm(n);
  for (size_t i = 0; i < n; ++i) mfccNorm[i] = std::sqrt(Dot(&mfcc[i * 13], &mfcc[i * 13], 13));
  // The similarity band the kernel reaches: S(a, a + d) for 0 <= d < 2 L.
  const size_t reach = 2 * kKernelHalf;
  std::vector<double> band(n * reach, 0.0);
  for (size_t a = 0; a < n; ++a)
    for (size_t d = 0; d < reach && a + d < n; ++d) {
      size_t b = a + d;
      double c = Dot(&chroma[a * 12], &chroma[b * 12], 12);
      double m = mfccNorm[a] > 1e-9 && mfccNorm[b] > 1e-9
                     ? Dot(&mfcc[a * 13], &mfcc[b * 13], 13) / (mfccNorm[a] * mfccNorm[b])
                     : 0.0;
      band[a * reach + d] = 0.5 * (c + m);
    }
  auto similar = [&](int64_t a, int64_t b) {
    if (a > b) std::swap(a, b);
    return band[size_t(a) * reach + size_t(b - a)];
  };
  double kernel[2 * kKernelHalf][2 * kKernelHalf];
  for (int i = 0; i < 2 * kKernelHalf; ++i)
    for (int j = 0; j < 2 * kKernelHalf; ++j) {
      double x = i - kKernelHalf + 0.5, y = j - kKernelHalf + 0.5;
      double sign = (x < 0) == (y < 0) ? 1.0 : -1.0;
      kernel[i][j] = sign * std::exp(-(x * x + y * y) / (2.0 * kKernelSigma * kKernelSigma));
    }
  Novelty out;
  out.z.assign(n + 1, 0.0);
  for (size_t t = 0; t <= n; ++t) {
    double s = 0.0;
    for (int i = 0; i < 2 * kKernelHalf; ++i) {
      int64_t a = int64_t(t) + i - kKernelHalf;
      if (a < 0 || a >= int64_t(n)) continue;
      for (int j = 0; j < 2 * kKernelHalf; ++j) {
        int64_t b = int64_t(t) + j - kKernelHalf;
        if (b < 0 || b >= int64_t(n)) continue;
        s += kernel[i][j] * similar(a, b);
      }
    }
    out.z[t] = s;
  }
  double mean = 0.0, sq = 0.0;
  for (double v : out.z) mean += v;
  mean /= double(out.z.size());
  for (double v : out.z) sq += (v - mean) * (v - mean);
  double sd = std::sqrt(sq / double(out.z.size()));
  for (double& v : out.z) v = sd > 1e-12 ? (v - mean) / sd : 0.0;
  return out;
}

// Sum of a 3 s block's powers (30 steps) from each start.
std::vector<double> ShortTermFromSteps(const double* steps, size_t n) {
  std::vector<double> out;
  if (n < 30) return out;
  double sum = 0.0;
  for (size_t i = 0; i < 30; ++i) sum += steps[i];
  out.push_back(PowerToLufs(sum / 30.0));
  for (size_t i = 30; i < n; ++i) {
    sum += steps[i] - steps[i - 30];
    out.push_back(PowerToLufs(std::max(sum, 0.0) / 30.0));
  }
  return out;
}

double IntegratedFromSteps(const double* steps, size_t n) {
  std::vector<double> blocks;  // 400 ms blocks overlapping by 75 %
  for (size_t i = 0; i + 4 <= n; ++i) blocks.push_back(0.25 * (steps[i] + steps[i + 1] + steps[i + 2] + steps[i + 3]));
  auto gatedMean = [&](double gate) {
    double sum = 0.0;
    size_t count = 0;
    for (double b : blocks)
      if (PowerToLufs(b) > gate) {
        sum += b;
        ++count;
      }
    return count ? sum / double(count) : 0.0;
  };
  double absolute = gatedMean(-70.0);
  if (absolute <= 0.0) return -200.0;
  return PowerToLufs(gatedMean(PowerToLufs(absolute) - 10.0));
}

}  // namespace

double PowerToLufs(double power) { return power > 0.0 ? -0.691 + 10.0 * std::log10(power) : -200.0; }

std::vector<double> ShortTermFromPowers(const std::vector<double>& stepPowers) {
  return ShortTermFromSteps(stepPowers.data(), stepPowers.size());
}

std::vector<double> ShortTermSeries(const float* left, const float* right, size_t frames, int rate) {
  std::vector<double> steps = StepPowers(left, right, frames, rate);
  return ShortTermFromSteps(steps.data(), steps.size());
}

double LoudnessRange(const std::vector<double>& shortTerm) {
  std::vector<double> kept;
  double sum = 0.0;
  for (double l : shortTerm)
    if (l > -70.0) {
      kept.push_back(l);
      sum += std::pow(10.0, (l + 0.691) / 10.0);
    }
  if (kept.empty()) return 0.0;
  double gate = PowerToLufs(sum / double(kept.size())) - 20.0;
  std::vector<double> gated;
  for (double l : kept)
    if (l > gate) gated.push_back(l);
  if (gated.empty()) return 0.0;
  std::sort(gated.begin(), gated.end());
  auto at = [&](double q) { return gated[size_t(double(gated.size() - 1) * q + 0.5)]; };
  return at(0.95) - at(0.10);
}

BandShares BandEnergyShares(const float* left, const float* right, size_t frames, int rate) {
  std::vector<std::array<double, 4>> bands;
  LongOutputs out;
  out.bands = &bands;
  LongFrames(left, right, frames, rate, out);
  std::array<double, 4> sum{0.0, 0.0, 0.0, 0.0};
  for (const auto& b : bands)
    for (int i = 0; i < 4; ++i) sum[size_t(i)] += b[size_t(i)];
  if (sum[3] <= 0.0) return {};
  return {sum[0] / sum[3], sum[1] / sum[3], sum[2] / sum[3]};
}

std::vector<double> OnsetTimes(const float* left, const float* right, size_t frames, int rate) {
  if (rate < 100) return {};
  // Only frames whose window ends inside the track: one running past the end
  // would read the cut-off signal as a rise at every frequency.
  const size_t hop = size_t(rate / 100);
  if (frames + kShortSize / 2 < kShortSize + hop / 2 + hop) return {};
  const size_t count = (frames + kShortSize / 2 - kShortSize - hop / 2) / hop + 1;
  const Fft fft(kShortSize);
  const std::vector<double> window = Hann(kShortSize);
  const std::vector<MelBand> mel = MelBank(kShortSize, rate, 40, 30.0, std::min(16000.0, rate * 0.45));
  std::vector<double> db(count * 40);
  std::vector<Complex> buf(kShortSize);
  std::vector<double> power;
  double top = -200.0;
  for (size_t f = 0; f < count; ++f) {
    int64_t start = int64_t(f * hop + hop / 2) - int64_t(kShortSize / 2);
    FramePower(fft, window, left, right, frames, start, true, buf, power);
    for (size_t b = 0; b < 40; ++b) {
      double e = 0.0;
      for (const auto& t : mel[b].taps) e += power[t.first] * t.second;
      db[f * 40 + b] = 10.0 * std::log10(e + 1e-20);
      top = std::max(top, db[f * 40 + b]);
    }
  }
  for (double& v : db) v = std::max(v, top - 80.0);
  std::vector<double> flux(count, 0.0);
  for (size_t f = 1; f < count; ++f) {
    double s = 0.0;
    for (size_t b = 0; b < 40; ++b) s += std::max(0.0, db[f * 40 + b] - db[(f - 1) * 40 + b]);
    flux[f] = s / 40.0;
  }
  if (count < 3) return {};
  std::vector<double> sorted(flux);
  std::nth_element(sorted.begin(), sorted.begin() + ptrdiff_t(count * 99 / 100), sorted.end());
  // At least a 1 dB mean rise, so the ripple of a steady sound never scales up into peaks.
  double scale = std::max(sorted[count * 99 / 100], 1.0);
  for (double& v : flux) v = std::min(v / scale, 1.0);
  std::vector<double> onsets;
  int64_t last = -1000;
  for (size_t f = 1; f < count; ++f) {
    bool peak = true;
    for (size_t k = f >= 3 ? f - 3 : 0; k < f && peak; ++k) peak = flux[k] <= flux[f];
    if (!peak || (f + 1 < count && flux[f + 1] > flux[f])) continue;
    size_t a = f >= 10 ? f - 10 : 0, b = std::min(count, f + 11);
    double mean = 0.0;
    for (size_t k = a; k < b; ++k) mean += flux[k];
    mean /= double(b - a);
    if (flux[f] < mean + 0.07 || int64_t(f) - last < 3) continue;
    onsets.push_back((double(f * hop) + hop * 0.5) / rate);
    last = int64_t(f);
  }
  return onsets;
}

double StereoCorrelation(const float* left, const float* right, size_t frames) {
  double ll = 0.0, rr = 0.0, lr = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    ll += double(left[i]) * left[i];
    rr += double(right[i]) * right[i];
    lr += double(left[i]) * right[i];
  }
  return ll > 0.0 && rr > 0.0 ? lr / std::sqrt(ll * rr) : 0.0;
}

Novelty NoveltyCurve(const float* left, const float* right, size_t frames, int rate) {
  std::vector<double> chroma, mfcc;
  LongOutputs out;
  out.chroma = &chroma;
  out.mfcc = &mfcc;
  LongFrames(left, right, frames, rate, out);
  return NoveltyFromFeatures(chroma, std::move(mfcc));
}

double NoveltyAt(const Novelty& n, double seconds) {
  double best = -99.0;
  for (int64_t t = int64_t(std::ceil((seconds - 0.5) * 10.0 - 1e-9));
       t <= int64_t(std::floor((seconds + 0.5) * 10.0 + 1e-9)); ++t)
    if (t >= 0 && t < int64_t(n.z.size())) best = std::max(best, n.z[size_t(t)]);
  return best;
}

std::vector<NoveltyPeak> NoveltyPeaks(const Novelty& n, size_t count, double spacingSeconds) {
  std::vector<NoveltyPeak> candidates, out;
  for (size_t t = 0; t < n.z.size(); ++t) {
    bool up = t == 0 || n.z[t] >= n.z[t - 1];
    bool down = t + 1 == n.z.size() || n.z[t] > n.z[t + 1];
    if (up && down) candidates.push_back({double(t) * 0.1, n.z[t]});
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const NoveltyPeak& a, const NoveltyPeak& b) { return a.z > b.z; });
  for (const NoveltyPeak& c : candidates) {
    if (out.size() == count) break;
    bool apart = true;
    for (const NoveltyPeak& o : out) apart = apart && std::fabs(o.seconds - c.seconds) >= spacingSeconds;
    if (apart) out.push_back(c);
  }
  return out;
}

MusicAnalysis AnalyseMusic(const float* left, const float* right, size_t frames, int rate) {
  MusicAnalysis a;
  a.rate = rate;
  a.frames = frames;
  a.loudness = StepPowers(left, right, frames, rate);
  std::vector<double> chroma, mfcc;
  LongOutputs out;
  out.bands = &a.bands;
  out.chroma = &chroma;
  out.mfcc = &mfcc;
  out.spectrum = &a.spectrum;
  LongFrames(left, right, frames, rate, out);
  a.novelty = NoveltyFromFeatures(chroma, std::move(mfcc));
  a.onsets = OnsetTimes(left, right, frames, rate);
  const size_t hop = rate >= 10 ? size_t(rate / 10) : 1, steps = TenthFrames(frames, rate);
  a.stereo.assign(steps, {0.0, 0.0, 0.0});
  for (size_t s = 0; s < steps; ++s)
    for (size_t i = s * hop; i < (s + 1) * hop; ++i) {
      a.stereo[s][0] += double(left[i]) * left[i];
      a.stereo[s][1] += double(right[i]) * right[i];
      a.stereo[s][2] += double(left[i]) * right[i];
    }
  return a;
}

namespace {

// The 100 ms steps [s0, s1) of a span, rounded to steps and clipped to the analysis.
void SpanSteps(const MusicAnalysis& a, double fromSeconds, double toSeconds, size_t& s0, size_t& s1) {
  const size_t steps = a.loudness.size();
  s0 = std::min(steps, size_t(std::max(0.0, std::round(fromSeconds * 10.0))));
  s1 = std::min(steps, size_t(std::max(0.0, std::round(toSeconds * 10.0))));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t m = values.size();
  return m % 2 ? values[m / 2] : 0.5 * (values[m / 2 - 1] + values[m / 2]);
}

}  // namespace

std::vector<QuietPassage> QuietPassages(const MusicAnalysis& a, double fromSeconds, double toSeconds,
                                        double belowLu, double minSeconds) {
  std::vector<QuietPassage> passages;
  size_t s0 = 0, s1 = 0;
  SpanSteps(a, fromSeconds, toSeconds, s0, s1);
  if (s1 <= s0) return passages;
  std::vector<double> shortTerm = ShortTermFromSteps(a.loudness.data() + s0, s1 - s0);
  if (shortTerm.empty()) return passages;
  const double median = Median(shortTerm);
  for (size_t k = 0; k < shortTerm.size();) {
    if (shortTerm[k] > median - belowLu) {
      ++k;
      continue;
    }
    size_t end = k;
    double sum = 0.0;
    while (end < shortTerm.size() && shortTerm[end] <= median - belowLu) sum += shortTerm[end++];
    QuietPassage q;
    q.from = double(s0 + k) * 0.1 + 1.5;  // block centres: a run of n blocks is n / 10 s long
    q.to = double(s0 + end) * 0.1 + 1.5;
    q.below = median - sum / double(end - k);
    if (q.to - q.from >= minSeconds - 1e-9) passages.push_back(q);
    k = end;
  }
  return passages;
}

SpanFigures MeasureSpan(const MusicAnalysis& a, const float* left, const float* right, double fromSeconds,
                        double toSeconds) {
  SpanFigures f;
  size_t s0 = 0, s1 = 0;
  SpanSteps(a, fromSeconds, toSeconds, s0, s1);
  if (s1 <= s0) return f;
  f.integrated = IntegratedFromSteps(a.loudness.data() + s0, s1 - s0);
  std::vector<double> shortTerm = ShortTermFromSteps(a.loudness.data() + s0, s1 - s0);
  if (!shortTerm.empty()) {
    f.hasShortTerm = true;
    f.medianShortTerm = Median(shortTerm);
    f.loudnessRange = LoudnessRange(shortTerm);
    size_t loudest = size_t(std::max_element(shortTerm.begin(), shortTerm.end()) - shortTerm.begin());
    f.loudestShortTerm = shortTerm[loudest];
    f.loudestAt = double(s0 + loudest) * 0.1;
  }
  const size_t hop = size_t(a.rate / 10);
  double peak = TruePeak(left + s0 * hop, right + s0 * hop, (s1 - s0) * hop);
  f.truePeakDb = peak > 0.0 ? 20.0 * std::log10(peak) : -200.0;
  std::array<double, 4> band{0.0, 0.0, 0.0, 0.0};
  std::array<double, 3> st{0.0, 0.0, 0.0};
  for (size_t s = s0; s < s1; ++s) {
    for (int i = 0; i < 4; ++i) band[size_t(i)] += s < a.bands.size() ? a.bands[s][size_t(i)] : 0.0;
    for (int i = 0; i < 3; ++i) st[size_t(i)] += s < a.stereo.size() ? a.stereo[s][size_t(i)] : 0.0;
  }
  if (band[3] > 0.0) f.bands = {band[0] / band[3], band[1] / band[3], band[2] / band[3]};
  f.correlation = st[0] > 0.0 && st[1] > 0.0 ? st[2] / std::sqrt(st[0] * st[1]) : 0.0;
  const double from = double(s0) * 0.1, to = double(s1) * 0.1;
  size_t onsets = size_t(std::count_if(a.onsets.begin(), a.onsets.end(),
                                       [&](double t) { return t >= from && t < to; }));
  f.onsetsPerSecond = double(onsets) / (to - from);
  return f;
}

}  // namespace synth
