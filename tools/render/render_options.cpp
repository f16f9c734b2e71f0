#include "render_options.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/command_line.h"
#include "core/render_scale.h"
#include "ffmpeg_pipe.h"

namespace {

bool ParseInt(const char* text, long lo, long hi, long* value) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  long v = strtol(text, &end, 10);
  if (errno || *end || v < lo || v > hi) return false;
  *value = v;
  return true;
}

// "WxH", each side lo to hi.
bool ParseSize(const char* text, long lo, long hi, int* w, int* h) {
  const char* x = strpbrk(text, "xX");
  if (!x) return false;
  long a, b;
  std::string first(text, size_t(x - text));
  if (!ParseInt(first.c_str(), lo, hi, &a) || !ParseInt(x + 1, lo, hi, &b)) return false;
  *w = int(a);
  *h = int(b);
  return true;
}

// "T1,T2,..." in ms, into ascending unique times.
bool ParseTimeList(const char* text, std::vector<int32_t>* times) {
  times->clear();
  for (const char* p = text;;) {
    char* end = nullptr;
    errno = 0;
    long long t = strtoll(p, &end, 10);
    if (end == p || errno || t < 0 || t > kShowLengthMs || (*end && *end != ',')) return false;
    times->push_back(int32_t(t));
    if (!*end) break;
    p = end + 1;
  }
  std::sort(times->begin(), times->end());
  times->erase(std::unique(times->begin(), times->end()), times->end());
  return true;
}

// SHOW_END stands for the show's length, filled in from kShowLengthMs.
const char kUsageTemplate[] =
    "Usage: marvoke-render [OPTION]...\n"
    "Runs the show headless: its start-up and loading, then the frames, video or\n"
    "measurements the options ask for.\n"
    "\n"
    "Every mode:\n"
    "  --scale S            render scale, 0.25 to 4 (1: a 1024x512 area)\n"
    "  --window WxH         the frame the 4:3 picture is fitted into and captured\n"
    "                       from (default 1024x768)\n"
    "  --frame NAME         720p, 1080p, 1440p or 2160p: the window and the scale\n"
    "                       whose picture fills that frame's height\n"
    "  --fps R              frames per second of music time, e.g. 60 or 60000/1001\n"
    "                       (default 60)\n"
    "  --gpu N              headless device by index (a wrong N lists them)\n"
    "  --data DIR           read Images, Models and Music from DIR only\n"
    "  --lines              print the Time/Fps line of every frame drawn\n"
    "  --help, --version    this text; the version\n"
    "\n"
    "Single frames and the loading screen:\n"
    "  --at T1,T2,...       with --png DIR: the frames at those music times (ms)\n"
    "  --loading-png DIR    save each loading frame as DIR/loading_NN.png\n"
    "  --bench-effects      time each screen effect at the show's sizes\n"
    "\n"
    "Capture (one pass, outputs combined) and benchmark:\n"
    "  --video FILE         encode the frames with the music\n"
    "  --png DIR            without --at: every frame\n"
    "                       (both modes write DIR/frame_TTTTTT.png, T in ms)\n"
    "  --sheet FILE         a contact sheet, one frame every --sheet-every MS\n"
    "                       (default 5000)\n"
    "  --stats FILE.csv     per frame: music time, module, mode, mean luma, shares\n"
    "                       of pixels at or above 245 and at or below 12\n"
    "  --curve FILE.png     those figures and the music's loudness over the show\n"
    "  --curve-of FILE.csv  with --curve: draw from a saved --stats file alone\n"
    "  --from MS, --to MS   music time range, to exclusive (default 0 to SHOW_END)\n"
    "  --preroll-step MS    pre-roll step below 10000 ms when --from > 0\n"
    "                       (default: the capture's frame rate, exact)\n"
    "  --preroll-draw       draw the pre-roll frames instead of stepping the\n"
    "                       modules' state alone (same pictures, slower)\n"
    "  --size WxH           encoded video size (default: the window's)\n"
    "  --codec NAME         video encoder (default libx264)\n"
    "  --pix-fmt NAME       encoded pixel format (default yuv420p)\n"
    "  --crf N, --preset P  encoder quality and speed (default 18, veryfast)\n"
    "  --music FILE         audio source (default Music/quendel2b.ogg)\n"
    "  --no-audio           a video without sound\n"
    "  --bench              time a stretch of every module window\n"
    "  --bench-frames N     frames measured a window (default 120)\n"
    "  --json               with --bench: the figures as JSON on standard output\n"
    "\n"
    "Segments (every --video capture; --png, --stats and --sheet ones when one\n"
    "of these is given):\n"
    "  --jobs N             render N segments at once, each in a process of its\n"
    "                       own; auto picks by the machine (default 1)\n"
    "  --segment-seconds S  segment length in seconds of show (default 10)\n"
    "  --segment I/N        render only segment I of N into the work folder\n"
    "  --join               assemble the finished segments into the outputs\n"
    "  --restart            drop an earlier capture's work folder and begin again\n"
    "  The work folder FILE.parts/ beside the first output keeps the finished\n"
    "  segments: the same command again after a stop resumes.\n";

