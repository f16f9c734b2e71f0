// Render targets: sets of textures that receive copies of the framebuffer, so
// a drawn picture can be laid back over the screen blurred, faded or zoomed.
// Created once while loading and shared by the timeline and every module.
#pragma once
#include <cstdint>

struct RenderTarget {
  // Four slots per group. Slot 3 repeats, slots 0-2 clamp to their edge texels.
  // Modules may point a slot at another texture name (a logo) for one pass.
  uint32_t fullTextures[4];   // full-size copies of the framebuffer
  uint32_t fullFeedback[4];   // full-size intermediates of multi-pass effects
  uint32_t smallTextures[4];  // small-size copies
  uint32_t smallFeedback[4];  // small-size intermediates

  int32_t fullWidth, fullHeight;          // texture size = copied framebuffer area
  int32_t fullHalfWidth, fullHalfHeight;  // integer halves: quad half-extents
  int32_t fullCopyX, fullCopyY;           // lower-left corner of copies, (0, 0)
  int32_t smallWidth, smallHeight;
  int32_t smallHalfWidth, smallHalfHeight;
  int32_t smallCopyX, smallCopyY;

  int32_t useSmallTextures;  // 1: effects read the small groups, 0: the full ones
  int32_t useSmallSize;      // 1: copies and target quads use the small sizes
  float zoomFade;            // alpha the later zoom-blur passes lose
  float zoomColour[3];       // colour of the zoom-blur quads
};

// Generates the 16 textures and allocates each once at its final size; copies
// later only overwrite them. Returns null when out of memory. Leaves the last
// small feedback texture bound to GL_TEXTURE_2D.
RenderTarget* CreateRenderTarget(int32_t fullWidth, int32_t fullHeight,
                                 int32_t smallWidth, int32_t smallHeight);
void FreeRenderTarget(RenderTarget* target);

// Copies the framebuffer's lower-left area into texture `slot` (0..3): the
// small texture and small area when useSmallSize is set, else the full ones.
// Leaves that texture bound. A null target or a slot outside 0..3 does nothing.
void CopyFrameToTarget(const RenderTarget* target, int32_t slot);

// Pieces shared by the screen passes.
namespace effects {
bool ValidSlot(const RenderTarget* target, int32_t slot);
// Wrap modes of the bound 2D texture: repeat for slot 3, clamp to edge otherwise.
void SetSlotWrap(int32_t slot);
// Binds the slot's copy texture chosen by useSmallTextures and sets its wraps.
void BindSource(const RenderTarget* target, int32_t slot);
// Binds the slot's feedback texture chosen by useSmallTextures and sets its wraps.
void BindFeedback(const RenderTarget* target, int32_t slot);
// Copies the framebuffer into the slot's feedback texture, group and size
// chosen by useSmallTextures, and sets the slot's wraps on it.
void CopyFrameToFeedback(const RenderTarget* target, int32_t slot);
// Half sizes of the group useSmallTextures chooses.
float HalfWidth(const RenderTarget* target);
float HalfHeight(const RenderTarget* target);
// One quad centred on the origin at depth -1, texture coordinates 0..1.
void DrawCentredQuad(float halfWidth, float halfHeight);
}  // namespace effects

// Tap alpha of the blurs: four taps add up to slightly more than the source.
constexpr float kTapAlpha = 0.25390625f;  // 65/256
