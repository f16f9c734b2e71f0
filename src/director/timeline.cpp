#include "director/timeline.h"

#include "shell/settings.h"

namespace {
int32_t previousTime = 0;
int32_t frameDelta = 0;
}  // namespace

void RenderFrame(int32_t t) {
  // Negative after a backward seek; the whole start position on the first frame.
  frameDelta = t - previousTime;
  previousTime = t;
  if (t >= 303500) quitRequested = 1;
}

int32_t FrameDelta() { return frameDelta; }
