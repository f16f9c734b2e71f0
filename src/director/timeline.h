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
