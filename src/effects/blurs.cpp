#include "effects/blurs.h"

#include "effects/render_target.h"
#include "core/gl.h"
#include "core/settings.h"

namespace {
// Pass 1 reads the copy, later passes the feedback of the previous pass.
void BindPassSource(const RenderTarget* t, int32_t slot, int32_t pass) {
  if (pass == 1)
    effects::BindSource(t, slot);
  else
    effects::BindFeedback(t, slot);
}

// The centred quad with its texture window moved by (s, t).
void DrawShiftedQuad(float hw, float hh, float s, float t) {
  glBegin(GL_QUADS);
  glTexCoord2f(s, t);
  glVertex3f(-hw, -hh, -1.0f);
  glTexCoord2f(s + 1.0f, t);
  glVertex3f(hw, -hh, -1.0f);
  glTexCoord2f(s + 1.0f, t + 1.0f);
  glVertex3f(hw, hh, -1.0f);
  glTexCoord2f(s, t + 1.0f);
  glVertex3f(-hw, hh, -1.0f);
  glEnd();
}

void BeginBlur() {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA);
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
}

void EndBlur() {
  glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glPopMatrix();
}
}  // namespace

void BoostBrightness(const RenderTarget* target, int32_t slot, int32_t passes, float gain) {
  if (!effects::ValidSlot(target, slot)) return;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBlendFunc(GL_ONE, GL_ONE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  glColor4f(gain, gain, gain, 1.0f);
  if (gain != 1.0f)
    glEnable(GL_COLOR_MATERIAL);
  else
    glDisable(GL_COLOR_MATERIAL);

  float hw = effects::HalfWidth(target), hh = effects::HalfHeight(target);
  for (int32_t p = 1; p <= passes; ++p) {
    // Pass 1 adds onto whatever the framebuffer holds.
    BindPassSource(target, slot, p);
    effects::DrawCentredQuad(hw, hh);
    if (p < passes) {
      effects::CopyFrameToFeedback(target, slot);
      glClear(GL_COLOR_BUFFER_BIT);
    }
  }
  glPopMatrix();
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
}

void BlurTarget(const RenderTarget* target, int32_t slot, int32_t passes, float spreadX,
                float spreadY, float strength, float red, float green, float blue) {
  if (!effects::ValidSlot(target, slot)) return;
  BeginBlur();
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  float hw = effects::HalfWidth(target), hh = effects::HalfHeight(target);
  for (int32_t p = 1; p <= passes; ++p) {
    glClear(GL_COLOR_BUFFER_BIT);
    BindPassSource(target, slot, p);
    // The small sizes set the radius whichever group is read, as a share of
    // the render area, so the radius is the same at every render scale.
    float x = p * target->smallWidth * spreadX * strength / renderWidth / passes;
    float y = p * target->smallHeight * spreadY * strength / renderHeight / passes;
    // Taps reach past the edge: repeat would wrap the opposite side in.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    for (int32_t j = 0; j < 2; ++j) {
      for (int32_t k = 0; k < 2; ++k) {
        glColor4f(red, green, blue, kTapAlpha);
        DrawShiftedQuad(hw, hh, k * x - x / 2, j * y - y / 2);
      }
    }
    if (p < passes) effects::CopyFrameToFeedback(target, slot);
  }
  EndBlur();
}

