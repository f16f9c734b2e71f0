#include "render_test_util.h"

#include <sys/wait.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

void ProbeMedia(const std::string& path, ProbedStream* video, ProbedStream* audio) {
  *video = ProbedStream();
  *audio = ProbedStream();
  std::string out = RunCommand(
      "ffprobe -v error -count_frames -show_entries "
      "stream=codec_type,width,height,nb_read_frames,duration -of csv=p=0:nk=0 '" + path +
      "' 2>&1");
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    // key=value pairs separated by commas
    ProbedStream s;
    std::string type;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ',')) {
      size_t eq = field.find('=');
      if (eq == std::string::npos) continue;
      std::string key = field.substr(0, eq), value = field.substr(eq + 1);
      if (key == "codec_type") type = value;
      if (key == "width") s.width = atoi(value.c_str());
      if (key == "height") s.height = atoi(value.c_str());
      if (key == "nb_read_frames") s.frames = atol(value.c_str());
      if (key == "duration") s.duration = atof(value.c_str());
    }
    s.present = true;
    if (type == "video" && !video->present) *video = s;
    if (type == "audio" && !audio->present) *audio = s;
  }
}

std::string TestDir(const std::string& name) {
  std::string dir = std::string(MARVOKE_BUILD_DIR) + "/test-output/" + name;
  RunCommand("rm -rf '" + dir + "' && mkdir -p '" + dir + "'");
  return dir;
}

bool ReadPngRgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  rgb->resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) return false;
  *width = int(image.width);
  *height = int(image.height);
  return true;
}
