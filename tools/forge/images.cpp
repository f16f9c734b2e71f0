#include "forge.h"

bool ForgeImages(const std::string&) { return true; }
