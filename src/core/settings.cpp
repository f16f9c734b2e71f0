#include "core/settings.h"

int32_t screenWidth = 1024;
int32_t screenHeight = 768;
int32_t renderWidth = 1024;
int32_t renderHeight = 512;
uint8_t soundEnabled = 1;
uint8_t fullscreen = 1;
int32_t startTime = 0;

int32_t musicTime = 0;
uint8_t quitRequested = 0;
