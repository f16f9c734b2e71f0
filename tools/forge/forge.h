// The forge: every image, model and the music of the show, generated from code
// into DIR/Images, DIR/Models and DIR/Music. Each part returns false with a
// message on standard error when it cannot write its files.
#pragma once
#include <string>

bool ForgeImages(const std::string& dir);
bool ForgeModels(const std::string& dir);
bool ForgeMusic(const std::string& dir);
