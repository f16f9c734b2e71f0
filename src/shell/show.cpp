#include "shell/show.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>

#include "director/loading.h"
#include "director/timeline.h"
#include "core/gl.h"
#include "shell/overlay.h"
#include "core/present.h"
#include "core/area_target.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "shell/view.h"

namespace {

uint32_t startTick = 0;
int32_t frameCounter = 0;
int32_t framesPerSecond = 0;
uint32_t fpsWindowStart = 0;
char loadingText[32];
bool measureTimeline = false;
double timelineCpuSeconds = 0;

double ThreadCpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

}  // namespace

bool BeginShow(uint32_t nowTicks, FILE* err) {
  startTick = nowTicks;
  frameCounter = 0;
  framesPerSecond = 0;
  fpsWindowStart = 0;
  if (!CheckGlSizeLimits(QueryGlSizeLimits(), renderWidth, renderHeight, screenWidth,
                         screenHeight, err))
    return false;
  if (!CreatePostTexture()) {
    fprintf(err, "This GL cannot make the render area's framebuffer of %d x %d "
                 "(RGB8 with depth 24 and stencil 8).\n",
            renderWidth, renderHeight);
    return false;
  }
  return true;
}

void RunStartup() {
  BindWindowTarget();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  SetTargetView(screenWidth, screenHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);

  Set2dState();

  snprintf(loadingText, sizeof loadingText, "Quendeling..");
  DrawOverlayText(0.0f, 0.0f, 0.15f, 0.0f, loadingText);
  glFlush();
  SwapFrame();

  LoadAll(renderWidth, renderHeight, renderWidth / 4, renderHeight / 4, PictureWidth(),
          PictureHeight());
}

void PrintInitializationTime(uint32_t nowTicks, FILE* out) {
  fprintf(out, "Initialization finished in %.2f seconds! \n", double(nowTicks - startTick) * 0.001);
}

void DrawShowFrame(int32_t t, uint32_t nowTicks) {
  SetTargetView(screenWidth, screenHeight);
  if (measureTimeline) {
    double before = ThreadCpuNow();
    RenderFrame(t);
    timelineCpuSeconds = ThreadCpuNow() - before;
  } else {
    RenderFrame(t);
  }
  ++frameCounter;
  glEnable(GL_BLEND);
  if (nowTicks - fpsWindowStart > 1000) {
    fpsWindowStart = nowTicks;
    framesPerSecond = frameCounter;
    frameCounter = 0;
  }
  DrawPostPass();
  DrawOverlay(t, framesPerSecond);
}

int32_t FramesPerSecond() { return framesPerSecond; }

void ResetFrameCounter(uint32_t) {
  frameCounter = 0;
  framesPerSecond = 0;
  fpsWindowStart = 0;
}

namespace {
int64_t glErrors = 0;
int glCheck = -1;  // -1: the environment not read yet
bool GlCheckOn() {
  if (glCheck < 0) glCheck = getenv("MARVOKE_GL_CHECK") ? 1 : 0;
  return glCheck == 1;
}
}  // namespace

void CountGlErrors() {
  if (!GlCheckOn()) return;
  // Bounded: a lost context can report GL_CONTEXT_LOST forever.
  for (int i = 0; i < 64; ++i) {
    const GLenum e = glGetError();
    if (e == GL_NO_ERROR) break;
    if (glErrors < 10) fprintf(stderr, "GL error 0x%04x at music time %d\n", e, musicTime);
    ++glErrors;
  }
}

void ReportGlErrors() {
  if (GlCheckOn()) fprintf(stderr, "GL errors: %lld\n", static_cast<long long>(glErrors));
}

int64_t GlErrorCount() { return glErrors; }

void MeasureTimelineCpu(bool enabled) { measureTimeline = enabled; }
double LastTimelineCpuSeconds() { return timelineCpuSeconds; }
