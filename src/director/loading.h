// The loading sequence: shared objects, shared textures and every module's
// init step, behind the animated loading screen.
#pragma once
#include <cstdint>

// Runs once after the context exists and before the music starts. Creates the
// shared objects (director/shared.h), loads the shared textures under their
// fixed names 30 to 59, then hands over, inits and warms up the modules in the
// order B, E, D, A, C. windowWidth x windowHeight is the picture's logical
// window (1024 x 768 at the show's own size), which sizes the loading frame's
// last quad. Draws and swaps 17 loading frames in all, whether the
// modules exist yet or not. Missing image files put up the loader's error box
// and request quit; loading goes on.
void LoadAll(int renderWidth, int renderHeight, int effectWidth, int effectHeight,
             int windowWidth, int windowHeight);

// One loading frame (no swap): the loading picture (kTextureLoadingPicture) on a tilted
// plane that rises with the progress, black over the part not yet loaded,
// softened by blur passes on the loading target, drawn over the window.
// Advances the progress by 25 up to 300. Leaves the window's framebuffer
// bound with the viewport on the picture's rectangle, the depth test on, 2D
// texturing and blending on with blend function (src alpha, dst alpha),
// texture environment GL_ADD, the render area's orthographic projection and
// an identity modelview.
void DrawLoadingScreen();

// Called with the frame number (1..17) after each loading frame is drawn and
// before it is swapped, so a tool can save the frames. Null turns it off.
using LoadingFrameHook = void (*)(int frame, void* user);
void SetLoadingFrameHook(LoadingFrameHook hook, void* user);

// The progress the next loading frame is drawn with: 10 at start, then 35, 60,
// ... 285, 310, and 300 from the fourteenth frame on.
float LoadingProgress();
