// Ogg Vorbis encoding of a stereo float track through libvorbisenc (VBR).
#pragma once
#include <string>

namespace synth {

struct Stereo;

// Encodes at `quality` (-0.1..1, 0.5 is "quality 5") into `bytes`. The stream
// serial number is fixed, so the same samples always give the same bytes.
bool EncodeVorbis(const Stereo& track, int rate, float quality, std::string& bytes, std::string& error);

// Decodes an Ogg Vorbis stream held in memory (the first two channels).
bool DecodeVorbis(const std::string& bytes, Stereo& track, int& rate, int& channels);

}  // namespace synth
