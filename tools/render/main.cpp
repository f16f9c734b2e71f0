// marvoke-render: option parsing, the headless start-up, then the jobs; or
// the capture and benchmark drivers when their options are given.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "capture_options.h"
#include "capture_run.h"
#include "look_curve.h"
#include "render.h"
#include "shell/clock.h"
#include "shell/data_path.h"
#include "core/gl.h"
#include "shell/headless.h"
#include "shell/overlay.h"
#include "core/present.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "shell/show.h"

namespace {

bool printFrameLines = false;
bool showHelp = false;
int gpuChoice = -1;  // --gpu N: an index into HeadlessCandidates(), -1 for the first that works

bool SetFps(const char* v) {
  char* end = nullptr;
  long n = strtol(v, &end, 10);
  if (end == v || *end || n < 1 || n > 1000) {
    fprintf(stderr, "--fps takes a whole number from 1 to 1000, not \"%s\"\n", v);
    return false;
  }
  SetRenderFps(int(n));
  return true;
}
bool SetPrintFrames(const char*) { return printFrameLines = true; }
bool SetHelp(const char*) { return showHelp = true; }
bool SetGpu(const char* v) {
  char* end = nullptr;
  long n = strtol(v, &end, 10);
  if (end == v || *end || n < 0 || n > 1000) {
    fprintf(stderr, "--gpu takes a device index from 0, not \"%s\"\n", v);
    return false;
  }
  gpuChoice = int(n);
  return true;
}

void RegisterCommonOptions() {
  AddRenderOption({"--fps", "N", "music-time steps per second (default 60)", SetFps});
  AddRenderOption({"--lines", nullptr, "print the show's Time/Fps line for every frame",
                   SetPrintFrames});
  AddRenderOption({"--gpu", "N", "headless device by its index in the list printed for a wrong N",
                   SetGpu});
  AddRenderOption({"--help", nullptr, "this text", SetHelp});
}

const char* const kViewUsage =
    "  --scale S              render scale, 0.25 to 4 (default 1: a 1024x512 area)\n"
    "  --window WxH           the frame the picture is fitted into and captured from\n"
    "                         (default 1024x768)\n";

// --scale and --window size everything the start-up makes, so they are taken
// out of argv before either parser sees it, in every mode. False on a bad
// value, with the message printed.
bool TakeViewOptions(int* argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    const char* arg = argv[i];
    const bool scale = strncmp(arg, "--scale", 7) == 0 && (arg[7] == '\0' || arg[7] == '=');
    const bool window = strncmp(arg, "--window", 8) == 0 && (arg[8] == '\0' || arg[8] == '=');
    if (!scale && !window) {
      argv[kept++] = argv[i];
      continue;
    }
    const char* name = scale ? "--scale" : "--window";
    const char* eq = strchr(arg, '=');
    const char* value = eq ? eq + 1 : (i + 1 < *argc ? argv[++i] : nullptr);
    if (!value) {
      fprintf(stderr, "%s needs a value\n", name);
      return false;
    }
    if (scale) {
      float s = 1.0f;
      if (!ParseRenderScale(value, "--scale", &s)) return false;
      SetRenderScale(s);
    } else {
      int w = 0, h = 0;
      char tail = 0;
      if (sscanf(value, "%dx%d%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 16384 ||
          h > 16384) {
        fprintf(stderr, "--window takes WIDTHxHEIGHT, each 16 to 16384, not \"%s\"\n", value);
        return false;
      }
      screenWidth = w;
      screenHeight = h;
    }
  }
  *argc = kept;
  argv[kept] = nullptr;
  return true;
}

void PrintUsage(FILE* out) {
  fprintf(out, "Usage: marvoke-render [options]\n"
               "Runs the show's start-up and loading headless; the options render frames.\n");
  fputs(kViewUsage, out);
  for (const RenderOption& o : RenderOptions()) {
    std::string head = std::string(o.name) + (o.argument ? std::string(" ") + o.argument : "");
    fprintf(out, "  %-22s %s\n", head.c_str(), o.help);
  }
  fprintf(out, "\nWithout --at, the capture and benchmark modes:\n%s", CaptureUsage());
}

bool ParseArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* eq = strchr(arg, '=');
    size_t nameLength = eq ? size_t(eq - arg) : strlen(arg);
    const RenderOption* option = nullptr;
    for (const RenderOption& o : RenderOptions()) {
      if (strlen(o.name) == nameLength && strncmp(o.name, arg, nameLength) == 0) option = &o;
    }
    if (!option) {
      fprintf(stderr, "Unknown option \"%s\"\n", arg);
      return false;
    }
    const char* value = nullptr;
    if (option->argument) {
      if (eq) {
        value = eq + 1;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        fprintf(stderr, "%s needs %s\n", option->name, option->argument);
        return false;
      }
    } else if (eq) {
      fprintf(stderr, "%s takes no value\n", option->name);
      return false;
    }
    if (!option->apply(value)) return false;
  }
  return true;
}

