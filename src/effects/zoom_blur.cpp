#include "effects/zoom_blur.h"

#include <cmath>

#include "effects/render_target.h"
#include "core/gl.h"

void ZoomBlur(const RenderTarget* target, int32_t slot, int32_t passes, float alpha, float angle,
              float quarterTurns, float zoom, float centreX, float centreY) {
  if (!effects::ValidSlot(target, slot) || passes < 1) return;
  glEnable(GL_TEXTURE_2D);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);

  const float theta = angle;
  const float phi = angle + quarterTurns * 1.570796f;
  const float base = zoom * 0.1f;
  const float hw = effects::HalfWidth(target), hh = effects::HalfHeight(target);
  const float* colour = target->zoomColour;
  for (int32_t g = 0; g < passes; ++g) {
    // Later passes move less (damped by 1.13^g); pass 0 draws the source unscaled.
    float s = static_cast<float>((g + 1) * zoom / passes / std::pow(1.13, g));
    if (g == 0)
      effects::BindSource(target, slot);
    else
      effects::BindFeedback(target, slot);
    float d = -(s - base) * g;
    float u = d * (std::cos(theta) + std::sin(theta));
    float v = d * (std::sin(phi) + std::cos(phi));
    float uo = -u * centreX, vo = -v * centreY;
    glColor4f(colour[0], colour[1], colour[2],
              alpha - std::sqrt(static_cast<float>(g) / passes) * target->zoomFade);
    glBegin(GL_QUADS);
    glTexCoord2f(uo - u, vo - v);
    glVertex3f(-hw, -hh, -1.0f);
    glTexCoord2f(uo + u + 1.0f, vo - v);
    glVertex3f(hw, -hh, -1.0f);
    glTexCoord2f(uo + u + 1.0f, vo + v + 1.0f);
    glVertex3f(hw, hh, -1.0f);
    glTexCoord2f(uo - u, vo + v + 1.0f);
    glVertex3f(-hw, hh, -1.0f);
    glEnd();
    if (g + 1 < passes) effects::CopyFrameToFeedback(target, slot);
  }
  glPopMatrix();
}
