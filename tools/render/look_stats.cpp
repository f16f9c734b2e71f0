#include "look_stats.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "director/show_windows.h"

namespace {
const char kHeader[] =
    "time_s,module,mode,mean_luma,clipped_share,dark_share,bright_share,bright_blue_minus_red";

// Luma in thousandths: whole-number weights keep the thresholds exact.
constexpr int32_t kClipped = 245 * 1000, kDark = 12 * 1000, kBright = 128 * 1000;

int32_t ModuleFromLetter(const std::string& s) {
  for (int32_t m = 0; m < 5; ++m)
    if (s == ModuleLetter(m)) return m;
  return s == "-" ? kNoModule : -2;
}

bool ParseDouble(const std::string& s, double* v) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  *v = strtod(s.c_str(), &end);
  return !errno && *end == '\0';
}
}  // namespace

FrameLook MeasureFrame(const uint8_t* rgb, int width, int height) {
  FrameLook look;
  const int64_t n = int64_t(width) * height;
  if (n <= 0) return look;
  int64_t sum = 0, clipped = 0, dark = 0, bright = 0, blueMinusRed = 0;
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t* p = rgb + 3 * i;
    int32_t y = 299 * p[0] + 587 * p[1] + 114 * p[2];
    sum += y;
    clipped += y >= kClipped;
    dark += y <= kDark;
    if (y > kBright) {
      ++bright;
      blueMinusRed += int32_t(p[2]) - int32_t(p[0]);
    }
  }
  look.meanLuma = double(sum) / 1000.0 / double(n);
  look.clippedShare = double(clipped) / double(n);
  look.darkShare = double(dark) / double(n);
  look.brightShare = double(bright) / double(n);
  look.brightBlueMinusRed = bright ? double(blueMinusRed) / double(bright) : 0.0;
  return look;
}

void WriteLookHeader(FILE* out) { fprintf(out, "%s\n", kHeader); }

void WriteLookRow(FILE* out, const FrameLook& l) {
  fprintf(out, "%.3f,%s,%d,%.3f,%.5f,%.5f,%.5f,%.3f\n", l.timeMs * 0.001, ModuleLetter(l.module),
          l.mode, l.meanLuma, l.clippedShare, l.darkShare, l.brightShare, l.brightBlueMinusRed);
}

bool ReadLookCsv(const std::string& path, std::vector<FrameLook>* rows, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "can't read " + path + ": " + strerror(errno);
    return false;
  }
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    *error = path + " is not a frame statistics file (its first line is not \"" +
             std::string(kHeader) + "\")";
    return false;
  }
  rows->clear();
  for (int lineNo = 2; std::getline(in, line); ++lineNo) {
    if (line.empty()) continue;
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
      size_t comma = line.find(',', start);
      f.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    FrameLook l;
    double t, mode;
    bool ok = f.size() == 8 && ParseDouble(f[0], &t) && ParseDouble(f[2], &mode) &&
              ParseDouble(f[3], &l.meanLuma) && ParseDouble(f[4], &l.clippedShare) &&
              ParseDouble(f[5], &l.darkShare) && ParseDouble(f[6], &l.brightShare) &&
              ParseDouble(f[7], &l.brightBlueMinusRed);
    l.module = ok ? ModuleFromLetter(f[1]) : -2;
    if (!ok || l.module == -2 || t < -1e6 || t > 1e6) {
      *error = path + ":" + std::to_string(lineNo) + ": malformed row \"" + line + "\"";
      return false;
    }
    l.timeMs = int32_t(t * 1000.0 + (t < 0 ? -0.5 : 0.5));
    l.mode = int32_t(mode);
    rows->push_back(l);
  }
  if (rows->empty()) {
    *error = path + " holds no frames";
    return false;
  }
  return true;
}
