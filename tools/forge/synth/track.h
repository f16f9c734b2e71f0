// The finished track: the score rendered, brought to its loudness, limited and
// encoded, with the encoded result checked; shared by the forge and its report.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "synth/render.h"

namespace synth {

constexpr float kTargetLufs = -14.0f;
constexpr float kCeilingDb = -3.5f;     // the limiter's ceiling
constexpr float kMaxTruePeakDb = -1.3f;  // what the decoded file may reach
constexpr float kVorbisQuality = 0.5f;    // "quality 5"

struct TrackStats {
  double renderSeconds = 0.0, masterSeconds = 0.0, encodeSeconds = 0.0;
  float gainDb = 0.0f;
  int encodes = 0;
  int dips = 0;  // 100 ms steps of the master lowered under the encoder's overshoot
  double lufs = 0.0, truePeakDb = 0.0;  // of the decoded file
};

// Renders, masters and encodes the whole track into `ogg`. The encoder rings
// over a few transients, and where depends on the phases of every voice, so
// each 100 ms step whose decoded true peak passes kMaxTruePeakDb is lowered
// in the master by that much and the track encoded again: a lower ceiling for
// the whole track would cost its loudness range for a few spots. `rendered`,
// when given, is called once the mix is rendered: from there on the making
// runs on one thread.
bool MakeTrack(std::string& ogg, TrackStats* stats, std::string& error,
               const std::function<void()>& rendered = nullptr);

// The encoder's overshoot, 100 ms at a time. MeasureOvershoots returns the
// decoded track's true peak (linear) and sets `excess` to how far (dB) each
// step's true peak passes kMaxTruePeakDb, 0 where it does not.
// LowerOvershoots lowers the master over every step with an excess by the
// excess and kOvershootMarginDb, with 10 ms ramps either side, and returns
// how many steps it lowered.
constexpr int kOvershootStep = kSampleRate / 10;
constexpr float kOvershootMarginDb = 0.3f;
double MeasureOvershoots(const Stereo& decoded, std::vector<float>& excess);
int LowerOvershoots(const std::vector<float>& excess, Stereo& master);

// Makes the track and writes it to DIR/Music/quendel2b.ogg (through a temporary
// file, so a failed run never leaves a truncated track). Reports failures on
// standard error. `ogg` and `stats` may be null.
bool ForgeTrack(const std::string& dir, std::string* ogg, TrackStats* stats,
                const std::function<void()>& rendered = nullptr);

}  // namespace synth
