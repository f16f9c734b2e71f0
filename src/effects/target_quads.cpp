#include "effects/target_quads.h"

#include "effects/render_target.h"
#include "core/gl.h"
#include "core/render_scale.h"

namespace {
void BeginQuadPass(GLenum srcFactor, GLenum dstFactor) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBlendFunc(srcFactor, dstFactor);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
}

void EndQuadPass() {
  glPopMatrix();
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
}

// Quad size follows useSmallSize (the texture group follows useSmallTextures).
void DrawSizedQuad(const RenderTarget* t) {
  if (t->useSmallSize)
    effects::DrawCentredQuad(static_cast<float>(t->smallHalfWidth),
                             static_cast<float>(t->smallHalfHeight));
  else
    effects::DrawCentredQuad(static_cast<float>(t->fullHalfWidth),
                             static_cast<float>(t->fullHalfHeight));
}
}  // namespace

void DrawFade(const RenderTarget* target, int32_t slot, float alpha) {
  if (!effects::ValidSlot(target, slot)) return;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glClear(GL_COLOR_BUFFER_BIT);
  glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  effects::BindSource(target, slot);
  // Under GL_ADD a black colour leaves the texel, and the alpha scales it.
  glColor4f(0.0f, 0.0f, 0.0f, alpha);
  effects::DrawCentredQuad(effects::HalfWidth(target), effects::HalfHeight(target));
  EndQuadPass();
}

void DrawTargetQuad(const RenderTarget* target, int32_t slot, float alpha, float brightness,
                    int32_t blend) {
  if (!effects::ValidSlot(target, slot)) return;
  switch (blend) {
    case kQuadOverDestAlpha: BeginQuadPass(GL_SRC_ALPHA, GL_DST_ALPHA); break;
    case kQuadAdd: BeginQuadPass(GL_SRC_ALPHA, GL_ONE); break;
    default: BeginQuadPass(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); break;
  }
  effects::BindSource(target, slot);
  glColor4f(brightness, brightness, brightness, alpha);
  DrawSizedQuad(target);
  EndQuadPass();
}

void DrawTargetQuadTransformed(const RenderTarget* target, int32_t slot, float alpha,
                               float brightness, int32_t blend, const QuadPlacement& at) {
  if (!effects::ValidSlot(target, slot)) return;
  switch (blend) {
    case kQuadOverDestAlpha: BeginQuadPass(GL_SRC_ALPHA, GL_DST_ALPHA); break;
    case kQuadAdd: BeginQuadPass(GL_SRC_ALPHA, GL_ONE); break;
    case kQuadColour: BeginQuadPass(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR); break;
    default: BeginQuadPass(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); break;
  }
  effects::BindSource(target, slot);
  glColor4f(brightness, brightness, brightness, alpha);
  // The offset is in pixels of the show's own area size: it follows the scale.
  const float k = AreaPixelScale();
  glTranslatef(at.x * k, at.y * k, 0.0f);
  // A zero axis names no rotation (logo echoes pass angle 0 about (0, 0, 0)).
  if (at.axisX != 0.0f || at.axisY != 0.0f || at.axisZ != 0.0f)
    glRotatef(at.angle, at.axisX, at.axisY, at.axisZ);
  glScalef(at.scale, at.scale, 1.0f);
  DrawSizedQuad(target);
  EndQuadPass();
}
