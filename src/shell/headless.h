// Headless GL: an EGL pbuffer with the window's framebuffer format (8-bit RGB,
// no alpha, 24-bit depth, 8-bit stencil) and a compatibility-profile context.
// Mesa's surfaceless platform first (llvmpipe without a display), then a GPU
// vendor's device platform, then the default display.
#pragma once

struct HeadlessInfo {
  const char* platform;  // "surfaceless", "device" or "default"
  const char* renderer;  // GL_RENDERER
};

// Creates the context and makes it current. Returns false with a line on
// standard error when no backend works. Calling it again while open is a no-op.
bool OpenHeadless(int width, int height, HeadlessInfo* info = nullptr);
void CloseHeadless();
bool HeadlessIsOpen();
