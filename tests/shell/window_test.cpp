// The window path under a virtual X display. The outer test starts this same
// executable under xvfb-run for each inner test; the inner tests drive the
// show's own loop by pushing key and window events between passes.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "director/shared.h"
#include "ogg_encode.h"
#include "run_command.h"
#include "core/gl.h"
#include "core/present.h"
#include "shell/main_loop.h"
#include "core/settings.h"
#include "shell/window.h"

namespace {

namespace fs = std::filesystem;

bool Inside() { return getenv("MARVOKE_WINDOW_TEST") != nullptr; }

// Runs the inner test `name` under xvfb-run; its output comes back in *out.
int RunUnderXvfb(const std::string& name, std::string* out,
                 const std::string& screen = "1024x768x24") {
  return RunCommandLine(
      "MARVOKE_WINDOW_TEST=1 SDL_AUDIODRIVER=dummy timeout -k 5 300 xvfb-run -a "
      "-s '-screen 0 " + screen + "' /proc/" + std::to_string(getpid()) +
          "/exe --gtest_filter=WindowInside." + name,
      out);
}

struct Pass {
  int32_t time;
  bool paused;
};

// What the loop hook saw and does: a script of events keyed by pass number.
struct Driver {
  std::vector<int32_t> times;
  int32_t pushed[8] = {};  // music time when each scripted step ran
  bool checkedGl = false;
  GLint alphaBits = -1, depthBits = 0, stencilBits = 0;
  int destinationAlpha = -1;
  Uint32 windowFlags = 0;
  std::string caption;
  int step = 0;
};

void PushKey(SDL_Keycode key) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = key;
  e.key.state = SDL_PRESSED;
  SDL_PushEvent(&e);
}

void PushResize(int w, int h) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  e.window.data1 = w;
  e.window.data2 = h;
  SDL_PushEvent(&e);
}

// Destination alpha as a blend reads it: grey weighted by GL_DST_ALPHA.
int ReadDestinationAlpha() {
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_ALPHA, GL_ZERO);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_QUADS);
  glVertex2f(-1, -1);
  glVertex2f(1, -1);
  glVertex2f(1, 1);
  glVertex2f(-1, 1);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  GLubyte p[4] = {};
  glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  glClearColor(0, 0, 0, 1);
  return p[0];
}

// Steps of the key script, each once the show has run a while since the last.
void Hook(int pass, void* user) {
  Driver* d = static_cast<Driver*>(user);
  d->times.push_back(musicTime);
  if (!d->checkedGl) {
    d->checkedGl = true;
    glGetIntegerv(GL_ALPHA_BITS, &d->alphaBits);
    glGetIntegerv(GL_DEPTH_BITS, &d->depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &d->stencilBits);
    d->destinationAlpha = ReadDestinationAlpha();
    d->windowFlags = SDL_GetWindowFlags(ShowSdlWindow());
    d->caption = SDL_GetWindowTitle(ShowSdlWindow());
  }
  if (pass % 10 != 9 || pass < 19) return;  // 10 passes between steps
  d->pushed[d->step] = musicTime;
  switch (d->step++) {
    case 0: PushKey(SDLK_UP); break;      // +3000
    case 1: PushKey(SDLK_LEFT); break;    // -1000
    case 2: PushKey(SDLK_F9); break;      // pause
    case 3: PushKey(SDLK_F9); break;      // resume
    case 4: PushResize(640, 0); break;    // minimised: ignored
    case 5: PushResize(800, 600); break;
    case 6:
      // Loading is skipped here: make the timeline's objects the shut-down frees.
      CreateSharedObjects(renderWidth, renderHeight, 256, 128);
      PushKey(SDLK_ESCAPE);
      break;
    default: break;
  }
}

// Runs the show on the data in `folder` with `hook` at the top of each pass;
// standard output comes back in *out.
void RunWithHook(const fs::path& folder, bool skipLoading, void (*hook)(int, void*), void* user,
                 std::string* out) {
  quitRequested = 0;
  SetShowLoopHook(hook, user);
  ::testing::internal::CaptureStdout();
  ShowRunOptions options;
  const std::string path = folder.string();
  options.dataFolder = path.c_str();
  options.skipLoading = skipLoading;
  EXPECT_EQ(0, RunShow(options));
  *out = ::testing::internal::GetCapturedStdout();
  SetShowLoopHook(nullptr, nullptr);
}

