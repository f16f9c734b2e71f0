// A short Ogg Vorbis file made on the spot, for tests of the music stream.
#pragma once
#include <string>

// Writes `seconds` of a sine tone at `hz` (amplitude 0.5, every channel alike).
// Returns false when the file cannot be written.
bool WriteTestOgg(const std::string& path, double seconds, int rate = 44100, int channels = 2,
                  float hz = 440.0f);
