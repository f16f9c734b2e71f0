// Picture statistics of captured frames, one CSV row a frame: how dark, how
// washed out and how blue the show looks over time.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct FrameLook {
  int32_t timeMs = 0;
  int32_t module = -1;  // a ModuleId, or kNoModule
  int32_t mode = 0;
  double meanLuma = 0;      // 0.299 R + 0.587 G + 0.114 B, 0..255
  double clippedShare = 0;  // pixels with luma at or above 245, 0..1
  double darkShare = 0;     // pixels with luma at or below 12, 0..1
  double brightShare = 0;   // pixels with luma above 128, 0..1
  double brightBlueMinusRed = 0;  // mean B - R over those, 0 when there are none
};

// Measures one RGB frame (3 bytes a pixel, any row order).
FrameLook MeasureFrame(const uint8_t* rgb, int width, int height);

// The CSV: a header line, then one row a frame.
void WriteLookHeader(FILE* out);
void WriteLookRow(FILE* out, const FrameLook& look);

// Reads a CSV written by WriteLookRow; false with a one-line reason for a
// missing file, a foreign header or a malformed row.
bool ReadLookCsv(const std::string& path, std::vector<FrameLook>* rows, std::string* error);
