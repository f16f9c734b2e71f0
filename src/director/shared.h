// Objects the loading sequence creates once and the timeline, the loading
// screen and the modules share for the whole run.
#pragma once
#include <cstdint>

struct Envelope;
struct RenderTarget;
struct Scene;

extern Envelope* transitionEnvelope;    // the timeline's cross-fades
extern RenderTarget* transitionTarget;  // the timeline's cross-fades, slot 0
extern RenderTarget* loadingTarget;     // the loading screen
extern RenderTarget* sharedTarget;      // handed to every module
extern Scene* loadingScene;             // sizes for the loading screen's orthographic view

// Creates the objects above in this order (effect size 256 x 128 in the show):
// transition and loading targets with small size effectWidth x effectHeight,
// the shared target with twice that, the loading scene with 10000 slots.
// Objects that already exist are kept. Null where memory ran out.
void CreateSharedObjects(int32_t renderWidth, int32_t renderHeight, int32_t effectWidth,
                         int32_t effectHeight);

// Shut-down: the two objects the timeline owns.
void FreeTransitionObjects();
