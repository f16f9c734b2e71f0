#include "shell/music_stream.h"

#include <SDL.h>
#include <dlfcn.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cstring>

using SteadyClock = std::chrono::steady_clock;

struct MusicStream {
  OggVorbis_File file;
  int rate = 0;
  int channels = 0;
  int64_t totalFrames = -1;  // -1 when the file does not say
  int link = -1;             // logical bitstream last decoded from; -1 after a seek

  SDL_AudioDeviceID device = 0;
  bool holdsAudio = false;  // this stream took a reference on SDL's audio subsystem
  // The dummy driver sleeps a buffer's length after each callback, so it falls
  // behind by its own overhead; without a device to follow, the position runs
  // on the wall clock from the last seek instead.
  bool wallClock = false;
  int64_t anchorFrame = 0;
  SteadyClock::time_point anchorTime;

  // Guarded by the device lock once the device is open.
  int64_t handedFrames = 0;    // frames handed to the device: the position of the next one
  int64_t callbackStart = 0;   // position of the first frame of the latest callback
  int64_t callbackFrames = 0;  // frames it handed over
  SteadyClock::time_point callbackTime;
  bool pastEnd = false;        // the decoder is spent; only silence follows
};

namespace {

void AudioCallback(void* user, Uint8* out, int bytes) {
  FillMusicBuffer(static_cast<MusicStream*>(user), out, bytes);
}

void LockStream(MusicStream* s) {
  if (s->device) SDL_LockAudioDevice(s->device);
}
void UnlockStream(MusicStream* s) {
  if (s->device) SDL_UnlockAudioDevice(s->device);
}

// ALSA prints its own lines to standard error when no card answers; the one
// line the show prints says what happened instead. SDL loads ALSA itself, so
// its handler setter is reached the same way. nullptr restores ALSA's default.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void QuietAlsa(bool quiet) {
  const char* driver = SDL_GetCurrentAudioDriver();
  if (!driver || strcmp(driver, "alsa") != 0) return;
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
  if (!alsa) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  auto setHandler = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler"));
  if (setHandler) {
    setHandler(quiet ? IgnoreAlsaError : nullptr);
  }
  dlclose(alsa);
}

// Opens a device in the file's own format (SDL converts when the hardware
// differs), so the callback always counts frames of the file.
bool OpenDevice(MusicStream* s, bool dummy) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = s->rate;
  want.format = AUDIO_S16SYS;
  want.channels = Uint8(s->channels);
  // The dummy driver paces itself by whole milliseconds per buffer: a buffer
  // of exactly 40 ms keeps it in step with the wall clock.
  want.samples = (dummy && s->rate % 25 == 0) ? Uint16(std::min(s->rate / 25, 65535)) : 1024;
  want.callback = AudioCallback;
  want.userdata = s;
  SDL_AudioSpec have{};
  QuietAlsa(true);
  s->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  QuietAlsa(false);
  if (!s->device) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  s->holdsAudio = true;
  const char* driver = SDL_GetCurrentAudioDriver();
  s->wallClock = driver && (strcmp(driver, "dummy") == 0 || strcmp(driver, "disk") == 0);
  return true;
}

}  // namespace

MusicStream* OpenMusicStream(const char* path) {
  MusicStream* s = new MusicStream;
  // ov_fopen closes the file itself when the data is not Vorbis.
  if (ov_fopen(path, &s->file) != 0) {
    delete s;
    return nullptr;
  }
  vorbis_info* info = ov_info(&s->file, -1);
  if (!info || info->rate <= 0 || info->rate > 384000 || info->channels < 1 || info->channels > 8) {
    ov_clear(&s->file);
    delete s;
    return nullptr;
  }
  s->rate = int(info->rate);
  s->channels = info->channels;
  ogg_int64_t total = ov_pcm_total(&s->file, -1);
  s->totalFrames = total >= 0 ? total : -1;
  s->callbackTime = SteadyClock::now();
  return s;
}

