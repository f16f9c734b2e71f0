#include "synth/track.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "synth/meter.h"
#include "synth/score.h"
#include "synth/vorbis_writer.h"

namespace synth {

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double Loudness(const Stereo& s) {
  return IntegratedLoudness(s.left.data(), s.right.data(), s.left.size(), kSampleRate);
}

// Masters at `ceilingDb`, correcting the gain until the loudness is on target
// (the limiter takes a little off the top, more as the ceiling drops).
void MasterToTarget(const Song& song, const Stereo& mix, float ceilingDb, float& gainDb, Stereo& out) {
  for (int pass = 0; pass < 4; ++pass) {
    MasterMix(song, mix, gainDb, DbToGain(ceilingDb), out);
    float miss = kTargetLufs - static_cast<float>(Loudness(out));
    if (std::fabs(miss) < 0.05f) return;
    gainDb += miss;
  }
  MasterMix(song, mix, gainDb, DbToGain(ceilingDb), out);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".part";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temp.c_str());
  return ok;
}

}  // namespace

double MeasureOvershoots(const Stereo& decoded, std::vector<float>& excess) {
  const int64_t frames = static_cast<int64_t>(decoded.left.size()), reach = 8;  // the interpolator's taps
  excess.assign(static_cast<size_t>((frames + kOvershootStep - 1) / kOvershootStep), 0.0f);
  double trackPeak = 0.0;
  for (size_t step = 0; step < excess.size(); ++step) {
    int64_t a = std::max<int64_t>(int64_t(step) * kOvershootStep - reach, 0);
    int64_t b = std::min(int64_t(step + 1) * kOvershootStep + reach, frames);
    double peak = TruePeak(decoded.left.data() + a, decoded.right.data() + a, static_cast<size_t>(b - a));
    trackPeak = std::max(trackPeak, peak);
    double overDb = 20.0 * std::log10(std::max(peak, 1e-10)) - kMaxTruePeakDb;
    if (overDb > 0.0) excess[step] = static_cast<float>(overDb);
  }
  return trackPeak;
}

int LowerOvershoots(const std::vector<float>& excess, Stereo& master) {
  const int64_t frames = static_cast<int64_t>(master.left.size()), ramp = kSampleRate / 100;
  std::vector<float> gain;
  int dips = 0;
  for (size_t step = 0; step < excess.size(); ++step) {
    if (excess[step] <= 0.0f) continue;
    if (gain.empty()) gain.assign(static_cast<size_t>(frames), 1.0f);
    const float g = DbToGain(-excess[step] - kOvershootMarginDb);
    const int64_t from = static_cast<int64_t>(step) * kOvershootStep, to = std::min(from + kOvershootStep, frames);
    for (int64_t i = std::max<int64_t>(from - ramp, 0); i < std::min(to + ramp, frames); ++i) {
      float edge = i < from ? float(from - i) / ramp : i >= to ? float(i - to + 1) / ramp : 0.0f;
      gain[size_t(i)] = std::min(gain[size_t(i)], g + (1.0f - g) * edge);
    }
    ++dips;
  }
  for (size_t i = 0; i < gain.size(); ++i) {
    master.left[i] *= gain[i];
    master.right[i] *= gain[i];
  }
  return dips;
}

bool MakeTrack(std::string& ogg, TrackStats* stats, std::string& error, const std::function<void()>& rendered) {
  TrackStats local;
  TrackStats& st = stats ? *stats : local;
  auto t0 = Clock::now();
  Song song;
  if (!BuildSong(song, error)) return false;
  Stereo mix;
  RenderMix(song, mix);
  st.renderSeconds = Since(t0);
  if (rendered) rendered();

  auto t1 = Clock::now();
  float gainDb = kTargetLufs - static_cast<float>(Loudness(mix));
  Stereo master, decoded;
  MasterToTarget(song, mix, kCeilingDb, gainDb, master);
  st.gainDb = gainDb;
  st.masterSeconds = Since(t1);
  std::vector<float> excess;
  for (int attempt = 0; attempt < 4; ++attempt) {
    auto t2 = Clock::now();
    if (!EncodeVorbis(master, kSampleRate, kVorbisQuality, ogg, error)) return false;
    ++st.encodes;
    int rate = 0, channels = 0;
    if (!DecodeVorbis(ogg, decoded, rate, channels)) {
      error = "the encoded track does not decode";
      return false;
    }
    double peak = MeasureOvershoots(decoded, excess);
    st.truePeakDb = 20.0 * std::log10(std::max(peak, 1e-10));
    st.lufs = Loudness(decoded);
    if (st.truePeakDb > kMaxTruePeakDb) st.dips += LowerOvershoots(excess, master);
    st.encodeSeconds += Since(t2);
    if (st.truePeakDb <= kMaxTruePeakDb) return true;
  }
  error = "the true peak stays above the limit";
  return false;
}

bool ForgeTrack(const std::string& dir, std::string* ogg, TrackStats* stats,
                const std::function<void()>& rendered) {
  std::string bytes, error;
  if (!MakeTrack(bytes, stats, error, rendered)) {
    std::fprintf(stderr, "marvoke-forge: can't make the music: %s\n", error.c_str());
    return false;
  }
  std::string path = dir + "/Music/quendel2b.ogg";
  if (!WriteFile(path, bytes)) {
    std::fprintf(stderr, "marvoke-forge: can't write %s\n", path.c_str());
    return false;
  }
  if (ogg) *ogg = std::move(bytes);
  return true;
}

}  // namespace synth
