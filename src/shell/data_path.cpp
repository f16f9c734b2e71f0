#include "shell/data_path.h"

#include <SDL.h>
#include <unistd.h>

std::string ExecutableFolder() {
  char* base = SDL_GetBasePath();
  if (!base) return "./";
  std::string folder = base;
  SDL_free(base);
  if (folder.empty()) return "./";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string DataPath(const char* relative) { return ExecutableFolder() + relative; }

bool EnterExecutableFolder() {
  char* base = SDL_GetBasePath();
  if (!base) return false;
  bool ok = chdir(base) == 0;
  SDL_free(base);
  return ok;
}
