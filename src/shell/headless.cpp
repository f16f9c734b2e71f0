#include "shell/headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstdio>
#include <cstring>

#include "core/gl.h"
#include "core/present.h"

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLSurface surface = EGL_NO_SURFACE;
EGLContext context = EGL_NO_CONTEXT;
const char* platformName = "";

bool HasExtension(const char* list, const char* name) {
  if (!list) return false;
  size_t n = strlen(name);
  for (const char* p = list; (p = strstr(p, name)) != nullptr; p += n) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

// Tries to bring up a pbuffer context on one display; leaves nothing behind on failure.
bool TryDisplay(EGLDisplay d, int width, int height) {
  if (d == EGL_NO_DISPLAY) return false;
  EGLint major = 0, minor = 0;
  if (!eglInitialize(d, &major, &minor)) return false;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    eglTerminate(d);
    return false;
  }
  const EGLint attribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                            EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                            EGL_ALPHA_SIZE, 0, EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8,
                            EGL_NONE};
  EGLConfig configs[64];
  EGLint count = 0;
  eglChooseConfig(d, attribs, configs, 64, &count);
  // EGL sorts by colour depth with alpha counted, so look for the exact
  // no-alpha format the window asks for: destination alpha must read 1.0.
  EGLConfig chosen = nullptr;
  for (EGLint i = 0; i < count && !chosen; ++i) {
    EGLint r, g, b, a;
    eglGetConfigAttrib(d, configs[i], EGL_RED_SIZE, &r);
    eglGetConfigAttrib(d, configs[i], EGL_GREEN_SIZE, &g);
    eglGetConfigAttrib(d, configs[i], EGL_BLUE_SIZE, &b);
    eglGetConfigAttrib(d, configs[i], EGL_ALPHA_SIZE, &a);
    if (r == 8 && g == 8 && b == 8 && a == 0) chosen = configs[i];
  }
  if (!chosen) {
    eglTerminate(d);
    return false;
  }
  const EGLint pbufferAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface s = eglCreatePbufferSurface(d, chosen, pbufferAttribs);
  if (s == EGL_NO_SURFACE) {
    eglTerminate(d);
    return false;
  }
  const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext c = eglCreateContext(d, chosen, EGL_NO_CONTEXT, contextAttribs);
  if (c == EGL_NO_CONTEXT) c = eglCreateContext(d, chosen, EGL_NO_CONTEXT, nullptr);
  if (c == EGL_NO_CONTEXT || !eglMakeCurrent(d, s, s, c)) {
    if (c != EGL_NO_CONTEXT) eglDestroyContext(d, c);
    eglDestroySurface(d, s);
    eglTerminate(d);
    return false;
  }
  display = d;
  surface = s;
  context = c;
  return true;
}

void SwapHeadless(void*) {
  // No front buffer to show; finishing keeps frame pacing honest for timings.
  glFinish();
}

}  // namespace

bool OpenHeadless(int width, int height, HeadlessInfo* info) {
  if (context == EGL_NO_CONTEXT) {
    const char* clientExts = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");

    if (getPlatformDisplay && HasExtension(clientExts, "EGL_MESA_platform_surfaceless") &&
        TryDisplay(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr),
                   width, height)) {
      platformName = "surfaceless";
    }
    if (context == EGL_NO_CONTEXT && getPlatformDisplay &&
        HasExtension(clientExts, "EGL_EXT_platform_device")) {
      auto queryDevices = (PFNEGLQUERYDEVICESEXTPROC)eglGetProcAddress("eglQueryDevicesEXT");
      EGLDeviceEXT devices[8];
      EGLint n = 0;
      if (queryDevices && queryDevices(8, devices, &n)) {
        for (EGLint i = 0; i < n && context == EGL_NO_CONTEXT; ++i) {
          if (TryDisplay(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr), width,
                         height))
            platformName = "device";
        }
      }
    }
    if (context == EGL_NO_CONTEXT && TryDisplay(eglGetDisplay(EGL_DEFAULT_DISPLAY), width, height))
      platformName = "default";
    if (context == EGL_NO_CONTEXT) {
      fprintf(stderr, "Headless GL: no EGL display gives an RGB8/depth24/stencil8 pbuffer.\n");
      return false;
    }
    SetSwapFunction(SwapHeadless, nullptr);
    glViewport(0, 0, width, height);
  }
  if (info) {
    info->platform = platformName;
    info->renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  }
  return true;
}

void CloseHeadless() {
  if (context == EGL_NO_CONTEXT) return;
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(display, context);
  eglDestroySurface(display, surface);
  eglTerminate(display);
  display = EGL_NO_DISPLAY;
  surface = EGL_NO_SURFACE;
  context = EGL_NO_CONTEXT;
  SetSwapFunction(nullptr, nullptr);
}

bool HeadlessIsOpen() { return context != EGL_NO_CONTEXT; }
