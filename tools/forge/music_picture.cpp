// The music picture: the track's spectrum over time (log frequency), its
// short-term loudness drawn over it, the show's windows and cuts, the loudest
// 3 s, and the novelty curve in a strip below, on one time axis.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/png_write.h"
#include "director/show_windows.h"
#include "forge.h"
#include "forge_text.h"
#include "synth/measures.h"

namespace {

constexpr int kWidth = 1800, kHeight = 720;
constexpr int kLeft = 80, kRight = kWidth - 50;
constexpr int kSpecTop = 64, kSpecBottom = 544;
constexpr int kNovTop = 578, kNovBottom = 678;
constexpr double kLoudTop = -6.0, kLoudBottom = -36.0;  // LUFS across the spectrogram's height
constexpr double kZTop = 6.0, kZBottom = -2.0;
constexpr float kDynamicDb = 80.0f;

struct Rgb {
  uint8_t r, g, b;
};

struct Canvas {
  std::vector<uint8_t> rgb = std::vector<uint8_t>(size_t(kWidth) * kHeight * 3, 0);
  void Blend(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || a <= 0) return;
    uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
    a = std::min(a, 1.0f);
    p[0] = uint8_t(p[0] + (c.r - p[0]) * a + 0.5f);
    p[1] = uint8_t(p[1] + (c.g - p[1]) * a + 0.5f);
    p[2] = uint8_t(p[2] + (c.b - p[2]) * a + 0.5f);
  }
  void Fill(int x0, int y0, int x1, int y1, Rgb c, float a = 1) {
    for (int y = std::max(0, y0); y < std::min(kHeight, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(kWidth, x1); ++x) Blend(x, y, c, a);
  }
  // A line `thick` pixels high, stepped along its longer axis.
  void Line(double x0, double y0, double x1, double y1, Rgb c, int thick) {
    int steps = int(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
    for (int i = 0; i <= steps; ++i) {
      double f = double(i) / steps;
      int x = int(std::lround(x0 + (x1 - x0) * f)), y = int(std::lround(y0 + (y1 - y0) * f));
      for (int t = 0; t < thick; ++t) Blend(x, y + t - thick / 2, c, 1);
    }
  }
};

bool fontOk = true;
void Text(Canvas& c, const std::string& s, double cx, int baseline, int em, Rgb colour) {
  if (!fontOk) return;
  int w = MeasureText(s, em, em, false) + 4, h = em * 2;
  Coverage cov = MakeCoverage(w, h);
  if (!DrawText(cov, s, w * 0.5f, em + em / 2, em, em, false)) {
    fontOk = false;
    return;
  }
  int x0 = int(cx - w * 0.5), y0 = baseline - em - em / 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) c.Blend(x0 + x, y0 + y, colour, cov.a[size_t(y) * w + x]);
}

// Black through purple and orange to pale yellow.
Rgb Heat(float v) {
  static const float kStops[][3] = {{0, 0, 4}, {50, 10, 95}, {150, 35, 105}, {225, 85, 50}, {250, 175, 20},
                                    {252, 250, 170}};
  v = std::clamp(v, 0.0f, 1.0f) * 5.0f;
  int i = std::min(int(v), 4);
  float f = v - float(i);
  auto mix = [&](int k) { return uint8_t(kStops[i][k] + (kStops[i + 1][k] - kStops[i][k]) * f + 0.5f); };
  return {mix(0), mix(1), mix(2)};
}

}  // namespace

