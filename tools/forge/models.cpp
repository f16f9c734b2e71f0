#include "forge.h"

bool ForgeModels(const std::string&) { return true; }
