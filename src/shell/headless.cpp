#include "shell/headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/gl.h"
#include "core/present.h"

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLSurface surface = EGL_NO_SURFACE;
EGLContext context = EGL_NO_CONTEXT;
const char* platformName = "";
std::string deviceName;
std::string skippedLines;
// Filled by HeadlessCandidates: the handles its device entries index.
std::vector<EGLDeviceEXT> deviceHandles;

bool HasExtension(const char* list, const char* name) {
  if (!list) return false;
  size_t n = strlen(name);
  for (const char* p = list; (p = strstr(p, name)) != nullptr; p += n) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

// Tries to bring up a pbuffer context on one display; leaves nothing behind on
// failure and returns why, or null on success.
const char* TryDisplay(EGLDisplay d, int width, int height) {
  if (d == EGL_NO_DISPLAY) return "no display";
  EGLint major = 0, minor = 0;
  if (!eglInitialize(d, &major, &minor)) return "eglInitialize failed";
  if (!eglBindAPI(EGL_OPENGL_API)) {
    eglTerminate(d);
    return "no desktop OpenGL";
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
    return "no config with 8-bit RGB, no alpha, 24-bit depth and 8-bit stencil";
  }
  const EGLint pbufferAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface s = eglCreatePbufferSurface(d, chosen, pbufferAttribs);
  if (s == EGL_NO_SURFACE) {
    eglTerminate(d);
    return "no pbuffer";
  }
  const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext c = eglCreateContext(d, chosen, EGL_NO_CONTEXT, contextAttribs);
  if (c == EGL_NO_CONTEXT) c = eglCreateContext(d, chosen, EGL_NO_CONTEXT, nullptr);
  if (c == EGL_NO_CONTEXT || !eglMakeCurrent(d, s, s, c)) {
    if (c != EGL_NO_CONTEXT) eglDestroyContext(d, c);
    eglDestroySurface(d, s);
    eglTerminate(d);
    return "no compatibility-profile context";
  }
  display = d;
  surface = s;
  context = c;
  return nullptr;
}

const char* PlatformName(HeadlessPlatform p) {
  switch (p) {
    case HeadlessPlatform::Device: return "device";
    case HeadlessPlatform::Surfaceless: return "surfaceless";
    default: return "default";
  }
}

bool SoftwareOnly() {
  const char* v = getenv("MARVOKE_SOFTWARE_GL");
  return v && *v && strcmp(v, "0") != 0;
}

void SwapHeadless(void*) {
  // No front buffer to show; finishing keeps frame pacing honest for timings.
  glFinish();
}

}  // namespace

std::vector<HeadlessCandidate> OrderHeadlessCandidates(
    const std::vector<EglDeviceDescription>& devices, bool surfacelessAvailable,
    bool defaultAvailable, bool softwareOnly) {
  std::vector<HeadlessCandidate> out;
  auto addDevices = [&](bool software) {
    for (int i = 0; i < int(devices.size()); ++i) {
      bool isSoftware = HasExtension(devices[i].extensions.c_str(), "EGL_MESA_device_software");
      if (isSoftware == software)
        out.push_back({HeadlessPlatform::Device, i, devices[i].name, isSoftware});
    }
  };
  addDevices(softwareOnly);
  // Surfaceless may pick a GPU's render node; pinned to software, Mesa is
  // told to stay on llvmpipe (see HeadlessCandidates).
  if (surfacelessAvailable)
    out.push_back({HeadlessPlatform::Surfaceless, -1, "Mesa", softwareOnly});
  if (!softwareOnly) addDevices(true);
  if (defaultAvailable) out.push_back({HeadlessPlatform::Default, -1, "EGL_DEFAULT_DISPLAY", false});
  return out;
}

