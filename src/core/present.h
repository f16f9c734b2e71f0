// Buffer swap of whichever backend owns the GL context (window or headless).
// The loading sequence and the main loop call SwapFrame; the backend installs
// the swap it needs, and the offline renderer hooks it to capture frames.
#pragma once

using SwapFn = void (*)(void* user);

void SetSwapFunction(SwapFn fn, void* user);
void SwapFrame();
