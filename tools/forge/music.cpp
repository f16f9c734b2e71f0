#include "forge.h"

bool ForgeMusic(const std::string&) { return true; }
