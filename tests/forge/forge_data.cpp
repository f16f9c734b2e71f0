#include "forge_data.h"

#include <unistd.h>

#include <filesystem>

#include "forge.h"

std::string TempDir(const char* tag) {
  auto dir = std::filesystem::temp_directory_path() /
             (std::string("marvoke-forge-") + tag + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "Images");
  std::filesystem::create_directories(dir / "Models");
  return dir.string();
}

namespace {
struct Cleanup {
  std::string dir;
  ~Cleanup() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};
}  // namespace

const std::string& ForgedDir() {
  static Cleanup cleanup;
  static std::string dir = [] {
    std::string d = TempDir("data");
    cleanup.dir = d;
    if (!ForgeImages(d) || !ForgeModels(d)) return std::string();
    return d;
  }();
  return dir;
}
