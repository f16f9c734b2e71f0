#include "effects/render_target.h"

#include <algorithm>
#include <new>
#include <memory>

#include "core/gl.h"

namespace {
void DefineTexture(uint32_t name, int32_t slot, int32_t width, int32_t height,
                   const uint8_t* zeros) {
  glBindTexture(GL_TEXTURE_2D, name);
  effects::SetSlotWrap(slot);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, zeros);
}
}  // namespace

RenderTarget* CreateRenderTarget(int32_t fullWidth, int32_t fullHeight,
                                 int32_t smallWidth, int32_t smallHeight) {
  RenderTarget* t = new (std::nothrow) RenderTarget{};
  if (!t) return nullptr;
  glGenTextures(4, t->fullTextures);
  glGenTextures(4, t->fullFeedback);
  glGenTextures(4, t->smallTextures);
  glGenTextures(4, t->smallFeedback);

  t->fullWidth = fullWidth;
  t->fullHeight = fullHeight;
  t->fullHalfWidth = fullWidth / 2;
  t->fullHalfHeight = fullHeight / 2;
  t->smallWidth = smallWidth;
  t->smallHeight = smallHeight;
  t->smallHalfWidth = smallWidth / 2;
  t->smallHalfHeight = smallHeight / 2;
  // Copy corners, both flags, zoomFade and zoomColour are zero from {}.

  // Black to start with, so a texture read before its first copy shows nothing.
  // Rows padded to the default unpack alignment of 4.
  int32_t w = std::max(std::max(fullWidth, smallWidth), 1);
  int32_t h = std::max(std::max(fullHeight, smallHeight), 1);
  std::unique_ptr<uint8_t[]> zeros(
      new (std::nothrow) uint8_t[static_cast<size_t>((3 * w + 3) & ~3) * h]());
  if (!zeros) {
    FreeRenderTarget(t);
    return nullptr;
  }
  for (int32_t slot = 0; slot < 4; ++slot) {
    DefineTexture(t->fullTextures[slot], slot, fullWidth, fullHeight, zeros.get());
    DefineTexture(t->fullFeedback[slot], slot, fullWidth, fullHeight, zeros.get());
    DefineTexture(t->smallTextures[slot], slot, smallWidth, smallHeight, zeros.get());
    DefineTexture(t->smallFeedback[slot], slot, smallWidth, smallHeight, zeros.get());
  }
  return t;
}

void FreeRenderTarget(RenderTarget* target) {
  if (!target) return;
  glDeleteTextures(4, target->fullTextures);
  glDeleteTextures(4, target->fullFeedback);
  glDeleteTextures(4, target->smallTextures);
  glDeleteTextures(4, target->smallFeedback);
  delete target;
}

void CopyFrameToTarget(const RenderTarget* target, int32_t slot) {
  if (!effects::ValidSlot(target, slot)) return;
  const RenderTarget& t = *target;
  if (t.useSmallSize) {
    glBindTexture(GL_TEXTURE_2D, t.smallTextures[slot]);
    effects::SetSlotWrap(slot);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, t.smallCopyX, t.smallCopyY, t.smallWidth,
                        t.smallHeight);
  } else {
    glBindTexture(GL_TEXTURE_2D, t.fullTextures[slot]);
    effects::SetSlotWrap(slot);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, t.fullCopyX, t.fullCopyY, t.fullWidth,
                        t.fullHeight);
  }
}

namespace effects {

bool ValidSlot(const RenderTarget* target, int32_t slot) {
  return target && slot >= 0 && slot < 4;
}

void SetSlotWrap(int32_t slot) {
  // Clamp to the edge texel rather than the border colour, so zoomed and
  // blurred copies do not pick up a dark rim.
  GLint wrap = slot == 3 ? GL_REPEAT : GL_CLAMP_TO_EDGE;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

void BindSource(const RenderTarget* t, int32_t slot) {
  glBindTexture(GL_TEXTURE_2D, t->useSmallTextures ? t->smallTextures[slot] : t->fullTextures[slot]);
  SetSlotWrap(slot);
}

void BindFeedback(const RenderTarget* t, int32_t slot) {
  glBindTexture(GL_TEXTURE_2D, t->useSmallTextures ? t->smallFeedback[slot] : t->fullFeedback[slot]);
  SetSlotWrap(slot);
}

void CopyFrameToFeedback(const RenderTarget* t, int32_t slot) {
  if (t->useSmallTextures) {
    glBindTexture(GL_TEXTURE_2D, t->smallFeedback[slot]);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, t->smallCopyX, t->smallCopyY, t->smallWidth,
                        t->smallHeight);
  } else {
    glBindTexture(GL_TEXTURE_2D, t->fullFeedback[slot]);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, t->fullCopyX, t->fullCopyY, t->fullWidth,
                        t->fullHeight);
  }
  SetSlotWrap(slot);
}

float HalfWidth(const RenderTarget* t) {
  return static_cast<float>(t->useSmallTextures ? t->smallHalfWidth : t->fullHalfWidth);
}

float HalfHeight(const RenderTarget* t) {
  return static_cast<float>(t->useSmallTextures ? t->smallHalfHeight : t->fullHalfHeight);
}

void DrawCentredQuad(float hw, float hh) {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-hw, -hh, -1.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(hw, -hh, -1.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(hw, hh, -1.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-hw, hh, -1.0f);
  glEnd();
}

}  // namespace effects
