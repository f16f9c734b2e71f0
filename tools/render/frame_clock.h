// Capture timing: time is a pure function of the frame number, so a capture is
// the same however slow the machine is. Frame n of a capture starting at
// `from` is drawn at floor(from + n * 1000 / fps) whole milliseconds, with the
// frame rate kept as an exact fraction (60000/1001 never drifts).
#pragma once
#include <cstdint>
#include <string>

#include "director/show_windows.h"  // kShowLengthMs: a capture's default end

struct FrameRate {
  int64_t num = 60;  // frames per den seconds
  int64_t den = 1;
};

// "60", "60000/1001" or "29.97"; positive and at most 1000 frames per second
// (faster rates would draw several frames at the same millisecond).
bool ParseFrameRate(const std::string& text, FrameRate* rate, std::string* error);
std::string FormatFrameRate(FrameRate rate);  // "60" or "60000/1001"
double FramesPerSecond(FrameRate rate);

// floor(from + n * 1000 * den / num); exact integer arithmetic.
int32_t FrameTimeMs(int32_t fromMs, int64_t frame, FrameRate rate);

// Number of frames whose time lies in [fromMs, toMs): the smallest n with
// FrameTimeMs(fromMs, n) >= toMs. Zero when toMs <= fromMs.
int64_t FrameCount(int32_t fromMs, int32_t toMs, FrameRate rate);

// Exact length of n frames in seconds as a decimal string with microseconds,
// for the encoder's audio cut ("1.001000").
std::string FramesDurationText(int64_t frames, FrameRate rate);
