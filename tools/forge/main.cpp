// marvoke-forge DIR: writes the show's data into DIR, printing how long each part took.
// marvoke-forge --sheet FILE.png: writes a contact sheet of every picture instead.
// marvoke-forge --music-report DIR [--music-picture FILE.png]: forges only the
// music and prints its figures (and draws it).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "forge.h"
#include "forge_options.h"

int main(int argc, char** argv) {
  ForgeOptions o;
  int code = ParseForgeOptions(argc, argv, &o, stdout, stderr);
  if (code >= 0) return code;
  if (!o.sheetPath.empty()) {
    if (!WriteContactSheet(o.sheetPath)) {
      fprintf(stderr, "marvoke-forge: can't write the contact sheet %s\n", o.sheetPath.c_str());
      return 1;
    }
    return 0;
  }
  if (!o.reportDir.empty()) {
    std::string error;
    if (!PrepareMusicReport(o, &error)) {
      fprintf(stderr, "marvoke-forge: %s\n", error.c_str());
      return 1;
    }
    return MusicReport(o.reportDir, o.picturePath);
  }
  const std::string& dir = o.dataDir;
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
    std::function<bool(const std::string&)> run;
    bool ok = false;
    double seconds = 0;
  };
  // The music takes most of the time and shares nothing with the pictures and
  // models, so those are forged beside it; each part writes its own files.
  // Its synthesis keeps both cores busy, its mastering and encoding one, so
  // the pictures start once its mix is rendered.
  std::thread pictures;
  std::function<void()> startPictures;
  Step steps[] = {{"images", ForgeImages},
                  {"models", ForgeModels},
                  {"music", [&](const std::string& d) { return ForgeMusic(d, startPictures); }}};
  auto run = [&dir](Step& s) {
    auto t0 = std::chrono::steady_clock::now();
    s.ok = s.run(dir);
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  };
  startPictures = [&] {
    pictures = std::thread([&] {
      run(steps[0]);
      run(steps[1]);
    });
  };
  run(steps[2]);
  if (!pictures.joinable()) startPictures();  // the music stopped before its mix
  pictures.join();
  bool ok = true;
  for (const Step& s : steps) {
    printf("forge %-7s %6.2f s\n", s.name, s.seconds);
    ok = ok && s.ok;
  }
  return ok ? 0 : 1;
}
