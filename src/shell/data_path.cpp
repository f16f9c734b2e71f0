#include "shell/data_path.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>  // program_invocation_short_name
#include <cstdlib>
#include <filesystem>

#ifndef MARVOKE_INSTALLED_DATA_DIR
#define MARVOKE_INSTALLED_DATA_DIR "/usr/local/share/marvoke"
#endif

namespace {

std::string Environment(const char* name) {
  const char* v = getenv(name);
  return v ? v : "";
}

// Without "." and ".." steps and without a trailing '/', so the same folder
// reached two ways is tried once and named plainly.
std::string Normal(const std::string& path) {
  std::string s = std::filesystem::path(path).lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

void Add(std::vector<std::string>* folders, const std::string& folder) {
  if (folder.empty()) return;
  const std::string n = Normal(folder);
  for (const std::string& f : *folders)
    if (f == n) return;
  folders->push_back(n);
}

bool IsFolder(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

}  // namespace

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

const char* CompiledInDataFolder() { return MARVOKE_INSTALLED_DATA_DIR; }

DataSearchInput DataSearchFromEnvironment(const char* explicitFolder) {
  DataSearchInput in;
  in.explicitFolder = explicitFolder ? explicitFolder : "";
  in.environmentFolder = Environment("MARVOKE_DATA_DIR");
  in.executableFolder = ExecutableFolder();
  in.xdgDataHome = Environment("XDG_DATA_HOME");
  in.home = Environment("HOME");
  in.xdgDataDirs = Environment("XDG_DATA_DIRS");
  in.compiledIn = CompiledInDataFolder();
  return in;
}

std::vector<std::string> DataSearchFolders(const DataSearchInput& in) {
  std::vector<std::string> folders;
  if (!in.explicitFolder.empty()) {
    Add(&folders, in.explicitFolder);
    return folders;
  }
  if (!in.environmentFolder.empty()) {
    Add(&folders, in.environmentFolder);
    return folders;
  }
  Add(&folders, in.executableFolder);
  if (!in.executableFolder.empty()) Add(&folders, in.executableFolder + "/../share/marvoke");
  if (!in.xdgDataHome.empty() && in.xdgDataHome[0] == '/')
    Add(&folders, in.xdgDataHome + "/marvoke");
  else if (!in.home.empty())
    Add(&folders, in.home + "/.local/share/marvoke");
  const std::string dirs = in.xdgDataDirs.empty() ? "/usr/local/share:/usr/share" : in.xdgDataDirs;
  for (size_t at = 0; at <= dirs.size();) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(at, end - at);
    if (!dir.empty() && dir[0] == '/') Add(&folders, dir + "/marvoke");
    at = end + 1;
  }
  Add(&folders, in.compiledIn);
  return folders;
}

bool HoldsShowData(const std::string& folder) {
  for (const char* sub : {"/Images", "/Models", "/Music"})
    if (!IsFolder(folder + sub)) return false;
  return true;
}

std::string FindDataFolder(const DataSearchInput& in, std::string* message) {
  const std::vector<std::string> folders = DataSearchFolders(in);
  for (const std::string& f : folders)
    if (HoldsShowData(f)) return f == "/" ? f : f + "/";
  if (message) {
    std::string m;
    if (!in.explicitFolder.empty() || !in.environmentFolder.empty()) {
      m = "no show data (the folders Images, Models and Music) in " + folders[0] +
          (in.explicitFolder.empty() ? ", the folder MARVOKE_DATA_DIR names.\n"
                                     : ", the folder --data names.\n");
    } else {
      m = "no show data (the folders Images, Models and Music) in any of:\n";
      for (const std::string& f : folders) m += "  " + f + "\n";
      m += "Name its folder with --data DIR or MARVOKE_DATA_DIR.\n";
    }
    *message = m;
  }
  return "";
}

std::string LocateDataFolder(const char* explicitFolder, FILE* err) {
  std::string message;
  const std::string folder = FindDataFolder(DataSearchFromEnvironment(explicitFolder), &message);
  if (folder.empty()) fprintf(err, "%s: %s", program_invocation_short_name, message.c_str());
  return folder;
}

bool EnterDataFolder(const char* explicitFolder, FILE* err) {
  const std::string folder = LocateDataFolder(explicitFolder, err);
  if (folder.empty()) return false;
  if (chdir(folder.c_str()) != 0) {
    fprintf(err, "%s: can't enter the data folder %s\n", program_invocation_short_name,
            folder.c_str());
    return false;
  }
  return true;
}

bool EnterExecutableFolder() { return EnterDataFolder(nullptr); }