std::vector<HeadlessCandidate> HeadlessCandidates() {
  const bool softwareOnly = SoftwareOnly();
  if (softwareOnly) setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  const char* clientExts = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  const bool platforms = eglGetProcAddress("eglGetPlatformDisplayEXT") != nullptr;

  std::vector<EglDeviceDescription> devices;
  deviceHandles.clear();
  auto queryDevices = (PFNEGLQUERYDEVICESEXTPROC)eglGetProcAddress("eglQueryDevicesEXT");
  auto queryString = (PFNEGLQUERYDEVICESTRINGEXTPROC)eglGetProcAddress("eglQueryDeviceStringEXT");
  EGLint n = 0;
  if (platforms && queryDevices && HasExtension(clientExts, "EGL_EXT_platform_device") &&
      (HasExtension(clientExts, "EGL_EXT_device_enumeration") ||
       HasExtension(clientExts, "EGL_EXT_device_base")) &&
      queryDevices(0, nullptr, &n) && n > 0) {
    deviceHandles.resize(n);
    if (!queryDevices(n, deviceHandles.data(), &n)) n = 0;
    deviceHandles.resize(n);
  }
  for (int i = 0; i < int(deviceHandles.size()); ++i) {
    EglDeviceDescription d;
    const char* exts = queryString ? queryString(deviceHandles[i], EGL_EXTENSIONS) : nullptr;
    d.extensions = exts ? exts : "";
    const char* name = nullptr;
    if (queryString && HasExtension(exts, "EGL_EXT_device_query_name"))
      name = queryString(deviceHandles[i], EGL_RENDERER_EXT);
    if (!name && queryString && HasExtension(exts, "EGL_EXT_device_drm"))
      name = queryString(deviceHandles[i], EGL_DRM_DEVICE_FILE_EXT);
    if (!name && HasExtension(exts, "EGL_MESA_device_software")) name = "Mesa software";
    d.name = name ? name : "device " + std::to_string(i);
    devices.push_back(d);
  }
  return OrderHeadlessCandidates(
      devices, platforms && HasExtension(clientExts, "EGL_MESA_platform_surfaceless"), true,
      softwareOnly);
}

std::string DescribeHeadlessCandidates(const std::vector<HeadlessCandidate>& candidates) {
  std::string out;
  for (int i = 0; i < int(candidates.size()); ++i) {
    const HeadlessCandidate& c = candidates[i];
    out += "  " + std::to_string(i) + ": " + PlatformName(c.platform) + " " + c.name +
           (c.software ? " (software)" : c.platform == HeadlessPlatform::Device ? " (hardware)" : "") +
           "\n";
  }
  return out;
}

bool OpenHeadless(int width, int height, HeadlessInfo* info, int candidate) {
  if (context == EGL_NO_CONTEXT) {
    const std::vector<HeadlessCandidate> candidates = HeadlessCandidates();
    if (candidate >= int(candidates.size())) {
      fprintf(stderr, "Headless GL: no candidate %d; the candidates are:\n%s", candidate,
              DescribeHeadlessCandidates(candidates).c_str());
      return false;
    }
    auto getPlatformDisplay =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    skippedLines.clear();
    for (int i = 0; i < int(candidates.size()) && context == EGL_NO_CONTEXT; ++i) {
      if (candidate >= 0 && i != candidate) continue;
      const HeadlessCandidate& c = candidates[i];
      EGLDisplay d = EGL_NO_DISPLAY;
      if (c.platform == HeadlessPlatform::Device && getPlatformDisplay)
        d = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, deviceHandles[c.deviceIndex], nullptr);
      else if (c.platform == HeadlessPlatform::Surfaceless && getPlatformDisplay)
        d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
      else if (c.platform == HeadlessPlatform::Default)
        d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
      const char* why = TryDisplay(d, width, height);
      if (why) {
        skippedLines += std::to_string(i) + ": " + PlatformName(c.platform) + " " + c.name +
                        ": " + why + "\n";
        continue;
      }
      platformName = PlatformName(c.platform);
      deviceName = c.name;
    }
    if (context == EGL_NO_CONTEXT) {
      fprintf(stderr, "Headless GL: no EGL display gives an RGB8/depth24/stencil8 pbuffer.\n%s",
              skippedLines.c_str());
      return false;
    }
    SetSwapFunction(SwapHeadless, nullptr);
    glViewport(0, 0, width, height);
  }
  if (info) {
    info->platform = platformName;
    info->device = deviceName.c_str();
    info->renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    info->skipped = skippedLines.c_str();
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
