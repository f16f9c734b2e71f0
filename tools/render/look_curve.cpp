#include "look_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "assets/png_write.h"
#include "director/show_windows.h"
#include "forge_text.h"
#include "synth/measures.h"
#include "synth/meter.h"
#include "synth/render.h"
#include "synth/vorbis_writer.h"

namespace {

constexpr int kWidth = 1800, kHeight = 720;
constexpr int kLeft = 80, kRight = kWidth - 30;
constexpr int kPicTop = 60, kPicBottom = 440;      // luma 255 .. 0, shares 100 % .. 0
constexpr int kMusicTop = 490, kMusicBottom = 660;  // 0 .. -60 LUFS
constexpr double kLufsFloor = -60.0;

struct Rgb8 {
  uint8_t r, g, b;
};

struct Canvas {
  std::vector<uint8_t> rgb = std::vector<uint8_t>(size_t(kWidth) * kHeight * 3, 0);
  void Blend(int x, int y, Rgb8 c, float a) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || a <= 0) return;
    uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
    a = std::min(a, 1.0f);
    p[0] = uint8_t(p[0] + (c.r - p[0]) * a + 0.5f);
    p[1] = uint8_t(p[1] + (c.g - p[1]) * a + 0.5f);
    p[2] = uint8_t(p[2] + (c.b - p[2]) * a + 0.5f);
  }
  void Fill(int x0, int y0, int x1, int y1, Rgb8 c, float a = 1) {
    for (int y = std::max(0, y0); y < std::min(kHeight, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(kWidth, x1); ++x) Blend(x, y, c, a);
  }
  // A line two pixels thick, stepped along its longer axis.
  void Line(double x0, double y0, double x1, double y1, Rgb8 c) {
    int steps = int(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
    for (int i = 0; i <= steps; ++i) {
      double f = double(i) / steps;
      int x = int(std::lround(x0 + (x1 - x0) * f)), y = int(std::lround(y0 + (y1 - y0) * f));
      Blend(x, y, c, 1);
      Blend(x, y + 1, c, 0.6f);
    }
  }
};

double X(double ms) { return kLeft + (kRight - kLeft) * std::clamp(ms / kShowLengthMs, 0.0, 1.0); }
double PicY(double share) { return kPicBottom - (kPicBottom - kPicTop) * std::clamp(share, 0.0, 1.0); }
double MusicY(double lufs) {
  double f = (std::clamp(lufs, kLufsFloor, 0.0) - kLufsFloor) / -kLufsFloor;
  return kMusicBottom - (kMusicBottom - kMusicTop) * f;
}

// Text through the forge's font; a missing font leaves the picture without words.
bool fontOk = true;
void Text(Canvas& c, const std::string& s, double cx, int baseline, int em, Rgb8 colour) {
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

}  // namespace

std::vector<double> ShortTermLoudness(const std::string& oggPath, int stepMs, std::string* error,
                                      std::vector<MusicChange>* changes) {
  std::ifstream in(oggPath, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  synth::Stereo track;
  int rate = 0, channels = 0;
  if (!in.good() && bytes.empty()) {
    *error = "can't read the music " + oggPath;
    return {};
  }
  if (!synth::DecodeVorbis(bytes, track, rate, channels) || rate <= 0 || track.left.empty()) {
    *error = "can't decode the music " + oggPath;
    return {};
  }
  const size_t frames = std::min(track.left.size(), track.right.size());
  if (changes) {
    changes->clear();
    synth::Novelty novelty = synth::NoveltyCurve(track.left.data(), track.right.data(), frames, rate);
    for (const synth::NoveltyPeak& p : synth::NoveltyPeaks(novelty, kMusicChangesMarked, 4.0))
      changes->push_back({p.seconds * 1000.0, p.z});
  }
  // The meter's 100 ms blocks once, as powers, then 3 s around each point.
  std::vector<double> blocks = synth::LoudnessOverTime(track.left.data(), track.right.data(), frames, rate, 0.1);
  std::vector<double> power(blocks.size());
  for (size_t i = 0; i < blocks.size(); ++i) power[i] = std::pow(10.0, (blocks[i] + 0.691) / 10.0);
  std::vector<double> out;
  const double seconds = double(frames) / rate;
  for (int64_t ms = 0; ms < int64_t(seconds * 1000.0); ms += stepMs) {
    int64_t centre = ms / 100, a = std::max<int64_t>(0, centre - 15);
    int64_t b = std::min<int64_t>(int64_t(power.size()), centre + 15);
    double sum = 0;
    for (int64_t i = a; i < b; ++i) sum += power[size_t(i)];
    out.push_back(b > a && sum > 0 ? -0.691 + 10.0 * std::log10(sum / double(b - a)) : kLufsFloor);
  }
  return out;
}

bool WriteLookCurve(const std::string& pngPath, const std::vector<FrameLook>& frames,
                    const std::vector<double>& loudness, int loudnessStepMs, std::string* error,
                    const std::vector<MusicChange>& changes) {
  Canvas c;
  fontOk = true;
  c.Fill(0, 0, kWidth, kHeight, {18, 18, 22});
  const Rgb8 grey{120, 120, 130}, luma{240, 240, 240}, clipped{255, 90, 60}, dark{90, 150, 255},
      music{120, 220, 120};

  // Module windows as alternating bands with their letter and mode; fades hatched.
  int32_t windowCount = 0, fadeCount = 0;
  const ShowWindow* windows = ShowWindows(&windowCount);
  const ShowFade* fades = ShowFades(&fadeCount);
  for (int32_t i = 0; i < windowCount; ++i) {
    const ShowWindow& w = windows[i];
    int x0 = int(X(w.fromMs)), x1 = int(X(w.toMs));
    Rgb8 band = i % 2 ? Rgb8{34, 34, 44} : Rgb8{26, 26, 32};
    c.Fill(x0, kPicTop, x1, kPicBottom, band);
    c.Fill(x0, kMusicTop, x1, kMusicBottom, band);
    c.Fill(x0, kPicTop - 22, x0 + 1, kMusicBottom, grey, 0.5f);
    std::string label = ModuleLetter(w.slot.module);
    if (w.slot.module >= 0 && label != "E") label += " mode " + std::to_string(w.slot.mode);
    if (w.slot.module < 0) label = "end";
    Text(c, label, (x0 + x1) * 0.5, kPicTop - 8, 13, luma);
  }
  for (int32_t i = 0; i < fadeCount; ++i) {
    int x0 = int(X(fades[i].fromMs)), x1 = std::max(int(X(fades[i].toMs)), x0 + 2);
    for (int y = kPicTop; y < kMusicBottom; ++y)
      if ((y / 3) % 2 == 0 && (y < kPicBottom || y >= kMusicTop)) c.Fill(x0, y, x1, y + 1, {230, 180, 60}, 0.7f);
  }
  // Grid: every 30 s across both panels; 25 % steps and 10 LU steps.
  for (int s = 0; s <= 300; s += 30) {
    double x = X(s * 1000.0);
    c.Fill(int(x), kPicTop, int(x) + 1, kPicBottom, grey, 0.25f);
    c.Fill(int(x), kMusicTop, int(x) + 1, kMusicBottom, grey, 0.25f);
    Text(c, std::to_string(s) + " s", x, kMusicBottom + 24, 13, grey);
  }
  for (int q = 0; q <= 4; ++q) {
    int y = int(PicY(q * 0.25));
    c.Fill(kLeft, y, kRight, y + 1, grey, 0.25f);
    Text(c, std::to_string(q * 25) + "%", kLeft - 34, y + 5, 12, grey);
  }
  for (int db = 0; db >= -60; db -= 10) {
    int y = int(MusicY(db));
    c.Fill(kLeft, y, kRight, y + 1, grey, 0.25f);
    Text(c, std::to_string(db), kLeft - 30, y + 5, 12, grey);
  }

  // Curves, joined only between frames close in time (a gap stays a gap).
  auto plot = [&](auto value, Rgb8 colour) {
    for (size_t i = 1; i < frames.size(); ++i) {
      if (frames[i].timeMs - frames[i - 1].timeMs > 2000 || frames[i].timeMs < frames[i - 1].timeMs) continue;
      c.Line(X(frames[i - 1].timeMs), PicY(value(frames[i - 1])), X(frames[i].timeMs),
             PicY(value(frames[i])), colour);
    }
    if (frames.size() == 1) c.Fill(int(X(frames[0].timeMs)), int(PicY(value(frames[0]))),
                                   int(X(frames[0].timeMs)) + 3, int(PicY(value(frames[0]))) + 3, colour);
  };
  plot([](const FrameLook& f) { return f.darkShare; }, dark);
  plot([](const FrameLook& f) { return f.clippedShare; }, clipped);
  plot([](const FrameLook& f) { return f.meanLuma / 255.0; }, luma);
  for (size_t i = 1; i < loudness.size(); ++i)
    c.Line(X(double(i - 1) * loudnessStepMs), MusicY(loudness[i - 1]), X(double(i) * loudnessStepMs),
           MusicY(loudness[i]), music);
  // The music's strongest section changes: a tick down the panel and the z above it.
  // Labels of changes close in time go on alternate rows.
  const Rgb8 change{255, 200, 90};
  std::vector<MusicChange> inTime(changes);
  std::sort(inTime.begin(), inTime.end(), [](const MusicChange& a, const MusicChange& b) { return a.ms < b.ms; });
  int lastX = -1000, row = 0;
  for (const MusicChange& m : inTime) {
    int x = int(X(m.ms));
    for (int y = kMusicTop; y < kMusicBottom; y += 4) c.Fill(x, y, x + 1, y + 2, change, 0.8f);
    row = x - lastX < 40 ? 1 - row : 0;
    lastX = x;
    char z[16];
    snprintf(z, sizeof z, "%+.1f", m.z);
    Text(c, z, x, kMusicTop + 16 + 14 * row, 11, change);
  }

  Text(c, "mean luma (0-255 as 0-100%)", 260, 28, 14, luma);
  Text(c, "pixels at or above 245", 560, 28, 14, clipped);
  Text(c, "pixels at or below 12", 820, 28, 14, dark);
  Text(c, "cross-fades", 1020, 28, 14, {230, 180, 60});
  if (!changes.empty()) Text(c, "music's strongest section changes (novelty z)", 1320, 28, 14, change);
  Text(c, loudness.empty() ? "music: no loudness (the music could not be read)"
                           : "music: short-term loudness, LUFS over 3 s",
       (kLeft + kRight) * 0.5, kMusicTop - 10, 14, music);
  if (!WritePng(pngPath.c_str(), kWidth, kHeight, c.rgb.data(), false)) {
    *error = "can't write " + pngPath;
    return false;
  }
  return true;
}
