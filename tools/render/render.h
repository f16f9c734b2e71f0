// marvoke-render: the show's start-up, loading and frames on the headless
// backend, through the same code as the window (shell/show.h).
//
// Each feature lives in its own file with its options and its job, and a
// registration function that main() calls (one line there per feature):
//
//   namespace {
//   std::string outDir;
//   bool SetOut(const char* v) { outDir = AbsolutePath(v); return true; }
//   int Wanted() { return outDir.empty() ? 0 : 1; }
//   }
//   void RegisterFilesJob() {
//     AddRenderOption({"--out", "DIR", "where the files go", SetOut});
//     AddRenderJob({"files", 10, Wanted, nullptr, RunFiles});
//   }
//
// Paths from the command line must go through AbsolutePath: the tool moves
// into its own folder after parsing, so the show finds its data there.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RenderOption {
  const char* name;      // "--at"
  const char* argument;  // shown in the usage, e.g. "T1,T2,..."; nullptr for a flag
  const char* help;
  // Takes the value (nullptr for a flag); false when it is bad, after a
  // message on standard error.
  bool (*apply)(const char* value);
};

struct RenderJob {
  const char* name;
  int order;                       // jobs run in ascending order
  // Asked after parsing: 1 run it, 0 not asked for, -1 the options given
  // contradict each other (after a message on standard error).
  int (*wanted)();
  void (*beforeStartup)();         // optional: runs before the loading path (e.g. to hook SwapFrame)
  bool (*run)();                   // after the start-up; false ends the tool with exit code 1
};

void AddRenderOption(const RenderOption& option);
void AddRenderJob(const RenderJob& job);

const std::vector<RenderOption>& RenderOptions();
const std::vector<RenderJob>& RenderJobs();

// The features (one registration function per file).
void RegisterPngFrames();  // --at T1,T2,... --png DIR
void RegisterLoadingPng();    // --loading-png DIR
void RegisterBenchEffects();  // --bench-effects

// The path made absolute against the working directory the tool started in.
std::string AbsolutePath(const char* path);

// --fps: frames per second of music time when stepping through the show (default 60).
int RenderFps();
void SetRenderFps(int framesPerSecond);

// Parses "T1,T2,..." (non-negative integers, ms) into ascending unique times.
bool ParseTimeList(const char* text, std::vector<int32_t>* times);

// One frame of the show at music time t (render area, timeline, post pass,
// overlay), not swapped; the frames-per-second figure counts music time.
void DrawFrameAt(int32_t t);

// Steps the music time from 0 at RenderFps() through the show's frame code,
// as the window would see it at that frame rate. Every time in `stops`
// (ascending) also gets a frame of its own where it falls between steps.
// After each frame is drawn, before the swap, visit(musicTime) is called; the
// stepping ends when it returns false.
using FrameVisit = bool (*)(int32_t musicTime, void* user);
void StepShow(const std::vector<int32_t>& stops, FrameVisit visit, void* user);
