// The show's window on SDL2: caption "Marvoke", a compatibility GL context
// with 8-bit RGB, no alpha, 24-bit depth and 8-bit stencil, double-buffered;
// fullscreen with a real display-mode change unless the user accepts a window
// instead. Errors are reported in message boxes with fixed texts.
#pragma once

struct SDL_Window;

// How the window opens; the defaults are the show's own: a display-mode
// switch to screenWidth x screenHeight, asking for a window when it fails.
struct WindowRequest {
  enum Mode { kModeSwitch, kDesktop, kWindowed } mode = kModeSwitch;
  int width = 0, height = 0;  // kWindowed; 0: screenWidth x screenHeight
  int display = -1;           // -1: SDL's choice
  int vsync = -1;             // -1 the driver's default, 0 off, 1 on (adaptive where offered)
};

// Opens the window and its context, makes the context current and installs
// SDL_GL_SwapWindow as SwapFrame; screenWidth and screenHeight then hold the
// drawable's size. On false the box or message has been shown and the
// program ends with *exitCode: 1 when the video system, the window or the
// context cannot be made (SDL's reason on standard error), when only an
// invisible video driver is there (no display) or when the windowed fallback
// cannot be asked; 0 when the viewer refuses the windowed fallback; 2 for a
// display number out of range.
bool OpenShowWindow(const WindowRequest& request = WindowRequest(), int* exitCode = nullptr);

// Reads the drawable's size (pixels, larger than the window on HiDPI) into
// screenWidth and screenHeight; a zero height (minimised) changes nothing.
void UpdateDrawableSize();

// The drawable's size for a window of w x h (a resize event's size): the
// window's own drawable when it is that size now, else w x h scaled by the
// drawable's pixels per window unit.
void DrawableSizeFor(int w, int h, int* drawableW, int* drawableH);
// The same rule on given sizes, for tests.
void ScaleToDrawable(int w, int h, int windowW, int windowH, int drawableW, int drawableH,
                     int* outW, int* outH);

// F11 and Alt+Enter: a window goes to desktop fullscreen, any fullscreen to a
// resizable window of the show's size.
void ToggleFullscreenWindow();

// Restores the desktop display mode and releases the context and the window.
// Safe to call on every way out, more than once.
void CloseShowWindow();

SDL_Window* ShowSdlWindow();

// An OK box with the error icon; the text also goes to standard error, which
// is all the user sees when no box can be shown.
void ShowErrorBox(const char* text, const char* caption);

// The Yes/No box with the exclamation icon. kNoBox when no box could be
// shown at all (the question is then on standard error, unanswered).
enum class Answer { kYes, kNo, kNoBox };
Answer AskYesNo(const char* text, const char* caption);
