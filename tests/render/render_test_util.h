// Helpers of the render tests: ffprobe queries and running the built
// marvoke-render. Test music comes from the shared ogg_encode.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Runs a shell command, returns its standard output; *status gets the exit code.
std::string RunCommand(const std::string& command, int* status = nullptr);

struct ProbedStream {
  bool present = false;
  int width = 0, height = 0;
  long frames = 0;  // decoded frames (video) or packets (audio)
  double duration = 0;
};

// Decodes every frame of the file's first video stream and reads its audio
// stream's length; a file ffprobe cannot open gives empty streams.
void ProbeMedia(const std::string& path, ProbedStream* video, ProbedStream* audio);

// A fresh directory under build/test-output/.
std::string TestDir(const std::string& name);

// Reads a PNG as 8-bit RGB, top row first; false when it cannot.
bool ReadPngRgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb);