int PlayMusicStream(MusicStream* s, std::string* note) {
  if (!s) return -1;
  if (s->device) return 0;
  if (!OpenDevice(s, false)) {
    std::string reason = SDL_GetError();
    // Override: an SDL_AUDIODRIVER naming a missing device must not win again.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (!OpenDevice(s, true)) return -1;
    if (note) {
      *note = "No audio device (" + (reason.empty() ? std::string("none found") : reason) +
              "): the music plays silently on SDL's dummy driver.";
    }
  }
  LockStream(s);
  s->callbackStart = s->handedFrames;
  s->callbackFrames = 0;
  s->callbackTime = SteadyClock::now();
  s->anchorFrame = s->handedFrames;
  s->anchorTime = s->callbackTime;
  UnlockStream(s);
  SDL_PauseAudioDevice(s->device, 0);
  return 0;
}

void FillMusicBuffer(MusicStream* s, uint8_t* out, int bytes) {
  const int frameBytes = 2 * s->channels;
  const int frames = bytes / frameBytes;
  s->callbackStart = s->handedFrames;
  s->callbackFrames = frames;
  s->callbackTime = SteadyClock::now();

  int filled = 0;
  const int wanted = frames * frameBytes;
  while (filled < wanted && !s->pastEnd) {
    int link = 0;
    long n = ov_read(&s->file, reinterpret_cast<char*>(out) + filled, wanted - filled,
                     SDL_BYTEORDER == SDL_BIG_ENDIAN, 2, 1, &link);
    if (n == OV_HOLE) continue;  // a gap in the data: decoding carries on after it
    if (n <= 0) {
      s->pastEnd = true;  // end of data, or data that cannot be decoded
      break;
    }
    if (link != s->link) {
      // A chained file whose next part has another format: stop where the format changes.
      vorbis_info* info = ov_info(&s->file, link);
      if (!info || info->channels != s->channels || info->rate != s->rate) {
        s->pastEnd = true;
        break;
      }
      s->link = link;
    }
    filled += int(n);
  }
  memset(out + filled, 0, size_t(bytes - filled));
  s->handedFrames += frames;
}

void SetMusicStreamTime(MusicStream* s, int32_t ms) {
  if (!s) return;
  const int64_t frame = int64_t(std::max<int32_t>(ms, 0)) * s->rate / 1000;
  LockStream(s);
  if (s->totalFrames >= 0 && frame >= s->totalFrames) {
    s->pastEnd = true;  // silence from here on; the position still counts
  } else {
    s->pastEnd = ov_pcm_seek(&s->file, frame) != 0;
    s->link = -1;
  }
  s->handedFrames = frame;
  s->callbackStart = frame;
  s->callbackFrames = 0;
  s->callbackTime = SteadyClock::now();
  s->anchorFrame = frame;
  s->anchorTime = s->callbackTime;
  UnlockStream(s);
}

int32_t GetMusicStreamTime(MusicStream* s) {
  if (!s) return 0;
  LockStream(s);
  int64_t frame = s->callbackStart;
  if (s->device && s->wallClock) {
    double seconds = std::chrono::duration<double>(SteadyClock::now() - s->anchorTime).count();
    frame = s->anchorFrame + int64_t(seconds * s->rate);
  } else if (s->device) {
    // Between callbacks the device plays the latest buffer at the file's rate.
    double seconds = std::chrono::duration<double>(SteadyClock::now() - s->callbackTime).count();
    int64_t played = int64_t(seconds * s->rate);
    frame += std::clamp<int64_t>(played, 0, s->callbackFrames);
  } else {
    frame = s->handedFrames;
  }
  UnlockStream(s);
  return int32_t(std::min<int64_t>(frame * 1000 / s->rate, INT32_MAX));
}

void CloseMusicStream(MusicStream* s) {
  if (!s) return;
  if (s->device) SDL_CloseAudioDevice(s->device);
  if (s->holdsAudio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  ov_clear(&s->file);
  delete s;
}

int MusicStreamRate(const MusicStream* s) { return s->rate; }
int MusicStreamChannels(const MusicStream* s) { return s->channels; }

void SetMusicStreamFollowsDevice(MusicStream* s, bool follow) {
  LockStream(s);
  s->wallClock = !follow;
  UnlockStream(s);
}
