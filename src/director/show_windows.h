// The show's schedule: which module the timeline draws at a music time, with
// which mode, and where its cross-fades lie. The timeline draws by it; the
// offline renderer's statistics and curve label frames by it.
#pragma once
#include <cstdint>

// No module: the blank last second of the show and everything after it.
constexpr int32_t kNoModule = -1;

struct ShowSlot {
  int32_t module;  // a ModuleId, or kNoModule
  int32_t mode;    // 0 or 1; module E and kNoModule have 0
};

// The module and mode whose window holds musicTime (ms). Negative times fall
// in the first window; from 302500 ms nothing is drawn.
ShowSlot SelectShowSlot(int32_t musicTime);

// "A" to "E", or "-" for kNoModule and anything out of range.
const char* ModuleLetter(int32_t module);

// One module window [fromMs, toMs).
struct ShowWindow {
  int32_t fromMs, toMs;
  ShowSlot slot;
};
// The eight windows in time order, the blank one last; the count in *count.
const ShowWindow* ShowWindows(int32_t* count);

// The cross-fades [fromMs, toMs): the opening fade-in and the zoom-blurred
// cut from module D to C; the count in *count.
struct ShowFade {
  int32_t fromMs, toMs;
};
const ShowFade* ShowFades(int32_t* count);
