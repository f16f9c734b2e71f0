#include "render_test_util.h"

#include <sys/wait.h>
#include <png.h>
#include <vorbis/vorbisenc.h>

#include <cstring>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

bool WriteTestOgg(const std::string& path, double seconds) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, 44100, 0.3f) != 0) {
    fclose(f);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  ogg_packet header, comments, codes;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codes);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codes);
  ogg_page page;
  while (ogg_stream_flush(&os, &page)) {
    fwrite(page.header, 1, page.header_len, f);
    fwrite(page.body, 1, page.body_len, f);
  }
  long total = long(seconds * 44100), done = 0;
  bool eos = false;
  while (!eos) {
    long n = total - done < 1024 ? total - done : 1024;
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, int(n));
      for (long i = 0; i < n; ++i) {
        float v = 0.3f * std::sin(float(done + i) * 2 * 3.14159265f * 440 / 44100);
        buffer[0][i] = v;
        buffer[1][i] = v;
      }
      done += n;
    }
    vorbis_analysis_wrote(&vd, int(n));
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &page)) {
          fwrite(page.header, 1, page.header_len, f);
          fwrite(page.body, 1, page.body_len, f);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return fclose(f) == 0;
}

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
