#include "capture_run.h"

#include "director/timeline.h"

#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <vorbis/vorbisfile.h>

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <string>
#include <vector>

#include "contact_sheet.h"
#include "ffmpeg_pipe.h"
#include "frame_stats.h"
#include "look_stats.h"
#include "director/show_windows.h"
#include "modules/modules.h"
#include "progress.h"
#include "render_options.h"
#include "segments.h"
#include "shell/capture.h"
#include "core/gl.h"
#include "core/present.h"
#include "core/settings.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

}  // namespace

StopSignals::StopSignals() {
  stopRequested = 0;
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnStopSignal;
  sa.sa_flags = SA_RESETHAND;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &oldInt);
  sigaction(SIGTERM, &sa, &oldTerm);
  // Closed pipes surface as write errors: on ffmpeg's stdin, stdout or the log.
  signal(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
}

namespace {

bool OutputClosed(FILE* log) {
  fflush(stdout);
  fflush(log);
  return ferror(stdout) || ferror(log);
}

bool MakeDir(const std::string& dir) {
  if (mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST) return true;
  return false;
}

}  // namespace

bool PrerollDrawsFrame(int32_t frameMs, int32_t targetMs) {
  int32_t windows = 0, fades = 0;
  const ShowWindow* w = ShowWindows(&windows);
  const ShowFade* f = ShowFades(&fades);
  for (int32_t i = 0; i < windows; ++i) {
    if (targetMs < w[i].fromMs || targetMs >= w[i].toMs) continue;
    // What a zoom fade into the window leaves in the shared target's
    // textures shows in the window's frames to its end.
    for (int32_t j = 0; j < fades; ++j)
      if (f[j].kind == kFadeZoom && f[j].toMs >= w[i].fromMs && f[j].fromMs < w[i].toMs &&
          frameMs >= f[j].fromMs && frameMs < f[j].toMs)
        return true;
  }
  return false;
}

void AdvanceShow(const CaptureOptions& o, const ShowHooks& hooks, ShowCursor* cursor,
                 int64_t frame, FILE* log) {
  // One sequence of music times: the pre-roll from 0 to --from (once a
  // process), then the capture's own frames from the cursor to `frame`.
  const int64_t before = cursor->begun ? 0 : PrerollFrameCount(o.fromMs, o.fps, o.prerollStepMs);
  const int64_t from = cursor->begun ? cursor->nextFrame : 0;
  const int64_t count = before + (frame > from ? frame - from : 0);
  cursor->begun = true;
  if (count == 0) return;
  const int32_t target = FrameTimeMs(o.fromMs, frame, o.fps);
  if (frame == 0 && o.prerollStepMs > 0)
    fprintf(log,
            "Pre-roll: stepping the show from 0 to %.3f s without encoding, every %d ms "
            "(%" PRId64 " frames; module clocks follow in coarser steps than the capture).\n",
            o.fromMs * 0.001, o.prerollStepMs, count);
  else if (frame == 0)
    fprintf(log,
            "Pre-roll: stepping the show from 0 to %.3f s without encoding at %s fps "
            "(%" PRId64 " frames, exact; --preroll-step MS is faster).\n",
            o.fromMs * 0.001, FormatFrameRate(o.fps).c_str(), count);
  else
    fprintf(log, "Pre-roll: stepping the show to %.3f s without encoding (%" PRId64 " frames).\n",
            target * 0.001, count);
  Progress progress;
  BeginProgress(&progress, log, "Pre-roll", count);
  int64_t k = 0;
  int32_t t = 0;
  for (; k < count && !stopRequested; ++k) {
    t = k < before ? PrerollFrameTime(k, o.fps, o.prerollStepMs)
                   : FrameTimeMs(o.fromMs, from + (k - before), o.fps);
    // The last ones are drawn: some passes read what the frame before drew.
    if (o.prerollDraw || k + kSegmentPrerollDrawn >= count || PrerollDrawsFrame(t, target)) {
      hooks.drawFrame(t, hooks.user);
      SwapFrame();
    } else {
      // What the frame leaves in the modules, without drawing it.
      StepFrame(t);
    }
    UpdateProgress(&progress, k + 1, t);
  }
  EndProgress(&progress, k, t);
  cursor->nextFrame = frame;
}

