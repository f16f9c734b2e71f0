// The forge's command line, read with getopt_long: `--opt=value` and
// `--opt value`, --help and --version anywhere on the line.
#pragma once
#include <cstdio>
#include <string>

struct ForgeOptions {
  std::string dataDir;      // DIR: every image, model and the music
  std::string sheetPath;    // --sheet FILE.png
  std::string reportDir;    // --music-report DIR
  std::string picturePath;  // --music-picture FILE.png, with --music-report
};

void PrintForgeUsage(FILE* to);

// -1 to go on with *o filled; otherwise the exit code: 0 after --help or
// --version (on `out`), 2 for a usage error, named on `err` with a pointer to
// --help.
int ParseForgeOptions(int argc, char** argv, ForgeOptions* o, FILE* out, FILE* err);

// Before the report renders anything: DIR/Music can be made and the picture's
// folder is there and writable. False with the reason.
bool PrepareMusicReport(const ForgeOptions& o, std::string* error);
