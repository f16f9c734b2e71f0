// The timeline: maps the music time to an effect module and the cross-fades.
#pragma once
#include <cstdint>

// Draws the frame for musicTime (ms). Called once per frame by the main loop
// and the offline renderer.
void RenderFrame(int32_t musicTime);

// Milliseconds between this call's music time and the previous call's.
int32_t FrameDelta();
