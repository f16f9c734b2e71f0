#include "forge_options.h"

#include <getopt.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#ifndef MARVOKE_VERSION
#define MARVOKE_VERSION "unknown"
#endif

namespace {

int Usage(FILE* err, const std::string& message) {
  fprintf(err, "marvoke-forge: %s\nTry 'marvoke-forge --help'.\n", message.c_str());
  return 2;
}

// The option as written, without an `=value`.
std::string OptionName(const char* arg) {
  std::string s = arg ? arg : "?";
  size_t eq = s.find('=');
  return eq == std::string::npos ? s : s.substr(0, eq);
}

}  // namespace

void PrintForgeUsage(FILE* to) {
  fputs("usage: marvoke-forge DIR\n"
        "       marvoke-forge --sheet FILE.png\n"
        "       marvoke-forge --music-report DIR [--music-picture FILE.png]\n"
        "Writes the show's images, models and music into DIR/Images, DIR/Models and\n"
        "DIR/Music, printing how long each part took.\n"
        "\n"
        "  --sheet FILE.png          a contact sheet of every picture instead, with\n"
        "                            the screens and the models beside it\n"
        "  --music-report DIR        forge only the music into DIR/Music and print its\n"
        "                            figures per window of the show and for the whole\n"
        "  --music-picture FILE.png  with --music-report: the track's spectrogram, its\n"
        "                            loudness, the cuts and the novelty as a picture\n"
        "  --help                    this text\n"
        "  --version                 the version\n",
        to);
}

int ParseForgeOptions(int argc, char** argv, ForgeOptions* o, FILE* out, FILE* err) {
  // --help and --version win wherever they stand, even after a mistake.
  for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i) {
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
      PrintForgeUsage(out);
      return 0;
    }
    if (strcmp(argv[i], "--version") == 0) {
      fprintf(out, "marvoke-forge %s\n", MARVOKE_VERSION);
      return 0;
    }
  }
  enum { kSheet = 1000, kReport, kPicture, kHelp, kVersion };
  static const option kLong[] = {
      {"sheet", required_argument, nullptr, kSheet},
      {"music-report", required_argument, nullptr, kReport},
      {"music-picture", required_argument, nullptr, kPicture},
      {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersion},
      {nullptr, 0, nullptr, 0},
  };
  optind = 0;  // a full rescan, so tests can parse more than once
  opterr = 0;  // our own messages
  for (;;) {
    const int c = getopt_long(argc, argv, ":h", kLong, nullptr);
    if (c == -1) break;
    const char* v = optarg;
    const std::string name = OptionName(optind > 0 && optind <= argc ? argv[optind - 1] : nullptr);
    switch (c) {
      case kSheet: o->sheetPath = v; break;
      case kReport: o->reportDir = v; break;
      case kPicture: o->picturePath = v; break;
      case 'h':
      case kHelp: PrintForgeUsage(out); return 0;
      case kVersion: fprintf(out, "marvoke-forge %s\n", MARVOKE_VERSION); return 0;
      case ':': return Usage(err, "option '" + name + "' needs a value");
      default: return Usage(err, "unknown option '" + name + "'");
    }
    if (v && !*v) return Usage(err, "option '" + name + "' needs a value, not an empty one");
  }
  for (int i = optind; i < argc; ++i) {
    if (!o->dataDir.empty()) return Usage(err, std::string("unexpected argument '") + argv[i] + "'");
    o->dataDir = argv[i];
  }
  const int actions = !o->dataDir.empty() + !o->sheetPath.empty() + !o->reportDir.empty();
  if (!o->picturePath.empty() && o->reportDir.empty())
    return Usage(err, "--music-picture goes with --music-report");
  if (actions == 0) return Usage(err, "missing the folder DIR to write the data into");
  if (actions > 1) return Usage(err, "give one of DIR, --sheet FILE.png and --music-report DIR");
  return -1;
}

bool PrepareMusicReport(const ForgeOptions& o, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path music = fs::path(o.reportDir) / "Music";
  fs::create_directories(music, ec);
  if (ec || !fs::is_directory(music, ec) || access(music.c_str(), W_OK) != 0) {
    *error = "can't write into the folder " + music.string() + (ec ? ": " + ec.message() : "");
    return false;
  }
  if (o.picturePath.empty()) return true;
  fs::path picture(o.picturePath);
  fs::path parent = picture.has_parent_path() ? picture.parent_path() : fs::path(".");
  if (fs::is_directory(picture, ec)) {
    *error = "the music picture " + o.picturePath + " is a folder";
    return false;
  }
  if (!fs::is_directory(parent, ec) || access(parent.c_str(), W_OK) != 0 ||
      (fs::exists(picture, ec) && access(picture.c_str(), W_OK) != 0)) {
    *error = "can't write the music picture " + o.picturePath;
    return false;
  }
  return true;
}
