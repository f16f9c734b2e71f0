// marvoke-forge DIR: writes the show's data into DIR, printing how long each part took.
// marvoke-forge --sheet FILE.png: writes a contact sheet of every picture instead.
// marvoke-forge --music-report DIR: forges only the music and prints its figures.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "forge.h"

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--sheet") == 0) {
    if (!WriteContactSheet(argv[2])) {
      fprintf(stderr, "marvoke-forge: can't write the contact sheet %s\n", argv[2]);
      return 1;
    }
    return 0;
  }
  if (argc == 3 && strcmp(argv[1], "--music-report") == 0) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(argv[2]) / "Music", ec);
    return MusicReport(argv[2]);
  }
  static const char kUsage[] =
      "usage: marvoke-forge DIR | marvoke-forge --sheet FILE.png | marvoke-forge --music-report DIR\n";
  if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
    fputs(kUsage, stdout);
    return 0;
  }
  // An option it does not know is not a folder to fill with data.
  if (argc != 2 || argv[1][0] == '-') {
    if (argc >= 2 && argv[1][0] == '-')
      fprintf(stderr, "marvoke-forge: unknown option or missing value: %s\n", argv[1]);
    fputs(kUsage, stderr);
    return 2;
  }
  std::string dir = argv[1];
  std::error_code ec;
  for (const char* sub : {"Images", "Models", "Music"}) {
    std::filesystem::create_directories(std::filesystem::path(dir) / sub, ec);
    if (ec) {
      fprintf(stderr, "marvoke-forge: can't create %s/%s: %s\n", dir.c_str(), sub,
              ec.message().c_str());
      return 1;
    }
  }
  struct Step {
    const char* name;
    bool (*run)(const std::string&);
    bool ok = false;
    double seconds = 0;
  } steps[] = {{"images", ForgeImages}, {"models", ForgeModels}, {"music", ForgeMusic}};
  auto run = [&dir](Step& s) {
    auto t0 = std::chrono::steady_clock::now();
    s.ok = s.run(dir);
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  };
  // The music takes most of the time and shares nothing with the pictures and
  // models, so those are forged beside it; each part writes its own files.
  std::thread pictures([&] {
    run(steps[0]);
    run(steps[1]);
  });
  run(steps[2]);
  pictures.join();
  bool ok = true;
  for (const Step& s : steps) {
    printf("forge %-7s %6.2f s\n", s.name, s.seconds);
    ok = ok && s.ok;
  }
  return ok ? 0 : 1;
}
