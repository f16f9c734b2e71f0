// marvoke-render's command line: one getopt_long table for every mode.
//
// The modes follow from the options given:
//   frames   --at T1,T2,... --png DIR, --loading-png DIR, --bench-effects, or
//            none of them (the start-up and loading alone)
//   capture  --video, --png DIR without --at, --sheet, --stats, --curve,
//            --curve-of or --bench (the fields of CaptureOptions)
// --scale, --window, --frame, --fps, --gpu, --data and --lines hold in both.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capture_options.h"

enum class RenderMode { kFrames, kCapture };

// A named output frame: the window and the scale that fill its height with
// the 4:3 picture (the render area is 1024 x 512 at scale 1, shown 4:3).
struct FramePreset {
  const char* name;  // "1080p"
  int width, height;
  float scale;       // height / 768
};
const std::vector<FramePreset>& FramePresets();

struct RenderCommand {
  RenderMode mode = RenderMode::kFrames;

  // The context and the frame every mode draws into.
  float scale = 1.0f;                      // --scale S
  int windowWidth = 1024, windowHeight = 768;  // --window WxH, or --frame's
  std::string dataDir;                     // --data DIR: the only folder data is read from
  bool lines = false;                      // --lines: the Time/Fps line of every frame

  // Frames mode.
  std::vector<int32_t> atTimes;  // --at, ascending and unique
  std::string loadingPngDir;     // --loading-png DIR
  bool benchEffects = false;     // --bench-effects

  // Capture mode; fps and gpu hold in both modes. --png DIR without --at is
  // capture.pngDir, with --at the single frames' folder.
  CaptureOptions capture;

  // The options as given, less --jobs, --restart, --join and --segment: a
  // segment's process gets these and its own --segment I/N.
  std::vector<std::string> segmentArgs;
};

// Parses argv[1..] (--help and --version are looked for by the caller
// first). False with a one-line reason; paths are kept as given.
bool ParseRenderCommand(int argc, char** argv, RenderCommand* command, std::string* error);

// The whole --help text, every line within 80 columns.
const char* RenderUsage();

// The name a --png frame at music time t is written under: frame_TTTTTT.png
// in both modes, so a folder of frames sorts by time and names each frame's moment.
std::string PngFrameName(int32_t musicTimeMs);
