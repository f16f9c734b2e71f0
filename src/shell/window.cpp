#include "shell/window.h"

#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/present.h"
#include "core/settings.h"

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool videoUp = false;

// exit() from anywhere (an unreadable data file) still gives the desktop its mode back.
void CloseAtExit() { CloseShowWindow(); }

// When the X server goes away, Xlib's handler exits through the atexit
// handlers, and restoring the mode over the dead connection would hang. The
// display is gone, so there is nothing to restore: leave at once.
int OnDisplayLost(void*) {
  static const char kMessage[] = "Lost the connection to the display.\n";
  ssize_t written = write(2, kMessage, sizeof kMessage - 1);
  (void)written;
  _exit(1);
}

// SDL loads Xlib itself; its handler setter is reached the same way.
void GuardAgainstDisplayLoss() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || strcmp(driver, "x11") != 0) return;
  void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (!xlib) return;
  using IoErrorHandler = int (*)(void*);
  auto setHandler =
      reinterpret_cast<IoErrorHandler (*)(IoErrorHandler)>(dlsym(xlib, "XSetIOErrorHandler"));
  if (setHandler) setHandler(OnDisplayLost);
  dlclose(xlib);
}

void SwapWindow(void*) {
  if (window) SDL_GL_SwapWindow(window);
}

void SetGlAttributes() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // No alpha bits: blends with destination alpha must read 1.0.
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  // 8 bits rather than 1: overlapping shadow volumes count past 1.
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
}

// Switches the display to screenWidth x screenHeight and makes the window
// fullscreen on it; true only when the display really runs that mode after.
bool EnterFullscreenMode() {
  int display = SDL_GetWindowDisplayIndex(window);
  if (display < 0) display = 0;
  SDL_DisplayMode want{SDL_PIXELFORMAT_RGB888, screenWidth, screenHeight, 0, nullptr};
  SDL_DisplayMode mode{};
  if (!SDL_GetClosestDisplayMode(display, &want, &mode)) return false;
  if (mode.w != screenWidth || mode.h != screenHeight || SDL_BITSPERPIXEL(mode.format) < 24)
    return false;
  if (SDL_SetWindowDisplayMode(window, &mode) != 0) return false;
  if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) return false;
  SDL_ShowWindow(window);
  SDL_DisplayMode current{};
  if (SDL_GetCurrentDisplayMode(display, &current) != 0) return false;
  return current.w == screenWidth && current.h == screenHeight &&
         (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
}

}  // namespace

void ShowErrorBox(const char* text, const char* caption) {
  fprintf(stderr, "%s: %s\n", caption, text);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, window);
}

bool AskYesNo(const char* text, const char* caption) {
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  const SDL_MessageBoxData data{SDL_MESSAGEBOX_WARNING, nullptr, caption, text, 2, buttons,
                                nullptr};
  int answer = 0;
  if (SDL_ShowMessageBox(&data, &answer) != 0) {
    // No box on this display: nobody said Yes.
    fprintf(stderr, "%s: %s\n", caption, text);
    return false;
  }
  return answer == 1;
}

bool OpenShowWindow() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    ShowErrorBox("The window class could not be registered!", "Window Creation Error");
    return false;
  }
  videoUp = true;
  GuardAgainstDisplayLoss();
  static bool exitHookSet = false;
  if (!exitHookSet) exitHookSet = atexit(CloseAtExit) == 0;
  SetGlAttributes();

  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  window = SDL_CreateWindow("Marvoke", 0, 0, screenWidth, screenHeight, flags);
  if (!window) {
    // A plain window that opens tells a missing GL format from a window failure.
    SDL_Window* plain = SDL_CreateWindow("Marvoke", 0, 0, screenWidth, screenHeight,
                                         SDL_WINDOW_HIDDEN);
    if (plain) {
      SDL_DestroyWindow(plain);
      ShowErrorBox("Could not find suitable pixel format", "Pixel Format Error");
    } else {
      ShowErrorBox("Couldn't create window!", "Window Creation Error");
    }
    return false;
  }

  if (fullscreen) {
    if (EnterFullscreenMode()) {
      SDL_ShowCursor(SDL_DISABLE);
    } else {
      SDL_SetWindowFullscreen(window, 0);
      if (!AskYesNo("The Requested Fullscreen Mode Is Not Supported By\n"
                    "Your Video Card. Use Windowed Mode Instead?",
                    "OPENGL")) {
        CloseShowWindow();
        return false;
      }
      fullscreen = 0;
      SDL_SetWindowSize(window, screenWidth, screenHeight);
    }
  }
  SDL_ShowWindow(window);

  context = SDL_GL_CreateContext(window);
  if (!context) {
    ShowErrorBox("Can't create render context.", "Render Context Error");
    CloseShowWindow();
    return false;
  }
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    ShowErrorBox("Can't set active render context.", "Render Context Error");
    CloseShowWindow();
    return false;
  }
  SetSwapFunction(SwapWindow, nullptr);
  return true;
}

void CloseShowWindow() {
  if (context) {
    SetSwapFunction(nullptr, nullptr);
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
    context = nullptr;
  }
  if (window) {
    // Destroying a fullscreen window puts the desktop mode back.
    SDL_DestroyWindow(window);
    window = nullptr;
  }
  if (videoUp) {
    SDL_ShowCursor(SDL_ENABLE);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoUp = false;
  }
}

SDL_Window* ShowSdlWindow() { return window; }
