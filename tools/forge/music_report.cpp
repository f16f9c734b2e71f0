// marvoke-forge --music-report DIR [--music-picture FILE.png]: forges the track
// into DIR/Music and prints its figures: render and encode time, length,
// loudness and peaks, then per window of the show and for the whole the
// measures of synth/measures.h, the novelty at each cut and its strongest
// peaks, the theme's coverage and where the loudest 3 s lie.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "director/show_windows.h"
#include "forge.h"
#include "synth/measures.h"
#include "synth/meter.h"
#include "synth/score.h"
#include "synth/theme.h"
#include "synth/track.h"
#include "synth/vorbis_writer.h"

namespace {

constexpr double kQuietBelowLu = 6.0, kQuietSeconds = 4.0;

double Db(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -200.0; }

std::string WindowName(const ShowWindow& w) {
  if (w.slot.module == kNoModule) return "end";
  std::string name = ModuleLetter(w.slot.module);
  if (name != "E") name += " mode " + std::to_string(w.slot.mode);
  return name;
}

// The window holding `ms`, by name.
std::string WindowAt(double ms) {
  int32_t count = 0;
  const ShowWindow* windows = ShowWindows(&count);
  for (int32_t i = 0; i < count; ++i)
    if (ms >= windows[i].fromMs && ms < windows[i].toMs) return WindowName(windows[i]);
  return "after the show";
}

void PrintRow(const char* name, double from, double to, const synth::SpanFigures& f) {
  char st[16] = "     -", lra[16] = "    -";
  if (f.hasShortTerm) {
    snprintf(st, sizeof st, "%6.1f", std::max(f.medianShortTerm, -99.0));
    snprintf(lra, sizeof lra, "%5.1f", f.loudnessRange);
  }
  printf("    %-12s %5.1f-%5.1f %6.1f %s %s %6.1f %5.1f %6.1f %5.1f %7.1f %5.2f\n", name, from, to,
         std::max(f.integrated, -99.0), st, lra, std::max(f.truePeakDb, -99.0), f.bands.below40 * 100.0,
         f.bands.from40to120 * 100.0, f.bands.above4k * 100.0, f.onsetsPerSecond, f.correlation);
}

}  // namespace

std::vector<int32_t> CutTimesMs() {
  int32_t count = 0;
  const ShowWindow* windows = ShowWindows(&count);
  std::vector<int32_t> cuts;
  for (int32_t i = 1; i < count; ++i)
    if (windows[i].slot.module != kNoModule) cuts.push_back(windows[i].fromMs);
  return cuts;
}

int MusicReport(const std::string& dir, const std::string& picturePath) {
  auto t0 = std::chrono::steady_clock::now();
  std::clock_t cpu0 = std::clock();
  std::string bytes;
  synth::TrackStats stats;
  if (!synth::ForgeTrack(dir, &bytes, &stats)) return 1;
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  return PrintMusicFigures(bytes, dir + "/Music/quendel2b.ogg", &stats, cpu, wall, picturePath);
}

