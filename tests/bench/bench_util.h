// Shared by the effect modules' benchmarks: timing and a headless show that
// has loaded one module only.
#pragma once
#include <functional>

#include "modules/modules.h"

// Median milliseconds of `repeats` runs of `work` (after one warm-up run).
double MedianMs(int repeats, const std::function<void()>& work);

// Opens a 1024 x 768 headless context, enters the built data folder and runs
// the loading sequence with only module `id` in moduleTable. False (with the
// reason on standard error) when no context can be made.
bool OpenWithOnlyModule(ModuleId id);
