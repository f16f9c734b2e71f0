// The video encoder: an ffmpeg process fed raw frames through a pipe. Frames
// go in as the GL reads them (bottom row first) and ffmpeg flips them, so a
// frame costs one glReadPixels into a reused buffer and one write().
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame_clock.h"

struct EncoderSettings {
  std::string outputPath;
  int frameWidth = 1024, frameHeight = 768;  // the raw frames
  std::string rawFormat = "rgb24";           // ffmpeg's name for the readback layout
  int outWidth = 1024, outHeight = 768;      // scaled when different
  FrameRate fps;
  std::string codec = "libx264";
  std::string pixFmt = "yuv420p";
  int crf = 18;
  std::string preset = "veryfast";
  // Audio: this stretch of the file, muxed in and cut to the video's length.
  std::string audioPath;  // empty: no audio
  int32_t audioFromMs = 0;
  int64_t frameCount = 0;  // frames the capture means to write
  bool padAudio = false;   // the music ends before the capture: silence after it
  std::string ffmpeg = "ffmpeg";
};

struct Encoder {
  pid_t pid = -1;
  int fd = -1;            // write end of ffmpeg's stdin
  bool broken = false;    // ffmpeg stopped reading
  int64_t framesWritten = 0;
};

// The video file's container, from its name.
enum class Container { kMp4, kMov, kWebm, kMatroska, kUnknown };
Container ContainerOf(const std::string& path);

// Whether the container named by the file's extension can hold this video
// encoder's stream (the audio is chosen to fit: AAC in MP4 and MOV, Opus in
// WebM and Matroska); false with the reason. Checked before anything loads.
bool CheckCodecAndContainer(const std::string& path, const std::string& codec,
                            std::string* error);

// Where a frameWidth x frameHeight picture goes in an outWidth x outHeight
// video: the largest size of the same shape that fits, centred, even-sized.
struct VideoFit {
  int width, height, x, y;
};
VideoFit FitVideo(int frameWidth, int frameHeight, int outWidth, int outHeight);

// The full ffmpeg command line for these settings (argv[0] included).
std::vector<std::string> EncoderCommand(const EncoderSettings& settings);

// The command that joins segment files listed for ffmpeg's concat demuxer in
// listPath into settings.outputPath without re-encoding them, with the music
// of the settings muxed once over the whole.
std::vector<std::string> JoinCommand(const EncoderSettings& settings, const std::string& listPath);

// Runs a command (argv[0] looked up in PATH) with standard input from
// /dev/null and waits; its standard output is returned in *output when given.
// The exit status, or -1 when it could not run or died on a signal.
int RunProgram(const std::vector<std::string>& command, std::string* output);

// Starts ffmpeg in its own process group, so a Ctrl-C on the terminal reaches
// only the renderer, which then ends the stream properly. SIGPIPE is ignored
// from here on: a dead encoder shows up as a failed write instead.
bool StartEncoder(const EncoderSettings& settings, Encoder* encoder, std::string* error);

// Writes one frame of exactly `bytes` bytes; false once ffmpeg has gone.
bool EncodeFrame(Encoder* encoder, const uint8_t* data, size_t bytes);

// Closes ffmpeg's input so it finalises the file, and waits for it. Returns
// ffmpeg's exit status (-1 when it died on a signal or never ran).
int FinishEncoder(Encoder* encoder);
