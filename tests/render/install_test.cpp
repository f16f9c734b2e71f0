// The installed show: `cmake --install` into a scratch prefix, the files a
// distribution ships and their validators, the installed renderer playing from
// an unrelated folder, and the dependency check where there is no apt.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_command.h"

namespace fs = std::filesystem;

namespace {

const std::string kBuild = MARVOKE_BUILD_DIR;
const std::string kSource = MARVOKE_SOURCE_DIR;

// A fresh prefix with the build installed into it, removed with the test.
struct Installed {
  fs::path root = fs::temp_directory_path() / ("marvoke-install-" + std::to_string(getpid()));
  fs::path prefix = root / "prefix";
  std::string log;
  int status = -1;
  Installed() {
    fs::remove_all(root);
    fs::create_directories(root);
    status = RunCommandLine(std::string(MARVOKE_CMAKE_COMMAND) + " --install " + kBuild + " --prefix " +
                                prefix.string(),
                            &log);
  }
  ~Installed() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
};

bool Have(const char* tool) {
  return system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every file under `dir`, by name, in order: the frames whatever their naming.
std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  if (fs::is_directory(dir))
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(Install, ShipsTheProgramsDataAndDesktopFiles) {
  Installed in;
  ASSERT_EQ(0, in.status) << in.log;
  const fs::path p = in.prefix;
  for (const char* f :
       {"bin/marvoke", "bin/marvoke-render", "share/marvoke/Images/loadingVR1.jpg",
        "share/marvoke/Models", "share/marvoke/Music/quendel2b.ogg",
        "share/applications/marvoke.desktop",
        "share/metainfo/io.github.marvoke.Marvoke.metainfo.xml",
        "share/icons/hicolor/256x256/apps/marvoke.png", "share/man/man6/marvoke.6",
        "share/man/man6/marvoke-render.6", "share/doc/marvoke/README.md",
        "share/doc/marvoke/LICENSE"})
    EXPECT_TRUE(fs::exists(p / f)) << f;
  // The data as forged, file for file; the forge is a build tool only.
  EXPECT_EQ(FilesIn(kBuild + "/Images"), FilesIn(p / "share/marvoke/Images"));
  EXPECT_EQ(FilesIn(kBuild + "/Models"), FilesIn(p / "share/marvoke/Models"));
  EXPECT_FALSE(fs::exists(p / "bin/marvoke-forge"));
  EXPECT_EQ(ReadFile(kBuild + "/Music/quendel2b.ogg"),
            ReadFile(p / "share/marvoke/Music/quendel2b.ogg"));
  // A PNG icon of the size its folder claims.
  const std::string icon = ReadFile(p / "share/icons/hicolor/256x256/apps/marvoke.png");
  ASSERT_GE(icon.size(), 24u);
  EXPECT_EQ("\x89PNG", icon.substr(0, 4));
  EXPECT_EQ(std::string("\0\0\1\0\0\0\1\0", 8), icon.substr(16, 8));
  EXPECT_NE(std::string::npos, ReadFile(p / "share/doc/marvoke/LICENSE").find("MIT License"));
}

TEST(Install, DesktopEntryMetadataAndManualPagesValidate) {
  Installed in;
  ASSERT_EQ(0, in.status) << in.log;
  const fs::path p = in.prefix;
  std::string out;
  if (Have("desktop-file-validate")) {
    EXPECT_EQ(0, RunCommandLine("desktop-file-validate " +
                                    (p / "share/applications/marvoke.desktop").string(),
                                &out))
        << out;
    EXPECT_EQ("", out);
  }
  if (Have("appstreamcli")) {
    out.clear();
    EXPECT_EQ(0, RunCommandLine("appstreamcli validate --no-net " +
                                    (p / "share/metainfo/io.github.marvoke.Marvoke.metainfo.xml")
                                        .string(),
                                &out))
        << out;
  }
  // The pages carry the options of the programs' own --help.
  for (const char* page : {"marvoke", "marvoke-render"}) {
    const fs::path file = p / "share/man/man6" / (std::string(page) + ".6");
    if (Have("groff")) {
      out.clear();
      EXPECT_EQ(0, RunCommandLine("groff -man -ww -z " + file.string(), &out)) << page;
      EXPECT_EQ("", out) << page;
    }
    const std::string text = ReadFile(file);
    EXPECT_EQ(0u, text.find(".TH ")) << page;
    EXPECT_NE(std::string::npos, text.find(".SH SYNOPSIS")) << page;
    EXPECT_NE(std::string::npos, text.find("\\-\\-help")) << page;
  }
  const std::string player = ReadFile(p / "share/man/man6/marvoke.6");
  EXPECT_NE(std::string::npos, player.find(".B \\-\\-windowed[=WxH]")) << player;
  EXPECT_NE(std::string::npos, player.find(".B \\-\\-data DIR")) << player;
  EXPECT_NE(std::string::npos, ReadFile(p / "share/man/man6/marvoke-render.6").find("\\-\\-png"));
}

// From an unrelated folder, with no XDG variables and a bare home, the only
// data within reach is <executable>/../share/marvoke: the frame must be the
// build tree's, byte for byte. Four steps a second keep the two renders within
// the test's time on a busy machine; both take the same steps.
TEST(Install, InstalledRendererDrawsTheBuildTreesFrame) {
  Installed in;
  ASSERT_EQ(0, in.status) << in.log;
  const fs::path work = in.root / "elsewhere", home = in.root / "home";
  fs::create_directories(work);
  fs::create_directories(home);
  const std::string env = "cd " + work.string() +
                          " && env -u XDG_DATA_HOME -u XDG_DATA_DIRS -u XDG_CONFIG_HOME "
                          "-u XDG_CACHE_HOME -u XDG_RUNTIME_DIR -u MARVOKE_DATA_DIR HOME=" +
                          home.string() + " timeout 600 ";
  std::string out;
  ASSERT_EQ(0, RunCommandLine(env + (in.prefix / "bin/marvoke-render").string() +
                                  " --fps 4 --at 15000 --png installed",
                              &out))
      << out;
  EXPECT_EQ(std::string::npos, out.find("no show data")) << out;
  EXPECT_EQ(std::string::npos, out.find("Can't")) << out;
  out.clear();
  ASSERT_EQ(0, RunCommandLine(env + kBuild + "/marvoke-render --fps 4 --at 15000 --png built", &out))
      << out;
  const std::vector<std::string> frames = FilesIn(work / "built");
  ASSERT_EQ(1u, frames.size());
  ASSERT_EQ(frames, FilesIn(work / "installed"));
  EXPECT_TRUE(ReadFile(work / "built" / frames[0]) == ReadFile(work / "installed" / frames[0]));

  // The installed player, told of a folder without data, stops before any window.
  out.clear();
  const fs::path empty = in.root / "empty";
  fs::create_directories(empty);
  EXPECT_EQ(1, RunCommandLine(env + "env MARVOKE_DATA_DIR=" + empty.string() + " " +
                                  (in.prefix / "bin/marvoke").string(),
                              &out))
      << out;
  EXPECT_NE(std::string::npos, out.find(empty.string())) << out;
}

// Where there is no apt the script installs nothing: it checks, and names what
// is missing by what it provides. Simulated with a PATH that lacks apt-get.
TEST(InstallDeps, WithoutAptChecksAndNamesWhatIsMissing) {
  if (!Have("apt-get")) GTEST_SKIP() << "already no apt here";
  const fs::path bin = fs::temp_directory_path() / ("marvoke-noapt-" + std::to_string(getpid()));
  fs::remove_all(bin);
  fs::create_directories(bin);
  for (const char* dir : {"/usr/local/bin", "/usr/bin", "/bin"}) {
    if (!fs::is_directory(dir)) continue;
    for (const auto& e : fs::directory_iterator(dir)) {
      const std::string name = e.path().filename();
      std::error_code ec;
      if (name != "apt-get" && name != "dpkg-query" && !fs::exists(bin / name))
        fs::create_symlink(e.path(), bin / name, ec);
    }
  }
  const std::string script = "PATH=" + bin.string() + " bash " + kSource + "/scripts/install-deps";
  std::string out;
  // This machine has everything: nothing to say, and ./run and ./test go on.
  EXPECT_EQ(0, RunCommandLine(script, &out)) << out;
  EXPECT_EQ("", out);
  fs::remove(bin / "ffmpeg");
  fs::remove(bin / "xauth");
  out.clear();
  EXPECT_EQ(1, RunCommandLine(script, &out)) << out;
  EXPECT_NE(std::string::npos, out.find("  ffmpeg\n")) << out;
  EXPECT_NE(std::string::npos, out.find("  xauth (for the tests)\n")) << out;
  // Playing needs no test tools.
  out.clear();
  EXPECT_EQ(1, RunCommandLine(script + " --run", &out)) << out;
  EXPECT_EQ(std::string::npos, out.find("xauth")) << out;
  fs::remove_all(bin);
}
