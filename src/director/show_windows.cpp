#include "director/show_windows.h"

#include "modules/modules.h"

namespace {
const ShowWindow kWindows[] = {
    {0, 30000, {kModuleB, 0}},        {30000, 62400, {kModuleE, 0}},
    {62400, 90500, {kModuleD, 0}},    {90500, 147000, {kModuleC, 1}},
    {147000, 162000, {kModuleD, 1}},  {162000, 215300, {kModuleA, 1}},
    {215300, 302500, {kModuleB, 1}},  {302500, kShowLengthMs, {kNoModule, 0}},
};
const ShowFade kFades[] = {
    {0, 1000, 0, kFadeFromBlack, kEaseOut},
    {90001, 90500, 90000, kFadeZoom, kEaseIn},
    {90500, 90800, 90500, kFadeZoom, kEaseOut},
};
}  // namespace

ShowSlot SelectShowSlot(int32_t t) {
  // Negative times fall in the first window: only the upper ends are compared.
  for (const ShowWindow& w : kWindows)
    if (t < w.toMs) return w.slot;
  return {kNoModule, 0};
}

const char* ModuleLetter(int32_t module) {
  static const char* const kLetters[kModuleCount] = {"A", "B", "C", "D", "E"};
  return module >= 0 && module < kModuleCount ? kLetters[module] : "-";
}

const ShowWindow* ShowWindows(int32_t* count) {
  *count = int32_t(sizeof kWindows / sizeof kWindows[0]);
  return kWindows;
}

const ShowFade* ShowFades(int32_t* count) {
  *count = int32_t(sizeof kFades / sizeof kFades[0]);
  return kFades;
}

const ShowFade* ShowFadeAt(int32_t t) {
  if (t < 0) t = 0;  // as for the windows, negative times belong to the opening
  for (const ShowFade& f : kFades)
    if (t >= f.fromMs && t < f.toMs) return &f;
  return nullptr;
}
