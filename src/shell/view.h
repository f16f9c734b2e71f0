// The two viewport/projection set-ups the whole show switches between.
#pragma once

// Drawing into the render area: binds the area's framebuffer, viewport
// (0, 0, renderWidth, renderHeight),
// orthographic projection centred on it (near 0, far 1), and records width x
// height as the window size. A height of 0 (a minimised window) changes
// nothing. Leaves the modelview matrix selected.
void SetTargetView(int width, int height);

// Drawing over the whole window: binds the window's framebuffer, viewport on
// the picture's 4:3 rectangle in it (the whole window at 4:3), orthographic
// projection of the window's size centred on it (near 0.1, far 100000). Leaves the
// modelview matrix selected.
void SetWindowView();
