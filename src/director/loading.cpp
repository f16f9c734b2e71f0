#include "director/loading.h"

void LoadAll(int renderWidth, int renderHeight, int effectWidth, int effectHeight,
             int windowWidth, int windowHeight) {}
