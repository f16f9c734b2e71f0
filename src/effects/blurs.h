// Multi-pass feedback effects on one slot of a RenderTarget. Each pass draws
// the previous result over the screen and, unless it is the last, copies the
// screen into the slot's feedback texture for the next pass; the last pass
// leaves its result in the framebuffer. Pass 1 reads the slot's copy texture.
// Texture group and quad size follow useSmallTextures. The caller sets the
// centred pixel orthographic projection and the viewport of the area first.
//
// State left behind by all four: 2D texturing and blending on, texture
// environment GL_ADD, modelview selected and unchanged. BlurTarget, BandBlur
// and GridBlur leave blend function (src alpha, dst alpha); BoostBrightness
// leaves (one, one), depth test off and colour material on unless gain is 1.
#pragma once
#include <cstdint>

struct RenderTarget;

// Adds gain x source onto the framebuffer, then feeds the result back through
// passes - 1 more passes over a cleared buffer. The fixed-function pipeline
// clamps the vertex colour to 1, so a gain above 1 acts as 1 (the show uses
// 0.4 and 1).
void BoostBrightness(const RenderTarget* target, int32_t slot, int32_t passes, float gain);

// Four-tap box blur whose radius grows with each pass; (red, green, blue)
// tints the taps. Spreads 0 draw the source four times at alpha 65/256. The
// radius is a share of the texture (small size over the render area's), the
// same at every render scale; so are the band and grid blurs'.
void BlurTarget(const RenderTarget* target, int32_t slot, int32_t passes, float spreadX,
                float spreadY, float strength, float red, float green, float blue);

// BlurTarget with a radius that varies over n - 1 horizontal bands, one value
// per band edge (values[0] at the bottom). `unused` has no effect.
void BandBlur(const RenderTarget* target, int32_t slot, int32_t passes, float spreadX,
              float spreadY, float unused, float red, float green, float blue, int32_t n,
              const float* values);

// A colour of blur taps.
struct BlurColour {
  float red, green, blue;
};

// GridBlur's values: every tap is `base` plus `tint` times the grid value
// under it, the tint growing by strength each pass; the radius follows
// spread, strength and the grid value.
struct GridBlurSpec {
  int32_t passes = 1;
  float spreadX = 1.5f, spreadY = 1.5f;
  float strength = 0.0f;
  BlurColour base{0.0f, 0.0f, 0.0f};
  BlurColour tint{0.0f, 0.0f, 0.0f};
  int32_t rows = 0, columns = 0;
  const float* values = nullptr;  // rows x columns, row-major; rows run along x
};

// Blur radius and tint varying over a grid of sample values (columns run
// along y). On the small textures it draws plain taps of the base colour; on
// the full ones without a grid of at least 2 x 2 values, nothing. Leaves colour material off; does not set the texture environment
// during its passes (GL_ADD adds the colour, GL_MODULATE multiplies).
void GridBlur(const RenderTarget* target, int32_t slot, const GridBlurSpec& grid);
