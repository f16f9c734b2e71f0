// The forge's command line: an option is never taken for the output folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "run_command.h"

namespace fs = std::filesystem;

TEST(ForgeCommandLine, HelpAndUnknownOptionsWriteNothing) {
  const fs::path dir = fs::temp_directory_path() / ("marvoke-forge-cli-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string forge = std::string(MARVOKE_BUILD_DIR) + "/marvoke-forge";
  std::string out;
  EXPECT_EQ(0, RunCommandLine("cd " + dir.string() + " && " + forge + " --help", &out));
  EXPECT_NE(std::string::npos, out.find("usage: marvoke-forge DIR")) << out;
  out.clear();
  EXPECT_EQ(2, RunCommandLine("cd " + dir.string() + " && " + forge + " --bogus", &out));
  EXPECT_NE(std::string::npos, out.find("--bogus")) << out;
  out.clear();
  EXPECT_EQ(2, RunCommandLine("cd " + dir.string() + " && " + forge, &out));
  EXPECT_TRUE(fs::is_empty(dir));  // no folder named after an option, no data
  fs::remove_all(dir);
}
