#include "assets/file_error.h"

#include <SDL.h>

#include <cstdio>

#include "core/settings.h"

namespace {

void ShowSdlBox(const char* text, const char* caption) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_ENABLE);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

MessageBoxFunction fileErrorBox = ShowSdlBox;
int fileReadErrors = 0;

}  // namespace

int FileReadErrorCount() { return fileReadErrors; }

void SetFileErrorBox(MessageBoxFunction box) { fileErrorBox = box ? box : ShowSdlBox; }

void ReportFileReadError(const char* path) {
  char text[1024];
  std::snprintf(text, sizeof text, "Can't load file %s", path);
  std::fprintf(stderr, "%s\n", text);
  ++fileReadErrors;
  fileErrorBox(text, "File read error");
  quitRequested = 1;
}
