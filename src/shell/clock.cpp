#include "shell/clock.h"

#include <time.h>

namespace {
bool HasStream(const ShowClock* c) { return c->source.stream != nullptr; }
}  // namespace

uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint32_t(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}

void StartClock(ShowClock* c, uint32_t now, int32_t startTime) {
  c->tickBase = now - uint32_t(startTime);
  c->lastTickTime = now - c->tickBase;
}

int32_t ReadClock(ShowClock* c, uint32_t now, int32_t startTime) {
  if (HasStream(c)) {
    void* s = c->source.stream;
    if (c->seekToStartPending) {
      c->source.setTime(s, startTime);
      c->seekToStartPending = false;
    }
    if (c->paused) {
      c->source.setTime(s, c->pausePosition);
      if (c->source.sleep) c->source.sleep(250);
    }
    return c->source.getTime(s);
  }
  // Paused: move the base along so now - base stays at the held time.
  if (c->paused) c->tickBase = now - c->lastTickTime;
  int32_t t = int32_t(now - c->tickBase);
  c->lastTickTime = uint32_t(t);
  return t;
}

void SeekClock(ShowClock* c, uint32_t now, int32_t deltaMs) {
  if (HasStream(c)) {
    void* s = c->source.stream;
    int32_t t = c->source.getTime(s);
    int32_t target = t + deltaMs;
    if (deltaMs < 0 && target < 0) target = 0;
    c->source.setTime(s, target);
    return;
  }
  if (deltaMs < 0) {
    uint32_t step = uint32_t(-deltaMs);
    if (now - c->tickBase > step) c->tickBase += step;
  } else {
    c->tickBase -= uint32_t(deltaMs);
  }
}

void TogglePause(ShowClock* c) {
  c->paused = !c->paused;
  if (c->paused && HasStream(c)) c->pausePosition = c->source.getTime(c->source.stream);
}
