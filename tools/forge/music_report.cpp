// marvoke-forge --music-report DIR: forges the track into DIR/Music and prints
// its figures: render and encode time, length, loudness, peaks.
#include <vorbis/vorbisfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "forge.h"
#include "synth/meter.h"
#include "synth/score.h"
#include "synth/track.h"
#include "synth/vorbis_writer.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Db(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -200.0; }

bool Decode(const std::string& path, synth::Stereo& out, int& rate, int& channels) {
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) return false;
  vorbis_info* vi = ov_info(&vf, -1);
  rate = static_cast<int>(vi->rate);
  channels = vi->channels;
  out.left.clear();
  out.right.clear();
  int section = 0;
  for (;;) {
    float** pcm;
    long n = ov_read_float(&vf, &pcm, 4096, &section);
    if (n <= 0) break;
    out.left.insert(out.left.end(), pcm[0], pcm[0] + n);
    out.right.insert(out.right.end(), pcm[channels > 1 ? 1 : 0], pcm[channels > 1 ? 1 : 0] + n);
  }
  ov_clear(&vf);
  return true;
}

}  // namespace

int MusicReport(const std::string& dir) {
  auto t0 = std::chrono::steady_clock::now();
  synth::Stereo track;
  synth::TrackStats stats;
  synth::RenderTrack(track, &stats);
  double renderTotal = Seconds(t0);
  auto t1 = std::chrono::steady_clock::now();
  std::string bytes, error;
  if (!synth::EncodeVorbis(track, synth::kSampleRate, synth::kVorbisQuality, bytes, error)) {
    fprintf(stderr, "music report: encoding failed: %s\n", error.c_str());
    return 1;
  }
  double encodeSeconds = Seconds(t1);
  std::string path = dir + "/Music/quendel2b.ogg";
  FILE* f = fopen(path.c_str(), "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    fprintf(stderr, "music report: can't write %s\n", path.c_str());
    if (f) fclose(f);
    return 1;
  }
  fclose(f);

  synth::Stereo decoded;
  int rate = 0, channels = 0;
  if (!Decode(path, decoded, rate, channels)) {
    fprintf(stderr, "music report: can't decode %s\n", path.c_str());
    return 1;
  }
  size_t frames = decoded.left.size();
  double lufs = synth::IntegratedLoudness(decoded.left.data(), decoded.right.data(), frames, rate);
  double truePeak = synth::TruePeak(decoded.left.data(), decoded.right.data(), frames);
  float samplePeak = 0.0f;
  long long clipped = 0;
  for (const std::vector<float>* ch : {&decoded.left, &decoded.right})
    for (float v : *ch) {
      samplePeak = std::max(samplePeak, std::fabs(v));
      if (std::fabs(v) >= 1.0f) ++clipped;
    }
  double seconds = static_cast<double>(frames) / rate;

  printf("music: %s\n", path.c_str());
  printf("  render %.2f s (synth %.2f s, master %.2f s), encode %.2f s, total %.2f s\n", renderTotal,
         stats.renderSeconds, stats.masterSeconds, encodeSeconds, renderTotal + encodeSeconds);
  printf("  length %.3f s (%zu frames), %d Hz, %d channels, %zu bytes (%.0f kbit/s)\n", seconds, frames, rate,
         channels, bytes.size(), bytes.size() * 8.0 / seconds / 1000.0);
  printf("  master gain %+.2f dB; decoded: integrated %.2f LUFS, true peak %.2f dBTP, sample peak %.2f dBFS, "
         "clipped samples %lld\n",
         stats.gainDb, lufs, Db(truePeak), Db(samplePeak), clipped);
  printf("  loudness by section (ungated LUFS):\n");
  for (const synth::Section& s : synth::Sections()) {
    size_t a = static_cast<size_t>(synth::MsToFrame(s.startMs)), b = static_cast<size_t>(synth::MsToFrame(s.endMs));
    b = std::min(b, frames);
    if (a >= b) continue;
    std::vector<double> l = synth::LoudnessOverTime(decoded.left.data() + a, decoded.right.data() + a, b - a, rate,
                                                    (b - a) / static_cast<double>(rate));
    printf("    %-24s %7.1f .. %7.1f s  %6.1f\n", s.name, s.startMs / 1000.0, s.endMs / 1000.0,
           l.empty() ? -200.0 : l[0]);
  }
  printf("  loudness every 4 s:");
  std::vector<double> over = synth::LoudnessOverTime(decoded.left.data(), decoded.right.data(), frames, rate, 4.0);
  for (size_t i = 0; i < over.size(); ++i) printf("%s%5.1f", i % 16 == 0 ? "\n   " : " ", std::max(over[i], -99.0));
  printf("\n");
  return 0;
}
