// --bench-effects: the time of each screen effect at the show's sizes (those
// of the render scale) on this machine, so a frame's passes can be costed. Runs after the start-up, on
// render targets of its own over a busy test picture.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "director/loading.h"
#include "effects/blurs.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "effects/zoom_blur.h"
#include "render.h"
#include "core/gl.h"
#include "core/settings.h"
#include "toolkit/camera.h"

namespace {

// Coloured bands and blocks over the render area, so blending and filtering
// work on varied texels.
void DrawTestPicture() {
  SetOrthoWindow(renderWidth, renderHeight);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glBegin(GL_QUADS);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) {
      glColor3f(0.5f + 0.5f * std::sin(x * 0.7f), 0.5f + 0.5f * std::cos(y * 0.9f),
                ((x + y) & 1) ? 0.9f : 0.1f);
      const float w = renderWidth / 32.0f;
      float x0 = x * w - renderWidth / 2, y0 = y * w - renderHeight / 2;
      glVertex2f(x0, y0);
      glVertex2f(x0 + w, y0);
      glVertex2f(x0 + w, y0 + w);
      glVertex2f(x0, y0 + w);
    }
  }
  glEnd();
  glEnable(GL_TEXTURE_2D);
}

// Milliseconds per call: repeated until a quarter second has passed (at least
// three calls), with the GL pipeline drained before and after.
template <typename F>
double TimeMs(F&& f) {
  using Clock = std::chrono::steady_clock;
  f();  // warm-up: first-use costs are not per frame
  glFinish();
  auto start = Clock::now();
  int calls = 0;
  double elapsed = 0;
  do {
    f();
    ++calls;
    glFinish();
    elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  } while (elapsed < 250.0 || calls < 3);
  return elapsed / calls;
}

void Row(const char* name, double ms) { printf("  %-58s %8.3f ms\n", name, ms); }

// The render area of the flags' choice, as the modules set it before a pass.
void UseSize(RenderTarget* t, int small) {
  t->useSmallTextures = small;
  t->useSmallSize = small;
  if (small)
    SetOrthoWindow(t->smallWidth, t->smallHeight);
  else
    SetOrthoWindow(t->fullWidth, t->fullHeight);
}

}  // namespace

