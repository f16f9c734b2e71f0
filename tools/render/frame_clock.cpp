#include "frame_clock.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace {

int64_t Gcd(int64_t a, int64_t b) {
  while (b) {
    int64_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

// Parses all of text as a non-negative integer of at most 9 digits.
bool ParseDigits(const std::string& text, int64_t* value) {
  if (text.empty() || text.size() > 9) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

}  // namespace

bool ParseFrameRate(const std::string& text, FrameRate* rate, std::string* error) {
  int64_t num = 0, den = 1;
  size_t slash = text.find('/');
  size_t dot = text.find('.');
  bool ok;
  if (slash != std::string::npos) {
    ok = ParseDigits(text.substr(0, slash), &num) && ParseDigits(text.substr(slash + 1), &den);
  } else if (dot != std::string::npos) {
    // A decimal rate becomes the fraction it spells: 29.97 -> 2997/100.
    std::string whole = text.substr(0, dot), frac = text.substr(dot + 1);
    int64_t w = 0, f = 0;
    ok = frac.size() <= 6 && (whole.empty() || ParseDigits(whole, &w)) && ParseDigits(frac, &f);
    if (ok) {
      den = 1;
      for (size_t i = 0; i < frac.size(); ++i) den *= 10;
      num = w * den + f;
    }
  } else {
    ok = ParseDigits(text, &num);
  }
  if (!ok || den == 0 || num == 0) {
    *error = "frame rate \"" + text + "\" is not a positive number such as 60 or 60000/1001";
    return false;
  }
  if (num > 1000 * den) {
    *error = "frame rate \"" + text + "\" is above 1000 frames per second";
    return false;
  }
  int64_t g = Gcd(num, den);
  rate->num = num / g;
  rate->den = den / g;
  return true;
}

std::string FormatFrameRate(FrameRate rate) {
  char text[48];
  if (rate.den == 1)
    snprintf(text, sizeof text, "%" PRId64, rate.num);
  else
    snprintf(text, sizeof text, "%" PRId64 "/%" PRId64, rate.num, rate.den);
  return text;
}

double FramesPerSecond(FrameRate rate) { return double(rate.num) / double(rate.den); }

int32_t FrameTimeMs(int32_t fromMs, int64_t frame, FrameRate rate) {
  // frame < 2^31 and den < 10^9 keep the product inside 64 bits.
  int64_t offset = frame * 1000 * rate.den / rate.num;
  return int32_t(fromMs + offset);
}

int64_t FrameCount(int32_t fromMs, int32_t toMs, FrameRate rate) {
  if (toMs <= fromMs) return 0;
  int64_t span = int64_t(toMs) - fromMs;
  int64_t d = 1000 * rate.den;
  return (span * rate.num + d - 1) / d;
}

std::string FramesDurationText(int64_t frames, FrameRate rate) {
  // Microseconds, rounded down: the cut never asks for audio past the last frame.
  int64_t micros = frames * rate.den * 1000000 / rate.num;
  char text[48];
  snprintf(text, sizeof text, "%" PRId64 ".%06" PRId64, micros / 1000000, micros % 1000000);
  return text;
}
