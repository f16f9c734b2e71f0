// The render area's own framebuffer. Every scene draws into it at the area's
// size, whatever the window's size or shape; the post pass then copies the
// area into its texture and draws that into the window. Without one (tests
// that draw straight into a pbuffer) both bindings name the window's
// framebuffer.
#pragma once
#include <cstdint>

// A framebuffer of width x height (the picture's logical window, 1024 x 768
// at the show's own size) whose lower-left renderWidth x renderHeight is the
// render area, as in the window's back buffer. Colour RGB8 without alpha, so
// destination alpha still reads 1.0; depth 24 and stencil 8. Returns false,
// making nothing, when the framebuffer is not complete. A second call
// replaces the first.
bool CreateAreaTarget(int32_t width, int32_t height);
void FreeAreaTarget();
bool HasAreaTarget();

// Draws and reads go to the render area from here on.
void BindAreaTarget();
// Draws and reads go to the window's framebuffer from here on.
void BindWindowTarget();

// Where the picture lies in a window: the largest rectangle of the picture's
// 4:3 shape that fits, centred; the rest is black bars.
struct PictureRect {
  int32_t x, y, width, height;
};
PictureRect FitPicture(int32_t windowWidth, int32_t windowHeight);
