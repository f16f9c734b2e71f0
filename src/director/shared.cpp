#include "director/shared.h"

#include <new>

#include "assets/scene.h"
#include "effects/render_target.h"
#include "toolkit/envelope.h"

Envelope* transitionEnvelope = nullptr;
RenderTarget* transitionTarget = nullptr;
RenderTarget* loadingTarget = nullptr;
RenderTarget* sharedTarget = nullptr;
Scene* loadingScene = nullptr;

void CreateSharedObjects(int32_t renderWidth, int32_t renderHeight, int32_t effectWidth,
                         int32_t effectHeight) {
  if (!transitionEnvelope) transitionEnvelope = new (std::nothrow) Envelope();
  if (!transitionTarget)
    transitionTarget = CreateRenderTarget(renderWidth, renderHeight, effectWidth, effectHeight);
  if (!loadingTarget)
    loadingTarget = CreateRenderTarget(renderWidth, renderHeight, effectWidth, effectHeight);
  if (!sharedTarget)
    sharedTarget =
        CreateRenderTarget(renderWidth, renderHeight, 2 * effectWidth, 2 * effectHeight);
  if (!loadingScene)
    loadingScene = new (std::nothrow)
        Scene(10000, renderWidth, renderHeight, effectWidth, effectHeight);
}

void FreeTransitionObjects() {
  delete transitionEnvelope;
  transitionEnvelope = nullptr;
  FreeRenderTarget(transitionTarget);
  transitionTarget = nullptr;
}
