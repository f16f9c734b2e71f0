#include "core/render_scale.h"

#include <cmath>
#include <cstdlib>

#include "core/gl.h"
#include "core/settings.h"

bool ReadRenderScale(const char* text, float* scale) {
  char* end = nullptr;
  const double s = text ? strtod(text, &end) : 0.0;
  if (!text || end == text || *end != '\0' || !std::isfinite(s) || s < kMinRenderScale ||
      s > kMaxRenderScale)
    return false;
  *scale = float(s);
  return true;
}

bool ParseRenderScale(const char* text, const char* option, float* scale, FILE* err) {
  if (!ReadRenderScale(text, scale)) {
    fprintf(err, "%s takes a render scale from %g to %g (1 is 1024 x 512), not \"%s\"\n", option,
            double(kMinRenderScale), double(kMaxRenderScale), text ? text : "");
    return false;
  }
  return true;
}

int32_t RenderWidthForScale(float scale) {
  return 8 * int32_t(std::lround(double(scale) * 128.0));
}

void SetRenderScale(float scale) {
  renderWidth = RenderWidthForScale(scale);
  renderHeight = renderWidth / 2;
}

float AreaPixelScale() { return float(renderWidth) / 1024.0f; }

int32_t PictureWidth() { return renderWidth; }
int32_t PictureHeight() { return renderWidth / 4 * 3; }

GlSizeLimits QueryGlSizeLimits() {
  GlSizeLimits l{};
  GLint viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &l.maxTexture);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &l.maxRenderbuffer);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  l.maxViewportWidth = viewport[0];
  l.maxViewportHeight = viewport[1];
  if (const char* cap = getenv("MARVOKE_MAX_TEXTURE_SIZE")) {
    const long n = strtol(cap, nullptr, 10);
    if (n > 0) {
      const int32_t c = int32_t(n);
      if (l.maxTexture > c) l.maxTexture = c;
      if (l.maxRenderbuffer > c) l.maxRenderbuffer = c;
      if (l.maxViewportWidth > c) l.maxViewportWidth = c;
      if (l.maxViewportHeight > c) l.maxViewportHeight = c;
    }
  }
  return l;
}

bool CheckGlSizeLimits(const GlSizeLimits& l, int32_t areaWidth, int32_t areaHeight,
                       int32_t windowWidth, int32_t windowHeight, FILE* err) {
  const int32_t area = areaWidth > areaHeight ? areaWidth : areaHeight;
  const char* what = nullptr;
  int32_t limit = 0;
  if (area > l.maxTexture) {
    what = "GL_MAX_TEXTURE_SIZE";
    limit = l.maxTexture;
  } else if (area > l.maxRenderbuffer) {
    what = "GL_MAX_RENDERBUFFER_SIZE";
    limit = l.maxRenderbuffer;
  } else if (areaWidth > l.maxViewportWidth || areaHeight > l.maxViewportHeight ||
             windowWidth > l.maxViewportWidth || windowHeight > l.maxViewportHeight) {
    what = "GL_MAX_VIEWPORT_DIMS";
    limit = l.maxViewportWidth < l.maxViewportHeight ? l.maxViewportWidth : l.maxViewportHeight;
  }
  if (!what) return true;
  fprintf(err,
          "The render area of %d x %d (window %d x %d) exceeds this GL's %s of %d: "
          "choose a smaller --scale or window.\n",
          areaWidth, areaHeight, windowWidth, windowHeight, what, limit);
  return false;
}
