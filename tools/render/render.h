// marvoke-render: the show's start-up, loading and frames on the headless
// backend, through the same code as the window (shell/show.h).
//
// The command line is read once (render_options.h); main() then runs the
// features the command asks for, one file each: single frames (png_frames),
// the loading frames (loading_png), the effect timings (bench_effects), the
// capture and the benchmark (capture_run).
//
// Paths from the command line must go through AbsolutePath: the tool moves
// into its data folder after parsing, so the show finds its data there.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "frame_clock.h"

// --at T1,T2,... --png DIR: the frames at those music times (ascending),
// stepped from 0 at `rate`, as DIR/frame_TTTTTT.png. False after a message.
bool RunPngFrames(const std::vector<int32_t>& times, const std::string& folder, FrameRate rate);

// --loading-png DIR: saves every loading frame as DIR/loading_NN.png; hook
// before the start-up, report after it (false when none could be written).
void HookLoadingFrames(const std::string& folder);
bool ReportLoadingFrames();

// --bench-effects: prints the time of each screen effect at the show's sizes.
bool RunBenchEffects();

// The path made absolute against the working directory the tool started in.
std::string AbsolutePath(const char* path);

// One frame of the show at music time t (render area, timeline, post pass,
// overlay), not swapped; the frames-per-second figure counts music time.
void DrawFrameAt(int32_t t);

// Steps the music time from 0 on the frame grid of `rate` through the show's
// frame code, as the window would see it at that frame rate. Every time in
// `stops` (ascending) also gets a frame of its own where it falls between
// steps. After each frame is drawn, before the swap, visit(musicTime) is
// called; the stepping ends when it returns false.
using FrameVisit = bool (*)(int32_t musicTime, void* user);
void StepShow(const std::vector<int32_t>& stops, FrameRate rate, FrameVisit visit, void* user);