// The window's start-up on the headless backend: context, post texture, the
// loading text frame and the loading sequence, from the executable's folder.
// Returns the exit code to stop with, or 0 to go on. The first line on
// standard error names the platform, the device and the renderer.
int StartShowHeadless(int gpu) {
  if (gpu >= 0) {
    std::vector<HeadlessCandidate> candidates = HeadlessCandidates();
    if (gpu >= int(candidates.size())) {
      fprintf(stderr, "--gpu %d is out of range; the headless devices are:\n%s", gpu,
              DescribeHeadlessCandidates(candidates).c_str());
      return 2;
    }
  }
  HeadlessInfo info{};
  if (!OpenHeadless(screenWidth, screenHeight, &info, gpu)) return 1;
  fprintf(stderr, "Headless GL on %s, %s: %s\n", info.platform, info.device, info.renderer);
  if (*info.skipped) fprintf(stderr, "Skipped:\n%s", info.skipped);
  if (!EnterExecutableFolder())
    fprintf(stderr, "Can't enter the executable's folder; reading data from here.\n");
  return 0;
}

void CaptureDraw(int32_t t, void*) { DrawFrameAt(t); }
double CaptureModuleCpu(void*) { return LastTimelineCpuSeconds(); }

bool HasArgument(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i)
    if (strcmp(argv[i], name) == 0 || strncmp(argv[i], (std::string(name) + "=").c_str(),
                                              strlen(name) + 1) == 0)
      return true;
  return false;
}

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
int DrawCurveOf(const CaptureOptions& options) {
  std::vector<FrameLook> looks;
  std::string error;
  if (!ReadLookCsv(options.curveOf, &looks, &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!EnterExecutableFolder())
    fprintf(stderr, "Can't enter the executable's folder; reading the music from here.\n");
  return WriteCurve(options, looks) ? 0 : 1;
}

// --video, --png DIR (every frame), --sheet, --stats, --curve, --bench.
int RunCaptureMode(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  if (!ParseCaptureOptions(argc, argv, &options, &error)) {
    fprintf(stderr, "%s\n%s", error.c_str(), CaptureUsage());
    return 2;
  }
  // Output paths are the caller's; the default music is the show's own, beside the tool.
  for (std::string* path : {&options.videoPath, &options.pngDir, &options.sheetPath,
                            &options.statsPath, &options.curvePath, &options.curveOf})
    if (!path->empty()) *path = AbsolutePath(path->c_str());
  if (!options.musicPath.empty() && options.musicPath != CaptureOptions().musicPath)
    options.musicPath = AbsolutePath(options.musicPath.c_str());

  if (!options.curveOf.empty()) return DrawCurveOf(options);

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
      fprintf(stderr, "%s\n", error.c_str());
      return 2;
    }
  }
  SetFrameLinesEnabled(false);
  if (int code = StartShowHeadless(options.gpu)) return code;
  if (!BeginShow(TickCount())) return 2;
  RunStartup();
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

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!TakeViewOptions(&argc, argv)) {
    fputs(kViewUsage, stderr);
    return 2;
  }
  // --at picks single frames; the capture drivers take the other output options.
  if (!HasArgument(argc, argv, "--at") && WantsCapture(argc, argv))
    return RunCaptureMode(argc, argv);
  RegisterCommonOptions();
  RegisterPngFrames();
  RegisterLoadingPng();
  RegisterBenchEffects();
  if (!ParseArguments(argc, argv)) {
    PrintUsage(stderr);
    return 2;
  }
  if (showHelp) {
    PrintUsage(stdout);
    return 0;
  }
  SetFrameLinesEnabled(printFrameLines);
  std::vector<RenderJob> jobs;
  for (const RenderJob& job : RenderJobs()) {
    int wanted = job.wanted();
    if (wanted < 0) return 2;
    if (wanted > 0) jobs.push_back(job);
  }
  std::stable_sort(jobs.begin(), jobs.end(),
                   [](const RenderJob& a, const RenderJob& b) { return a.order < b.order; });

  if (int code = StartShowHeadless(gpuChoice)) return code;

  for (const RenderJob& job : jobs)
    if (job.beforeStartup) job.beforeStartup();
  if (!BeginShow(TickCount())) {
    CloseHeadless();
    return 2;
  }
  RunStartup();
  PrintInitializationTime(TickCount());

  int code = 0;
  for (const RenderJob& job : jobs) {
    if (!job.run()) {
      code = 1;
      break;
    }
  }
  CloseHeadless();
  return code;
}
