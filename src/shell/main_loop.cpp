#include "shell/main_loop.h"

#include <SDL.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "assets/file_error.h"
#include "director/shared.h"
#include "director/timeline.h"
#include "core/gl.h"
#include "core/render_scale.h"
#include "shell/options.h"
#include "shell/overlay.h"
#include "shell/clock.h"
#include "shell/data_path.h"
#include "shell/music_stream.h"
#include "core/present.h"
#include "core/settings.h"
#include "shell/show.h"
#include "shell/view.h"
#include "shell/window.h"

namespace {

const char* const kMusicFile = "Music/quendel2b.ogg";

void (*loopHook)(int, void*) = nullptr;
bool restartRequested = false;
bool escapePressed = false;  // tells Escape from the end of the show
void* loopHookUser = nullptr;

// Ctrl-C and SIGTERM end the show the way Escape does, and the exit code
// says which signal it was. Installed before SDL starts, so SDL keeps them.
volatile sig_atomic_t stopSignal = 0;
void OnStopSignal(int signal) {
  stopSignal = signal;
  quitRequested = 1;
}
void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int32_t StreamGetTime(void* s) { return GetMusicStreamTime(static_cast<MusicStream*>(s)); }
void StreamSetTime(void* s, int32_t ms) { SetMusicStreamTime(static_cast<MusicStream*>(s), ms); }
void Sleep(uint32_t ms) { SDL_Delay(ms); }

// Opens and starts the music; nullptr when the show has to run on the tick
// clock, with the reason on standard error.
MusicStream* StartMusic() {
  MusicStream* stream = OpenMusicStream(kMusicFile);
  if (!stream) {
    fprintf(stderr, "Can't read %s: the show runs on its own clock, without sound.\n", kMusicFile);
    return nullptr;
  }
  std::string note;
  if (PlayMusicStream(stream, &note) == -1) {
    fprintf(stderr, "No audio output opens, not even SDL's dummy driver: "
                    "the show runs on its own clock, without sound.\n");
    CloseMusicStream(stream);
    return nullptr;
  }
  if (!note.empty()) fprintf(stderr, "%s\n", note.c_str());
  SetMusicStreamTime(stream, startTime);
  return stream;
}

}  // namespace

bool HandleShowEvent(const SDL_Event& e, ShowClock* clock, uint32_t now) {
  switch (e.type) {
    case SDL_QUIT:
      return true;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        int w = 0, h = 0;
        DrawableSizeFor(e.window.data1 & 0xFFFF, e.window.data2 & 0xFFFF, &w, &h);
        SetTargetView(w, h);
      }
      return false;
    case SDL_KEYDOWN:
      // SDL's key repeats count like presses, except for the switches, which
      // a held key would flip back and forth.
      switch (e.key.keysym.sym) {
        case SDLK_ESCAPE:
          quitRequested = 1;
          escapePressed = true;
          break;
        case SDLK_SPACE: TogglePause(clock); break;
        case SDLK_HOME:
          if (!e.key.repeat) restartRequested = true;
          break;
        case SDLK_F11:
          if (!e.key.repeat) ToggleFullscreenWindow();
          break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
          if (!e.key.repeat && (e.key.keysym.mod & KMOD_ALT)) ToggleFullscreenWindow();
          break;
        case SDLK_LEFT: SeekClock(clock, now, -1000); break;
        case SDLK_RIGHT: SeekClock(clock, now, 1000); break;
        case SDLK_DOWN: SeekClock(clock, now, -3000); break;
        case SDLK_UP: SeekClock(clock, now, 3000); break;
        case SDLK_F9: TogglePause(clock); break;
        default: break;
      }
      return false;
    default:
      return false;
  }
}

bool RestartRequested() { return restartRequested; }

void SetShowLoopHook(void (*hook)(int, void*), void* user) {
  loopHook = hook;
  loopHookUser = user;
}

