// The finished track: the score rendered, brought to its loudness and limited,
// then encoded; shared by the forge and its report.
#pragma once
#include <string>

#include "synth/render.h"

namespace synth {

constexpr float kTargetLufs = -14.0f;
constexpr float kCeilingDb = -1.8f;      // sample ceiling of the limiter
constexpr float kVorbisQuality = 0.5f;   // "quality 5"

struct TrackStats {
  double renderSeconds = 0.0, masterSeconds = 0.0;
  float gainDb = 0.0f;
};

// Renders and masters the whole track into `out`.
void RenderTrack(Stereo& out, TrackStats* stats = nullptr);

}  // namespace synth
