// The forge: every image, model and the music of the show, generated from code
// into DIR/Images, DIR/Models and DIR/Music. Each part returns false with a
// message on standard error when it cannot write its files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "picture.h"
#include "tds_writer.h"

namespace synth {
struct TrackStats;
}

bool ForgeImages(const std::string& dir);
bool ForgeModels(const std::string& dir);
// `rendered`, when given, is called once the mix is rendered: the rest of the
// music's making runs on one thread, so other work may start then.
bool ForgeMusic(const std::string& dir, const std::function<void()>& rendered = nullptr);

// One model file: its name under Models/, its meshes in order and the
// camera, lights and material it also carries.
struct ModelFile {
  std::string name;
  std::vector<Mesh> meshes;
  SceneExtras extras;
};
std::vector<ModelFile> BuildModelFiles();

// How an image file is stored.
enum class ImageFormat { Jpeg, PcxPaletted, PcxPlanar };
struct ImageFile {
  std::string name;  // under Images/
  ImageFormat format;
  Picture picture;
};
std::vector<ImageFile> BuildImageFiles();

// Every image on one labelled grid, written as a PNG to look at, and beside
// it the logos and greetings as the screen shows them (NAME-screens.png) and
// a shaded view of every model (NAME-models.png).
bool WriteContactSheet(const std::string& pngPath);
bool WriteScreenPreviews(const std::string& pngPath);

// `marvoke-forge --music-report DIR`: forges the music into DIR and prints its
// render time, length and loudness figures, per window of the show and for the
// whole; with a picture path it also draws the track there (WriteMusicPicture).
// 0, or 1 with a message on standard error.
int MusicReport(const std::string& dir, const std::string& picturePath);
// The report's figures of an encoded track; `made` says how it was made (its
// times, gain and loudness), or is null for a track read from elsewhere.
int PrintMusicFigures(const std::string& bytes, const std::string& path, const synth::TrackStats* made,
                      double cpu, double wall, const std::string& picturePath);

// The cuts between the show's module windows (ms), from its schedule.
std::vector<int32_t> CutTimesMs();

namespace synth {
struct MusicAnalysis;
}
// The track over time: a log-frequency spectrogram with the short-term
// loudness over it, the windows and cuts marked, and the novelty curve below.
bool WriteMusicPicture(const std::string& pngPath, const synth::MusicAnalysis& analysis, std::string* error);
