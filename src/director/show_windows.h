// The show's schedule: which module the timeline draws at a music time, with
// which mode, and where its cross-fades lie. The timeline draws by it; the
// offline renderer's statistics and curve label frames by it.
#pragma once
#include <cstdint>

// The show's length: the player quits and a capture ends here.
constexpr int32_t kShowLengthMs = 303500;

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

// How a fade treats the frame the module drew.
enum ShowFadeKind : int32_t {
  kFadeFromBlack,  // darkened by 1 - c
  kFadeZoom,       // zoom-blurred by 0.3 c, then darkened by 1 - c
};
enum ShowFadeCurve : int32_t { kEaseIn, kEaseOut };

// A cross-fade, drawn over the module's frame for music times in
// [fromMs, toMs). Its weight c runs along `curve` from envelopeStartMs to
// toMs; the envelope may start before the fade draws (the zoom into module C
// starts one millisecond after its envelope).
struct ShowFade {
  int32_t fromMs, toMs;
  int32_t envelopeStartMs;
  ShowFadeKind kind;
  ShowFadeCurve curve;
};
// The opening fade-in and the zoom-blurred cut from module D to C, in time
// order and not overlapping; the count in *count.
const ShowFade* ShowFades(int32_t* count);

// The fade drawn at musicTime, or null.
const ShowFade* ShowFadeAt(int32_t musicTime);
