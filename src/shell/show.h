// The show's start-up and per-frame work, shared by the window's main loop and
// the offline renderer so both draw identical frames. Needs a current context
// with the window's framebuffer format; the caller swaps (SwapFrame).
#pragma once
#include <cstdint>
#include <cstdio>

// What the window does once its context is current: takes the start tick for
// the initialisation message, checks the render area and the window against
// the GL's size limits and makes the area's framebuffer and post texture.
// False, with one line on `err`, when the GL cannot draw at these sizes: the
// caller exits with code 2 before loading.
bool BeginShow(uint32_t nowTicks, FILE* err = stderr);

// The first frame: black with the loading text, swapped; then the loading
// sequence, which draws and swaps its own frames. The loading text frame
// leaves the render-area view and the 2D state of the overlay (Set2dState).
void RunStartup();

// "Initialization finished in %.2f seconds! " since BeginShow.
void PrintInitializationTime(uint32_t nowTicks, FILE* out = stdout);

// One frame at musicTime: render-area view, timeline, frame counter, post pass
// and overlay; leaves what the overlay leaves (window view, 2D state). nowTicks (ms) drives the frames-per-second window; the first
// frame opens it and reports 1.
void DrawShowFrame(int32_t musicTime, uint32_t nowTicks);

int32_t FramesPerSecond();

// A restart: the frame counter and its one-second window as at the first frame.
void ResetFrameCounter(uint32_t nowTicks);

// With MARVOKE_GL_CHECK set in the environment, CountGlErrors reads every
// pending glGetError after a frame and ReportGlErrors prints their number
// ("GL errors: N") on standard error at exit; without it both do nothing.
void CountGlErrors();
void ReportGlErrors();
int64_t GlErrorCount();

// For the benchmark: when on, each DrawShowFrame measures the calling
// thread's CPU time spent in the timeline (the module step).
void MeasureTimelineCpu(bool enabled);
double LastTimelineCpuSeconds();
