#include "capture_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

bool ParseSize(const std::string& text, int* w, int* h) {
  size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  long a, b;
  if (!ParseInt(text.substr(0, x).c_str(), 1, 1 << 16, &a) ||
      !ParseInt(text.substr(x + 1).c_str(), 1, 1 << 16, &b))
    return false;
  *w = int(a);
  *h = int(b);
  return true;
}

const char* const kCaptureFlags[] = {"--video", "--png", "--sheet", "--bench", "--stats",
                                     "--curve", "--curve-of"};

}  // namespace

const char* CaptureUsage() {
  static const std::string usage =
      std::string("Usage: marvoke-render [--video FILE] [--png DIR] [--sheet FILE] [options]\n"
         "       marvoke-render --bench [--json] [--bench-frames N] [--fps R]\n"
         "  --from MS, --to MS     music time range, to exclusive (default 0 to ") +
      std::to_string(kShowLengthMs) + ")\n"
         "  --fps R                frames per second, e.g. 60 or 60000/1001 (default 60)\n"
         "  --preroll-step MS      pre-roll step below 10000 ms when --from > 0\n"
         "                         (default: the capture's frame rate, exact)\n"
         "  --preroll-draw         draw the pre-roll frames instead of stepping the\n"
         "                         modules' state alone (same pictures, slower)\n"
         "  --size WxH             encoded video size (default: the frames', see --window)\n"
         "  --codec NAME --pix-fmt NAME --crf N --preset NAME   encoder settings\n"
         "                         (default libx264, yuv420p, 18, veryfast)\n"
         "  --music FILE | --no-audio   audio source (default Music/quendel2b.ogg)\n"
         "  --sheet-every MS       contact sheet spacing (default 5000)\n"
         "  --gpu N                headless device by index (a wrong N lists them)\n"
         "  --stats FILE.csv       per frame: music time, module, mode, mean luma, shares\n"
         "                         of pixels at or above 245 and at or below 12\n"
         "  --curve FILE.png       those figures and the music's loudness over the show\n"
         "  --curve-of FILE.csv    with --curve: draw from a saved --stats file, render nothing\n";
  return usage.c_str();
}

bool WantsCapture(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    for (const char* flag : kCaptureFlags)
      if (strcmp(argv[i], flag) == 0) return true;
  return false;
}