bool RunBenchEffects() {
  printf("Screen effects on %s (ms per call)\n",
         reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  // The show's two kinds of target: transition/loading (small 256 x 128) and
  // the one shared by the modules (small 512 x 256).
  const int W = renderWidth, H = renderHeight;
  RenderTarget* fade = CreateRenderTarget(W, H, W / 4, H / 4);
  RenderTarget* shared = CreateRenderTarget(W, H, W / 2, H / 2);
  if (!fade || !shared) {
    fprintf(stderr, "--bench-effects: out of memory for the render targets\n");
    return false;
  }
  DrawTestPicture();
  for (int slot = 0; slot < 4; ++slot) {
    UseSize(shared, 0);
    CopyFrameToTarget(shared, slot);
    UseSize(shared, 1);
    CopyFrameToTarget(shared, slot);
    UseSize(fade, 0);
    CopyFrameToTarget(fade, slot);
  }

  float bands[20], grid[96 * 96];
  for (int i = 0; i < 20; ++i) bands[i] = (std::sin(i * 0.8f) + 1.0f) * 0.017f;
  for (int i = 0; i < 96 * 96; ++i) grid[i] = 0.5f + 0.5f * std::sin(i * 0.013f);

  char full[32], half[32], quarter[32], name[96];
  snprintf(full, sizeof full, "%dx%d", W, H);
  snprintf(half, sizeof half, "%dx%d", W / 2, H / 2);
  snprintf(quarter, sizeof quarter, "%dx%d", W / 4, H / 4);
  auto named = [&](const char* what, const char* size) {
    snprintf(name, sizeof name, "%s%s", what, size);
    return name;
  };
  puts("Copies");
  UseSize(shared, 0);
  Row(named("CopyFrameToTarget ", full), TimeMs([&] { CopyFrameToTarget(shared, 0); }));
  UseSize(shared, 1);
  Row(named("CopyFrameToTarget ", half), TimeMs([&] { CopyFrameToTarget(shared, 0); }));
  UseSize(fade, 1);
  Row(named("CopyFrameToTarget ", quarter), TimeMs([&] { CopyFrameToTarget(fade, 0); }));

  printf("Single-pass quads (%s)\n", full);
  UseSize(fade, 0);
  Row("DrawFade", TimeMs([&] { DrawFade(fade, 0, 0.5f); }));
  UseSize(shared, 0);
  Row("DrawTargetQuad, blend 0", TimeMs([&] { DrawTargetQuad(shared, 0, 1.0f, 0.0f, 0); }));
  shared->useSmallTextures = 1;
  Row(named("DrawTargetQuad, texture stretched from ", half),
      TimeMs([&] { DrawTargetQuad(shared, 0, 1.0f, 0.0f, kQuadOverDestAlpha); }));
  shared->useSmallTextures = 0;
  Row("DrawTargetQuadTransformed x12, slot 3, blend 3", TimeMs([&] {
        QuadPlacement echo;
        echo.scale = 1.1f;
        echo.angle = -40.0f;
        echo.axisZ = 1.0f;
        for (int i = 0; i < 12; ++i) {
          echo.x = 25.0f * i;
          echo.y = 35.0f * i;
          DrawTargetQuadTransformed(shared, 3, 0.25f, 0.0f, kQuadColour, echo);
        }
      }));

  puts("Multi-pass effects");
  for (int small = 0; small < 2; ++small) {
    const char* size = small ? half : full;
    UseSize(shared, small);
    snprintf(name, sizeof name, "BoostBrightness 1 pass, gain 0.4, %s", size);
    Row(name, TimeMs([&] { BoostBrightness(shared, 0, 1, 0.4f); }));
    snprintf(name, sizeof name, "BoostBrightness 2 passes, gain 1, %s", size);
    Row(name, TimeMs([&] { BoostBrightness(shared, 0, 2, 1.0f); }));
    snprintf(name, sizeof name, "BlurTarget 4 passes, %s", size);
    Row(name, TimeMs([&] { BlurTarget(shared, 0, 4, 1.5f, 1.5f, 0.03125f, 1, 1, 1); }));
    snprintf(name, sizeof name, "BlurTarget 8 passes, %s", size);
    Row(name, TimeMs([&] { BlurTarget(shared, 0, 8, 1.5f, 1.5f, 0.0208f, 1, 1, 1); }));
    snprintf(name, sizeof name, "ZoomBlur 6 passes, %s", size);
    Row(name, TimeMs([&] { ZoomBlur(shared, 0, 6, 0.4f, 0.0f, 0.0f, 0.3f, 0.0f, 0.0f); }));
    snprintf(name, sizeof name, "ZoomBlur 10 passes, %s", size);
    Row(name, TimeMs([&] { ZoomBlur(shared, 1, 10, 0.7f, 0.5f, 0.0f, 0.17f, 0.1f, 0.1f); }));
  }
  UseSize(shared, 0);
  Row(named("BandBlur 4 passes, 10 bands, ", full),
      TimeMs([&] { BandBlur(shared, 0, 4, 1.5f, 1.5f, 0.02f, 0.96f, 1, 0.91f, 10, bands); }));
  Row(named("BandBlur 4 passes, 20 bands, slot 3, ", full),
      TimeMs([&] { BandBlur(shared, 3, 4, 1.5f, 1.5f, 0.2f, 1, 1, 1, 20, bands); }));
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  GridBlurSpec ripple;
  ripple.strength = 0.2f;
  ripple.base = {1.0f, 0.9f, 1.0f};
  ripple.tint = {0.0f, -2.25f, -3.0f};
  ripple.rows = ripple.columns = 96;
  ripple.values = grid;
  Row(named("GridBlur 1 pass, 96x96 grid, ", full),
      TimeMs([&] { GridBlur(shared, 0, ripple); }));

  puts("Composites");
  UseSize(fade, 0);
  Row("Timeline cross-fade (copy, zoom blur 6, copy, fade)", TimeMs([&] {
        CopyFrameToTarget(fade, 0);
        ZoomBlur(fade, 0, 6, 0.4f, 0.0f, 0.0f, 0.15f, 0.0f, 0.0f);
        CopyFrameToTarget(fade, 0);
        DrawFade(fade, 0, 0.5f);
      }));
  Row("DrawLoadingScreen (one loading frame)", TimeMs([] { DrawLoadingScreen(); }));

  FreeRenderTarget(fade);
  FreeRenderTarget(shared);
  return true;
}
