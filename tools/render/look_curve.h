// One picture of the whole show over time: the frames' mean luma and their
// clipped and dark shares above, the music's short-term loudness below, with
// the module windows and cross-fades marked on the shared time axis.
#pragma once
#include <string>
#include <vector>

#include "look_stats.h"

// A section change in the music: the novelty measure of the forge's music
// report (synth/measures.h) at one of its strongest peaks.
struct MusicChange {
  double ms = 0.0, z = 0.0;
};
constexpr int kMusicChangesMarked = 8;  // at least 4 s apart, the highest first

// Short-term loudness (LUFS over 3 s around each point) of an Ogg Vorbis file
// every stepMs from 0; empty with a reason when the file can't be decoded.
// With `changes`, also the music's strongest section changes.
std::vector<double> ShortTermLoudness(const std::string& oggPath, int stepMs, std::string* error,
                                      std::vector<MusicChange>* changes = nullptr);

// Draws the curve as a PNG. loudness: every loudnessStepMs from 0, may be
// empty (the music panel then says so); `changes` are marked on the music
// panel. False with a reason on failure.
bool WriteLookCurve(const std::string& pngPath, const std::vector<FrameLook>& frames,
                    const std::vector<double>& loudness, int loudnessStepMs, std::string* error,
                    const std::vector<MusicChange>& changes = {});
