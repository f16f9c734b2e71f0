// Where the show's Images/, Models/ and Music/ are. The folder beside the
// executable comes first (the build tree, and every existing copy), then the
// installed places, so one binary plays from its build tree, from an unpacked
// archive and from /usr.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// The folder holding the running executable, with a trailing '/'; "./" when
// it cannot be found.
std::string ExecutableFolder();

// ExecutableFolder() + relative, e.g. DataPath("Music/quendel2b.ogg").
std::string DataPath(const char* relative);

// What the search reads, as values so tests can give their own; empty
// strings stand for unset. DataSearchFromEnvironment fills it from the process.
struct DataSearchInput {
  std::string explicitFolder;    // --data DIR
  std::string environmentFolder; // MARVOKE_DATA_DIR
  std::string executableFolder;  // ExecutableFolder()
  std::string xdgDataHome;       // XDG_DATA_HOME
  std::string home;              // HOME, for XDG_DATA_HOME's default
  std::string xdgDataDirs;       // XDG_DATA_DIRS, colon-separated
  std::string compiledIn;        // the install prefix's data folder
};

// The installed data folder this build was configured for
// (CMAKE_INSTALL_FULL_DATADIR/marvoke).
const char* CompiledInDataFolder();

DataSearchInput DataSearchFromEnvironment(const char* explicitFolder);

// The folders looked at, in order, without repeats. An explicit folder (the
// option first, else the variable) is the only one: naming a folder must
// never quietly play another copy. Otherwise: beside the executable,
// <executable>/../share/marvoke, $XDG_DATA_HOME/marvoke (~/.local/share by
// default), each of $XDG_DATA_DIRS (/usr/local/share:/usr/share by default)
// + /marvoke, then the compiled-in folder. Relative XDG entries are skipped,
// as the XDG base directory rules ask.
std::vector<std::string> DataSearchFolders(const DataSearchInput& input);

// True when `folder` holds the three subfolders Images, Models and Music.
bool HoldsShowData(const std::string& folder);

// The first folder of DataSearchFolders that holds the data, with a trailing
// '/'. "" when none does, with *message naming every folder tried.
std::string FindDataFolder(const DataSearchInput& input, std::string* message);

// FindDataFolder on the process's environment (explicitFolder: --data, or
// nullptr); "" when none holds the data, with the message on `err` after the
// program's name.
std::string LocateDataFolder(const char* explicitFolder, FILE* err = stderr);

// Finds the data from the process's environment (explicitFolder: --data, or
// nullptr) and makes that folder the working directory, so the relative data
// paths resolve there. False, with the message on `err`, when no folder holds
// the data or it cannot be entered.
bool EnterDataFolder(const char* explicitFolder, FILE* err = stderr);

// EnterDataFolder(nullptr): for a program without a --data option.
bool EnterExecutableFolder();
