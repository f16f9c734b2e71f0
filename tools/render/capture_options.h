// What the offline renderer's capture, sheet and benchmark modes do (read
// from the command line by render_options.h).
#pragma once
#include <cstdint>
#include <string>

#include "frame_clock.h"

struct CaptureOptions {
  // Outputs; --video, --png and --sheet may be combined in one pass.
  std::string videoPath;  // --video FILE
  std::string pngDir;     // --png DIR
  std::string sheetPath;  // --sheet FILE
  std::string statsPath;  // --stats FILE.csv: picture statistics of every frame
  std::string curvePath;  // --curve FILE.png: those statistics and the music's loudness over time
  std::string curveOf;    // --curve-of FILE.csv: draw the curve of a saved capture, render nothing
  bool bench = false;     // --bench
  bool json = false;      // --json (with --bench)

  int32_t fromMs = 0;            // --from MS
  int32_t toMs = kShowLengthMs;  // --to MS, exclusive
  FrameRate fps;                 // --fps, 60 by default
  int32_t prerollStepMs = 0;     // --preroll-step MS; 0: the capture's own frame rate
  bool prerollDraw = false;      // --preroll-draw: draw every pre-roll frame

  // Encoder.
  int outWidth = 0, outHeight = 0;  // --size WxH; 0: the frames' own size (--window)
  std::string codec = "libx264";         // --codec
  std::string pixFmt = "yuv420p";        // --pix-fmt
  int crf = 18;                          // --crf
  std::string preset = "veryfast";       // --preset
  std::string musicPath = "Music/quendel2b.ogg";  // --music FILE, "" with --no-audio

  int32_t sheetEveryMs = 5000;  // --sheet-every MS
  int benchFrames = 120;        // --bench-frames N: frames measured per module window
  int gpu = -1;                 // --gpu N: headless device index, -1 for the first that works

  // Segments (capture_segments.h): every --video capture, and any capture
  // given one of these.
  int jobs = 1;                  // --jobs N; 0 for --jobs auto
  double segmentSeconds = 10.0;  // --segment-seconds S
  int segmentNumber = 0;         // --segment I/N: only segment I (1-based) of N
  int segmentCount = 0;
  bool join = false;             // --join: assemble the finished segments
  bool restart = false;          // --restart: drop an earlier capture's work folder
  bool segmentsAsked = false;    // any of the five above given
};

// Whether the capture goes through a work folder of segments.
bool IsSegmentedCapture(const CaptureOptions& options);

// Whether the encoder can take a WxH picture in this pixel format (4:2:0 and
// 4:2:2 formats need even sizes); false with the reason otherwise.
bool CheckVideoSize(int width, int height, const std::string& pixFmt, std::string* error);
