#include "director/timeline.h"

#include "director/shared.h"
#include "director/show_windows.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "effects/zoom_blur.h"
#include "modules/modules.h"
#include "core/gl.h"
#include "core/settings.h"
#include "toolkit/envelope.h"

namespace {
int32_t previousTime = 0;
int32_t frameDelta = 0;

// The frame darkened by 1 - c, after a zoom blur of 0.3 c: the cut between
// modules D and C.
void ZoomFade(float c) {
  CopyFrameToTarget(transitionTarget, 0);
  ZoomBlur(transitionTarget, 0, 6, 0.4f, 0.0f, 0.0f, 0.3f * c, 0.0f, 0.0f);
  CopyFrameToTarget(transitionTarget, 0);
  DrawFade(transitionTarget, 0, 1.0f - c);
}
}  // namespace

void RenderFrame(int32_t t) {
  frameDelta = t - previousTime;
  previousTime = t;

  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glDepthFunc(GL_ALWAYS);  // modules that need depth testing set their own

  Envelope* env = transitionEnvelope;
  const ShowSlot slot = SelectShowSlot(t);
  if (slot.module != kNoModule) {
    RenderModule(ModuleId(slot.module), frameDelta, slot.mode);
    const ShowFade* fade = ShowFadeAt(t);
    if (fade && env) {
      env->start = static_cast<float>(fade->envelopeStartMs);
      env->length = static_cast<float>(fade->toMs - fade->envelopeStartMs);
      const float ft = static_cast<float>(t);
      const float c = fade->curve == kEaseIn ? EaseIn(*env, ft, 1.0f, 1.0f)
                                             : EaseOut(*env, ft, 1.0f, 1.0f);
      if (fade->kind == kFadeZoom) {
        ZoomFade(c);
      } else {
        CopyFrameToTarget(transitionTarget, 0);
        DrawFade(transitionTarget, 0, 1.0f - c);
      }
    }
  } else {
    // No module draws the last second: without a clear the post pass would
    // stretch whatever the buffer still holds. The music has faded out too.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // Past the last window the show ends.
    if (t >= kShowLengthMs) quitRequested = 1;
  }
}

int32_t FrameDelta() { return frameDelta; }

namespace {

RenderTarget keptShared{};
bool keptSharedValid = false;

}  // namespace

void StepFrame(int32_t t) {
  frameDelta = t - previousTime;
  previousTime = t;
  const ShowSlot slot = SelectShowSlot(t);
  if (slot.module != kNoModule) StepModule(ModuleId(slot.module), frameDelta, slot.mode);
}

int32_t PrerollStepTime(int64_t k) { return int32_t(k * 1000 / 60); }

int32_t PrerollShow(int32_t startMs) {
  if (startMs <= 0) return -1;
  int64_t k = 0;
  for (; PrerollStepTime(k + 1) < startMs; ++k) StepFrame(PrerollStepTime(k));
  return PrerollStepTime(k);
}

void KeepShowState() {
  for (int32_t id = 0; id < kModuleCount; ++id) KeepModuleState(ModuleId(id));
  keptSharedValid = sharedTarget != nullptr;
  if (sharedTarget) keptShared = *sharedTarget;
}

void RestoreShowState() {
  for (int32_t id = 0; id < kModuleCount; ++id) RestoreModuleState(ModuleId(id));
  if (keptSharedValid && sharedTarget) *sharedTarget = keptShared;
  previousTime = 0;
  frameDelta = 0;
}
