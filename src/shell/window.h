// The show's window on SDL2: caption "Marvoke", a compatibility GL context
// with 8-bit RGB, no alpha, 24-bit depth and 8-bit stencil, double-buffered;
// fullscreen with a real display-mode change unless the user accepts a window
// instead. Errors are reported in message boxes with fixed texts.
#pragma once

struct SDL_Window;

// Opens the window and its context, makes the context current and installs
// SDL_GL_SwapWindow as SwapFrame. On false the box has been shown (or the
// user refused windowed mode) and the program ends with exit code 0.
bool OpenShowWindow();

// Restores the desktop display mode and releases the context and the window.
// Safe to call on every way out, more than once.
void CloseShowWindow();

SDL_Window* ShowSdlWindow();

// An OK box with the error icon; the text also goes to standard error, which
// is all the user sees when no box can be shown.
void ShowErrorBox(const char* text, const char* caption);

// The Yes/No box with the exclamation icon; true only on Yes.
bool AskYesNo(const char* text, const char* caption);
