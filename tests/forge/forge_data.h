// Shared by the forge's tests: one forged data directory per test process.
#pragma once
#include <string>

// Runs the image and model parts of the forge once into a temporary
// directory and returns it (empty when forging failed).
const std::string& ForgedDir();
std::string TempDir(const char* tag);