bool WriteMusicPicture(const std::string& pngPath, const synth::MusicAnalysis& a, std::string* error) {
  Canvas c;
  fontOk = true;
  c.Fill(0, 0, kWidth, kHeight, {18, 18, 22});
  const Rgb grey{130, 130, 140}, white{240, 240, 240}, loud{120, 230, 140}, cut{255, 255, 255},
      nov{250, 200, 70}, peak{255, 90, 60};
  const size_t columns = a.spectrum.size() / synth::kSpectrumRows;
  const double seconds = a.rate > 0 ? double(a.frames) / a.rate : 0.0;
  if (columns == 0 || seconds <= 0.0) {
    *error = "no music to draw in " + pngPath;
    return false;
  }
  auto X = [&](double s) { return kLeft + (kRight - kLeft) * std::clamp(s / seconds, 0.0, 1.0); };
  auto LoudY = [](double lufs) {
    return kSpecBottom - (kSpecBottom - kSpecTop) * (std::clamp(lufs, kLoudBottom, kLoudTop) - kLoudBottom) /
                             (kLoudTop - kLoudBottom);
  };
  auto ZY = [](double z) {
    return kNovBottom - (kNovBottom - kNovTop) * (std::clamp(z, kZBottom, kZTop) - kZBottom) / (kZTop - kZBottom);
  };

  // Spectrogram: each column the mean dB of the 100 ms frames it spans, each
  // row interpolated between the analysis rows, 80 dB below the loudest cell.
  float top = -200.0f;
  for (float v : a.spectrum) top = std::max(top, v);
  const double framesPerPixel = double(columns) / (kRight - kLeft);
  for (int x = kLeft; x < kRight; ++x) {
    size_t f0 = size_t(double(x - kLeft) * framesPerPixel);
    size_t f1 = std::max(f0 + 1, size_t(double(x - kLeft + 1) * framesPerPixel));
    f1 = std::min(f1, columns);
    for (int y = kSpecTop; y < kSpecBottom; ++y) {
      double row = double(kSpecBottom - 1 - y) / (kSpecBottom - kSpecTop - 1) * (synth::kSpectrumRows - 1);
      int r0 = std::min(int(row), synth::kSpectrumRows - 2);
      double fr = row - r0;
      double sum = 0.0;
      for (size_t f = f0; f < f1; ++f) {
        const float* col = &a.spectrum[f * synth::kSpectrumRows];
        sum += col[r0] + (col[r0 + 1] - col[r0]) * fr;
      }
      float db = float(sum / double(f1 - f0));
      c.Blend(x, y, Heat((db - (top - kDynamicDb)) / kDynamicDb), 1);
    }
  }
  // Frequency grid and labels.
  for (double hz : {50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0}) {
    double row = std::log2(hz / synth::kSpectrumLowHz) * synth::kSpectrumRowsPerOctave;
    int y = int(kSpecBottom - 1 - row / (synth::kSpectrumRows - 1) * (kSpecBottom - kSpecTop - 1));
    c.Fill(kLeft, y, kRight, y + 1, grey, 0.3f);
    Text(c, hz >= 1000 ? std::to_string(int(hz / 1000)) + " kHz" : std::to_string(int(hz)) + " Hz", kLeft - 36,
         y + 5, 12, grey);
  }
  for (int lufs = -6; lufs >= -36; lufs -= 5) {
    int y = int(LoudY(lufs));
    c.Fill(kRight, y, kRight + 6, y + 1, loud);
    Text(c, std::to_string(lufs), kRight + 24, y + 5, 12, loud);
  }

  // Windows: a label above each; cuts as lines through both panels.
  int32_t windowCount = 0;
  const ShowWindow* windows = ShowWindows(&windowCount);
  for (int32_t i = 0; i < windowCount; ++i) {
    const ShowWindow& w = windows[i];
    std::string label = w.slot.module < 0 ? "end" : ModuleLetter(w.slot.module);
    if (w.slot.module >= 0 && label != "E") label += " mode " + std::to_string(w.slot.mode);
    if (w.toMs - w.fromMs > 5000) Text(c, label, (X(w.fromMs / 1000.0) + X(w.toMs / 1000.0)) * 0.5, kSpecTop - 8, 13, white);
  }
  for (int32_t ms : CutTimesMs()) {
    int x = int(X(ms / 1000.0));
    for (int y = kSpecTop; y < kNovBottom; ++y)
      if ((y / 4) % 2 == 0 && (y < kSpecBottom || y >= kNovTop)) c.Blend(x, y, cut, 0.8f);
    char label[16];
    snprintf(label, sizeof label, "%.1f", ms / 1000.0);
    Text(c, label, x, kNovTop - 12, 12, cut);
  }

  // Short-term loudness over the spectrogram, with a dark edge to stay legible.
  std::vector<double> shortTerm = synth::ShortTermFromPowers(a.loudness);
  for (size_t i = 1; i < shortTerm.size(); ++i) {
    double x0 = X(double(i - 1) * 0.1 + 1.5), x1 = X(double(i) * 0.1 + 1.5);
    c.Line(x0, LoudY(shortTerm[i - 1]) + 2, x1, LoudY(shortTerm[i]) + 2, {0, 0, 0}, 2);
    c.Line(x0, LoudY(shortTerm[i - 1]), x1, LoudY(shortTerm[i]), loud, 2);
  }
  if (!shortTerm.empty()) {
    size_t best = size_t(std::max_element(shortTerm.begin(), shortTerm.end()) - shortTerm.begin());
    int x0 = int(X(best * 0.1)), x1 = std::max(int(X(best * 0.1 + 3.0)), x0 + 2);
    c.Fill(x0, kSpecTop, x1, kSpecTop + 6, peak);
    Text(c, "loudest 3 s", (x0 + x1) * 0.5, kSpecTop + 22, 12, peak);
  }

  // Novelty strip: z over time, its zero and z = 2 lines, the peaks marked.
  c.Fill(kLeft, kNovTop, kRight, kNovBottom, {28, 28, 34});
  for (double z : {0.0, 2.0, 4.0}) {
    int y = int(ZY(z));
    c.Fill(kLeft, y, kRight, y + 1, grey, z == 2.0 ? 0.6f : 0.3f);
    Text(c, (z > 0 ? "+" : "") + std::to_string(int(z)), kLeft - 20, y + 5, 12, grey);
  }
  const std::vector<double>& z = a.novelty.z;
  for (size_t i = 1; i < z.size(); ++i) c.Line(X((i - 1) * 0.1), ZY(z[i - 1]), X(i * 0.1), ZY(z[i]), nov, 2);
  for (const synth::NoveltyPeak& p : synth::NoveltyPeaks(a.novelty, 8, 4.0)) {
    int x = int(X(p.seconds)), y = int(ZY(p.z));
    for (int d = 0; d < 6; ++d) c.Fill(x - d, y - 9 + d, x + d + 1, y - 8 + d, peak);
  }

  for (int s = 0; s <= int(seconds); s += 30) {
    double x = X(s);
    c.Fill(int(x), kNovBottom, int(x) + 1, kNovBottom + 6, grey);
    Text(c, std::to_string(s) + " s", x, kNovBottom + 24, 13, grey);
  }
  Text(c, "spectrum, log frequency (80 dB range)", 300, 26, 14, white);
  Text(c, "short-term loudness, LUFS over 3 s (right axis)", 720, 26, 14, loud);
  Text(c, "cuts", 1010, 26, 14, cut);
  Text(c, "loudest 3 s", 1110, 26, 14, peak);
  Text(c, "novelty z (chroma + MFCC, 8 s kernel): strongest peaks marked", 1440, 26, 14, nov);
  if (!WritePng(pngPath.c_str(), kWidth, kHeight, c.rgb.data(), false)) {
    *error = "can't write the music picture " + pngPath;
    return false;
  }
  return true;
}
