// The show reads Images/, Models/ and Music/ beside its executable, whatever
// the working directory.
#pragma once
#include <string>

// The folder holding the running executable, with a trailing '/'; "./" when
// it cannot be found.
std::string ExecutableFolder();

// ExecutableFolder() + relative, e.g. DataPath("Music/quendel2b.ogg").
std::string DataPath(const char* relative);

// Makes the executable's folder the working directory, so the relative data
// paths resolve there. Returns false (and stays put) when it cannot.
bool EnterExecutableFolder();
