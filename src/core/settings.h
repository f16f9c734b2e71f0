// Process-wide settings and clock state of the show. The shell sets them; every
// layer may read them. No window system here.
#pragma once
#include <cstdint>

// Fixed at start; only a resize changes the screen size, only a refused
// display-mode change clears fullscreen.
extern int32_t screenWidth;   // 1024, every resize
extern int32_t screenHeight;  // 768, every resize
extern int32_t renderWidth;   // 1024: the render area every module draws into
extern int32_t renderHeight;  // 512
extern uint8_t soundEnabled;  // 1
extern uint8_t fullscreen;    // 1
extern int32_t startTime;     // 0 ms

// Clock and control state.
extern int32_t musicTime;     // ms, written once per frame
extern uint8_t quitRequested; // Escape or the end of the timeline
