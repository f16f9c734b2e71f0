// Headless GL: an EGL pbuffer with the window's framebuffer format (8-bit RGB,
// no alpha, 24-bit depth, 8-bit stencil) and a compatibility-profile context.
// The candidates, in order: hardware devices of the EGL device platform, Mesa's
// surfaceless platform, software devices, then the default display. With the
// variable MARVOKE_SOFTWARE_GL set (to anything but "0") the software devices
// come first, the hardware ones are dropped and Mesa is kept on llvmpipe, so
// tests draw the same bytes on every machine.
#pragma once
#include <string>
#include <vector>

struct HeadlessInfo {
  const char* platform;  // "device", "surfaceless" or "default"
  const char* device;    // the candidate's name
  const char* renderer;  // GL_RENDERER
  // One line per candidate tried before the chosen one and why it failed
  // (for example a device without the RGB8-no-alpha config); may be empty.
  const char* skipped;
};

enum class HeadlessPlatform { Device, Surfaceless, Default };

// What EGL tells about one device of eglQueryDevicesEXT.
struct EglDeviceDescription {
  std::string name;
  std::string extensions;  // EGL_EXTENSIONS of the device
};

struct HeadlessCandidate {
  HeadlessPlatform platform;
  int deviceIndex;  // into the device list for HeadlessPlatform::Device, else -1
  std::string name;
  bool software;
};

// The order the candidates are tried in (see above), without touching EGL.
// softwareOnly puts the software devices first and drops the hardware ones.
std::vector<HeadlessCandidate> OrderHeadlessCandidates(
    const std::vector<EglDeviceDescription>& devices, bool surfacelessAvailable,
    bool defaultAvailable, bool softwareOnly);

// The candidates of this machine, as OpenHeadless would try them.
std::vector<HeadlessCandidate> HeadlessCandidates();

// "0: device NVIDIA H100 (hardware)" and so on, one line each.
std::string DescribeHeadlessCandidates(const std::vector<HeadlessCandidate>& candidates);

// Creates the context and makes it current. `candidate` >= 0 tries only that
// entry of HeadlessCandidates(); -1 tries them in order. Returns false with a
// line on standard error when nothing works. Calling it again while open is a
// no-op.
bool OpenHeadless(int width, int height, HeadlessInfo* info = nullptr, int candidate = -1);
void CloseHeadless();
bool HeadlessIsOpen();