namespace {

// A fresh play from 0: every module as right after loading, the timeline, the
// clock (and the music) at 0, the frame counter reset.
void Restart(ShowClock* clock) {
  printf("Restarting.\n");
  RestoreShowState();
  ResetFrameCounter(TickCount());
  startTime = 0;
  clock->paused = false;
  clock->seekToStartPending = true;
  StartClock(clock, TickCount(), 0);
  musicTime = 0;
}

}  // namespace

int RunShow(const ShowRunOptions& options) {
  const char* dataFolder = options.dataFolder;
  // A pipe sees every line as it is printed.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (dataFolder ? chdir(dataFolder) != 0 : !EnterExecutableFolder())
    fprintf(stderr, "Can't enter the data folder; reading data from the working directory.\n");

  stopSignal = 0;
  CatchStopSignals();
  int exitCode = 0;
  if (!OpenShowWindow(options.window, &exitCode)) return exitCode;
  if (options.scaleAuto) {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const float s = AutoRenderScale(renderer, screenWidth, screenHeight);
    SetRenderScale(s);
    fprintf(stderr, "--scale auto: %g (a %d x %d area; renderer %s, drawable %d x %d)\n", s,
            renderWidth, renderHeight, renderer ? renderer : "unknown", screenWidth,
            screenHeight);
  }
  if (!BeginShow(TickCount())) {
    CloseShowWindow();
    SDL_Quit();
    return 2;
  }
  if (!options.skipLoading) RunStartup();
  KeepShowState();
  restartRequested = false;
  escapePressed = false;
  startTime = options.startMs;
  // Every module where a play from 0 would have left it, without drawing.
  // The frame before the start is drawn, unseen, to seed the passes that
  // read the previous frame; it prints no Time line, so the first one is the
  // first frame shown.
  if (startTime > 0) {
    const int32_t last = PrerollShow(startTime);
    if (last >= 0) {
      const bool lines = FrameLinesEnabled();
      SetFrameLinesEnabled(false);
      DrawShowFrame(last, TickCount());
      SetFrameLinesEnabled(lines);
    }
  }

  ShowClock clock;
  MusicStream* stream = soundEnabled && !options.mute ? StartMusic() : nullptr;
  if (stream) clock.source = ClockStream{stream, StreamGetTime, StreamSetTime, Sleep};
  PrintInitializationTime(TickCount());
  StartClock(&clock, TickCount(), startTime);
  musicTime = 0;

  // Every pending event each pass, in order, and never a wait for input. SDL
  // queues each mouse motion and key release on its own, so taking one event a
  // frame would let the queue outgrow the frame rate and hold keys back for
  // seconds (for minutes while paused, where a pass sleeps 250 ms).
  bool quitMessage = false;
  for (int pass = 0; !quitRequested && !quitMessage; ++pass) {
    if (loopHook) loopHook(pass, loopHookUser);
    SDL_Event event;
    while (!quitMessage && SDL_PollEvent(&event))
      quitMessage = HandleShowEvent(event, &clock, TickCount());
    if (restartRequested && !quitRequested && !quitMessage) {
      restartRequested = false;
      Restart(&clock);
    }
    musicTime = ReadClock(&clock, TickCount(), startTime);
    DrawShowFrame(musicTime, TickCount());
    SwapFrame();
    CountGlErrors();
    // The end of the show, not Escape: play again.
    if (quitRequested && options.loop && !escapePressed && !quitMessage) {
      quitRequested = 0;
      restartRequested = true;
    }
  }

  CloseMusicStream(stream);
  // The timeline's cross-fade objects go while the context that owns their
  // textures is still current; null when loading never ran.
  FreeTransitionObjects();
  CloseShowWindow();
  SDL_Quit();
  ReportGlErrors();
  if (stopSignal) return 128 + stopSignal;
  return FileReadErrorCount() > 0 ? 1 : 0;
}
