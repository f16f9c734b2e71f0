// The show in its window: start-up, the music, the frame loop, shut-down.
#pragma once
#include <cstdint>

union SDL_Event;
struct ShowClock;

struct ShowRunOptions {
  // Where Images/, Models/ and Music/ are; nullptr for the executable's
  // folder. Either becomes the working directory.
  const char* dataFolder = nullptr;
  // For tests of the window and its clocks: no loading sequence.
  bool skipLoading = false;
};

// Runs the whole show and returns its exit code (0 on every way out).
int RunShow(const ShowRunOptions& options = ShowRunOptions());

// The window procedure: acts on one event (keys, resize, close). Returns true
// for the quit message, which ends the loop after the current pass. The loop
// hands it every event pending at the top of a pass.
bool HandleShowEvent(const SDL_Event& event, ShowClock* clock, uint32_t nowTicks);

// Called at the top of every loop pass with its index; for tests that drive
// the window with pushed events.
void SetShowLoopHook(void (*hook)(int pass, void* user), void* user);
