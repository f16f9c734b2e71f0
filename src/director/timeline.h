// The timeline: maps the music time to an effect module and the cross-fades.
#pragma once
#include <cstdint>

// Draws the frame for musicTime (ms). Called once per frame by the main loop
// and the offline renderer. Works out the frame delta, calls the render step
// of the module whose window holds the time and draws the opening fade-in and
// the zoom-blurred cross-fade between modules D and C. No module draws from
// 302500 ms: the frame is cleared to black there; requests quit from 303500 ms.
//
// Sets clear colour black and depth function GL_ALWAYS every call; the
// cross-fades rely on the module leaving the centred orthographic view of the
// render area (SetOrthoWindow) and leave the state of DrawFade behind.
void RenderFrame(int32_t musicTime);

// Milliseconds between this call's music time and the previous call's:
// negative after a backward seek, the whole start time on the first frame.
int32_t FrameDelta();

// RenderFrame's bookkeeping and module choice without drawing: the frame
// delta, the previous time and the chosen module's state-only step.
void StepFrame(int32_t musicTime);

// Music time of frame k of a play from 0 at 60 frames a second.
int32_t PrerollStepTime(int64_t k);

// Every module where a play from 0 at 60 frames a second would leave it just
// before startMs: the state-only steps at each frame time below startMs but
// the last, whose time is returned (-1 when there is none). The caller draws
// that one frame: some passes read what the frame before them drew. The
// previous time is then that frame's, so the frame at startMs gets the delta
// it would have had.
int32_t PrerollShow(int32_t startMs);

// After loading: keeps what the frames change (module state, the shared
// target's texture names). RestoreShowState returns it and sets the previous
// time to 0, for a play from 0 that equals the first.
void KeepShowState();
void RestoreShowState();
