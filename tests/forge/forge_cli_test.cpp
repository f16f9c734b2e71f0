// The forge's command line: an option is never taken for the output folder,
// both spellings of a value are read, --help and --version win anywhere, and
// a usage error names itself and points to --help.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "forge_options.h"
#include "run_command.h"

namespace fs = std::filesystem;

namespace {

struct Parsed {
  int code = -1;
  ForgeOptions options;
  std::string out, err;
};

std::string ReadBack(FILE* f) {
  std::string s;
  rewind(f);
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "marvoke-forge");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Parsed p;
  FILE* out = tmpfile();
  FILE* err = tmpfile();
  p.code = ParseForgeOptions(int(args.size()), argv.data(), &p.options, out, err);
  p.out = ReadBack(out);
  p.err = ReadBack(err);
  return p;
}

}  // namespace

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

TEST(ForgeCommandLine, ValuesInBothSpellings) {
  Parsed a = Parse({"--music-report=/tmp/a", "--music-picture", "/tmp/a.png"});
  EXPECT_EQ(-1, a.code) << a.err;
  EXPECT_EQ("/tmp/a", a.options.reportDir);
  EXPECT_EQ("/tmp/a.png", a.options.picturePath);
  Parsed b = Parse({"--sheet", "s.png"});
  EXPECT_EQ(-1, b.code) << b.err;
  EXPECT_EQ("s.png", b.options.sheetPath);
  Parsed c = Parse({"out"});
  EXPECT_EQ(-1, c.code) << c.err;
  EXPECT_EQ("out", c.options.dataDir);
  EXPECT_TRUE(c.err.empty() && c.out.empty());
}

TEST(ForgeCommandLine, HelpAndVersionAnywhereOnTheLine) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"out", "--help"}, {"--bogus", "--help"}, {"--sheet", "x.png", "--help"}}) {
    Parsed p = Parse(args);
    EXPECT_EQ(0, p.code) << args[0];
    EXPECT_NE(std::string::npos, p.out.find("usage: marvoke-forge DIR")) << args[0];
    EXPECT_TRUE(p.err.empty()) << p.err;
  }
  Parsed v = Parse({"out", "--version"});
  EXPECT_EQ(0, v.code);
  EXPECT_EQ(0u, v.out.rfind("marvoke-forge ", 0)) << v.out;
  // The help keeps within 80 columns.
  std::istringstream lines(Parse({"--help"}).out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

TEST(ForgeCommandLine, UsageErrorsNameThemselvesAndPointToHelp) {
  struct Case {
    std::vector<std::string> args;
    const char* names;
  } cases[] = {
      {{"--bogus=3"}, "unknown option '--bogus'"},
      {{"--sheet"}, "'--sheet' needs a value"},
      {{"--music-report="}, "'--music-report' needs a value"},
      {{"a", "b"}, "unexpected argument 'b'"},
      {{"--music-picture", "p.png", "out"}, "--music-picture goes with --music-report"},
      {{"--sheet", "s.png", "out"}, "give one of"},
      {{}, "missing the folder"},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.args);
    EXPECT_EQ(2, p.code) << c.names;
    EXPECT_EQ(0u, p.err.find("marvoke-forge: ")) << p.err;
    EXPECT_NE(std::string::npos, p.err.find(c.names)) << p.err;
    EXPECT_NE(std::string::npos, p.err.find("Try 'marvoke-forge --help'.")) << p.err;
    EXPECT_EQ(std::string::npos, p.err.find("usage:")) << p.err;  // a pointer, not the whole text
    EXPECT_TRUE(p.out.empty());
  }
}

TEST(ForgeCommandLine, ReportRefusesABadFolderOrPictureBeforeRendering) {
  const fs::path dir = fs::temp_directory_path() / ("marvoke-forge-report-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "plain-file";
  FILE* f = fopen(file.c_str(), "w");
  ASSERT_NE(nullptr, f);
  fclose(f);
  const std::string forge = std::string(MARVOKE_BUILD_DIR) + "/marvoke-forge";
  std::string out;
  // A folder under a plain file can't be made.
  EXPECT_EQ(1, RunCommandLine(forge + " --music-report " + (file / "sub").string(), &out));
  EXPECT_NE(std::string::npos, out.find("marvoke-forge: can't write into the folder")) << out;
  out.clear();
  // A picture in a folder that isn't there, or a picture path that is a folder.
  EXPECT_EQ(1, RunCommandLine(forge + " --music-report " + dir.string() + " --music-picture " +
                                  (dir / "missing" / "m.png").string(),
                              &out));
  EXPECT_NE(std::string::npos, out.find("can't write the music picture")) << out;
  out.clear();
  EXPECT_EQ(1, RunCommandLine(forge + " --music-report " + dir.string() + " --music-picture=" + dir.string(), &out));
  EXPECT_NE(std::string::npos, out.find("is a folder")) << out;
  EXPECT_FALSE(fs::exists(dir / "Music" / "quendel2b.ogg"));  // refused before the track was made
  fs::remove_all(dir);
}
