#include "shell/window.h"

#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/present.h"
#include "core/settings.h"

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
// The size a window made fullscreen returns to on F11 (the show's own).
int windowedWidth = 0, windowedHeight = 0;
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

Answer AskYesNo(const char* text, const char* caption) {
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  const SDL_MessageBoxData data{SDL_MESSAGEBOX_WARNING, nullptr, caption, text, 2, buttons,
                                nullptr};
  int answer = 0;
  if (SDL_ShowMessageBox(&data, &answer) != 0) {
    // No box on this display: nobody could answer.
    fprintf(stderr, "%s: %s\n(no message box could be shown: %s)\n", caption, text,
            SDL_GetError());
    return Answer::kNoBox;
  }
  return answer == 1 ? Answer::kYes : Answer::kNo;
}

bool OpenShowWindow(const WindowRequest& request, int* exitCode) {
  int unused = 0;
  if (!exitCode) exitCode = &unused;
  // A window or context that cannot be made is a failure (exit 1), with
  // SDL's own reason after the show's message; a refused fallback is a choice.
  *exitCode = 1;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    const std::string reason = SDL_GetError();
    ShowErrorBox("The window class could not be registered!", "Window Creation Error");
    fprintf(stderr, "marvoke: SDL: %s\n", reason.c_str());
    return false;
  }
  videoUp = true;
  // Without DISPLAY or WAYLAND_DISPLAY SDL falls back to drivers that show
  // nothing; playing on them would report an unseen show as a success.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!getenv("SDL_VIDEODRIVER") && driver &&
      (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0)) {
    fprintf(stderr, "marvoke: there is no display to show the window on (neither DISPLAY nor "
                    "WAYLAND_DISPLAY is set).\n"
                    "./run or build/marvoke-render --video FILE renders the show to a video "
                    "instead.\n");
    CloseShowWindow();
    return false;
  }
  const int displays = SDL_GetNumVideoDisplays();
  if (request.display >= 0 && request.display >= displays) {
    fprintf(stderr, "marvoke: --display %d: there %s %d display%s, numbered from 0.\n",
            request.display, displays == 1 ? "is" : "are", displays, displays == 1 ? "" : "s");
    CloseShowWindow();
    *exitCode = 2;
    return false;
  }
  GuardAgainstDisplayLoss();
  static bool exitHookSet = false;
  if (!exitHookSet) exitHookSet = atexit(CloseAtExit) == 0;
  SetGlAttributes();

  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
  int x = 0, y = 0, w = screenWidth, h = screenHeight;
  if (request.display >= 0) x = y = int(SDL_WINDOWPOS_UNDEFINED_DISPLAY(request.display));
  if (request.mode == WindowRequest::kWindowed) {
    flags |= SDL_WINDOW_RESIZABLE;
    if (request.width > 0) w = request.width, h = request.height;
    if (request.display >= 0) x = y = int(SDL_WINDOWPOS_CENTERED_DISPLAY(request.display));
  } else if (request.mode == WindowRequest::kDesktop) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    // Made at the screen's size: with no window manager to honour the
    // fullscreen request (a bare X server) the window keeps the size it was
    // made with, while SDL reports the screen's.
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(request.display >= 0 ? request.display : 0, &bounds) == 0)
      x = bounds.x, y = bounds.y, w = bounds.w, h = bounds.h;
  }
  // SDL returns other windows to their own windowed size; this one has none.
  const bool madeFullscreen = request.mode == WindowRequest::kDesktop;
  windowedWidth = madeFullscreen ? screenWidth : 0;
  windowedHeight = madeFullscreen ? screenHeight : 0;
  window = SDL_CreateWindow("Marvoke", x, y, w, h, flags);
  if (!window) {
    const std::string reason = SDL_GetError();
    // A plain window that opens tells a missing GL format from a window failure.
    SDL_Window* plain = SDL_CreateWindow("Marvoke", x, y, w, h, SDL_WINDOW_HIDDEN);
    if (plain) {
      SDL_DestroyWindow(plain);
      ShowErrorBox("Could not find suitable pixel format", "Pixel Format Error");
    } else {
      ShowErrorBox("Couldn't create window!", "Window Creation Error");
    }
    fprintf(stderr, "marvoke: SDL: %s\n", reason.c_str());
    CloseShowWindow();
    return false;
  }

  if (request.mode != WindowRequest::kModeSwitch) {
    fullscreen = request.mode == WindowRequest::kDesktop ? 1 : 0;
    if (fullscreen) SDL_ShowCursor(SDL_DISABLE);
  } else if (fullscreen) {
    if (EnterFullscreenMode()) {
      SDL_ShowCursor(SDL_DISABLE);
    } else {
      SDL_SetWindowFullscreen(window, 0);
      const Answer answer = AskYesNo("The Requested Fullscreen Mode Is Not Supported By\n"
                                     "Your Video Card. Use Windowed Mode Instead?",
                                     "OPENGL");
      if (answer != Answer::kYes) {
        if (answer == Answer::kNo) *exitCode = 0;  // the viewer chose not to play
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
    const std::string reason = SDL_GetError();
    ShowErrorBox("Can't create render context.", "Render Context Error");
    fprintf(stderr, "marvoke: SDL: %s\n", reason.c_str());
    CloseShowWindow();
    return false;
  }
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    const std::string reason = SDL_GetError();
    ShowErrorBox("Can't set active render context.", "Render Context Error");
    fprintf(stderr, "marvoke: SDL: %s\n", reason.c_str());
    CloseShowWindow();
    return false;
  }
  SetSwapFunction(SwapWindow, nullptr);
  if (request.vsync >= 0) {
    // On: adaptive (-1) where the driver offers it, else 1.
    if (request.vsync == 0) SDL_GL_SetSwapInterval(0);
    else if (SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(1);
    const int got = SDL_GL_GetSwapInterval();
    if ((got != 0) != (request.vsync != 0))
      fprintf(stderr, "marvoke: --vsync %s: the driver keeps swap interval %d.\n",
              request.vsync ? "on" : "off", got);
  }
  UpdateDrawableSize();
  *exitCode = 0;
  return true;
}

void UpdateDrawableSize() {
  if (!window) return;
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window, &w, &h);
  if (w <= 0 || h <= 0) return;
  screenWidth = w;
  screenHeight = h;
}

