// The loading sequence: shared objects, shared textures and every module's
// init step, behind the animated loading screen.
#pragma once

void LoadAll(int renderWidth, int renderHeight, int effectWidth, int effectHeight,
             int windowWidth, int windowHeight);
