// The music stream: one Ogg Vorbis file decoded with libvorbisfile and played
// through SDL audio. Positions are milliseconds of what has been handed to the
// audio device, moved on smoothly between device callbacks by the wall clock.
// Past the end of the data the stream plays silence and its position keeps
// running in real time, so the show always reaches its end.
#pragma once
#include <cstdint>
#include <string>

struct MusicStream;

// Opens and checks the file; nullptr when it is missing or not Ogg Vorbis.
MusicStream* OpenMusicStream(const char* path);

// Starts playback from the current position. When no audio device opens, SDL
// audio is reopened on its "dummy" driver, which consumes samples at real-time
// pace without sound; *note then gets a one-line explanation. Returns 0, or -1
// when not even the dummy driver opens.
int PlayMusicStream(MusicStream* stream, std::string* note = nullptr);

// Seeks; takes effect before the next GetMusicStreamTime. Negative times seek to 0.
void SetMusicStreamTime(MusicStream* stream, int32_t ms);
int32_t GetMusicStreamTime(MusicStream* stream);

// Stops playback, releases the decoder and SDL audio. Accepts nullptr.
void CloseMusicStream(MusicStream* stream);

// The file's format: 16-bit samples, interleaved channels.
int MusicStreamRate(const MusicStream* stream);
int MusicStreamChannels(const MusicStream* stream);

// For tests: count positions by the samples the device takes even on the
// dummy driver (which otherwise follows the wall clock).
void SetMusicStreamFollowsDevice(MusicStream* stream, bool follow);

// The audio callback's work, exposed for tests: fills `bytes` of 16-bit
// samples (silence past the end) and counts them as handed to the device.
void FillMusicBuffer(MusicStream* stream, uint8_t* out, int bytes);