enum : int {
  kScale = 1000, kWindow, kFrame, kFps, kGpu, kData, kLines, kAt, kLoadingPng, kBenchEffects,
  kVideo, kPng, kSheet, kSheetEvery, kStats, kCurve, kCurveOf, kFrom, kTo, kPrerollStep,
  kPrerollDraw, kSize, kCodec, kPixFmt, kCrf, kPreset, kMusic, kNoAudio, kBench, kBenchFrames,
  kJson, kJobs, kSegmentSeconds, kSegment, kJoin, kRestart, kHelp, kVersion
};

const option kLong[] = {
    {"scale", required_argument, nullptr, kScale},
    {"window", required_argument, nullptr, kWindow},
    {"frame", required_argument, nullptr, kFrame},
    {"fps", required_argument, nullptr, kFps},
    {"gpu", required_argument, nullptr, kGpu},
    {"data", required_argument, nullptr, kData},
    {"lines", no_argument, nullptr, kLines},
    {"at", required_argument, nullptr, kAt},
    {"loading-png", required_argument, nullptr, kLoadingPng},
    {"bench-effects", no_argument, nullptr, kBenchEffects},
    {"video", required_argument, nullptr, kVideo},
    {"png", required_argument, nullptr, kPng},
    {"sheet", required_argument, nullptr, kSheet},
    {"sheet-every", required_argument, nullptr, kSheetEvery},
    {"stats", required_argument, nullptr, kStats},
    {"curve", required_argument, nullptr, kCurve},
    {"curve-of", required_argument, nullptr, kCurveOf},
    {"from", required_argument, nullptr, kFrom},
    {"to", required_argument, nullptr, kTo},
    {"preroll-step", required_argument, nullptr, kPrerollStep},
    {"preroll-draw", no_argument, nullptr, kPrerollDraw},
    {"size", required_argument, nullptr, kSize},
    {"codec", required_argument, nullptr, kCodec},
    {"pix-fmt", required_argument, nullptr, kPixFmt},
    {"crf", required_argument, nullptr, kCrf},
    {"preset", required_argument, nullptr, kPreset},
    {"music", required_argument, nullptr, kMusic},
    {"no-audio", no_argument, nullptr, kNoAudio},
    {"bench", no_argument, nullptr, kBench},
    {"bench-frames", required_argument, nullptr, kBenchFrames},
    {"json", no_argument, nullptr, kJson},
    {"jobs", required_argument, nullptr, kJobs},
    {"segment-seconds", required_argument, nullptr, kSegmentSeconds},
    {"segment", required_argument, nullptr, kSegment},
    {"join", no_argument, nullptr, kJoin},
    {"restart", no_argument, nullptr, kRestart},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// Keeps the first of several faults on a line: the rest of it is still read,
// so that a --gpu after a bad option gets its device list.
void Fail(std::string* error, const std::string& reason) {
  if (error->empty()) *error = reason;
}

std::string Quoted(const char* v) { return std::string("\"") + v + "\""; }

// What the options say together, once all are read.
bool CheckCombination(RenderCommand* c, bool atGiven, bool sizeGiven, std::string* error) {
  CaptureOptions& o = c->capture;
  const bool captureOut = !o.videoPath.empty() || (!o.pngDir.empty() && !atGiven) ||
                          !o.sheetPath.empty() || !o.statsPath.empty() || !o.curvePath.empty();
  if (atGiven) {
    if (o.pngDir.empty()) {
      *error = "--at needs --png DIR to write its frames into";
      return false;
    }
    if (captureOut || o.bench || !o.curveOf.empty()) {
      *error = "--at writes single frames; --video, --sheet, --stats, --curve and --bench "
               "capture a range instead";
      return false;
    }
  }
  c->mode = captureOut || o.bench || !o.curveOf.empty() ? RenderMode::kCapture
                                                         : RenderMode::kFrames;
  if (c->mode == RenderMode::kFrames) {
    if (o.segmentsAsked) {
      *error = "--jobs, --segment-seconds, --segment, --join and --restart go with a capture: "
               "--video, --png DIR, --sheet, --stats or --curve";
      return false;
    }
    if (sizeGiven || o.json) {
      *error = sizeGiven ? "--size scales the encoded video and needs --video"
                         : "--json goes with --bench";
      return false;
    }
    return true;
  }
  if (c->benchEffects) {
    *error = "--bench-effects runs without a capture or --bench";
    return false;
  }
  if (!o.curveOf.empty()) {
    // Drawn from a file: nothing is rendered, so no other output can be made.
    if (o.curvePath.empty() || o.bench || !o.videoPath.empty() || !o.pngDir.empty() ||
        !o.sheetPath.empty() || !o.statsPath.empty()) {
      *error = "--curve-of FILE.csv goes with --curve FILE.png alone";
      return false;
    }
    return true;
  }
  if (o.bench && captureOut) {
    // Measuring pictures would skew the timings.
    *error = "--bench runs on its own, without --video, --png, --sheet, --stats or --curve";
    return false;
  }
  if (o.json && !o.bench) {
    *error = "--json goes with --bench";
    return false;
  }
  if (o.toMs <= o.fromMs) {
    *error = "--to must be after --from";
    return false;
  }
  if (o.bench && o.segmentsAsked) {
    *error = "--bench times one process; --jobs, --segment-seconds, --segment, --join and "
             "--restart capture";
    return false;
  }
  if (o.segmentNumber && o.join) {
    *error = "--segment renders one segment and --join assembles them: give one";
    return false;
  }
  if ((o.segmentNumber || o.join) && (o.jobs != 1 || o.restart)) {
    *error = std::string(o.join ? "--join" : "--segment") +
             " works on the folder as it is: --jobs and --restart go with a whole capture";
    return false;
  }
  if (sizeGiven && o.videoPath.empty()) {
    *error = "--size scales the encoded video and needs --video";
    return false;
  }
  if (sizeGiven && !CheckVideoSize(o.outWidth, o.outHeight, o.pixFmt, error)) return false;
  // A pair of encoder and container that cannot work fails here, not after loading.
  if (!o.videoPath.empty() && !CheckCodecAndContainer(o.videoPath, o.codec, error)) return false;
  return true;
}

}  // namespace