int PrintMusicFigures(const std::string& bytes, const std::string& path, const synth::TrackStats* made,
                      double cpu, double wall, const std::string& picturePath) {
  synth::Stereo decoded;
  int rate = 0, channels = 0;
  if (!synth::DecodeVorbis(bytes, decoded, rate, channels) || rate < 100) {
    fprintf(stderr, "marvoke-forge: can't decode %s\n", path.c_str());
    return 1;
  }
  size_t frames = std::min(decoded.left.size(), decoded.right.size());
  float samplePeak = 0.0f;
  long long clipped = 0;
  for (const std::vector<float>* ch : {&decoded.left, &decoded.right})
    for (float v : *ch) {
      samplePeak = std::max(samplePeak, std::fabs(v));
      if (std::fabs(v) >= 1.0f) ++clipped;
    }
  double seconds = static_cast<double>(frames) / rate;

  printf("music: %s\n", path.c_str());
  if (made)
    printf("  time: %.2f s CPU, %.2f s wall (synth %.2f s, mastering %.2f s, %d encode%s with checks %.2f s)\n", cpu,
           wall, made->renderSeconds, made->masterSeconds, made->encodes, made->encodes > 1 ? "s" : "",
           made->encodeSeconds);
  printf("  length %.3f s (%zu frames), %d Hz, %d channels, %zu bytes (%.0f kbit/s)\n", seconds, frames, rate,
         channels, bytes.size(), bytes.size() * 8.0 / seconds / 1000.0);
  if (made)
    printf("  master gain %+.2f dB, limiter ceiling %.2f dBFS, %d step%s of 100 ms lowered under the encoder's overshoot\n",
           made->gainDb, synth::kCeilingDb, made->dips, made->dips == 1 ? "" : "s");
  const double lufs = made ? made->lufs : synth::IntegratedLoudness(decoded.left.data(), decoded.right.data(), frames, rate);
  const double truePeakDb =
      made ? made->truePeakDb : Db(synth::TruePeak(decoded.left.data(), decoded.right.data(), frames));
  printf("  decoded: integrated %.2f LUFS, true peak %.2f dBTP, sample peak %.2f dBFS, clipped samples %lld\n", lufs,
         truePeakDb, Db(samplePeak), clipped);

  auto ta = std::chrono::steady_clock::now();
  const float* l = decoded.left.data();
  const float* r = decoded.right.data();
  synth::MusicAnalysis analysis = synth::AnalyseMusic(l, r, frames, rate);
  int32_t windowCount = 0;
  const ShowWindow* windows = ShowWindows(&windowCount);
  std::vector<synth::SpanFigures> perWindow;
  for (int32_t i = 0; i < windowCount; ++i)
    perWindow.push_back(synth::MeasureSpan(analysis, l, r, windows[i].fromMs / 1000.0, windows[i].toMs / 1000.0));
  synth::SpanFigures whole = synth::MeasureSpan(analysis, l, r, 0.0, seconds);
  double analysisSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - ta).count();

  printf("  by window (LUFS integrated and median short-term, LRA in LU, true peak dBTP, energy shares %%,\n"
         "  onsets a second, stereo correlation; measured in %.2f s):\n", analysisSeconds);
  printf("    %-12s %11s %6s %6s %5s %6s %5s %6s %5s %7s %5s\n", "window", "seconds", "integ", "ST med", "LRA",
         "peak", "<40", "40-120", ">4k", "onset/s", "corr");
  double lowMedian = 1e9, highMedian = -1e9;
  for (int32_t i = 0; i < windowCount; ++i) {
    PrintRow(WindowName(windows[i]).c_str(), windows[i].fromMs / 1000.0, windows[i].toMs / 1000.0, perWindow[i]);
    if (i > 0 && perWindow[i].hasShortTerm && windows[i].slot.module != kNoModule) {
      lowMedian = std::min(lowMedian, perWindow[i].medianShortTerm);
      highMedian = std::max(highMedian, perWindow[i].medianShortTerm);
    }
  }
  PrintRow("whole track", 0.0, seconds, whole);
  if (highMedian >= lowMedian)
    printf("  median short-term after the opening: %.1f to %.1f LUFS (%.1f LU apart)\n", lowMedian, highMedian,
           highMedian - lowMedian);
  // Breakdowns as the loudness range sees them: deep and long enough to count.
  printf("  quiet passages (short-term %.0f LU or more under the window's median for %.0f s or more):",
         kQuietBelowLu, kQuietSeconds);
  double quietSeconds = 0.0;
  for (int32_t i = 0; i < windowCount; ++i) {
    if (windows[i].slot.module == kNoModule) continue;
    for (const synth::QuietPassage& q :
         synth::QuietPassages(analysis, windows[i].fromMs / 1000.0, windows[i].toMs / 1000.0, kQuietBelowLu,
                              kQuietSeconds)) {
      synth::SpanFigures f = synth::MeasureSpan(analysis, l, r, q.from, q.to);
      printf("\n    %6.1f-%5.1f s  %4.1f s, %4.1f LU under (%s), %.1f onsets a second, correlation %.2f", q.from,
             q.to, q.to - q.from, q.below, WindowName(windows[i]).c_str(), f.onsetsPerSecond, f.correlation);
      quietSeconds += q.to - q.from;
    }
  }
  printf("\n    together %.1f s\n", quietSeconds);
  if (whole.hasShortTerm)
    printf("  loudest 3 s: %.1f to %.1f s, %.1f LUFS (%s)\n", whole.loudestAt, whole.loudestAt + 3.0,
           whole.loudestShortTerm, WindowAt(whole.loudestAt * 1000.0 + 1500.0).c_str());

  printf("  novelty z at the cuts (highest within 0.5 s):");
  for (int32_t cut : CutTimesMs()) printf(" %.1f s %+.1f;", cut / 1000.0, synth::NoveltyAt(analysis.novelty, cut / 1000.0));
  printf("\n  strongest novelty peaks (4 s apart):\n");
  std::vector<int32_t> cuts = CutTimesMs();
  for (const synth::NoveltyPeak& p : synth::NoveltyPeaks(analysis.novelty, 10, 4.0)) {
    const int32_t* near = nullptr;
    for (const int32_t& c : cuts)
      if (std::fabs(p.seconds * 1000.0 - c) <= 500.0) near = &c;
    if (near)
      printf("    %6.1f s  z %+.1f  at the cut %.1f s\n", p.seconds, p.z, *near / 1000.0);
    else
      printf("    %6.1f s  z %+.1f  inside %s\n", p.seconds, p.z, WindowAt(p.seconds * 1000.0).c_str());
  }

  std::vector<synth::Bar> bars = synth::ScoreBars();
  std::vector<int> theme = synth::ThemeBars();
  double themeMs = 0.0, firstTheme = -1.0;
  size_t themeCount = 0;
  for (int b : theme) {
    if (b < 0 || size_t(b) >= bars.size()) continue;
    ++themeCount;
    themeMs += bars[size_t(b)].beatMs * bars[size_t(b)].beats;
    if (firstTheme < 0.0) firstTheme = bars[size_t(b)].startMs / 1000.0;
  }
  printf("  theme: %zu of %zu bars (%.1f %%), %.1f s", themeCount, bars.size(),
         bars.empty() ? 0.0 : 100.0 * double(themeCount) / double(bars.size()), themeMs / 1000.0);
  if (firstTheme >= 0.0) printf(", first at %.1f s", firstTheme);
  printf("%s\n", theme.empty() ? " (the score tags no theme bars)" : "");

  printf("  loudness by section (ungated LUFS):\n");
  for (const synth::Section& s : synth::Sections()) {
    size_t a = static_cast<size_t>(synth::MsToFrame(s.startMs));
    size_t b = std::min(static_cast<size_t>(synth::MsToFrame(s.endMs)), frames);
    if (a >= b) continue;
    std::vector<double> lo = synth::LoudnessOverTime(l + a, r + a, b - a, rate, (b - a) / static_cast<double>(rate));
    printf("    %-24s %7.1f .. %7.1f s  %6.1f\n", s.name, s.startMs / 1000.0, s.endMs / 1000.0,
           lo.empty() ? -200.0 : std::max(lo[0], -99.0));
  }
  printf("  loudness every 4 s (LUFS):");
  std::vector<double> over = synth::LoudnessOverTime(l, r, frames, rate, 4.0);
  for (size_t i = 0; i < over.size(); ++i) printf("%s%5.1f", i % 16 == 0 ? "\n   " : " ", std::max(over[i], -99.0));
  printf("\n");

  if (!picturePath.empty()) {
    std::string error;
    if (!WriteMusicPicture(picturePath, analysis, &error)) {
      fprintf(stderr, "marvoke-forge: %s\n", error.c_str());
      return 1;
    }
    printf("  picture: %s\n", picturePath.c_str());
  }
  return 0;
}
