// Capture progress: a bar redrawn in place on a terminal, or one plain line
// per tenth of the work when the output is a file or a pipe.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

struct Progress {
  FILE* out = stderr;
  bool terminal = false;
  const char* label = "Rendering";
  int64_t total = 0;       // frames
  double startSeconds = 0; // wall clock at Begin
  int64_t lastDrawn = -1;  // terminal: frame of the last redraw
  double lastDrawSeconds = 0;
  int tenthsShown = 0;     // plain lines printed so far
};

double WallSeconds();  // monotonic

void BeginProgress(Progress* p, FILE* out, const char* label, int64_t totalFrames);
// After frame `done` (1-based count) finished at music time `showMs`.
void UpdateProgress(Progress* p, int64_t done, int32_t showMs);
// Ends the bar's line; `done` frames were finished.
void EndProgress(Progress* p, int64_t done, int32_t showMs);

// "[#####.....]  9105/18210 frames  show 151.7 s  42.3 fps  left 3:35"
// (the bar only when barWidth > 0; no show time when showMs < 0).
std::string FormatProgress(int64_t done, int64_t total, int32_t showMs, double elapsedSeconds,
                           int barWidth);
