// Entry points of the five effect modules, as the timeline and the loading
// sequence call them, one row per module in modules.cpp; a null entry point
// is skipped, so a row left empty draws nothing.
#pragma once
#include <cstdint>

struct RenderTarget;

enum ModuleId : int32_t { kModuleA, kModuleB, kModuleC, kModuleD, kModuleE, kModuleCount };

struct ModuleEntry {
  // Hands over the render target shared by all modules, before init. (Buffer
  // swaps go through SwapFrame, so no device context is handed over.)
  void (*handOver)(RenderTarget* shared);
  // Runs once while loading with the render area's size and its half-size
  // target's: (1024, 512, 512, 256) at scale 1, S times that at scale S. The
  // parameters keep the name "window", as the area is the window of the
  // original show; it is not the size of the SDL window.
  void (*init)(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
               int32_t targetHeight);
  // Draws one frame; advances the module's own clock by frameDelta when it is
  // below 10000. Module E has a single mode and ignores `mode`.
  void (*render)(int32_t frameDelta, int32_t mode);
  // What render leaves in the module's state, without GL or mesh work.
  void (*step)(int32_t frameDelta, int32_t mode) = nullptr;
  // A copy of that state after loading, and its return for a fresh play.
  void (*keepState)() = nullptr;
  void (*restoreState)() = nullptr;
};

// Indexed by ModuleId. Tests may swap rows for recorders.
extern ModuleEntry moduleTable[kModuleCount];

// Calls the entry point when the module has one.
void HandOverModule(ModuleId id, RenderTarget* shared);
void InitModule(ModuleId id, int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                int32_t targetHeight);
void RenderModule(ModuleId id, int32_t frameDelta, int32_t mode);
void StepModule(ModuleId id, int32_t frameDelta, int32_t mode);
void KeepModuleState(ModuleId id);
void RestoreModuleState(ModuleId id);
