#include "modules/modules.h"

#include "modules/module_a.h"
#include "modules/module_b.h"
#include "modules/module_c.h"
#include "modules/module_d.h"
#include "modules/module_e.h"

// One row per module: {handOver, init, render, step, keepState, restoreState}. Each module replaces its
// nullptrs with its own functions.
ModuleEntry moduleTable[kModuleCount] = {
    /* A */ {ModuleAHandOver, ModuleAInit, ModuleARender, ModuleAStep,
            ModuleAKeepState, ModuleARestoreState},
    /* B */ {ModuleBHandOver, ModuleBInit, ModuleBRender, ModuleBStep,
            ModuleBKeepState, ModuleBRestoreState},
    /* C */ {ModuleCHandOver, ModuleCInit, ModuleCRender, ModuleCStep,
            ModuleCKeepState, ModuleCRestoreState},
    /* D */ {ModuleDHandOver, ModuleDInit, ModuleDRender, ModuleDStep,
            ModuleDKeepState, ModuleDRestoreState},
    /* E */ {ModuleEHandOver, ModuleEInit, ModuleERender, ModuleEStep,
            ModuleEKeepState, ModuleERestoreState},
};

void HandOverModule(ModuleId id, RenderTarget* shared) {
  if (moduleTable[id].handOver) moduleTable[id].handOver(shared);
}

void InitModule(ModuleId id, int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                int32_t targetHeight) {
  if (moduleTable[id].init) moduleTable[id].init(windowWidth, windowHeight, targetWidth, targetHeight);
}

void RenderModule(ModuleId id, int32_t frameDelta, int32_t mode) {
  if (moduleTable[id].render) moduleTable[id].render(frameDelta, mode);
}

void StepModule(ModuleId id, int32_t frameDelta, int32_t mode) {
  if (moduleTable[id].step) moduleTable[id].step(frameDelta, mode);
}

void KeepModuleState(ModuleId id) {
  if (moduleTable[id].keepState) moduleTable[id].keepState();
}

void RestoreModuleState(ModuleId id) {
  if (moduleTable[id].restoreState) moduleTable[id].restoreState();
}
