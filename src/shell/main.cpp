// The show's entry point: the player's options, then the show.
#include "core/render_scale.h"
#include "core/settings.h"
#include "shell/data_path.h"
#include "shell/main_loop.h"
#include "shell/options.h"

int main(int argc, char** argv) {
  ShowOptions o;
  const int code = ParseShowOptions(argc, argv, &o);
  if (code >= 0) return code;

  // Found before any window opens: without its data the show cannot play.
  const std::string data = LocateDataFolder(o.dataFolder);
  if (data.empty()) return 1;
  ShowRunOptions run;
  run.dataFolder = data.c_str();
  switch (o.screen) {
    case ScreenMode::kFullscreen: run.window.mode = WindowRequest::kModeSwitch; break;
    case ScreenMode::kDesktop: run.window.mode = WindowRequest::kDesktop; break;
    case ScreenMode::kWindowed:
      run.window.mode = WindowRequest::kWindowed;
      run.window.width = o.windowWidth;
      run.window.height = o.windowHeight;
      break;
  }
  run.window.display = o.display;
  run.window.vsync = o.vsync;
  if (o.scaleGiven && !o.scaleAuto) SetRenderScale(o.scale);
  run.scaleAuto = o.scaleAuto;
  run.startMs = o.startMs;
  run.loop = o.loop;
  run.mute = o.mute;
  return RunShow(run);
}