// Runs the show on the data in `folder` and checks what all runs share.
void RunAndCheck(const fs::path& folder, bool skipLoading, Driver* d, std::string* out) {
  RunWithHook(folder, skipLoading, Hook, d, out);

  EXPECT_EQ("Marvoke", d->caption);
  EXPECT_TRUE(d->windowFlags & SDL_WINDOW_FULLSCREEN);
  EXPECT_EQ(0, d->alphaBits);
  EXPECT_GE(d->depthBits, 24);
  EXPECT_GE(d->stencilBits, 8);
  EXPECT_EQ(255, d->destinationAlpha);
  EXPECT_EQ(7, d->step);  // the loop ended on Escape
  EXPECT_EQ(nullptr, transitionEnvelope);
  EXPECT_EQ(nullptr, transitionTarget);
  EXPECT_EQ(800, screenWidth);
  EXPECT_EQ(600, screenHeight);

  EXPECT_EQ(0u, out->find("Initialization finished in "));
  size_t lines = 0;
  for (size_t at = out->find('\n'); at != std::string::npos; at = out->find('\n', at + 1)) ++lines;
  EXPECT_EQ(d->times.size() + 1, lines);  // one line per frame
  EXPECT_NE(std::string::npos, out->find("\nTime: "));
  EXPECT_NE(std::string::npos, out->find("   Fps: "));
}

}  // namespace

