// The show's clock: the music stream's position when sound plays, the tick
// counter otherwise, with the seek and pause requests of the keys. Plain data
// and free functions; the stream is reached through three hooks so the rules
// can be exercised without audio.
#pragma once
#include <cstdint>

// Milliseconds since the machine started, wrapping at 2^32 like any 32-bit
// tick counter; the clock rules compare these unsigned.
uint32_t TickCount();

struct ClockStream {
  void* stream = nullptr;  // nullptr: the tick clock runs the show
  int32_t (*getTime)(void* stream) = nullptr;
  void (*setTime)(void* stream, int32_t ms) = nullptr;
  void (*sleep)(uint32_t ms) = nullptr;  // the pause's 250 ms wait
};

struct ShowClock {
  ClockStream source;
  uint32_t tickBase = 0;      // tick clock: music time = now - tickBase
  uint32_t lastTickTime = 0;  // tick clock: music time of the previous pass
  bool seekToStartPending = true;
  bool paused = false;
  int32_t pausePosition = 0;  // stream time when the pause began
};

// After loading: the tick clock starts at startTime whatever loading took.
void StartClock(ShowClock* clock, uint32_t now, int32_t startTime);

// Once per loop pass: the music time of this frame. With the stream, serves a
// pending seek to startTime and, while paused, jumps back to the pause position
// and waits 250 ms, so the picture shows ~250 ms after it and the sound loops.
int32_t ReadClock(ShowClock* clock, uint32_t now, int32_t startTime);

// Seek requests (keys): deltaMs is -1000, +1000, -3000 or +3000. With the
// stream, backward seeks clamp at 0; on the tick clock they are ignored while
// the clock reads no more than the step.
void SeekClock(ShowClock* clock, uint32_t now, int32_t deltaMs);
void TogglePause(ShowClock* clock);