bool CheckVideoSize(int width, int height, const std::string& pixFmt, std::string* error) {
  if (width < 16 || height < 16 || width > 8192 || height > 8192) {
    *error = "video size " + std::to_string(width) + "x" + std::to_string(height) +
             " is outside 16x16 to 8192x8192";
    return false;
  }
  // Chroma subsampled formats halve the width (4:2:x) and the height (4:2:0).
  bool halfWidth = pixFmt.find("420") != std::string::npos ||
                   pixFmt.find("422") != std::string::npos || pixFmt == "nv12" ||
                   pixFmt == "nv21" || pixFmt == "yuyv422" || pixFmt == "uyvy422";
  bool halfHeight = pixFmt.find("420") != std::string::npos || pixFmt == "nv12" ||
                    pixFmt == "nv21";
  if ((halfWidth && width % 2) || (halfHeight && height % 2)) {
    *error = "video size " + std::to_string(width) + "x" + std::to_string(height) +
             " cannot be encoded as " + pixFmt + ": it needs an even " +
             (halfWidth && width % 2 ? "width" : "height");
    return false;
  }
  return true;
}

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* o, std::string* error) {
  bool sizeGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto need = [&]() {
      if (!value) *error = arg + " needs a value";
      return value != nullptr;
    };
    long v;
    if (arg == "--bench") {
      o->bench = true;
      continue;
    }
    if (arg == "--json") {
      o->json = true;
      continue;
    }
    if (arg == "--no-audio") {
      o->musicPath.clear();
      continue;
    }
    if (arg == "--preroll-draw") {
      o->prerollDraw = true;
      continue;
    }
    if (!need()) return false;
    ++i;
    if (arg == "--video") {
      o->videoPath = value;
    } else if (arg == "--png") {
      o->pngDir = value;
    } else if (arg == "--sheet") {
      o->sheetPath = value;
    } else if (arg == "--stats") {
      o->statsPath = value;
    } else if (arg == "--curve") {
      o->curvePath = value;
    } else if (arg == "--curve-of") {
      o->curveOf = value;
    } else if (arg == "--music") {
      o->musicPath = value;
    } else if (arg == "--codec") {
      o->codec = value;
    } else if (arg == "--pix-fmt") {
      o->pixFmt = value;
    } else if (arg == "--preset") {
      o->preset = value;
    } else if (arg == "--fps") {
      if (!ParseFrameRate(value, &o->fps, error)) return false;
    } else if (arg == "--size") {
      if (!ParseSize(value, &o->outWidth, &o->outHeight)) {
        *error = std::string("--size takes WIDTHxHEIGHT, not \"") + value + "\"";
        return false;
      }
      sizeGiven = true;
    } else if (arg == "--from" || arg == "--to") {
      if (!ParseInt(value, 0, kShowLengthMs, &v)) {
        *error = arg + " takes a music time in ms from 0 to " + std::to_string(kShowLengthMs);
        return false;
      }
      (arg == "--from" ? o->fromMs : o->toMs) = int32_t(v);
    } else if (arg == "--preroll-step") {
      // Module clocks drop deltas of 10000 ms and more, so larger steps would lose time.
      if (!ParseInt(value, 1, 9999, &v)) {
        *error = "--preroll-step takes 1 to 9999 ms";
        return false;
      }
      o->prerollStepMs = int32_t(v);
    } else if (arg == "--crf") {
      if (!ParseInt(value, 0, 63, &v)) {
        *error = "--crf takes 0 to 63";
        return false;
      }
      o->crf = int(v);
    } else if (arg == "--sheet-every") {
      if (!ParseInt(value, 1, kShowLengthMs, &v)) {
        *error = "--sheet-every takes 1 to " + std::to_string(kShowLengthMs) + " ms";
        return false;
      }
      o->sheetEveryMs = int32_t(v);
    } else if (arg == "--gpu") {
      if (!ParseInt(value, 0, 1000, &v)) {
        *error = "--gpu takes a device index from 0";
        return false;
      }
      o->gpu = int(v);
    } else if (arg == "--bench-frames") {
      if (!ParseInt(value, 1, 100000, &v)) {
        *error = "--bench-frames takes 1 to 100000";
        return false;
      }
      o->benchFrames = int(v);
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  bool capture = !o->videoPath.empty() || !o->pngDir.empty() || !o->sheetPath.empty() ||
                 !o->statsPath.empty() || !o->curvePath.empty();
  if (!o->curveOf.empty()) {
    // Drawn from a file: nothing is rendered, so no other output can be made.
    if (o->curvePath.empty() || o->bench || !o->videoPath.empty() || !o->pngDir.empty() ||
        !o->sheetPath.empty() || !o->statsPath.empty()) {
      *error = "--curve-of FILE.csv goes with --curve FILE.png alone";
      return false;
    }
    return true;
  }
  if (o->bench && capture) {
    // Measuring pictures would skew the timings.
    *error = "--bench runs on its own, without --video, --png, --sheet, --stats or --curve";
    return false;
  }
  if (!o->bench && !capture) {
    *error = "nothing to do: give --video FILE, --png DIR, --sheet FILE, --stats FILE, --curve FILE "
             "or --bench";
    return false;
  }
  if (o->json && !o->bench) {
    *error = "--json goes with --bench";
    return false;
  }
  if (o->toMs <= o->fromMs) {
    *error = "--to must be after --from";
    return false;
  }
  if (sizeGiven && o->videoPath.empty()) {
    *error = "--size scales the encoded video and needs --video";
    return false;
  }
  if (sizeGiven && !CheckVideoSize(o->outWidth, o->outHeight, o->pixFmt, error))
    return false;
  return true;
}
