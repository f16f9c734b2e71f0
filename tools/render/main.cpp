// marvoke-render: option parsing, the headless start-up, then the jobs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "render.h"
#include "shell/clock.h"
#include "shell/data_path.h"
#include "shell/headless.h"
#include "shell/overlay.h"
#include "shell/present.h"
#include "shell/settings.h"
#include "shell/show.h"

namespace {

// Function-local so registrars in other files may run first.
std::vector<RenderOption>& Options() {
  static std::vector<RenderOption> options;
  return options;
}
std::vector<RenderJob>& Jobs() {
  static std::vector<RenderJob> jobs;
  return jobs;
}

int fps = 60;
bool printFrameLines = false;
bool showHelp = false;

bool SetFps(const char* v) {
  char* end = nullptr;
  long n = strtol(v, &end, 10);
  if (end == v || *end || n < 1 || n > 1000) {
    fprintf(stderr, "--fps takes a whole number from 1 to 1000, not \"%s\"\n", v);
    return false;
  }
  fps = int(n);
  return true;
}
bool SetPrintFrames(const char*) { return printFrameLines = true; }
bool SetHelp(const char*) { return showHelp = true; }

const bool registered =
    AddRenderOption({"--fps", "N", "music-time steps per second (default 60)", SetFps}) &&
    AddRenderOption({"--lines", nullptr, "print the show's Time/Fps line for every frame",
                     SetPrintFrames}) &&
    AddRenderOption({"--help", nullptr, "this text", SetHelp});

void PrintUsage(FILE* out) {
  fprintf(out, "Usage: marvoke-render [options]\n"
               "Runs the show's start-up and loading headless; the options render frames.\n");
  for (const RenderOption& o : Options()) {
    std::string head = std::string(o.name) + (o.argument ? std::string(" ") + o.argument : "");
    fprintf(out, "  %-22s %s\n", head.c_str(), o.help);
  }
}

bool ParseArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* eq = strchr(arg, '=');
    size_t nameLength = eq ? size_t(eq - arg) : strlen(arg);
    const RenderOption* option = nullptr;
    for (const RenderOption& o : Options()) {
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

}  // namespace

bool AddRenderOption(const RenderOption& option) {
  Options().push_back(option);
  return true;
}

bool AddRenderJob(const RenderJob& job) {
  Jobs().push_back(job);
  return true;
}

std::string AbsolutePath(const char* path) {
  std::error_code error;
  std::filesystem::path p = std::filesystem::absolute(path, error);
  return error ? std::string(path) : p.lexically_normal().string();
}

int RenderFps() { return fps; }

bool ParseTimeList(const char* text, std::vector<int32_t>* times) {
  times->clear();
  const char* p = text;
  while (*p) {
    char* end = nullptr;
    long long t = strtoll(p, &end, 10);
    if (end == p || t < 0 || t > 100000000 || (*end && *end != ',')) {
      fprintf(stderr, "Expected times in ms like 1000,90600 but got \"%s\"\n", text);
      return false;
    }
    times->push_back(int32_t(t));
    p = *end ? end + 1 : end;
  }
  if (times->empty()) {
    fprintf(stderr, "Expected at least one time in ms\n");
    return false;
  }
  std::sort(times->begin(), times->end());
  times->erase(std::unique(times->begin(), times->end()), times->end());
  return true;
}

void StepShow(const std::vector<int32_t>& stops, FrameVisit visit, void* user) {
  // Ticks as on a machine that has been up a while, one tick per ms of music
  // time, so the frames-per-second figure reads as the step rate.
  const uint32_t tickStart = 100000;
  size_t nextStop = 0;
  for (int64_t step = 0;; ++step) {
    int32_t gridTime = int32_t(step * 1000 / fps);
    // Stops between the previous step and this one get frames of their own.
    while (nextStop < stops.size() && stops[nextStop] < gridTime) {
      int32_t t = stops[nextStop++];
      musicTime = t;
      DrawShowFrame(t, tickStart + uint32_t(t));
      bool more = visit(t, user);
      SwapFrame();
      if (!more) return;
    }
    if (nextStop < stops.size() && stops[nextStop] == gridTime) ++nextStop;
    musicTime = gridTime;
    DrawShowFrame(gridTime, tickStart + uint32_t(gridTime));
    bool more = visit(gridTime, user);
    SwapFrame();
    if (!more) return;
  }
}

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
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
  for (const RenderJob& job : Jobs()) {
    int wanted = job.wanted();
    if (wanted < 0) return 2;
    if (wanted > 0) jobs.push_back(job);
  }
  std::stable_sort(jobs.begin(), jobs.end(),
                   [](const RenderJob& a, const RenderJob& b) { return a.order < b.order; });

  // The show reads its data beside the executable.
  if (!EnterExecutableFolder())
    fprintf(stderr, "Can't enter the executable's folder; reading data from here.\n");

  HeadlessInfo info;
  if (!OpenHeadless(screenWidth, screenHeight, &info)) return 1;
  fprintf(stderr, "Headless GL on %s: %s\n", info.platform, info.renderer);

  for (const RenderJob& job : jobs)
    if (job.beforeStartup) job.beforeStartup();
  BeginShow(TickCount());
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
