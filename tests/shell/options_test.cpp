// The player's command line, the fit of the picture into a drawable, and the
// refusals the built player makes before any window opens.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/area_target.h"
#include "core/command_line.h"
#include "run_command.h"
#include "shell/options.h"
#include "shell/window.h"

namespace {

struct Parsed {
  int code;
  ShowOptions o;
  std::string out, err;
};

std::string ReadAll(FILE* f) {
  std::string s;
  rewind(f);
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "marvoke");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  FILE* out = tmpfile();
  FILE* err = tmpfile();
  Parsed p;
  p.code = ParseShowOptions(int(args.size()), argv.data(), &p.o, out, err);
  p.out = ReadAll(out);
  p.err = ReadAll(err);
  return p;
}

std::string Player() { return std::string(MARVOKE_BUILD_DIR) + "/marvoke"; }

}  // namespace

TEST(ShowOptions, DefaultsAreTheShowsOwn) {
  Parsed p = Parse({});
  EXPECT_EQ(-1, p.code);
  EXPECT_EQ(ScreenMode::kFullscreen, p.o.screen);
  EXPECT_EQ(-1, p.o.vsync);
  EXPECT_EQ(-1, p.o.display);
  EXPECT_EQ(0, p.o.startMs);
  EXPECT_FALSE(p.o.loop || p.o.mute || p.o.scaleGiven);
}

TEST(ShowOptions, ReadsEveryOption) {
  Parsed p = Parse({"--windowed=800x600", "--display", "1", "--scale=0.5", "--start", "250",
                    "--loop", "--mute", "--vsync", "off", "--data", "/srv/show"});
  ASSERT_EQ(-1, p.code) << p.err;
  EXPECT_EQ(ScreenMode::kWindowed, p.o.screen);
  EXPECT_EQ(800, p.o.windowWidth);
  EXPECT_EQ(600, p.o.windowHeight);
  EXPECT_EQ(1, p.o.display);
  EXPECT_FLOAT_EQ(0.5f, p.o.scale);
  EXPECT_EQ(250000, p.o.startMs);
  EXPECT_TRUE(p.o.loop && p.o.mute);
  EXPECT_EQ(0, p.o.vsync);
  EXPECT_STREQ("/srv/show", p.o.dataFolder);

  p = Parse({"--windowed", "--scale", "auto", "--start=45.5", "--vsync=on"});
  ASSERT_EQ(-1, p.code) << p.err;
  EXPECT_EQ(1024, p.o.windowWidth);
  EXPECT_TRUE(p.o.scaleAuto);
  EXPECT_EQ(45500, p.o.startMs);
  EXPECT_EQ(1, p.o.vsync);
  EXPECT_EQ(nullptr, p.o.dataFolder);
  EXPECT_EQ(ScreenMode::kDesktop, Parse({"--desktop"}).o.screen);
}

TEST(ShowOptions, BadInputExitsTwoNamingIt) {
  const std::vector<std::vector<std::string>> bad = {
      {"--nonsense"},        {"--windowed=800"},   {"--windowed=10x10"}, {"--display", "-1"},
      {"--display", "x"},    {"--scale", "9"},     {"--scale", "fast"},  {"--start", "303.6"},
      {"--start", "-1"},     {"--start", "1e"},    {"--vsync", "maybe"}, {"--start"},
      {"--loop=yes"},        {"stray"},            {"--start", "--mute"}, {"--data"},
      {"--data="},
  };
  for (const auto& args : bad) {
    Parsed p = Parse(args);
    EXPECT_EQ(2, p.code) << args[0];
    EXPECT_NE(std::string::npos, p.err.find(args[0].substr(0, args[0].find('='))))
        << args[0] << ": " << p.err;
    // One line and a pointer to the help, not the whole usage.
    EXPECT_NE(std::string::npos, p.err.find("\nTry 'marvoke --help'.\n")) << p.err;
    EXPECT_EQ(std::string::npos, p.err.find("Usage:")) << args[0];
  }
  EXPECT_NE(std::string::npos, Parse({"--nonsense"}).err.find("unknown option --nonsense"));
  EXPECT_NE(std::string::npos, Parse({"--loop=yes"}).err.find("--loop: takes no value"));
}

TEST(ShowOptions, HelpAndVersionExitZero) {
  Parsed p = Parse({"--help"});
  EXPECT_EQ(0, p.code);
  EXPECT_NE(std::string::npos, p.out.find("--windowed[=WxH]"));
  EXPECT_NE(std::string::npos, p.out.find("marvoke-render"));
  // Wherever it stands, and before a fault elsewhere on the line.
  p = Parse({"--nonsense", "--start", "--help"});
  EXPECT_EQ(0, p.code);
  EXPECT_TRUE(LinesFit(p.out.c_str(), 80)) << p.out;
  p = Parse({"--loop", "--version"});
  EXPECT_EQ(0, p.code);
  EXPECT_EQ(0u, p.out.find("marvoke "));
  EXPECT_NE(std::string::npos, p.out.find('.'));
}

