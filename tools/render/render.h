// marvoke-render: the show's start-up, loading and frames on the headless
// backend, through the same code as the window (shell/show.h).
//
// Each feature lives in its own file and registers its options and its job
// with static registrars, so adding one touches no other file:
//
//   namespace {
//   std::string outDir;
//   bool SetOut(const char* v) { outDir = AbsolutePath(v); return true; }
//   const bool registered =
//       AddRenderOption({"--out", "DIR", "where the files go", SetOut}) &&
//       AddRenderJob({"files", 10, [] { return outDir.empty() ? 0 : 1; }, nullptr, RunFiles});
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

bool AddRenderOption(const RenderOption& option);
bool AddRenderJob(const RenderJob& job);

// The path made absolute against the working directory the tool started in.
std::string AbsolutePath(const char* path);

// --fps: frames per second of music time when stepping through the show (default 60).
int RenderFps();

// Parses "T1,T2,..." (non-negative integers, ms) into ascending unique times.
bool ParseTimeList(const char* text, std::vector<int32_t>* times);

// Steps the music time from 0 at RenderFps() through the show's frame code,
// as the window would see it at that frame rate. Every time in `stops`
// (ascending) also gets a frame of its own where it falls between steps.
// After each frame is drawn, before the swap, visit(musicTime) is called; the
// stepping ends when it returns false.
using FrameVisit = bool (*)(int32_t musicTime, void* user);
void StepShow(const std::vector<int32_t>& stops, FrameVisit visit, void* user);