void BandBlur(const RenderTarget* target, int32_t slot, int32_t passes, float spreadX,
              float spreadY, float unused, float red, float green, float blue, int32_t n,
              const float* values) {
  if (!effects::ValidSlot(target, slot)) return;
  BeginBlur();
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  const bool banded = !target->useSmallTextures && n >= 2 && values;
  const float hw = static_cast<float>(target->fullHalfWidth);
  const float hh = static_cast<float>(target->fullHalfHeight);
  const float bands = static_cast<float>(n - 1);
  for (int32_t p = 1; p <= passes; ++p) {
    glClear(GL_COLOR_BUFFER_BIT);
    BindPassSource(target, slot, p);
    float fx = spreadX * target->smallWidth * p;
    float fy = spreadY * target->smallHeight * p;
    for (int32_t j = 0; j < 2; ++j) {
      for (int32_t k = 0; k < 2; ++k) {
        glColor4f(red, green, blue, kTapAlpha);
        if (!banded) {
          // The small group has no bands: one plain quad of its size.
          if (target->useSmallTextures)
            effects::DrawCentredQuad(static_cast<float>(target->smallHalfWidth),
                                     static_cast<float>(target->smallHalfHeight));
          continue;
        }
        glBegin(GL_QUADS);
        for (int32_t e = 0; e + 1 < n; ++e) {
          float x0 = fx * values[e] / renderWidth / passes;
          float y0 = fy * values[e] / renderHeight / passes;
          float x1 = fx * values[e + 1] / renderWidth / passes;
          float y1 = fy * values[e + 1] / renderHeight / passes;
          float lowY = e * 2 * hh / bands - hh;
          float highY = (e + 1) * 2 * hh / bands - hh;
          float s0 = k * x0 - x0 / 2, t0 = e / bands + j * y0 - y0 / 2;
          float s1 = k * x1 - x1 / 2, t1 = (e + 1) / bands + j * y1 - y1 / 2;
          glTexCoord2f(s0, t0);
          glVertex3f(-hw, lowY, -1.0f);
          glTexCoord2f(s0 + 1.0f, t0);
          glVertex3f(hw, lowY, -1.0f);
          glTexCoord2f(s1 + 1.0f, t1);
          glVertex3f(hw, highY, -1.0f);
          glTexCoord2f(s1, t1);
          glVertex3f(-hw, highY, -1.0f);
        }
        glEnd();
      }
    }
    if (p < passes) effects::CopyFrameToFeedback(target, slot);
  }
  EndBlur();
}

void GridBlur(const RenderTarget* target, int32_t slot, const GridBlurSpec& grid) {
  if (!effects::ValidSlot(target, slot)) return;
  const int32_t passes = grid.passes, rows = grid.rows, columns = grid.columns;
  const float spreadX = grid.spreadX, spreadY = grid.spreadY, strength = grid.strength;
  const float baseRed = grid.base.red, baseGreen = grid.base.green, baseBlue = grid.base.blue;
  const float* values = grid.values;
  BeginBlur();
  glDisable(GL_COLOR_MATERIAL);
  const bool gridded = !target->useSmallTextures && rows >= 2 && columns >= 2 && values;
  const float hw = static_cast<float>(target->fullHalfWidth);
  const float hh = static_cast<float>(target->fullHalfHeight);
  const float rowSpan = static_cast<float>(rows - 1), columnSpan = static_cast<float>(columns - 1);
  float tr = grid.tint.red, tg = grid.tint.green, tb = grid.tint.blue;
  for (int32_t p = 1; p <= passes; ++p) {
    glClear(GL_COLOR_BUFFER_BIT);
    BindPassSource(target, slot, p);
    // The tint grows geometrically: strength^p times the given one in pass p.
    tr *= strength;
    tg *= strength;
    tb *= strength;
    const float fx = strength * spreadX, fy = strength * spreadY;
    for (int32_t j = 0; j < 2; ++j) {
      for (int32_t k = 0; k < 2; ++k) {
        if (!gridded) {
          if (target->useSmallTextures) {
            glColor4f(baseRed, baseGreen, baseBlue, kTapAlpha);
            effects::DrawCentredQuad(static_cast<float>(target->smallHalfWidth),
                                     static_cast<float>(target->smallHalfHeight));
          }
          continue;
        }
        auto point = [&](int32_t a, int32_t c) {
          float v = values[a * columns + c];
          float xv = fx * v * p * target->smallWidth / renderWidth / passes;
          float yv = fy * v * p * target->smallHeight / renderHeight / passes;
          glColor4f(baseRed + tr * v, baseGreen + tg * v, baseBlue + tb * v, kTapAlpha);
          glTexCoord2f(a / rowSpan + k * xv - xv / 2, c / columnSpan + j * yv - yv / 2);
          glVertex3f(a * 2 * hw / rowSpan - hw, c * 2 * hh / columnSpan - hh, -1.0f);
        };
        glBegin(GL_QUADS);
        for (int32_t a = 0; a + 1 < rows; ++a) {
          for (int32_t c = 0; c + 1 < columns; ++c) {
            point(a, c);
            point(a, c + 1);
            point(a + 1, c + 1);
            point(a + 1, c);
          }
        }
        glEnd();
      }
    }
    if (p < passes) effects::CopyFrameToFeedback(target, slot);
  }
  EndBlur();
}