TEST(WindowPath, RunsUnderAVirtualDisplay) {
  if (Inside()) GTEST_SKIP() << "the inner run";
  if (system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  for (const char* name : {"WithMusic", "WithoutMusic", "EventBurst"}) {
    std::string out;
    EXPECT_EQ(0, RunUnderXvfb(name, &out)) << out;
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
    EXPECT_EQ(std::string::npos, out.find("SKIPPED")) << out;
  }
}

// A short track of our own played on the dummy driver: the stream clock, its
// seeks and its pause. (The loading sequence is left out to keep this quick;
// marvoke-render's test runs it.)
TEST(WindowInside, WithMusic) {
  if (!Inside()) GTEST_SKIP() << "runs under xvfb-run from WindowPath";
  fs::path folder = fs::temp_directory_path() / ("marvoke-window-" + std::to_string(getpid()));
  fs::create_directories(folder / "Music");
  ASSERT_TRUE(WriteTestOgg((folder / "Music/quendel2b.ogg").string(), 2.0));
  Driver d;
  std::string out;
  RunAndCheck(folder, true, &d, &out);
  fs::remove_all(folder);

  // Up and Left move the stream; during the pause every frame replays from
  // the pause position (each pass sleeps 250 ms, so the frames show ~250 ms on).
  int32_t up = d.pushed[0], left = d.pushed[1], pause = d.pushed[2], resume = d.pushed[3];
  EXPECT_GE(left - up, 3000);
  EXPECT_LT(left - up, 3000 + 2000);
  EXPECT_GE(pause - left, -1000);
  EXPECT_LT(pause - left, -1000 + 2000);
  EXPECT_GE(resume, pause + 200);
  EXPECT_LT(resume, pause + 600);  // held through ten frames of 250 ms each
}

// No music file: the tick clock runs the show.
TEST(WindowInside, WithoutMusic) {
  if (!Inside()) GTEST_SKIP() << "runs under xvfb-run from WindowPath";
  fs::path folder = fs::temp_directory_path() / ("marvoke-window-" + std::to_string(getpid()));
  fs::create_directories(folder);
  Driver d;
  std::string out;
  ::testing::internal::CaptureStderr();
  RunAndCheck(folder, true, &d, &out);
  std::string err = ::testing::internal::GetCapturedStderr();
  fs::remove_all(folder);
  EXPECT_NE(std::string::npos, err.find("Music/quendel2b.ogg")) << err;

  int32_t up = d.pushed[0], left = d.pushed[1], pause = d.pushed[2], resume = d.pushed[3];
  EXPECT_GE(left - up, 3000);
  EXPECT_GE(pause - left, -1000);
  EXPECT_LT(pause - left, 2000);
  EXPECT_LE(resume - pause, 100);  // held exactly, give or take the pass that paused
  for (size_t i = 1; i < 10; ++i) EXPECT_GE(d.times[i], d.times[i - 1]);
}

// A burst of mouse motion and key releases queued ahead of a key: the key
// still acts on the next frame, running and paused (a paused pass sleeps
// 250 ms, so draining one event a pass would take over a minute here).
namespace {
struct Burst {
  int passes = 0;
  int32_t beforeSeek = 0, afterSeek = 0;
};

void PushNoise(int count) {
  for (int i = 0; i < count; ++i) {
    SDL_Event e{};
    if (i % 3 == 2) {
      e.type = SDL_KEYUP;
      e.key.keysym.sym = SDLK_a;
      e.key.state = SDL_RELEASED;
    } else {
      e.type = SDL_MOUSEMOTION;
      e.motion.x = i % 1024;
      e.motion.y = i % 768;
      e.motion.xrel = 1;
    }
    SDL_PushEvent(&e);
  }
}

void BurstHook(int pass, void* user) {
  Burst* b = static_cast<Burst*>(user);
  b->passes = pass + 1;
  switch (pass) {
    case 3:
      b->beforeSeek = musicTime;
      PushNoise(300);
      PushKey(SDLK_UP);  // +3000
      break;
    case 4: b->afterSeek = musicTime; break;
    case 6: PushNoise(300); PushKey(SDLK_F9); break;
    case 9: PushNoise(300); PushKey(SDLK_ESCAPE); break;
    default: break;
  }
}
}  // namespace

TEST(WindowInside, EventBurst) {
  if (!Inside()) GTEST_SKIP() << "runs under xvfb-run from WindowPath";
  fs::path folder = fs::temp_directory_path() / ("marvoke-window-" + std::to_string(getpid()));
  fs::create_directories(folder / "Music");
  ASSERT_TRUE(WriteTestOgg((folder / "Music/quendel2b.ogg").string(), 2.0));
  Burst b;
  std::string out;
  RunWithHook(folder, true, BurstHook, &b, &out);
  fs::remove_all(folder);

  EXPECT_GE(b.afterSeek - b.beforeSeek, 3000);  // the seek behind 300 events acted next frame
  EXPECT_EQ(10, b.passes);                      // Escape behind 300 events, paused, ended pass 9
}

// The picture fitted into the screen or window the viewer sees: the loaded
// show started at 20 s, what was last shown read back from the front buffer.
namespace {
struct Shot {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
};

struct Fit {
  int resizeW = 0, resizeH = 0;  // a window resize asked for after the first shot
  Uint32 windowFlags = 0;
  Uint32 toggledFlags = 0;  // after F11 at the end
  int toggledW = 0, toggledH = 0;
  std::vector<Shot> shots;  // at passes 4 and 12
};

// Reads what is about to be shown, then shows it.
void ReadThenSwap(void* user) {
  Shot shot;
  shot.w = screenWidth;
  shot.h = screenHeight;
  shot.rgb.assign(size_t(screenWidth) * screenHeight * 3, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, screenWidth, screenHeight, GL_RGB, GL_UNSIGNED_BYTE, shot.rgb.data());
  static_cast<Fit*>(user)->shots.push_back(std::move(shot));
  SDL_GL_SwapWindow(ShowSdlWindow());
}

void JustSwap(void*) { SDL_GL_SwapWindow(ShowSdlWindow()); }

void FitHook(int pass, void* user) {
  Fit* f = static_cast<Fit*>(user);
  if (pass == 0) f->windowFlags = SDL_GetWindowFlags(ShowSdlWindow());
  if (pass == 4 || pass == 12) SetSwapFunction(ReadThenSwap, f);
  if (pass == 5 || pass == 13) SetSwapFunction(JustSwap, nullptr);
  if (pass == 5 && f->resizeW) SDL_SetWindowSize(ShowSdlWindow(), f->resizeW, f->resizeH);
  if (pass == 13) PushKey(SDLK_F11);
  if (pass == 16) {
    f->toggledFlags = SDL_GetWindowFlags(ShowSdlWindow());
    SDL_GetWindowSize(ShowSdlWindow(), &f->toggledW, &f->toggledH);
    PushKey(SDLK_ESCAPE);
  }
}

void RunFitted(const WindowRequest& window, Fit* f) {
  quitRequested = 0;
  SetShowLoopHook(FitHook, f);
  ::testing::internal::CaptureStdout();
  ShowRunOptions options;
  options.dataFolder = MARVOKE_BUILD_DIR;
  options.window = window;
  options.startMs = 20000;
  options.mute = true;
  EXPECT_EQ(0, RunShow(options));
  ::testing::internal::GetCapturedStdout();
  SetShowLoopHook(nullptr, nullptr);
}

// Black outside x0..x0+w-1 (rows y0..y0+h-1); inside, lit pixels reach near
// every side, so the picture is neither stretched over the bars nor shrunk.
void ExpectFitted(const Shot& f, int x0, int y0, int w, int h) {
  ASSERT_EQ(size_t(f.w) * f.h * 3, f.rgb.size());
  int minX = f.w, maxX = -1, minY = f.h, maxY = -1, outside = 0;
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      const uint8_t* p = &f.rgb[(size_t(y) * f.w + x) * 3];
      if (p[0] + p[1] + p[2] == 0) continue;
      if (x < x0 || x >= x0 + w || y < y0 || y >= y0 + h) ++outside;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  EXPECT_EQ(0, outside) << "lit pixels in the bars";
  EXPECT_LE(minX - x0, w / 20);
  EXPECT_LE(x0 + w - 1 - maxX, w / 20);
  EXPECT_LE(minY - y0, h / 20);
  EXPECT_LE(y0 + h - 1 - maxY, h / 20);
}
}  // namespace

TEST(WindowPath, FitsThePictureToScreenAndWindow) {
  if (Inside()) GTEST_SKIP() << "the inner run";
  if (system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  for (const char* name : {"DesktopOn1920x1080", "WindowResizedTo1000x500"}) {
    std::string out;
    EXPECT_EQ(0, RunUnderXvfb(name, &out, "1920x1080x24")) << out;
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
    EXPECT_EQ(std::string::npos, out.find("SKIPPED")) << out;
  }
}

// Desktop fullscreen keeps the screen's own mode: 1440 x 1080 in the middle.
TEST(WindowInside, DesktopOn1920x1080) {
  if (!Inside()) GTEST_SKIP() << "runs under xvfb-run from WindowPath";
  WindowRequest window;
  window.mode = WindowRequest::kDesktop;
  Fit f;
  RunFitted(window, &f);
  EXPECT_EQ(SDL_WINDOW_FULLSCREEN_DESKTOP, f.windowFlags & SDL_WINDOW_FULLSCREEN_DESKTOP);
  ASSERT_EQ(2u, f.shots.size());
  for (const Shot& shot : f.shots) {
    EXPECT_EQ(1920, shot.w);
    EXPECT_EQ(1080, shot.h);
    ExpectFitted(shot, 240, 0, 1440, 1080);
  }
  // F11: a window of the show's size.
  EXPECT_EQ(0u, f.toggledFlags & SDL_WINDOW_FULLSCREEN);
  EXPECT_EQ(1024, f.toggledW);
  EXPECT_EQ(768, f.toggledH);
}

// An 800 x 600 window shows 800 x 600; made 1000 x 500, 667 x 500 centred.
TEST(WindowInside, WindowResizedTo1000x500) {
  if (!Inside()) GTEST_SKIP() << "runs under xvfb-run from WindowPath";
  WindowRequest window;
  window.mode = WindowRequest::kWindowed;
  window.width = 800;
  window.height = 600;
  Fit f;
  f.resizeW = 1000;
  f.resizeH = 500;
  RunFitted(window, &f);
  EXPECT_EQ(SDL_WINDOW_RESIZABLE, f.windowFlags & SDL_WINDOW_RESIZABLE);
  ASSERT_EQ(2u, f.shots.size());
  EXPECT_EQ(800, f.shots[0].w);
  EXPECT_EQ(600, f.shots[0].h);
  ExpectFitted(f.shots[0], 0, 0, 800, 600);
  EXPECT_EQ(1000, f.shots[1].w);
  EXPECT_EQ(500, f.shots[1].h);
  ExpectFitted(f.shots[1], 166, 0, 667, 500);
  EXPECT_EQ(SDL_WINDOW_FULLSCREEN_DESKTOP, f.toggledFlags & SDL_WINDOW_FULLSCREEN_DESKTOP);
}
