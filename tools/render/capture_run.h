// The capture and benchmark drivers. They draw through a hook so that the
// offline renderer passes the show's own per-frame function (the one the
// window's main loop calls) and tests can pass a stand-in.
#pragma once
#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capture_options.h"
#include "ffmpeg_pipe.h"
#include "look_stats.h"

struct ShowHooks {
  // Draws the whole frame at musicTime into the current screenWidth x screenHeight framebuffer
  // (render area, timeline, post pass, overlay); the driver reads it back and swaps.
  void (*drawFrame)(int32_t musicTime, void* user) = nullptr;
  void* user = nullptr;
  // Optional, for the benchmark: the calling thread's CPU seconds spent in the
  // module step (the timeline call) of the last drawFrame. Without it the
  // benchmark counts the CPU time of the whole drawFrame.
  double (*moduleCpuSeconds)(void* user) = nullptr;
};

struct CaptureResult {
  int64_t framesPlanned = 0;
  int64_t framesDone = 0;
  int32_t lastTimeMs = 0;
  bool interrupted = false;  // Ctrl-C, SIGTERM or a closed output
  bool failed = false;       // encoder or file error
  double wallSeconds = 0;    // the captured frames only, without pre-roll
  double encoderWaitSeconds = 0;  // of those, blocked handing frames to the encoder
  std::vector<FrameLook> looks;   // every frame's statistics, kept only for --curve
};

// Where the show's state stands in this process: not yet played, or played up
// to (not including) frame nextFrame of the capture's grid.
struct ShowCursor {
  bool begun = false;
  int64_t nextFrame = 0;
};

// Whether a pre-roll to targetMs draws its frame at frameMs besides the last
// kSegmentPrerollDrawn: the frames of a zoom fade into the target's window
// (the cut into module C), since what the fade leaves in the shared target's
// textures shows in that window's frames to its end. Found by comparing a
// segment boundary in every window with a capture in one piece.
bool PrerollDrawsFrame(int32_t frameMs, int32_t targetMs);

// Brings the show's state to just before the capture's frame `frame`: the
// pre-roll from 0 to fromMs the first time, then the capture's frames from the
// cursor on, each stepped without drawing but for the last kSegmentPrerollDrawn
// and those PrerollDrawsFrame names (all with --preroll-draw). Nothing when
// the cursor is there already.
void AdvanceShow(const CaptureOptions& options, const ShowHooks& hooks, ShowCursor* cursor,
                 int64_t frame, FILE* log);

// While one lives, Ctrl-C and SIGTERM ask the capture to stop after its
// current frame; a second one (SA_RESETHAND) kills as usual. The previous
// handlers come back afterwards.
struct StopSignals {
  struct sigaction oldInt, oldTerm;
  StopSignals();
  ~StopSignals();
};

// Whether a Ctrl-C or SIGTERM asked the running capture to stop.
bool CaptureStopRequested();

// The calling thread's CPU time in seconds.
double ThreadCpuSeconds();

// Pre-roll (when fromMs > 0), then frames [fromMs, toMs) to the video, PNG
// files and contact sheet the options name. Progress and messages go to `log`.
bool RunCapture(const CaptureOptions& options, const ShowHooks& hooks, FILE* log,
                CaptureResult* result);

// What a capture did: frames, show time, throughput and where its files are.
void PrintCaptureSummary(const CaptureOptions& options, const CaptureResult& result, FILE* log);
// Where a finished capture's files are: the summary's last lines.
void PrintCaptureOutputs(const CaptureOptions& options, FILE* log);

// The encoder for the options' video of frameWidth x frameHeight frames, without music.
EncoderSettings CaptureEncoderSettings(const CaptureOptions& options, int frameWidth,
                                       int frameHeight);
// The options' music over settings->frameCount frames, padded with silence
// where it ends first; none (with a line on `log`) when it cannot be read.
void AddCaptureMusic(const CaptureOptions& options, EncoderSettings* settings, FILE* log);

// Renders a stretch of every module window and prints frame time statistics
// to `out` (text or JSON); progress goes to `log`.
bool RunBench(const CaptureOptions& options, const ShowHooks& hooks, const char* renderer,
              FILE* out, FILE* log);

// Length of an Ogg Vorbis file in seconds; 0 when it cannot be read.
double MusicSeconds(const std::string& path);

// Asks a running capture to stop after its current frame, as Ctrl-C does.
void RequestCaptureStop();

// How many pre-roll frames come before fromMs, and the music time of each: the capture's own frame
// grid from 0 (stepMs 0) or every stepMs.
int64_t PrerollFrameCount(int32_t fromMs, FrameRate fps, int32_t stepMs);
int32_t PrerollFrameTime(int64_t frame, FrameRate fps, int32_t stepMs);
