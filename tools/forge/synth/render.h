// Turns a song (patches, notes, effect settings) into a stereo float mix, and
// masters that mix: gain, look-ahead limiting, fades and exact silences.
#pragma once
#include <cstdint>
#include <vector>

#include "synth/voice.h"

namespace synth {

constexpr int kBlockSize = 32;

// Samples [begin, end) are silent in the master, and every voice and effect tail
// is cut at `begin`, so nothing from before leaks into what follows.
struct Silence {
  int64_t begin = 0, end = 0;
};

struct Song {
  std::vector<Patch> patches;
  std::vector<Note> notes;  // sorted by start
  int64_t frames = 0;
  std::vector<Silence> silences;
  int64_t fadeInFrames = 0;                 // master fade from silence at the start
  int64_t fadeOutBegin = 0, fadeOutEnd = 0; // master fade to silence
  float delaySeconds = 0.3f, delayFeedback = 0.38f, delayDamp = 0.35f, delayReturn = 0.5f;
  float roomSize = 0.82f, roomDamp = 0.45f, reverbReturn = 2.5f;
  float duckRelease = 0.16f;  // seconds the side-chain takes to let go after a kick
  // Fourth-order high-pass on the master: what lies below most speakers' reach
  // only uses up the limiter's headroom.
  float highPassHz = 30.0f;
};

struct Stereo {
  std::vector<float> left, right;
};

// Renders every note block by block; the result has song.frames frames.
void RenderMix(const Song& song, Stereo& mix);

// gain (dB), the limiter at `ceiling` (linear), then the song's fades and silences.
void MasterMix(const Song& song, const Stereo& mix, float gainDb, float ceiling, Stereo& out);

}  // namespace synth
