// Where the player and the renderer look for Images/, Models/ and Music/: the
// order of the places, the explicit folder that allows no other, and the
// player refusing to start without data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "run_command.h"
#include "shell/data_path.h"

namespace fs = std::filesystem;

namespace {

struct Scratch {
  fs::path dir = fs::temp_directory_path() / ("marvoke-data-" + std::to_string(getpid()));
  Scratch() { fs::create_directories(dir); }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  // A folder under the scratch one, with the given data subfolders.
  std::string Make(const std::string& name,
                   std::vector<const char*> subs = {"Images", "Models", "Music"}) const {
    fs::create_directories(dir / name);
    for (const char* s : subs) fs::create_directories(dir / name / s);
    return (dir / name).string();
  }
};

// Every place set, none holding data unless a test makes it.
DataSearchInput Places(const Scratch& s) {
  DataSearchInput in;
  in.executableFolder = s.Make("prefix/bin", {}) + "/";
  in.xdgDataHome = (s.dir / "home-data").string();
  in.home = (s.dir / "home").string();
  in.xdgDataDirs = (s.dir / "dirs1").string() + ":" + (s.dir / "dirs2").string();
  in.compiledIn = (s.dir / "compiled/marvoke").string();
  return in;
}

std::string Found(const DataSearchInput& in) {
  std::string message;
  return FindDataFolder(in, &message);
}

}  // namespace

TEST(DataSearch, PlacesInOrder) {
  Scratch s;
  DataSearchInput in = Places(s);
  const std::string d = s.dir.string();
  const std::vector<std::string> expected = {
      d + "/prefix/bin",          d + "/prefix/share/marvoke", d + "/home-data/marvoke",
      d + "/dirs1/marvoke",       d + "/dirs2/marvoke",        d + "/compiled/marvoke"};
  EXPECT_EQ(expected, DataSearchFolders(in));

  // Each place wins over every later one, and a folder lacking one of the
  // three subfolders is passed over.
  s.Make("compiled/marvoke");
  EXPECT_EQ(d + "/compiled/marvoke/", Found(in));
  s.Make("dirs2/marvoke");
  EXPECT_EQ(d + "/dirs2/marvoke/", Found(in));
  s.Make("dirs1/marvoke", {"Images", "Models"});
  EXPECT_EQ(d + "/dirs2/marvoke/", Found(in));
  s.Make("home-data/marvoke");
  EXPECT_EQ(d + "/home-data/marvoke/", Found(in));
  s.Make("prefix/share/marvoke");
  EXPECT_EQ(d + "/prefix/share/marvoke/", Found(in));
  s.Make("prefix/bin");  // the build tree: data beside the executable
  EXPECT_EQ(d + "/prefix/bin/", Found(in));
}

TEST(DataSearch, XdgDefaultsRepeatsAndRelativeEntries) {
  DataSearchInput in;
  in.executableFolder = "/opt/m/bin/";
  in.home = "/home/u";
  in.compiledIn = "/usr/share/marvoke";  // the same as a default entry: tried once
  EXPECT_EQ((std::vector<std::string>{"/opt/m/bin", "/opt/m/share/marvoke",
                                      "/home/u/.local/share/marvoke",
                                      "/usr/local/share/marvoke", "/usr/share/marvoke"}),
            DataSearchFolders(in));
  // Relative entries are not the user's folders, whatever the working directory.
  in.xdgDataHome = "rel";
  in.xdgDataDirs = "rel2::/srv/share/";
  in.home.clear();
  EXPECT_EQ((std::vector<std::string>{"/opt/m/bin", "/opt/m/share/marvoke",
                                      "/srv/share/marvoke", "/usr/share/marvoke"}),
            DataSearchFolders(in));
}

// A named folder is the only place looked at: a copy elsewhere must not play
// in its place, and the message names what was named.
TEST(DataSearch, ExplicitFolderAllowsNoOther) {
  Scratch s;
  DataSearchInput in = Places(s);
  s.Make("prefix/bin");
  const std::string empty = s.Make("empty", {});
  const std::string other = s.Make("other");

  in.environmentFolder = empty;
  std::string message;
  EXPECT_EQ("", FindDataFolder(in, &message));
  EXPECT_EQ(std::vector<std::string>{empty}, DataSearchFolders(in));
  EXPECT_NE(std::string::npos, message.find(empty)) << message;
  EXPECT_NE(std::string::npos, message.find("MARVOKE_DATA_DIR")) << message;

  in.explicitFolder = other;  // --data over the variable
  EXPECT_EQ(other + "/", Found(in));
  in.explicitFolder = empty + "/./";
  EXPECT_EQ("", FindDataFolder(in, &message));
  EXPECT_NE(std::string::npos, message.find(empty + ", the folder --data names")) << message;
}

TEST(DataSearch, NoDataNamesEveryFolderTried) {
  Scratch s;
  DataSearchInput in = Places(s);
  std::string message;
  EXPECT_EQ("", FindDataFolder(in, &message));
  for (const std::string& f : DataSearchFolders(in))
    EXPECT_NE(std::string::npos, message.find("  " + f + "\n")) << f << "\n" << message;
  EXPECT_NE(std::string::npos, message.find("--data")) << message;
}

// The installed player and renderer with the binary moved away from its
// tree: only the compiled-in folder is left.
TEST(DataSearch, CompiledInFolderForAMovedBinary) {
  Scratch s;
  DataSearchInput in = Places(s);
  in.executableFolder = s.Make("elsewhere", {}) + "/";
  in.compiledIn = s.Make("usr/share/marvoke");
  EXPECT_EQ(in.compiledIn + "/", Found(in));
  EXPECT_EQ('/', CompiledInDataFolder()[0]);
  EXPECT_NE(nullptr, strstr(CompiledInDataFolder(), "/marvoke"));
}

namespace {
std::string Player() { return std::string(MARVOKE_BUILD_DIR) + "/marvoke"; }
}  // namespace

// Checked before any window: no display is needed to see the refusal.
TEST(DataSearchBinary, PlayerWithoutDataExitsOneNamingTheFolder) {
  Scratch s;
  const std::string empty = s.Make("empty", {});
  std::string out;
  EXPECT_EQ(1, RunCommandLine("env -u DISPLAY -u WAYLAND_DISPLAY MARVOKE_DATA_DIR=" + empty +
                                  " timeout 60 " + Player(),
                              &out))
      << out;
  EXPECT_NE(std::string::npos, out.find("marvoke: no show data")) << out;
  EXPECT_NE(std::string::npos, out.find(empty)) << out;
  out.clear();
  EXPECT_EQ(1, RunCommandLine("timeout 60 " + Player() + " --data=" + empty, &out)) << out;
  EXPECT_NE(std::string::npos, out.find(empty)) << out;
  // --version and --help need no data.
  out.clear();
  EXPECT_EQ(0, RunCommandLine("MARVOKE_DATA_DIR=" + empty + " " + Player() + " --version", &out))
      << out;
  EXPECT_EQ(0, RunCommandLine("MARVOKE_DATA_DIR=" + empty + " " + Player() + " --help >/dev/null",
                              &out))
      << out;
}
