#include "synth/vorbis_writer.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>

#include "synth/render.h"

namespace synth {

namespace {

constexpr int kSerial = 0x4D52564B;  // fixed: a random serial would change the bytes every run
constexpr int kChunk = 1024;

// Moves finished pages into `bytes`; true once the end-of-stream page went out.
bool AppendPages(ogg_stream_state& os, std::string& bytes, bool flush) {
  ogg_page page;
  bool eos = false;
  while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
    bytes.append(reinterpret_cast<const char*>(page.header), page.header_len);
    bytes.append(reinterpret_cast<const char*>(page.body), page.body_len);
    if (ogg_page_eos(&page)) eos = true;
  }
  return eos;
}

}  // namespace

bool EncodeVorbis(const Stereo& track, int rate, float quality, std::string& bytes, std::string& error) {
  bytes.clear();
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, rate, quality) != 0) {
    vorbis_info_clear(&vi);
    error = "vorbis encoder refused the settings";
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "TITLE", "quendel2b");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, kSerial);

  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  AppendPages(os, bytes, true);  // audio starts on a fresh page

  const size_t frames = track.left.size();
  size_t pos = 0;
  bool eos = false, ended = false;
  while (!eos) {
    size_t n = std::min<size_t>(kChunk, frames - pos);
    if (n == 0) {
      if (ended) break;  // the encoder had nothing left to give
      ended = true;
      vorbis_analysis_wrote(&vd, 0);  // end of stream
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      std::copy(track.left.begin() + pos, track.left.begin() + pos + n, buffer[0]);
      std::copy(track.right.begin() + pos, track.right.begin() + pos + n, buffer[1]);
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      pos += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        if (AppendPages(os, bytes, false)) eos = true;
      }
    }
  }
  AppendPages(os, bytes, true);

  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return true;
}

}  // namespace synth