TEST(ShowOptions, AutoScale) {
  EXPECT_FLOAT_EQ(0.5f, AutoRenderScale("llvmpipe (LLVM 15.0.6, 256 bits)", 3840, 2160));
  EXPECT_FLOAT_EQ(0.5f, AutoRenderScale("softpipe", 800, 600));
  // 2880 x 2160 is the picture in a 3840 x 2160 drawable.
  EXPECT_FLOAT_EQ(2.8125f, AutoRenderScale("NVIDIA GeForce", 3840, 2160));
  EXPECT_FLOAT_EQ(1.0f, AutoRenderScale("AMD", 1024, 768));
  EXPECT_FLOAT_EQ(0.25f, AutoRenderScale("AMD", 100, 100));
  EXPECT_FLOAT_EQ(4.0f, AutoRenderScale("AMD", 16384, 16384));
}

// What a virtual display cannot show: a HiDPI drawable twice the window.
TEST(PictureFit, UsesTheDrawableWhole) {
  int w = 0, h = 0;
  ScaleToDrawable(1000, 500, 1000, 500, 2000, 1000, &w, &h);
  EXPECT_EQ(2000, w);
  EXPECT_EQ(1000, h);
  PictureRect r = FitPicture(w, h);
  EXPECT_EQ(1333, r.width);
  EXPECT_EQ(1000, r.height);
  EXPECT_EQ(333, r.x);
  EXPECT_EQ(0, r.y);
  // A stale event size is scaled by the same pixel ratio.
  ScaleToDrawable(800, 600, 1000, 500, 2000, 1000, &w, &h);
  EXPECT_EQ(1600, w);
  EXPECT_EQ(1200, h);
  // Without a window the event's size stands.
  ScaleToDrawable(640, 480, 0, 0, 0, 0, &w, &h);
  EXPECT_EQ(640, w);
  r = FitPicture(1920, 1080);
  EXPECT_EQ(240, r.x);
  EXPECT_EQ(1440, r.width);
  EXPECT_EQ(1080, r.height);
  r = FitPicture(3, 1);  // however small
  EXPECT_GE(r.width, 1);
  EXPECT_GE(r.height, 1);
}

TEST(PlayerBinary, RefusesBadOptionsBeforeAnyWindow) {
  std::string out;
  // No display either: the options are checked first.
  EXPECT_EQ(2, RunCommandLine("env -u DISPLAY -u WAYLAND_DISPLAY " + Player() + " --bogus", &out))
      << out;
  EXPECT_NE(std::string::npos, out.find("--bogus")) << out;
  out.clear();
  int status = RunCommandLine("env -u DISPLAY -u WAYLAND_DISPLAY " + Player() + " --vsync sometimes", &out);
  EXPECT_EQ(2, status) << out;
  EXPECT_NE(std::string::npos, out.find("--vsync")) << out;
  out.clear();
  EXPECT_EQ(0, RunCommandLine(Player() + " --version", &out)) << out;
}

// Over a plain terminal SDL would fall back to an invisible driver and play
// the whole show unseen: the player refuses, pointing at the renderer.
TEST(PlayerBinary, RefusesToPlayWithoutADisplay) {
  std::string out;
  int status = RunCommandLine(
      "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 60 " + Player(), &out);
  EXPECT_EQ(1, status) << out;
  EXPECT_NE(std::string::npos, out.find("no display")) << out;
  EXPECT_NE(std::string::npos, out.find("marvoke-render --video")) << out;
  EXPECT_EQ(std::string::npos, out.find("Time:")) << out;
}

// Failures say so in the exit code: no video system is 1 with SDL's reason.
TEST(PlayerBinary, AWindowThatCannotBeMadeExitsOneWithSdlsReason) {
  std::string out;
  EXPECT_EQ(1, RunCommandLine("SDL_VIDEODRIVER=nosuch timeout 60 " + Player() + " --windowed", &out))
      << out;
  EXPECT_NE(std::string::npos, out.find("Window Creation Error")) << out;
  EXPECT_NE(std::string::npos, out.find("marvoke: SDL: ")) << out;
}

// A start part-way prints its first Time line at the start, after loading
// (the unseen frame before it prints none), and Ctrl-C ends the play with 130.
TEST(PlayerBinary, StartsWhereAskedAndCtrlCExits130) {
  if (system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  const std::string log = "/tmp/marvoke-player-start-" + std::to_string(getpid()) + ".log";
  // The play, the wait for its first Time line and the Ctrl-C, in one script
  // that runs inside the virtual display.
  const std::string script = log + ".sh";
  FILE* f = fopen(script.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fprintf(f,
          "%s --windowed --mute --start 200 >%s 2>&1 &\n"
          "p=$!\n"
          "for i in $(seq 600); do grep -q 'Time:' %s && break; sleep 0.2; done\n"
          "sleep 0.5; kill -INT $p; wait $p; echo exit=$?\n",
          Player().c_str(), log.c_str(), log.c_str());
  fclose(f);
  std::string out;
  RunCommandLine("SDL_AUDIODRIVER=dummy timeout -k 5 200 xvfb-run -a sh " + script, &out);
  EXPECT_NE(std::string::npos, out.find("exit=130")) << out;
  std::string text;
  RunCommandLine("cat " + log, &text);
  const size_t init = text.find("Initialization finished"), time = text.find("Time: ");
  ASSERT_NE(std::string::npos, time) << text;
  EXPECT_LT(init, time) << text;
  EXPECT_GE(atoi(text.c_str() + time + 6), 200000) << text;
  remove(script.c_str());
  remove(log.c_str());
}
