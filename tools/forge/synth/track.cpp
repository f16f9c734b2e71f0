#include "synth/track.h"

#include <chrono>

#include "synth/meter.h"
#include "synth/score.h"

namespace synth {

namespace {
double Since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
}  // namespace

void RenderTrack(Stereo& out, TrackStats* stats) {
  auto t0 = std::chrono::steady_clock::now();
  Song song = BuildSong();
  Stereo mix;
  RenderMix(song, mix);
  auto t1 = std::chrono::steady_clock::now();

  // The limiter takes a little off the top, so aim, measure and correct once more.
  const float ceiling = DbToGain(kCeilingDb);
  float gain = kTargetLufs - static_cast<float>(IntegratedLoudness(mix.left.data(), mix.right.data(),
                                                                   mix.left.size(), kSampleRate));
  for (int pass = 0; pass < 3; ++pass) {
    MasterMix(song, mix, gain, ceiling, out);
    double lufs = IntegratedLoudness(out.left.data(), out.right.data(), out.left.size(), kSampleRate);
    float miss = kTargetLufs - static_cast<float>(lufs);
    if (std::fabs(miss) < 0.05f) break;
    gain += miss;
    if (pass == 2) MasterMix(song, mix, gain, ceiling, out);
  }
  if (stats) {
    stats->renderSeconds = std::chrono::duration<double>(t1 - t0).count();
    stats->masterSeconds = Since(t1);
    stats->gainDb = gain;
  }
}

}  // namespace synth
