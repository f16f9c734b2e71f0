// marvoke-render: the command line, the headless start-up, then the frames,
// capture or measurements the command asks for.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "assets/file_error.h"
#include "capture_options.h"
#include "capture_run.h"
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
  if (!options.musicPath.empty()) {
    loudness = ShortTermLoudness(options.musicPath, stepMs, &error);
    if (loudness.empty()) fprintf(stderr, "%s: the curve shows no loudness.\n", error.c_str());
  }
  if (!WriteLookCurve(options.curvePath, looks, loudness, stepMs, &error)) {
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

// --video, --png DIR (every frame), --sheet, --stats, --curve, --bench.
int RunCaptureMode(RenderCommand& command) {
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

  return command.mode == RenderMode::kCapture ? RunCaptureMode(command) : RunFramesMode(command);
}
