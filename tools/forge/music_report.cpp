// marvoke-forge --music-report DIR: forges the track into DIR/Music and prints
// its figures: render and encode time, length, loudness, peaks.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "forge.h"
#include "synth/meter.h"
#include "synth/score.h"
#include "synth/track.h"
#include "synth/vorbis_writer.h"


namespace {
double Db(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -200.0; }
}  // namespace

int MusicReport(const std::string& dir) {
  auto t0 = std::chrono::steady_clock::now();
  std::clock_t cpu0 = std::clock();
  std::string bytes;
  synth::TrackStats stats;
  if (!synth::ForgeTrack(dir, &bytes, &stats)) return 1;
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  std::string path = dir + "/Music/quendel2b.ogg";

  synth::Stereo decoded;
  int rate = 0, channels = 0;
  if (!synth::DecodeVorbis(bytes, decoded, rate, channels)) {
    fprintf(stderr, "music report: can't decode %s\n", path.c_str());
    return 1;
  }
  size_t frames = decoded.left.size();
  float samplePeak = 0.0f;
  long long clipped = 0;
  for (const std::vector<float>* ch : {&decoded.left, &decoded.right})
    for (float v : *ch) {
      samplePeak = std::max(samplePeak, std::fabs(v));
      if (std::fabs(v) >= 1.0f) ++clipped;
    }
  double seconds = static_cast<double>(frames) / rate;

  printf("music: %s\n", path.c_str());
  printf("  time: %.2f s CPU, %.2f s wall (synth %.2f s, mastering %.2f s, %d encode%s with checks %.2f s)\n", cpu,
         wall, stats.renderSeconds, stats.masterSeconds, stats.encodes, stats.encodes > 1 ? "s" : "",
         stats.encodeSeconds);
  printf("  length %.3f s (%zu frames), %d Hz, %d channels, %zu bytes (%.0f kbit/s)\n", seconds, frames, rate,
         channels, bytes.size(), bytes.size() * 8.0 / seconds / 1000.0);
  printf("  master gain %+.2f dB, limiter ceiling %.2f dBFS\n", stats.gainDb, stats.ceilingDb);
  printf("  decoded: integrated %.2f LUFS, true peak %.2f dBTP, sample peak %.2f dBFS, clipped samples %lld\n",
         stats.lufs, stats.truePeakDb, Db(samplePeak), clipped);
  printf("  loudness by section (ungated LUFS):\n");
  for (const synth::Section& s : synth::Sections()) {
    size_t a = static_cast<size_t>(synth::MsToFrame(s.startMs));
    size_t b = std::min(static_cast<size_t>(synth::MsToFrame(s.endMs)), frames);
    if (a >= b) continue;
    std::vector<double> l = synth::LoudnessOverTime(decoded.left.data() + a, decoded.right.data() + a, b - a, rate,
                                                    (b - a) / static_cast<double>(rate));
    printf("    %-24s %7.1f .. %7.1f s  %6.1f\n", s.name, s.startMs / 1000.0, s.endMs / 1000.0,
           l.empty() ? -200.0 : std::max(l[0], -99.0));
  }
  printf("  loudness every 4 s (LUFS):");
  std::vector<double> over = synth::LoudnessOverTime(decoded.left.data(), decoded.right.data(), frames, rate, 4.0);
  for (size_t i = 0; i < over.size(); ++i) printf("%s%5.1f", i % 16 == 0 ? "\n   " : " ", std::max(over[i], -99.0));
  printf("\n");
  return 0;
}
