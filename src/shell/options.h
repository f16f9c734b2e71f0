// The player's command line: how the window opens, where the show starts and
// whether it loops. Read with getopt_long before any window opens.
#pragma once
#include <cstdint>
#include <cstdio>

#include "director/show_windows.h"  // kShowLengthMs

enum class ScreenMode { kFullscreen, kDesktop, kWindowed };

struct ShowOptions {
  ScreenMode screen = ScreenMode::kFullscreen;
  int32_t windowWidth = 1024, windowHeight = 768;  // --windowed=WxH
  int32_t display = -1;   // --display N; -1: wherever SDL puts the window
  int32_t vsync = -1;     // --vsync: -1 the driver's default, 0 off, 1 on
  bool mute = false;
  bool scaleGiven = false, scaleAuto = false;
  float scale = 1.0f;
  int32_t startMs = 0;    // --start SECONDS, in ms
  bool loop = false;
  const char* dataFolder = nullptr;  // --data DIR (into argv); nullptr: the search
};

// Reads argv into *o. Returns -1 when the show should run, otherwise the exit
// code: 0 after --help or --version (printed on `out`), 2 after an unknown
// option or a bad value (its message and the usage on `err`).
int ParseShowOptions(int argc, char** argv, ShowOptions* o, FILE* out = stdout,
                     FILE* err = stderr);

// The usage text, also printed by --help.
void PrintShowUsage(FILE* to);

// --scale auto: half size on a software renderer (the GL_RENDERER text names
// llvmpipe, softpipe or swrast), otherwise the picture's own pixel size in a
// drawable of that width (its fitted width / 1024), within the scale's range.
float AutoRenderScale(const char* glRenderer, int32_t drawableWidth, int32_t drawableHeight);