const std::vector<FramePreset>& FramePresets() {
  static const std::vector<FramePreset> presets = {
      {"720p", 1280, 720, 0.9375f},
      {"1080p", 1920, 1080, 1.40625f},
      {"1440p", 2560, 1440, 1.875f},
      {"2160p", 3840, 2160, 2.8125f},
  };
  return presets;
}

const char* RenderUsage() {
  static const std::string usage = [] {
    std::string text = kUsageTemplate;
    const std::string mark = "SHOW_END";
    text.replace(text.find(mark), mark.size(), std::to_string(kShowLengthMs));
    return text;
  }();
  return usage.c_str();
}

std::string PngFrameName(int32_t musicTimeMs) {
  char name[32];
  snprintf(name, sizeof name, "frame_%06d.png", int(musicTimeMs));
  return name;
}

bool ParseRenderCommand(int argc, char** argv, RenderCommand* c, std::string* error) {
  error->clear();
  CaptureOptions& o = c->capture;
  bool atGiven = false, sizeGiven = false, scaleGiven = false, windowGiven = false;
  const char* frameName = nullptr;
  optind = 0;  // a full rescan, so tests can parse more than once
  opterr = 0;  // our own messages
  c->segmentArgs.clear();
  for (;;) {
    int index = -1;
    const int start = optind ? optind : 1;
    const int opt = getopt_long(argc, argv, ":", kLong, &index);
    if (opt == -1) break;
    // What a segment's own process is given: the line as it stands, less what
    // only the whole capture does.
    if (opt != kJobs && opt != kRestart && opt != kJoin && opt != kSegment)
      for (int i = start; i < optind && i < argc; ++i) c->segmentArgs.push_back(argv[i]);
    // The option's own name: argv[optind - 1] is its value when one was taken.
    char name[64];
    if (index >= 0)
      snprintf(name, sizeof name, "--%s", kLong[index].name);
    else
      LastOptionName(argc, argv, name, sizeof name);
    const char* v = optarg;
    bool takesValue = false;
    for (const option* l = kLong; l->name; ++l)
      if (l->val == opt) takesValue = l->has_arg == required_argument;
    if (opt == ':' || (takesValue && IsMissingValue(v))) {
      Fail(error, std::string(name) + " needs a value");
      continue;
    }
    long n = 0;
    if (opt == kJobs || opt == kSegmentSeconds || opt == kSegment || opt == kJoin ||
        opt == kRestart)
      o.segmentsAsked = true;
    switch (opt) {
      case kScale: {
        float scale = 1.0f;
        if (!ReadRenderScale(v, &scale)) {
          char text[128];
          snprintf(text, sizeof text, "--scale takes %g to %g (1 is a 1024x512 area), not ",
                   double(kMinRenderScale), double(kMaxRenderScale));
          Fail(error, text + Quoted(v));
          break;
        }
        c->scale = scale;
        scaleGiven = true;
        break;
      }
      case kWindow:
        if (!ParseSize(v, 16, 16384, &c->windowWidth, &c->windowHeight)) {
          Fail(error, "--window takes WIDTHxHEIGHT, each 16 to 16384, not " + Quoted(v));
          break;
        }
        windowGiven = true;
        break;
      case kFrame: frameName = v; break;
      case kFps: {
        std::string reason;
        if (!ParseFrameRate(v, &o.fps, &reason)) Fail(error, "--fps: " + reason);
        break;
      }
      case kGpu:
        if (!ParseInt(v, 0, 1000, &n)) {
          Fail(error, "--gpu takes a device index from 0, not " + Quoted(v));
          break;
        }
        o.gpu = int(n);
        break;
      case kData: c->dataDir = v; break;
      case kLines: c->lines = true; break;
      case kAt:
        if (!ParseTimeList(v, &c->atTimes)) {
          Fail(error, "--at takes music times in ms from 0 to " + std::to_string(kShowLengthMs) +
                   " like 15000,90600, not " + Quoted(v));
          break;
        }
        atGiven = true;
        break;
      case kLoadingPng: c->loadingPngDir = v; break;
      case kBenchEffects: c->benchEffects = true; break;
      case kVideo: o.videoPath = v; break;
      case kPng: o.pngDir = v; break;
      case kSheet: o.sheetPath = v; break;
      case kStats: o.statsPath = v; break;
      case kCurve: o.curvePath = v; break;
      case kCurveOf: o.curveOf = v; break;
      case kMusic: o.musicPath = v; break;
      case kNoAudio: o.musicPath.clear(); break;
      case kCodec: o.codec = v; break;
      case kPixFmt: o.pixFmt = v; break;
      case kPreset: o.preset = v; break;
      case kPrerollDraw: o.prerollDraw = true; break;
      case kBench: o.bench = true; break;
      case kJson: o.json = true; break;
      case kSize:
        if (!ParseSize(v, 1, 1 << 16, &o.outWidth, &o.outHeight)) {
          Fail(error, "--size takes WIDTHxHEIGHT, not " + Quoted(v));
          break;
        }
        sizeGiven = true;
        break;
      case kFrom:
      case kTo:
        if (!ParseInt(v, 0, kShowLengthMs, &n)) {
          Fail(error, std::string(name) + " takes a music time in ms from 0 to " +
                   std::to_string(kShowLengthMs) + ", not " + Quoted(v));
          break;
        }
        (opt == kFrom ? o.fromMs : o.toMs) = int32_t(n);
        break;
      case kPrerollStep:
        // Module clocks drop deltas of 10000 ms and more, so larger steps would lose time.
        if (!ParseInt(v, 1, 9999, &n)) {
          Fail(error, "--preroll-step takes 1 to 9999 ms, not " + Quoted(v));
          break;
        }
        o.prerollStepMs = int32_t(n);
        break;
      case kCrf:
        if (!ParseInt(v, 0, 63, &n)) {
          Fail(error, "--crf takes 0 to 63, not " + Quoted(v));
          break;
        }
        o.crf = int(n);
        break;
      case kSheetEvery:
        if (!ParseInt(v, 1, kShowLengthMs, &n)) {
          Fail(error, "--sheet-every takes 1 to " + std::to_string(kShowLengthMs) + " ms, not " +
                   Quoted(v));
          break;
        }
        o.sheetEveryMs = int32_t(n);
        break;
      case kBenchFrames:
        if (!ParseInt(v, 1, 100000, &n)) {
          Fail(error, "--bench-frames takes 1 to 100000, not " + Quoted(v));
          break;
        }
        o.benchFrames = int(n);
        break;
      case kJobs:
        if (!strcmp(v, "auto")) {
          o.jobs = 0;
        } else if (!ParseInt(v, 1, 256, &n)) {
          Fail(error, "--jobs takes 1 to 256 or auto, not " + Quoted(v));
        } else {
          o.jobs = int(n);
        }
        break;
      case kSegmentSeconds: {
        char* end = nullptr;
        errno = 0;
        double seconds = strtod(v, &end);
        if (errno || end == v || *end || !(seconds >= 0.01 && seconds <= 3600)) {
          Fail(error, "--segment-seconds takes 0.01 to 3600, not " + Quoted(v));
          break;
        }
        o.segmentSeconds = seconds;
        break;
      }
      case kSegment: {
        const char* slash = strchr(v, '/');
        long i = 0, count = 0;
        if (!slash || !ParseInt(std::string(v, size_t(slash - v)).c_str(), 1, 1000000, &i) ||
            !ParseInt(slash + 1, 1, 1000000, &count) || i > count) {
          Fail(error, "--segment takes I/N with 1 <= I <= N, not " + Quoted(v));
          break;
        }
        o.segmentNumber = int(i);
        o.segmentCount = int(count);
        break;
      }
      case kJoin: o.join = true; break;
      case kRestart: o.restart = true; break;
      case kHelp:
      case kVersion: break;  // answered before parsing
      default:
        Fail(error, std::string("unknown option ") + name);
        break;
    }
  }
  if (!error->empty()) return false;
  if (optind < argc) {
    *error = std::string("unexpected argument ") + Quoted(argv[optind]);
    return false;
  }
  if (frameName) {
    const FramePreset* preset = nullptr;
    for (const FramePreset& p : FramePresets())
      if (strcmp(p.name, frameName) == 0) preset = &p;
    if (!preset) {
      *error = std::string("--frame takes 720p, 1080p, 1440p or 2160p, not ") + Quoted(frameName);
      return false;
    }
    if (scaleGiven || windowGiven) {
      *error = "--frame sets the window and the scale; give it or --window and --scale";
      return false;
    }
    c->windowWidth = preset->width;
    c->windowHeight = preset->height;
    c->scale = preset->scale;
  }
  return CheckCombination(c, atGiven, sizeGiven, error);
}
