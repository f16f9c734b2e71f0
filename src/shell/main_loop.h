// The show in its window: start-up, the music, the frame loop, shut-down.
#pragma once
#include <cstdint>

#include "shell/window.h"

union SDL_Event;
struct ShowClock;

struct ShowRunOptions {
  // Where Images/, Models/ and Music/ are; nullptr for the executable's
  // folder. Either becomes the working directory.
  const char* dataFolder = nullptr;
  // For tests of the window and its clocks: no loading sequence.
  bool skipLoading = false;
  // The player's options (the defaults are the show's own behaviour).
  WindowRequest window;
  bool scaleAuto = false;  // --scale auto: chosen once the GL is known
  int32_t startMs = 0;     // --start: every module stepped there from 0 first
  bool loop = false;       // --loop: a fresh play from 0 after the end
  bool mute = false;       // --mute: the tick clock, no sound
};

// Runs the whole show and returns its exit code: 0 on the show's own ways out
// (the end, Escape, a refused windowed fallback); 1 without a display, when
// the window or context fails, or when a data file could not be read; 2 for a
// display number out of range or sizes the GL cannot draw; 130 after Ctrl-C
// and 143 after SIGTERM.
int RunShow(const ShowRunOptions& options = ShowRunOptions());

// Acts on one SDL event (keys, resize, close). Returns true for SDL_QUIT,
// which ends the loop after the current pass (Escape sets its own flag). The loop
// hands it every event pending at the top of a pass.
bool HandleShowEvent(const SDL_Event& event, ShowClock* clock, uint32_t nowTicks);

// Home and --loop: set by the key, served at the top of the next pass.
bool RestartRequested();

// Called at the top of every loop pass with its index; for tests that drive
// the window with pushed events.
void SetShowLoopHook(void (*hook)(int pass, void* user), void* user);
