// The show's track: its sections on the show's timeline, the bars they are
// made of, and the full song (patches and notes) ready for the renderer.
#pragma once
#include <cstdint>
#include <vector>

#include "synth/render.h"

namespace synth {

struct Section {
  const char* name;
  int startMs, endMs;
};

// In time order; together they cover the whole track without gaps.
const std::vector<Section>& Sections();

constexpr int kTrackMs = 304000;
constexpr int64_t kTrackFrames = static_cast<int64_t>(kTrackMs) * kSampleRate / 1000;

// One bar: where it starts, its beat length (ms) and how many beats it has.
// The last bar of a section may be longer or shorter so the next one starts
// exactly on its boundary.
struct Bar {
  double startMs = 0.0, beatMs = 400.0, beats = 4.0;
  int section = 0, index = 0;  // index within its section
};
std::vector<Bar> ScoreBars();

inline int64_t MsToFrame(double ms) { return static_cast<int64_t>(ms * (kSampleRate / 1000.0) + 0.5); }

Song BuildSong();

}  // namespace synth
