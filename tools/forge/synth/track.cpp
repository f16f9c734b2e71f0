#include "synth/track.h"

#include <chrono>
#include <cmath>
#include <cstdio>

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

bool MakeTrack(std::string& ogg, TrackStats* stats, std::string& error) {
  TrackStats local;
  TrackStats& st = stats ? *stats : local;
  auto t0 = Clock::now();
  Song song;
  if (!BuildSong(song, error)) return false;
  Stereo mix;
  RenderMix(song, mix);
  st.renderSeconds = Since(t0);

  float ceilingDb = kFirstCeilingDb;
  float gainDb = kTargetLufs - static_cast<float>(Loudness(mix));
  Stereo master, decoded;
  for (int attempt = 0; attempt < 4; ++attempt) {
    auto t1 = Clock::now();
    MasterToTarget(song, mix, ceilingDb, gainDb, master);
    st.masterSeconds += Since(t1);
    auto t2 = Clock::now();
    if (!EncodeVorbis(master, kSampleRate, kVorbisQuality, ogg, error)) return false;
    ++st.encodes;
    int rate = 0, channels = 0;
    if (!DecodeVorbis(ogg, decoded, rate, channels)) {
      error = "the encoded track does not decode";
      return false;
    }
    st.encodeSeconds += Since(t2);
    double peak = TruePeak(decoded.left.data(), decoded.right.data(), decoded.left.size());
    st.truePeakDb = 20.0 * std::log10(std::max(peak, 1e-10));
    st.lufs = Loudness(decoded);
    st.gainDb = gainDb;
    st.ceilingDb = ceilingDb;
    if (st.truePeakDb <= kMaxTruePeakDb) return true;
    ceilingDb -= static_cast<float>(st.truePeakDb - kMaxTruePeakDb) + 0.1f;
  }
  error = "the true peak stays above the limit";
  return false;
}

bool ForgeTrack(const std::string& dir, std::string* ogg, TrackStats* stats) {
  std::string bytes, error;
  if (!MakeTrack(bytes, stats, error)) {
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
