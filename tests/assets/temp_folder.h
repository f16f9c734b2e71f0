// A scratch folder for one test's sample files, gone again with the test.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "sample_files.h"

namespace samples {

struct TempFolder {
  // Under the system's temporary folder as marvoke-<tag>-<pid>.
  explicit TempFolder(const std::string& tag)
      : dir(std::filesystem::temp_directory_path() /
            ("marvoke-" + tag + "-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(dir);
  }
  ~TempFolder() {
    std::error_code ignored;  // a leftover folder must not fail the test run
    std::filesystem::remove_all(dir, ignored);
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  // Writes the file and returns its path.
  std::string Write(const std::string& name, const Bytes& bytes) const {
    std::string path = Path(name);
    EXPECT_TRUE(WriteFile(path, bytes));
    return path;
  }
  std::filesystem::path dir;
};

}  // namespace samples
