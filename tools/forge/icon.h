// The desktop icon, cut from one of the forged pictures at build time, so it
// is the show's own content and follows the forge.
#pragma once
#include <string>

// The picture under DIR/Images the icon is cut from.
extern const char* const kIconSource;

// Reads DIR/Images/kIconSource, takes its centred square and box-filters it
// to size x size (16 to 1024) into a PNG. False with a message on standard
// error for a missing or unreadable picture or an unwritable file.
bool WriteIcon(const std::string& dataDir, const std::string& pngPath, int size);
