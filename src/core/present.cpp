#include "core/present.h"

namespace {
SwapFn swapFn = nullptr;
void* swapUser = nullptr;
}  // namespace

void SetSwapFunction(SwapFn fn, void* user) {
  swapFn = fn;
  swapUser = user;
}

void SwapFrame() {
  if (swapFn) swapFn(swapUser);
}
