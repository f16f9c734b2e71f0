#include "ogg_encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool WritePage(FILE* f, const ogg_page& page) {
  return fwrite(page.header, 1, size_t(page.header_len), f) == size_t(page.header_len) &&
         fwrite(page.body, 1, size_t(page.body_len), f) == size_t(page.body_len);
}

}  // namespace

bool WriteTestOgg(const std::string& path, double seconds, int rate, int channels, float hz) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;

  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, 0.1f) != 0) {
    vorbis_info_clear(&vi);
    fclose(f);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 12345);

  bool ok = true;
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&os, &page) != 0) ok = ok && WritePage(f, page);

  const long total = long(seconds * rate);
  const long chunk = 1024;
  long written = 0;
  bool eos = false;
  while (!eos) {
    long n = std::min(chunk, total - written);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, int(n));
      for (long i = 0; i < n; ++i) {
        float v = 0.5f * std::sin(6.2831853f * hz * float(written + i) / float(rate));
        for (int c = 0; c < channels; ++c) buffer[c][i] = v;
      }
      vorbis_analysis_wrote(&vd, int(n));
      written += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);  // end of stream
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page) != 0) {
          ok = ok && WritePage(f, page);
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
  return fclose(f) == 0 && ok;
}
