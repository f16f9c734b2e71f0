// The render scale S: the render area, every render target and the loading
// screen are sized from it once, at start-up, before anything is created.
// S = 1 is the show's own size (a 1024 x 512 area); the picture at S is the
// same picture with S times the pixels per side.
#pragma once
#include <cstdint>
#include <cstdio>

constexpr float kMinRenderScale = 0.25f;
constexpr float kMaxRenderScale = 4.0f;

// Reads S from `text` ("0.5", "2"). On bad syntax or a value outside
// [kMinRenderScale, kMaxRenderScale] prints a line naming `option` to `err`
// and returns false, leaving *scale alone.
bool ParseRenderScale(const char* text, const char* option, float* scale, FILE* err = stderr);
// The same without the message, for callers that word their own.
bool ReadRenderScale(const char* text, float* scale);

// Area width for S: 1024 S rounded to a multiple of 8, so the height (half of
// it) and the small target sizes (quarters and halves) are exact integers.
int32_t RenderWidthForScale(float scale);

// Sets renderWidth and renderHeight for S.
void SetRenderScale(float scale);

// What a length in pixels of the scale-1 area becomes: renderWidth / 1024,
// exactly 1 at the default size.
float AreaPixelScale();

// The picture's logical window at this scale: the 4:3 frame the area is shown
// in (1024 x 768 at S = 1), sizing the loading screen's last quad.
int32_t PictureWidth();
int32_t PictureHeight();

// Size limits of the GL implementation that bound the area and the window.
struct GlSizeLimits {
  int32_t maxTexture;
  int32_t maxRenderbuffer;
  int32_t maxViewportWidth, maxViewportHeight;
};

// Reads the limits from the current context. MARVOKE_MAX_TEXTURE_SIZE, when
// set to a number, lowers all of them to it, so a small device can be tried
// on any machine.
GlSizeLimits QueryGlSizeLimits();

// True when an area of areaWidth x areaHeight (texture, renderbuffer and
// viewport) and a window of windowWidth x windowHeight (viewport) fit the
// limits; otherwise one line to `err` naming the limit that is exceeded.
bool CheckGlSizeLimits(const GlSizeLimits& limits, int32_t areaWidth, int32_t areaHeight,
                       int32_t windowWidth, int32_t windowHeight, FILE* err = stderr);