void ScaleToDrawable(int w, int h, int windowW, int windowH, int drawableW, int drawableH,
                     int* outW, int* outH) {
  if (windowW <= 0 || windowH <= 0 || drawableW <= 0 || drawableH <= 0) {
    *outW = w;
    *outH = h;
    return;
  }
  if (w == windowW && h == windowH) {
    *outW = drawableW;
    *outH = drawableH;
    return;
  }
  *outW = int(int64_t(w) * drawableW / windowW);
  *outH = int(int64_t(h) * drawableH / windowH);
}

void DrawableSizeFor(int w, int h, int* drawableW, int* drawableH) {
  int ww = 0, wh = 0, dw = 0, dh = 0;
  if (window) {
    SDL_GetWindowSize(window, &ww, &wh);
    SDL_GL_GetDrawableSize(window, &dw, &dh);
  }
  ScaleToDrawable(w, h, ww, wh, dw, dh, drawableW, drawableH);
}

void ToggleFullscreenWindow() {
  if (!window) return;
  if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) {
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowResizable(window, SDL_TRUE);
    if (windowedWidth > 0) {
      SDL_SetWindowSize(window, windowedWidth, windowedHeight);
      windowedWidth = 0;  // from now on SDL keeps the window's own size
    }
    SDL_ShowCursor(SDL_ENABLE);
    fullscreen = 0;
  } else if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0) {
    SDL_ShowCursor(SDL_DISABLE);
    fullscreen = 1;
  }
  UpdateDrawableSize();
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
