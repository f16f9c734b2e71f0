// marvoke-render: the command line, the headless start-up, then the frames,
// capture or measurements the command asks for.
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "assets/file_error.h"
#include "capture_options.h"
#include "capture_run.h"
#include "capture_segments.h"
#include "core/command_line.h"
#include "core/gl.h"
#include "core/present.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "look_curve.h"
#include "render.h"
#include "render_options.h"
#include "shell/clock.h"
#include "shell/data_path.h"
#include "shell/headless.h"
#include "shell/overlay.h"
#include "shell/show.h"

namespace {

const char kProgram[] = "marvoke-render";

// A data file that could not be read ends the run: frames drawn without it
// would be written as if they were the show's.
bool DataWasRead() {
  if (FileReadErrorCount() == 0) return true;
  fprintf(stderr, "%s: %d data file%s could not be read; nothing is rendered.\n", kProgram,
          FileReadErrorCount(), FileReadErrorCount() == 1 ? "" : "s");
  return false;
}

// Where the relative data paths resolve: --data's folder (or
// MARVOKE_DATA_DIR) alone, else the first of the searched folders holding the data.
bool EnterShowData(const std::string& dataDir) {
  return EnterDataFolder(dataDir.empty() ? nullptr : dataDir.c_str());
}

// The window's start-up on the headless backend: context, post texture, the
// loading text frame and the loading sequence, from the data folder.
// Returns the exit code to stop with, or 0 to go on. The first line on
// standard error names the platform, the device and the renderer.
int StartShowHeadless(const RenderCommand& command) {
  // The data first: without it there is nothing to open a context for.
  if (!EnterShowData(command.dataDir)) return 1;
  HeadlessInfo info{};
  if (!OpenHeadless(screenWidth, screenHeight, &info, command.capture.gpu)) return 1;
  fprintf(stderr, "Headless GL on %s, %s: %s\n", info.platform, info.device, info.renderer);
  if (*info.skipped) fprintf(stderr, "Skipped:\n%s", info.skipped);
  return 0;
}

void CaptureDraw(int32_t t, void*) { DrawFrameAt(t); }
double CaptureModuleCpu(void*) { return LastTimelineCpuSeconds(); }

// The look curve of a capture's frames, with the music's loudness when it can be read.
bool WriteCurve(const CaptureOptions& options, const std::vector<FrameLook>& looks) {
  const int stepMs = 250;
  std::string error;
  std::vector<double> loudness;
  std::vector<MusicChange> changes;
  if (!options.musicPath.empty()) {
    loudness = ShortTermLoudness(options.musicPath, stepMs, &error, &changes);
    if (loudness.empty()) fprintf(stderr, "%s: the curve shows no loudness.\n", error.c_str());
  }
  if (!WriteLookCurve(options.curvePath, looks, loudness, stepMs, &error, changes)) {
    fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  fprintf(stderr, "Curve: %s\n", options.curvePath.c_str());
  return true;
}

// --curve-of FILE.csv --curve FILE.png: no GL, only the saved statistics and the music.
int DrawCurveOf(const RenderCommand& command) {
  const CaptureOptions& options = command.capture;
  std::vector<FrameLook> looks;
  std::string error;
  if (!ReadLookCsv(options.curveOf, &looks, &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!EnterShowData(command.dataDir)) return 1;
  return WriteCurve(options, looks) ? 0 : 1;
}

// The start-up of a capture on the headless backend, loading included.
// Returns the exit code to stop with, or 0 with the show ready to draw.
int StartCapture(const RenderCommand& command) {
  if (int code = StartShowHeadless(command)) return code;
  if (!command.loadingPngDir.empty()) HookLoadingFrames(command.loadingPngDir);
  // The scale or window asked for is beyond this GL's limits (named by BeginShow).
  if (!BeginShow(TickCount())) {
    CloseHeadless();
    return 2;
  }
  RunStartup();
  if (!DataWasRead() || (!command.loadingPngDir.empty() && !ReportLoadingFrames())) {
    CloseHeadless();
    return 1;
  }
  PrintInitializationTime(TickCount(), stderr);
  return 0;
}

// The outputs from a complete work folder, and the curve from its statistics.
int JoinCapture(const CaptureOptions& options, WorkFolder* folder) {
  std::vector<FrameLook> looks;
  if (int code = JoinSegments(options, folder, &looks, stderr)) return code;
  if (!options.curvePath.empty() && !WriteCurve(options, looks)) return 1;
  PrintCaptureOutputs(options, stderr);
  return 0;
}

// A capture through its work folder: one segment (--segment I/N), the join
// (--join), or the whole capture, resumed from what the folder keeps and
// rendered here (--jobs 1) or by child processes.
int RunSegmentedCapture(RenderCommand& command, const char* program) {
  CaptureOptions& o = command.capture;
  const std::string data = LocateDataFolder(command.dataDir.empty() ? nullptr : command.dataDir.c_str());
  if (data.empty()) return 1;
  // The join runs where the command was started, and the children start there too.
  if (o.musicPath == CaptureOptions().musicPath) o.musicPath = data + o.musicPath;
  WorkFolder folder;
  if (int code = OpenWorkFolder(o, data, &folder, stderr)) return code;
  ShowHooks hooks;
  hooks.drawFrame = CaptureDraw;

  if (o.join) return JoinCapture(o, &folder);
  std::vector<int> pending;
  if (o.segmentNumber) {
    std::string reason;
    if (SegmentIsFinished(o, folder, o.segmentNumber, &reason)) {
      fprintf(stderr, "Segment %d of %d is done already.\n", o.segmentNumber, o.segmentCount);
      return 0;
    }
    if (!reason.empty())
      fprintf(stderr, "Segment %d: %s; rendering it again.\n", o.segmentNumber, reason.c_str());
    pending.push_back(o.segmentNumber);
  } else {
    const std::vector<int> done = FinishedSegments(o, folder, stderr);
    if (!done.empty())
      fprintf(stderr, "Resuming: %zu of %d segments done.\n", done.size(), folder.plan.count);
    for (int i = 1; i <= folder.plan.count; ++i)
      if (!std::binary_search(done.begin(), done.end(), i)) pending.push_back(i);
  }
  int jobs = o.segmentNumber ? 1 : o.jobs == 0 ? AutoJobs(stderr) : o.jobs;
  if (jobs > int(pending.size())) jobs = int(pending.size());
  if (jobs > 1) {
    std::vector<std::string> args = {program};
    args.insert(args.end(), command.segmentArgs.begin(), command.segmentArgs.end());
    if (int code = RunSegmentJobs(o, args, folder, pending, jobs, stderr)) return code;
  } else if (!pending.empty()) {
    if (int code = StartCapture(command)) return code;
    SegmentRunResult r;
    const bool ok = RenderSegments(o, hooks, folder, pending, stderr, &r);
    CloseHeadless();
    if (r.framesDone > 0 && r.wallSeconds > 0)
      fprintf(stderr, "%s %" PRId64 " frames in %d segment%s at %s fps: %.1f frames per second "
                      "(%.1f s wall).\n",
              r.interrupted ? "Stopped after" : "Rendered", r.framesDone, r.segmentsDone,
              r.segmentsDone == 1 ? "" : "s", FormatFrameRate(o.fps).c_str(),
              double(r.framesDone) / r.wallSeconds, r.wallSeconds);
    if (!ok) return 1;
    if (r.interrupted && o.segmentNumber) {
      // Other processes may be writing theirs: this one looks at its own alone.
      fprintf(stderr, "Stopped: segment %d is left for a later run.\n", o.segmentNumber);
      return 130;
    }
    if (r.interrupted) {
      const int done = int(FinishedSegments(o, folder, stderr).size());
      fprintf(stderr, "Stopped: %d of %d segments done, kept in %s; the same command resumes.\n",
              done, folder.plan.count, folder.dir.c_str());
      return 130;
    }
  }
  if (o.segmentNumber) {
    fprintf(stderr, "Segment %d of %d is done.\n", o.segmentNumber, o.segmentCount);
    return 0;
  }
  return JoinCapture(o, &folder);
}

// --video, --png DIR (every frame), --sheet, --stats, --curve, --bench.
int RunCaptureMode(RenderCommand& command, const char* program) {
  CaptureOptions& options = command.capture;
  std::string error;
  if (!options.curveOf.empty()) return DrawCurveOf(command);

  // The JSON report owns standard output: everything else printed goes to standard error.
  FILE* report = stdout;
  if (options.json) {
    fflush(stdout);
    int fd = dup(1);
    report = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (!report || dup2(2, 1) < 0) {
      fprintf(stderr, "Can't set standard output aside for the report\n");
      return 1;
    }
  }
  // Frames are captured at the window's size; the video keeps it unless --size says otherwise.
  if (options.outWidth == 0) {
    options.outWidth = screenWidth;
    options.outHeight = screenHeight;
    if (!options.videoPath.empty() &&
        !CheckVideoSize(options.outWidth, options.outHeight, options.pixFmt, &error)) {
      return UsageError(stderr, kProgram, "%s", error.c_str());
    }
  }
  SetFrameLinesEnabled(command.lines);
  if (IsSegmentedCapture(options)) return RunSegmentedCapture(command, program);
  if (int code = StartCapture(command)) return code;

  ShowHooks hooks;
  hooks.drawFrame = CaptureDraw;
  bool ok, interrupted = false;
  if (options.bench) {
    MeasureTimelineCpu(true);
    hooks.moduleCpuSeconds = CaptureModuleCpu;
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ok = RunBench(options, hooks, renderer ? renderer : "unknown", report, stderr);
  } else {
    CaptureResult result;
    ok = RunCapture(options, hooks, stderr, &result) && !result.failed;
    // Stopped by Ctrl-C or a closed output: the files are complete, the run is not.
    interrupted = result.interrupted;
    if (ok && !interrupted && !options.curvePath.empty())
      ok = WriteCurve(options, result.looks);
  }
  fflush(report);
  CloseHeadless();
  return !ok ? 1 : interrupted ? 130 : 0;
}

// --at with --png, --loading-png, --bench-effects, or the start-up alone.
int RunFramesMode(const RenderCommand& command) {
  SetFrameLinesEnabled(command.lines);
  if (int code = StartShowHeadless(command)) return code;
  if (!command.loadingPngDir.empty()) HookLoadingFrames(command.loadingPngDir);
  // The scale or window asked for is beyond this GL's limits (named by BeginShow).
  if (!BeginShow(TickCount())) {
    CloseHeadless();
    return 2;
  }
  RunStartup();
  PrintInitializationTime(TickCount());
  bool ok = DataWasRead() && (command.loadingPngDir.empty() || ReportLoadingFrames());
  ok = ok && RunPngFrames(command.atTimes, command.capture.pngDir, command.capture.fps);
  ok = ok && (!command.benchEffects || RunBenchEffects());
  CloseHeadless();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  switch (FindHelpRequest(argc, argv)) {
    case HelpRequest::kHelp: fputs(RenderUsage(), stdout); return 0;
    case HelpRequest::kVersion: printf("%s %s\n", kProgram, MarvokeVersion()); return 0;
    case HelpRequest::kNone: break;
  }
  RenderCommand command;
  std::string error;
  const bool parsed = ParseRenderCommand(argc, argv, &command, &error);
  // A device index out of range is answered with the list of devices, whatever
  // else the line holds: that list is what the user needs next.
  if (command.capture.gpu >= 0) {
    const std::vector<HeadlessCandidate> candidates = HeadlessCandidates();
    if (command.capture.gpu >= int(candidates.size())) {
      fprintf(stderr, "%s: --gpu %d is out of range; the headless devices are:\n%s", kProgram,
              command.capture.gpu, DescribeHeadlessCandidates(candidates).c_str());
      return 2;
    }
  }
  if (!parsed) return UsageError(stderr, kProgram, "%s", error.c_str());

  // --scale and --window size everything the start-up makes.
  SetRenderScale(command.scale);
  screenWidth = command.windowWidth;
  screenHeight = command.windowHeight;
  // Output paths are the caller's; the default music is the show's own, in the data folder.
  CaptureOptions& o = command.capture;
  for (std::string* path : {&o.videoPath, &o.pngDir, &o.sheetPath, &o.statsPath, &o.curvePath,
                            &o.curveOf, &command.loadingPngDir, &command.dataDir})
    if (!path->empty()) *path = AbsolutePath(path->c_str());
  if (!o.musicPath.empty() && o.musicPath != CaptureOptions().musicPath)
    o.musicPath = AbsolutePath(o.musicPath.c_str());

  return command.mode == RenderMode::kCapture ? RunCaptureMode(command, argv[0])
                                              : RunFramesMode(command);
}
