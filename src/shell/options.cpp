#include "shell/options.h"

#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/area_target.h"
#include "core/command_line.h"
#include "core/render_scale.h"

namespace {

bool ParseInt(const char* text, long low, long high, int32_t* value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (errno || *end || v < low || v > high) return false;
  *value = int32_t(v);
  return true;
}

// "WxH", each side 64 to 16384.
bool ParseSize(const char* text, int32_t* w, int32_t* h) {
  char* end = nullptr;
  errno = 0;
  long a = strtol(text, &end, 10);
  if (errno || end == text || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  long b = strtol(rest, &end, 10);
  if (errno || end == rest || *end || a < 64 || b < 64 || a > 16384 || b > 16384) return false;
  *w = int32_t(a);
  *h = int32_t(b);
  return true;
}

// One line naming the fault and a pointer to --help, exit code 2.
int Bad(FILE* err, const char* message, const char* option, const char* value) {
  if (value) return UsageError(err, "marvoke", "%s: %s \"%s\"", option, message, value);
  return UsageError(err, "marvoke", "%s: %s", option, message);
}

}  // namespace

void PrintShowUsage(FILE* to) {
  fprintf(to,
          "Usage: marvoke [OPTION]...\n"
          "Plays the show. With no option: fullscreen at 1024x768, asking for a window\n"
          "when that mode cannot be set.\n"
          "\n"
          "  --fullscreen         switch the display to 1024x768 (the default)\n"
          "  --desktop            fullscreen on the desktop's own mode, no mode switch\n"
          "  --windowed[=WxH]     a resizable window, 1024x768 unless given\n"
          "  --display N          the display to open on, counted from 0\n"
          "  --scale S|auto       render scale, 0.25 to 4 (1: a 1024x512 area); auto picks\n"
          "                       0.5 on a software renderer, else the picture's pixel size\n"
          "  --start SECONDS      begin at that music time (0 to %.1f)\n"
          "  --loop               play again from 0 at the end, until Escape\n"
          "  --mute               no sound: the show runs on its own clock\n"
          "  --vsync on|off       swap interval (default: the driver's)\n"
          "  --data DIR           read Images/, Models/ and Music/ from DIR only\n"
          "  --help               this text\n"
          "  --version            the version\n"
          "\n"
          "Keys: Escape quits; Left/Right seek 1 s, Down/Up 3 s; F9 or Space pause;\n"
          "Home restarts; F11 or Alt+Enter switch between window and fullscreen.\n"
          "\n"
          "./run passes its arguments here; without a display it renders a video with\n"
          "build/marvoke-render instead and takes that program's options.\n",
          kShowLengthMs / 1000.0);
}

int ParseShowOptions(int argc, char** argv, ShowOptions* o, FILE* out, FILE* err) {
  enum {
    kFullscreen = 1000, kDesktop, kWindowed, kDisplay, kScale, kStart, kLoop, kMute, kVsync,
    kData, kHelp, kVersion
  };
  static const option kLong[] = {
      {"fullscreen", no_argument, nullptr, kFullscreen},
      {"desktop", no_argument, nullptr, kDesktop},
      {"windowed", optional_argument, nullptr, kWindowed},
      {"display", required_argument, nullptr, kDisplay},
      {"scale", required_argument, nullptr, kScale},
      {"start", required_argument, nullptr, kStart},
      {"loop", no_argument, nullptr, kLoop},
      {"mute", no_argument, nullptr, kMute},
      {"vsync", required_argument, nullptr, kVsync},
      {"data", required_argument, nullptr, kData},
      {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersion},
      {nullptr, 0, nullptr, 0},
  };
  // --help and --version answer wherever they stand, before any fault is named.
  switch (FindHelpRequest(argc, argv)) {
    case HelpRequest::kHelp: PrintShowUsage(out); return 0;
    case HelpRequest::kVersion: fprintf(out, "marvoke %s\n", MarvokeVersion()); return 0;
    case HelpRequest::kNone: break;
  }
  optind = 0;  // a full rescan, so tests can parse more than once
  opterr = 0;  // our own messages
  for (;;) {
    int index = -1;
    const int c = getopt_long(argc, argv, ":", kLong, &index);
    if (c == -1) break;
    const char* v = optarg;
    // A required value is never the next option: "--start --mute" lacks one.
    if (index >= 0 && kLong[index].has_arg == required_argument && IsMissingValue(v)) {
      char name[64];
      snprintf(name, sizeof name, "--%s", kLong[index].name);
      return Bad(err, "needs a value", name, nullptr);
    }
    switch (c) {
      case kFullscreen: o->screen = ScreenMode::kFullscreen; break;
      case kDesktop: o->screen = ScreenMode::kDesktop; break;
      case kWindowed:
        o->screen = ScreenMode::kWindowed;
        if (v && !ParseSize(v, &o->windowWidth, &o->windowHeight))
          return Bad(err, "takes a size WxH, each side 64 to 16384, not", "--windowed", v);
        break;
      case kDisplay:
        if (!ParseInt(v, 0, 63, &o->display))
          return Bad(err, "takes a display number from 0, not", "--display", v);
        break;
      case kScale:
        if (strcmp(v, "auto") == 0) {
          o->scaleAuto = true;
        } else {
          float s = 1.0f;
          if (!ReadRenderScale(v, &s)) {
            char message[96];
            snprintf(message, sizeof message, "takes %g to %g or auto (1 is a 1024x512 area), not",
                     double(kMinRenderScale), double(kMaxRenderScale));
            return Bad(err, message, "--scale", v);
          }
          o->scaleAuto = false;
          o->scale = s;
        }
        o->scaleGiven = true;
        break;
      case kStart: {
        char* end = nullptr;
        errno = 0;
        double s = strtod(v, &end);
        if (errno || end == v || *end || !(s >= 0.0) || s * 1000.0 > kShowLengthMs) {
          char message[64];
          snprintf(message, sizeof message, "takes seconds from 0 to %.1f, not",
                   kShowLengthMs / 1000.0);
          return Bad(err, message, "--start", v);
        }
        o->startMs = int32_t(std::lround(s * 1000.0));
        break;
      }
      case kLoop: o->loop = true; break;
      case kMute: o->mute = true; break;
      case kVsync:
        if (strcmp(v, "on") == 0) o->vsync = 1;
        else if (strcmp(v, "off") == 0) o->vsync = 0;
        else return Bad(err, "takes on or off, not", "--vsync", v);
        break;
      case kData:
        if (!*v) return Bad(err, "takes a folder, not", "--data", v);
        o->dataFolder = v;
        break;
      case kHelp:
      case kVersion: break;  // answered before parsing
      case ':': {
        char name[64];
        return Bad(err, "needs a value", LastOptionName(argc, argv, name, sizeof name), nullptr);
      }
      default: {
        // A known flag given a value ("--loop=1") is named as such.
        char name[64];
        LastOptionName(argc, argv, name, sizeof name);
        for (const option* l = kLong; l->name; ++l)
          if (l->has_arg == no_argument && strcmp(name + 2, l->name) == 0)
            return Bad(err, "takes no value", name, nullptr);
        return UsageError(err, "marvoke", "unknown option %s", name);
      }
    }
  }
  if (optind < argc) return Bad(err, "unexpected argument", argv[optind], nullptr);
  return -1;
}

float AutoRenderScale(const char* renderer, int32_t drawableWidth, int32_t drawableHeight) {
  if (renderer && (strstr(renderer, "llvmpipe") || strstr(renderer, "softpipe") ||
                   strstr(renderer, "swrast")))
    return 0.5f;
  const PictureRect r = FitPicture(drawableWidth, drawableHeight);
  float s = float(r.width) / 1024.0f;
  if (s < kMinRenderScale) s = kMinRenderScale;
  if (s > kMaxRenderScale) s = kMaxRenderScale;
  return s;
}
