#include "synth/vorbis_writer.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

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

namespace {

struct MemoryFile {
  const std::string* bytes;
  size_t pos;
};

size_t MemRead(void* out, size_t size, size_t count, void* source) {
  MemoryFile* m = static_cast<MemoryFile*>(source);
  size_t want = size * count, left = m->bytes->size() - m->pos;
  size_t n = std::min(want, left);
  std::copy(m->bytes->data() + m->pos, m->bytes->data() + m->pos + n, static_cast<char*>(out));
  m->pos += n;
  return size ? n / size : 0;
}

int MemSeek(void* source, ogg_int64_t offset, int whence) {
  MemoryFile* m = static_cast<MemoryFile*>(source);
  ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(m->pos)
                                                                  : static_cast<ogg_int64_t>(m->bytes->size());
  ogg_int64_t to = base + offset;
  if (to < 0 || to > static_cast<ogg_int64_t>(m->bytes->size())) return -1;
  m->pos = static_cast<size_t>(to);
  return 0;
}

long MemTell(void* source) { return static_cast<long>(static_cast<MemoryFile*>(source)->pos); }

}  // namespace

bool DecodeVorbis(const std::string& bytes, Stereo& track, int& rate, int& channels) {
  MemoryFile file{&bytes, 0};
  ov_callbacks callbacks{MemRead, MemSeek, nullptr, MemTell};
  OggVorbis_File vf;
  if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) return false;
  vorbis_info* vi = ov_info(&vf, -1);
  rate = static_cast<int>(vi->rate);
  channels = vi->channels;
  track.left.clear();
  track.right.clear();
  ogg_int64_t total = ov_pcm_total(&vf, -1);
  if (total > 0) {
    track.left.reserve(static_cast<size_t>(total));
    track.right.reserve(static_cast<size_t>(total));
  }
  int section = 0;
  bool ok = true;
  for (;;) {
    float** pcm;
    long n = ov_read_float(&vf, &pcm, 4096, &section);
    if (n == 0) break;
    if (n < 0) {
      ok = false;
      break;
    }
    track.left.insert(track.left.end(), pcm[0], pcm[0] + n);
    track.right.insert(track.right.end(), pcm[channels - 1], pcm[channels - 1] + n);
  }
  ov_clear(&vf);
  return ok;
}

}  // namespace synth
