// Loudness figures of a stereo track: integrated loudness after ITU-R BS.1770
// (K-weighting, 400 ms blocks, absolute and relative gates) and the true peak
// from 4x oversampling.
#pragma once
#include <cstddef>
#include <vector>

namespace synth {

// LUFS; -70 or below when the track is (nearly) silent.
double IntegratedLoudness(const float* left, const float* right, size_t frames, int rate);

// Loudness of each consecutive window of `windowSeconds` (ungated), for a
// loudness-over-time view.
std::vector<double> LoudnessOverTime(const float* left, const float* right, size_t frames, int rate,
                                     double windowSeconds);

// Mean square of the K-weighted signal (both channels summed) per 100 ms
// step; a last partial step is left out.
std::vector<double> StepPowers(const float* left, const float* right, size_t frames, int rate);

// Highest absolute value of the signal oversampled 4 times (linear).
double TruePeak(const float* left, const float* right, size_t frames);

}  // namespace synth
