// The finished track: the score rendered, brought to its loudness, limited and
// encoded, with the encoded result checked; shared by the forge and its report.
#pragma once
#include <string>

#include "synth/render.h"

namespace synth {

constexpr float kTargetLufs = -14.0f;
constexpr float kFirstCeilingDb = -3.2f;  // limiter ceiling to start from
constexpr float kMaxTruePeakDb = -1.3f;   // what the decoded file may reach
constexpr float kVorbisQuality = 0.5f;    // "quality 5"

struct TrackStats {
  double renderSeconds = 0.0, masterSeconds = 0.0, encodeSeconds = 0.0;
  float gainDb = 0.0f, ceilingDb = 0.0f;
  int encodes = 0;
  double lufs = 0.0, truePeakDb = 0.0;  // of the decoded file
};

// Renders, masters and encodes the whole track into `ogg`. The encoder adds
// peaks of its own on dense noise, so the decoded result is measured and the
// limiter's ceiling lowered until its true peak stays under kMaxTruePeakDb.
bool MakeTrack(std::string& ogg, TrackStats* stats, std::string& error);

// Makes the track and writes it to DIR/Music/quendel2b.ogg (through a temporary
// file, so a failed run never leaves a truncated track). Reports failures on
// standard error. `ogg` and `stats` may be null.
bool ForgeTrack(const std::string& dir, std::string* ogg, TrackStats* stats);

}  // namespace synth