bool CaptureStopRequested() { return stopRequested != 0; }

double MusicSeconds(const std::string& path) {
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) return 0.0;
  double seconds = ov_time_total(&vf, -1);
  ov_clear(&vf);
  return seconds > 0 ? seconds : 0.0;
}

void RequestCaptureStop() { stopRequested = 1; }

double ThreadCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

int64_t PrerollFrameCount(int32_t fromMs, FrameRate fps, int32_t stepMs) {
  if (fromMs <= 0) return 0;
  if (stepMs <= 0) return FrameCount(0, fromMs, fps);
  return (int64_t(fromMs) + stepMs - 1) / stepMs;
}

int32_t PrerollFrameTime(int64_t frame, FrameRate fps, int32_t stepMs) {
  return stepMs > 0 ? int32_t(frame * stepMs) : FrameTimeMs(0, frame, fps);
}

bool RunCapture(const CaptureOptions& o, const ShowHooks& hooks, FILE* log, CaptureResult* r) {
  *r = CaptureResult();
  StopSignals signals;
  const int width = screenWidth, height = screenHeight;
  r->framesPlanned = FrameCount(o.fromMs, o.toMs, o.fps);

  if (!o.pngDir.empty() && !MakeDir(o.pngDir)) {
    fprintf(log, "Can't create the folder %s: %s\n", o.pngDir.c_str(), strerror(errno));
    r->failed = true;
    return false;
  }

  FILE* stats = nullptr;
  if (!o.statsPath.empty()) {
    stats = fopen(o.statsPath.c_str(), "w");
    if (!stats) {
      fprintf(log, "Can't write %s: %s\n", o.statsPath.c_str(), strerror(errno));
      r->failed = true;
      return false;
    }
    WriteLookHeader(stats);
  }
  const bool measure = stats || !o.curvePath.empty();
  r->looks.clear();

  ShowCursor cursor;
  AdvanceShow(o, hooks, &cursor, 0, log);

  Encoder encoder;
  bool video = !o.videoPath.empty();
  if (video && !stopRequested) {
    EncoderSettings s = CaptureEncoderSettings(o, width, height);
    s.frameCount = r->framesPlanned;
    AddCaptureMusic(o, &s, log);
    std::string error;
    if (!StartEncoder(s, &encoder, &error)) {
      fprintf(log, "Can't encode video: %s\n", error.c_str());
      r->failed = true;
      return false;
    }
  }

  ContactSheet sheet;
  bool wantSheet = !o.sheetPath.empty();
  if (wantSheet)
    BeginSheet(&sheet, width, height,
               int((int64_t(o.toMs) - o.fromMs + o.sheetEveryMs - 1) / o.sheetEveryMs));

  // One buffer for the whole capture: the GL writes each frame straight into
  // it and the encoder's pipe takes it from there.
  std::vector<uint8_t> frame(size_t(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  Progress progress;
  BeginProgress(&progress, log, video ? "Encoding" : "Rendering", r->framesPlanned);
  double start = WallSeconds();
  std::string pngPath;
  for (int64_t n = 0; n < r->framesPlanned; ++n) {
    if (stopRequested || OutputClosed(log)) {
      r->interrupted = true;
      break;
    }
    int32_t t = FrameTimeMs(o.fromMs, n, o.fps);
    hooks.drawFrame(t, hooks.user);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
    SwapFrame();
    if (video) {
      double before = WallSeconds();
      bool written = EncodeFrame(&encoder, frame.data(), frame.size());
      r->encoderWaitSeconds += WallSeconds() - before;
      if (!written) {
        fprintf(log, "\nThe encoder stopped taking frames (see its message above).\n");
        r->failed = true;
        break;
      }
    }
    if (!o.pngDir.empty()) {
      pngPath = o.pngDir + "/" + PngFrameName(t);
      if (!WritePng(pngPath.c_str(), width, height, frame.data(), true)) {
        r->failed = true;
        break;
      }
    }
    if (measure) {
      FrameLook look = MeasureFrame(frame.data(), width, height);
      ShowSlot slot = SelectShowSlot(t);
      look.timeMs = t;
      look.module = slot.module;
      look.mode = slot.mode;
      if (stats) WriteLookRow(stats, look);
      if (!o.curvePath.empty()) r->looks.push_back(look);
    }
    if (wantSheet && sheet.filled < sheet.cells &&
        t >= int64_t(o.fromMs) + int64_t(sheet.filled) * o.sheetEveryMs)
      AddSheetFrame(&sheet, frame.data(), t);
    r->framesDone = n + 1;
    r->lastTimeMs = t;
    UpdateProgress(&progress, n + 1, t);
  }
  r->wallSeconds = WallSeconds() - start;
  EndProgress(&progress, r->framesDone, r->lastTimeMs);
  if (stopRequested) r->interrupted = true;

  if (video) {
    if (r->interrupted) fprintf(log, "Stopped: finishing the video of what was rendered.\n");
    int status = FinishEncoder(&encoder);
    if (status != 0) {
      fprintf(log, "The encoder ended with status %d.\n", status);
      r->failed = true;
    }
  }
  if (stats && fclose(stats) != 0) {
    fprintf(log, "Can't finish %s: %s\n", o.statsPath.c_str(), strerror(errno));
    r->failed = true;
  }
  if (wantSheet && sheet.filled > 0) {
    // An interrupted sheet keeps only the rows that hold pictures.
    sheet.cells = sheet.filled;
    sheet.rgb.resize(size_t(SheetWidth(sheet)) * SheetHeight(sheet) * 3);
    if (!WriteSheet(sheet, o.sheetPath)) r->failed = true;
  }
  PrintCaptureSummary(o, *r, log);
  return !r->failed;
}

void PrintCaptureSummary(const CaptureOptions& o, const CaptureResult& r, FILE* log) {
  if (r.framesDone == 0) return;
  double showSeconds = double(r.framesDone) * double(o.fps.den) / double(o.fps.num);
  fprintf(log, "%s %" PRId64 " of %" PRId64 " frames (%.3f s of show from %.3f s) at %s fps.\n",
          r.interrupted ? "Stopped after" : "Rendered", r.framesDone, r.framesPlanned, showSeconds,
          o.fromMs * 0.001, FormatFrameRate(o.fps).c_str());
  if (r.wallSeconds > 0)
    fprintf(log,
            "Capture throughput: %.1f frames per second, %.3f show seconds per wall second "
            "(%.1f s wall).\n",
            double(r.framesDone) / r.wallSeconds, showSeconds / r.wallSeconds, r.wallSeconds);
  // Time spent blocked on a full pipe says whether the encoder holds the capture back.
  if (r.wallSeconds > 0 && !o.videoPath.empty())
    fprintf(log, "Waiting on the encoder: %.1f s (%.0f %% of the wall time).\n",
            r.encoderWaitSeconds, 100.0 * r.encoderWaitSeconds / r.wallSeconds);
  if (r.failed) return;
  PrintCaptureOutputs(o, log);
}

void PrintCaptureOutputs(const CaptureOptions& o, FILE* log) {
  if (!o.videoPath.empty())
    fprintf(log, "Video: %s (%dx%d, %s)\n", o.videoPath.c_str(), o.outWidth, o.outHeight,
            o.codec.c_str());
  if (!o.pngDir.empty()) fprintf(log, "Frames: %s/frame_TTTTTT.png (T: music ms)\n", o.pngDir.c_str());
  if (!o.sheetPath.empty()) fprintf(log, "Contact sheet: %s\n", o.sheetPath.c_str());
  if (!o.statsPath.empty()) fprintf(log, "Frame statistics: %s\n", o.statsPath.c_str());
  fflush(log);
}

EncoderSettings CaptureEncoderSettings(const CaptureOptions& o, int frameWidth, int frameHeight) {
  EncoderSettings s;
  s.outputPath = o.videoPath;
  s.frameWidth = frameWidth;
  s.frameHeight = frameHeight;
  s.outWidth = o.outWidth;
  s.outHeight = o.outHeight;
  s.fps = o.fps;
  s.codec = o.codec;
  s.pixFmt = o.pixFmt;
  s.crf = o.crf;
  s.preset = o.preset;
  s.audioFromMs = o.fromMs;
  return s;
}

void AddCaptureMusic(const CaptureOptions& o, EncoderSettings* s, FILE* log) {
  if (o.musicPath.empty()) return;
  const double seconds = MusicSeconds(o.musicPath);
  if (seconds <= 0) {
    fprintf(log, "No readable music at %s: the video will be silent.\n", o.musicPath.c_str());
    return;
  }
  s->audioPath = o.musicPath;
  s->padAudio = seconds * 1000.0 < FrameTimeMs(o.fromMs, s->frameCount, o.fps);
  if (s->padAudio) fprintf(log, "The music ends at %.3f s: silence after it.\n", seconds);
}

namespace {

// The timeline's module windows; the blank last second is left out.
struct BenchWindow {
  const char* module;
  int mode;  // -1: the module has no mode
  int32_t fromMs, toMs;
};
// The show's module windows, the blank last second left out; module E has a
// single mode, printed as none.
std::vector<BenchWindow> BenchWindows() {
  int32_t count = 0;
  const ShowWindow* windows = ShowWindows(&count);
  std::vector<BenchWindow> out;
  for (int32_t i = 0; i < count; ++i) {
    const ShowWindow& w = windows[i];
    if (w.slot.module == kNoModule) continue;
    out.push_back({ModuleLetter(w.slot.module), w.slot.module == kModuleE ? -1 : w.slot.mode,
                   w.fromMs, w.toMs});
  }
  return out;
}

struct BenchResult {
  const BenchWindow* window;
  int32_t fromMs, toMs;
  TimeSummary frame, cpu, rest;
};

void PrintSummaryJson(FILE* out, const char* name, const TimeSummary& t) {
  fprintf(out, "\"%s\": {\"p10\": %.3f, \"median\": %.3f, \"p90\": %.3f}", name, t.p10, t.median,
          t.p90);
}

double Fps(double ms) { return ms > 0 ? 1000.0 / ms : 0.0; }

}  // namespace

bool RunBench(const CaptureOptions& o, const ShowHooks& hooks, const char* renderer, FILE* out,
              FILE* log) {
  StopSignals signals;
  // Between stretches the show plays on in coarse steps so every module's
  // clock arrives at its stretch about where the show would have it.
  const int32_t step = o.prerollStepMs > 0 ? o.prerollStepMs : 500;
  std::vector<BenchResult> results;
  int32_t t = 0;
  const std::vector<BenchWindow> windows = BenchWindows();
  int stretches = int(windows.size());
  for (int w = 0; w < stretches && !stopRequested; ++w) {
    const BenchWindow& win = windows[w];
    int32_t from = win.fromMs + (win.toMs - win.fromMs) / 2;
    for (; t < from && !stopRequested; t += step) {
      hooks.drawFrame(t, hooks.user);
      SwapFrame();
    }
    std::vector<double> frame, cpu, rest;
    int32_t last = from;
    glFinish();
    for (int n = 0; n < o.benchFrames && !stopRequested; ++n) {
      last = FrameTimeMs(from, n, o.fps);
      if (last >= win.toMs) break;
      double wall0 = WallSeconds(), cpu0 = ThreadCpuSeconds();
      hooks.drawFrame(last, hooks.user);
      double cpu1 = ThreadCpuSeconds();
      SwapFrame();
      glFinish();  // the frame is done only when the GL has drawn it
      double wall1 = WallSeconds();
      double frameMs = (wall1 - wall0) * 1000;
      double cpuMs = (hooks.moduleCpuSeconds ? hooks.moduleCpuSeconds(hooks.user) : cpu1 - cpu0) * 1000;
      if (cpuMs > frameMs) cpuMs = frameMs;
      frame.push_back(frameMs);
      cpu.push_back(cpuMs);
      rest.push_back(frameMs - cpuMs);
    }
    t = last + 1;
    BenchResult r{&win, from, last + 1, Summarize(frame), Summarize(cpu), Summarize(rest)};
    results.push_back(r);
    fprintf(log, "Measured %s%s: %d frames from %.1f s\n", win.module,
            win.mode < 0 ? "" : (win.mode ? " mode 1" : " mode 0"), r.frame.count, from * 0.001);
  }
  if (stopRequested) {
    fprintf(log, "Stopped.\n");
    return false;
  }

  if (o.json) {
    std::string name;
    for (const char* c = renderer; *c; ++c)
      if (*c != '"' && *c != '\\' && uint8_t(*c) >= 0x20) name += *c;
    fprintf(out, "{\"renderer\": \"%s\", \"fps\": \"%s\", \"frames_per_stretch\": %d, "
                 "\"modules\": [\n", name.c_str(), FormatFrameRate(o.fps).c_str(), o.benchFrames);
    for (size_t i = 0; i < results.size(); ++i) {
      const BenchResult& r = results[i];
      fprintf(out, "  {\"module\": \"%s\", \"mode\": %d, \"from_ms\": %d, \"to_ms\": %d, "
                   "\"frames\": %d, ",
              r.window->module, r.window->mode, r.fromMs, r.toMs, r.frame.count);
      PrintSummaryJson(out, "frame_ms", r.frame);
      fprintf(out, ", ");
      PrintSummaryJson(out, "cpu_ms", r.cpu);
      fprintf(out, ", ");
      PrintSummaryJson(out, "gpu_driver_ms", r.rest);
      // The fps percentiles mirror the frame time ones: the slow 90th frame is the 10th fps.
      fprintf(out, ", \"fps\": {\"p10\": %.2f, \"median\": %.2f, \"p90\": %.2f}}%s\n",
              Fps(r.frame.p90), Fps(r.frame.median), Fps(r.frame.p10),
              i + 1 < results.size() ? "," : "");
    }
    fprintf(out, "]}\n");
  } else {
    fprintf(out, "Benchmark on %s, %d frames per stretch at %s fps; times in ms as "
                 "median (p10-p90)\n", renderer, o.benchFrames, FormatFrameRate(o.fps).c_str());
    fprintf(out, "%-6s %-4s %-15s %-22s %-22s %-22s %s\n", "Module", "Mode", "Stretch s",
            "Frame", "Module CPU", "Rest (GPU/driver)", "fps median (p10-p90)");
    for (const BenchResult& r : results) {
      char mode[8], stretch[32], a[32], b[32], c[32];
      snprintf(mode, sizeof mode, "%s", r.window->mode < 0 ? "-" : r.window->mode ? "1" : "0");
      snprintf(stretch, sizeof stretch, "%.1f-%.1f", r.fromMs * 0.001, r.toMs * 0.001);
      snprintf(a, sizeof a, "%.2f (%.2f-%.2f)", r.frame.median, r.frame.p10, r.frame.p90);
      snprintf(b, sizeof b, "%.2f (%.2f-%.2f)", r.cpu.median, r.cpu.p10, r.cpu.p90);
      snprintf(c, sizeof c, "%.2f (%.2f-%.2f)", r.rest.median, r.rest.p10, r.rest.p90);
      fprintf(out, "%-6s %-4s %-15s %-22s %-22s %-22s %.1f (%.1f-%.1f)\n", r.window->module, mode,
              stretch, a, b, c, Fps(r.frame.median), Fps(r.frame.p90), Fps(r.frame.p10));
    }
  }
  fflush(out);
  return true;
}
