// The show's track, "Music/quendel2b.ogg": the score rendered by the forge's own
// synthesizer and encoded with libvorbisenc. The same build always writes the
// same bytes.
#include <cstdio>
#include <string>

#include "forge.h"
#include "synth/track.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".part";
  FILE* f = fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (fclose(f) == 0) && ok;
  // Rename last, so a failed run never leaves a truncated track behind.
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temp.c_str());
  return ok;
}

}  // namespace

bool ForgeMusicTrack(const std::string& dir, std::string* bytesOut) {
  std::string bytes, error;
  if (!synth::MakeTrack(bytes, nullptr, error)) {
    fprintf(stderr, "marvoke-forge: can't make the music: %s\n", error.c_str());
    return false;
  }
  std::string path = dir + "/Music/quendel2b.ogg";
  if (!WriteFile(path, bytes)) {
    fprintf(stderr, "marvoke-forge: can't write %s\n", path.c_str());
    return false;
  }
  if (bytesOut) *bytesOut = std::move(bytes);
  return true;
}

bool ForgeMusic(const std::string& dir) { return ForgeMusicTrack(dir, nullptr); }
