// The show's track, "Music/quendel2b.ogg": the score rendered by the forge's own
// synthesizer and encoded with libvorbisenc. The same build always writes the
// same bytes.
#include "forge.h"
#include "synth/track.h"

bool ForgeMusic(const std::string& dir, const std::function<void()>& rendered) {
  return synth::ForgeTrack(dir, nullptr, nullptr, rendered);
}
