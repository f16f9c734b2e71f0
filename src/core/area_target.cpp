#include "core/area_target.h"

#include <cmath>
#include <cstring>

#include "core/gl.h"

namespace {
GLuint framebuffer = 0;
GLuint colour = 0;
GLuint depthStencil = 0;

bool HasGlExtension(const char* name) {
  const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (!list) return false;
  const size_t n = strlen(name);
  for (const char* p = list; (p = strstr(p, name)) != nullptr; p += n)
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  return false;
}
}  // namespace

bool CreateAreaTarget(int32_t width, int32_t height) {
  FreeAreaTarget();
  GLuint fb = 0, rb[2] = {0, 0};
  glGenRenderbuffers(2, rb);
  glBindRenderbuffer(GL_RENDERBUFFER, rb[0]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, rb[1]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);

  glGenFramebuffers(1, &fb);
  glBindFramebuffer(GL_FRAMEBUFFER, fb);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
  // Mesa stores a window's framebuffer top row first, and its rasteriser
  // rounds edges and interpolants measured from that top row. Storing this
  // one the same way, at the window's height, gives the same pixels as
  // drawing into the window did, to the bit.
  if (HasGlExtension("GL_MESA_framebuffer_flip_y"))
    glFramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (!complete) {
    glDeleteFramebuffers(1, &fb);
    glDeleteRenderbuffers(2, rb);
    return false;
  }
  framebuffer = fb;
  colour = rb[0];
  depthStencil = rb[1];
  // Black to start with, as a cleared back buffer would be.
  BindAreaTarget();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  return true;
}

void FreeAreaTarget() {
  if (!framebuffer) return;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer);
  glDeleteRenderbuffers(1, &colour);
  glDeleteRenderbuffers(1, &depthStencil);
  framebuffer = colour = depthStencil = 0;
}

bool HasAreaTarget() { return framebuffer != 0; }

void BindAreaTarget() { glBindFramebuffer(GL_FRAMEBUFFER, framebuffer); }

void BindWindowTarget() { glBindFramebuffer(GL_FRAMEBUFFER, 0); }

PictureRect FitPicture(int32_t windowWidth, int32_t windowHeight) {
  if (windowWidth <= 0 || windowHeight <= 0) return {0, 0, 0, 0};
  // Compare in integers (w * 3 against h * 4) so an exact 4:3 window is
  // filled exactly, then round the other side.
  int32_t w = windowWidth, h = windowHeight;
  if (int64_t(windowWidth) * 3 > int64_t(windowHeight) * 4)
    w = int32_t(std::lround(double(windowHeight) * 4.0 / 3.0));
  else
    h = int32_t(std::lround(double(windowWidth) * 3.0 / 4.0));
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  return {(windowWidth - w) / 2, (windowHeight - h) / 2, w, h};
}
