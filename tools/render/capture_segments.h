// The capture in segments: the work folder and its lock, what a resume keeps,
// the segments rendered in this process or by child processes (one a
// segment, each the program started again with --segment I/N and a GL context
// of its own), and the join. Only RenderSegments needs a GL context; the rest
// runs before one is opened, so the children are never forks of a process
// that holds one.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capture_options.h"
#include "capture_run.h"
#include "look_stats.h"
#include "segments.h"

struct WorkFolder {
  std::string dir;         // FILE.parts, beside the first output
  std::string videoExt;    // the output's extension (".mp4"); "" without --video
  CaptureIdentity identity;
  uint64_t key = 0;        // IdentityKey(identity)
  SegmentPlan plan;
  std::vector<int64_t> sheetFrames;  // the capture frame of each contact sheet cell
  int lockFd = -1;
  int segmentLockFd = -1;
};

// What the folder's manifest names: program, build, data and every option that
// changes a frame or its encoding. dataFolder is where Images, Models and Music are.
CaptureIdentity MakeCaptureIdentity(const CaptureOptions& options, const std::string& dataFolder);

// The work folder of these outputs: FILE.parts beside --video, else beside
// --png's folder, --stats or --sheet.
std::string WorkFolderPath(const CaptureOptions& options);

// Creates or checks the work folder and locks it: the whole capture and --join
// alone; --segment runs of a farm side by side, one a segment. Returns 0 to go
// on; 1 when it cannot be written or is locked; 2 when its manifest was made
// by another capture (--restart empties it instead). A damaged manifest is
// taken as none: everything in the folder is rendered again.
int OpenWorkFolder(const CaptureOptions& options, const std::string& dataFolder, WorkFolder* folder,
                   FILE* log);
void CloseWorkFolder(WorkFolder* folder);

// Whether segment `number` is finished: its record whole and of this capture,
// its files there with the size and checksum recorded. *reason says why not
// when a record exists.
bool SegmentIsFinished(const CaptureOptions& options, const WorkFolder& folder, int number,
                       std::string* reason);
// The finished segments, in order. What is left of the others is removed
// (with a line on `log` for each damaged one) so it is rendered again.
std::vector<int> FinishedSegments(const CaptureOptions& options, const WorkFolder& folder,
                                  FILE* log);

struct SegmentRunResult {
  int segmentsDone = 0;
  int64_t framesDone = 0;
  bool interrupted = false;
  bool failed = false;
  double wallSeconds = 0;
};

// With the show started on a GL context: renders the segments (ascending) in
// this process, one after another, each into its own files and record. The
// show's state runs on from one to the next, so only the gaps between them
// are pre-rolled.
bool RenderSegments(const CaptureOptions& options, const ShowHooks& hooks, const WorkFolder& folder,
                    const std::vector<int>& numbers, FILE* log, SegmentRunResult* result);

// --jobs auto: the number of segments rendered at once on this machine.
int AutoJobs(FILE* log);

// Without a GL context: renders the segments with `jobs` child processes,
// each this program started again with `args` (argv[0] first) and --segment I/N. A failed child is
// retried once. Returns 0 when all are done, 130 when stopped, 1 otherwise.
int RunSegmentJobs(const CaptureOptions& options, const std::vector<std::string>& args,
                   const WorkFolder& folder, const std::vector<int>& numbers, int jobs, FILE* log);

// Without a GL context: the outputs from the finished segments (the video
// joined without re-encoding and the music muxed once; the statistics in time
// order; the contact sheet from the kept cells), then the work folder is
// removed. *looks gets every frame's statistics when --curve asks for them.
// 1 when a segment is missing or a step fails.
int JoinSegments(const CaptureOptions& options, WorkFolder* folder, std::vector<FrameLook>* looks,
                 FILE* log);

// Every file the work folder holds is removed, and then the folder.
bool RemoveWorkFolder(const std::string& dir, std::string* error);
