#include "synth/render.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>

namespace synth {

namespace {

bool IsKick(const Patch& p) { return p.kind == Kind::Kick && p.drumBus && p.duck > 0.0f; }

// One block of the render: at most kBlockSize frames, never across the start
// of a silence. `cut` marks the first block after a silence, where every
// voice and effect tail has been cut.
struct Block {
  int64_t base = 0;
  int32_t count = 0;
  bool cut = false;
};

// The blocks of the whole song, and the seed each note's voice starts with
// (0: the note falls in a silence or past the end and never sounds). Seeds
// count the notes in the order they start, so a voice sounds the same
// whichever half of the notes it is rendered with.
void PlanBlocks(const Song& song, std::vector<Block>& blocks, std::vector<uint32_t>& seeds) {
  blocks.clear();
  seeds.assign(song.notes.size(), 0);
  size_t nextNote = 0, nextSilence = 0;
  uint32_t seed = 1;
  bool cut = false;
  int64_t base = 0;
  while (base < song.frames) {
    if (nextSilence < song.silences.size() && base >= song.silences[nextSilence].begin) {
      base = std::max(base, song.silences[nextSilence].end);
      ++nextSilence;
      while (nextNote < song.notes.size() && song.notes[nextNote].start < base) ++nextNote;
      cut = true;
      continue;
    }
    int64_t end = std::min(base + kBlockSize, song.frames);
    if (nextSilence < song.silences.size()) end = std::min(end, song.silences[nextSilence].begin);
    blocks.push_back({base, static_cast<int32_t>(end - base), cut});
    cut = false;
    while (nextNote < song.notes.size() && song.notes[nextNote].start < end) seeds[nextNote++] = seed++;
    base = end;
  }
}

// What one of the two renderers adds up over a chunk of blocks, frame by frame
// from the chunk's first frame.
constexpr int64_t kChunkFrames = 32768;
struct ChunkBuses {
  std::vector<float> musicL, musicR, drumL, drumR, delay, reverbL, reverbR;
  void Clear(int64_t frames) {
    for (std::vector<float>* b : {&musicL, &musicR, &drumL, &drumR, &delay, &reverbL, &reverbR})
      b->assign(static_cast<size_t>(frames), 0.0f);
  }
};

// The voices of one renderer's share of the notes, carried from chunk to
// chunk. Of every seven notes in order the first three are the mixing
// thread's and the other four the second thread's, as the mixing thread also
// runs the effects (measured: then both take about as long). Two sets of
// buses: the effects read one chunk's while the voices fill the next's.
struct VoiceRenderer {
  bool second = false;
  std::vector<Voice> voices;
  size_t nextNote = 0;
  ChunkBuses buses[2];
};

void RenderVoices(const Song& song, const std::vector<uint32_t>& seeds, const Block* blocks, size_t blockCount,
                  const float* duck, VoiceRenderer& r, ChunkBuses& out) {
  const int64_t chunkBase = blocks[0].base;
  out.Clear(blocks[blockCount - 1].base + blocks[blockCount - 1].count - chunkBase);
  for (size_t k = 0; k < blockCount; ++k) {
    const Block& b = blocks[k];
    const int64_t end = b.base + b.count;
    if (b.cut) r.voices.clear();
    while (r.nextNote < song.notes.size() && song.notes[r.nextNote].start < end) {
      size_t i = r.nextNote++;
      if ((i % 7 >= 3) != r.second || seeds[i] == 0) continue;
      const Note& n = song.notes[i];
      r.voices.emplace_back();
      StartVoice(r.voices.back(), song.patches[n.patch], n, seeds[i]);
      r.voices.back().age = -static_cast<int32_t>(n.start - b.base);
    }
    const int64_t at = b.base - chunkBase;
    Buses buses{out.musicL.data() + at, out.musicR.data() + at,   out.drumL.data() + at,
                out.drumR.data() + at,  out.delay.data() + at,    out.reverbL.data() + at,
                out.reverbR.data() + at, duck + at};
    for (Voice& v : r.voices) {
      int from = v.age < 0 ? -v.age : 0;
      if (v.age < 0) v.age = 0;
      RenderVoice(v, buses, from, b.count);
    }
    r.voices.erase(std::remove_if(r.voices.begin(), r.voices.end(), [](const Voice& v) { return v.done; }),
                   r.voices.end());
  }
}

}  // namespace

// The voices take most of the time and are independent of each other, so the
// notes are split by their index between this thread and a second one, chunk
// by chunk; the side-chain, the delay and the reverb run here on the sum, one
// chunk behind the voices so that both threads stay busy. The split is fixed,
// so the result is the same on any machine.
void RenderMix(const Song& song, Stereo& mix) {
  const int64_t frames = song.frames;
  mix.left.assign(frames, 0.0f);
  mix.right.assign(frames, 0.0f);
  std::vector<Block> blocks;
  std::vector<uint32_t> seeds;
  PlanBlocks(song, blocks, seeds);
  if (blocks.empty()) return;

  // Chunks: contiguous blocks spanning at most kChunkFrames; a cut starts a new one.
  struct Chunk {
    size_t first, last;
    int64_t base, frames;
  };
  std::vector<Chunk> chunks;
  for (size_t first = 0; first < blocks.size();) {
    size_t last = first + 1;
    while (last < blocks.size() && !blocks[last].cut &&
           blocks[last].base + blocks[last].count - blocks[first].base <= kChunkFrames)
      ++last;
    const int64_t base = blocks[first].base;
    chunks.push_back({first, last, base, blocks[last - 1].base + blocks[last - 1].count - base});
    first = last;
  }

  StereoDelay delay;
  InitDelay(delay, static_cast<int>(song.delaySeconds * kSampleRate + 0.5f), song.delayFeedback, song.delayDamp);
  Reverb reverb;
  InitReverb(reverb, song.roomSize, song.roomDamp, 1.0f);
  VoiceRenderer renderers[2];
  renderers[1].second = true;

  // The delay and reverb over chunk k's summed buses, into the mix.
  auto effects = [&](size_t k) {
    const Chunk& c = chunks[k];
    if (blocks[c.first].cut) {
      InitDelay(delay, delay.length, song.delayFeedback, song.delayDamp);
      ClearReverb(reverb);
    }
    const ChunkBuses& a = renderers[0].buses[k % 2];
    const ChunkBuses& b = renderers[1].buses[k % 2];
    for (int64_t i = 0; i < c.frames; ++i) {
      float dl, dr, rl, rr;
      float send = a.delay[i] + b.delay[i];
      TickDelay(delay, send, send, dl, dr);
      TickReverb(reverb, a.reverbL[i] + b.reverbL[i] + 0.3f * dl, a.reverbR[i] + b.reverbR[i] + 0.3f * dr, rl, rr);
      mix.left[c.base + i] = (a.musicL[i] + b.musicL[i]) + (a.drumL[i] + b.drumL[i]) + song.delayReturn * dl +
                             song.reverbReturn * rl;
      mix.right[c.base + i] = (a.musicR[i] + b.musicR[i]) + (a.drumR[i] + b.drumR[i]) + song.delayReturn * dr +
                              song.reverbReturn * rr;
    }
  };

  // Side-chain: a kick with a non-zero `duck` sets the target to that depth; the
  // depth follows quickly and falls back with duckRelease.
  float duckTarget = 0.0f, duckLevel = 0.0f;
  const float duckFall = std::exp(-6.9f / (song.duckRelease * kSampleRate));
  std::vector<int64_t> kickStarts;
  for (const Note& n : song.notes)
    if (IsKick(song.patches[n.patch])) kickStarts.push_back(n.start);
  size_t nextKick = 0;
  std::vector<float> duck(kChunkFrames + kBlockSize);

  for (size_t k = 0; k < chunks.size(); ++k) {
    const Chunk& c = chunks[k];
    if (blocks[c.first].cut) duckTarget = duckLevel = 0.0f;
    for (int64_t i = 0; i < c.frames; ++i) {
      int64_t t = c.base + i;
      while (nextKick < kickStarts.size() && kickStarts[nextKick] <= t) {
        if (kickStarts[nextKick] == t) duckTarget = 1.0f;
        ++nextKick;
      }
      duckLevel += (duckTarget - duckLevel) * 0.02f;
      duckTarget *= duckFall;
      duck[i] = duckLevel;
    }
    std::thread second(RenderVoices, std::cref(song), std::cref(seeds), &blocks[c.first], c.last - c.first,
                       duck.data(), std::ref(renderers[1]), std::ref(renderers[1].buses[k % 2]));
    if (k > 0) effects(k - 1);
    RenderVoices(song, seeds, &blocks[c.first], c.last - c.first, duck.data(), renderers[0], renderers[0].buses[k % 2]);
    second.join();
  }
  effects(chunks.size() - 1);
}

void MasterMix(const Song& song, const Stereo& mix, float gainDb, float ceiling, Stereo& out) {
  const int64_t frames = static_cast<int64_t>(mix.left.size());
  out.left.assign(frames, 0.0f);
  out.right.assign(frames, 0.0f);
  float gain = DbToGain(gainDb);
  Limiter limiter;
  InitLimiter(limiter, ceiling, 66, 0.12f);  // 1.5 ms look-ahead
  const int latency = LimiterLatency(limiter);
  // Two Butterworth sections ahead of the limiter; they take out DC too.
  Svf highPass[2][2];
  for (Svf* ch : highPass) {
    SetSvf(ch[0], song.highPassHz, 0.5412f);
    SetSvf(ch[1], song.highPassHz, 1.3066f);
  }
  for (int64_t i = 0; i < frames + latency; ++i) {
    float in[2] = {0.0f, 0.0f};
    if (i < frames) {
      in[0] = mix.left[i] * gain;
      in[1] = mix.right[i] * gain;
      for (int c = 0; c < 2; ++c) in[c] = TickSvf(highPass[c][1], TickSvf(highPass[c][0], in[c]).high).high;
    }
    float l, r;
    TickLimiter(limiter, in[0], in[1], l, r);
    int64_t j = i - latency;
    if (j < 0) continue;
    out.left[j] = l;
    out.right[j] = r;
  }

  // Fades and silences act after the limiter so their edges are exact.
  for (int64_t i = 0; i < std::min(song.fadeInFrames, frames); ++i) {
    float g = static_cast<float>(i) / song.fadeInFrames;
    out.left[i] *= g;
    out.right[i] *= g;
  }
  if (song.fadeOutEnd > song.fadeOutBegin) {
    for (int64_t i = std::max<int64_t>(song.fadeOutBegin, 0); i < frames; ++i) {
      float x = std::min(static_cast<float>(i - song.fadeOutBegin) / (song.fadeOutEnd - song.fadeOutBegin), 1.0f);
      float g = 0.5f + 0.5f * std::cos(kPi * x);
      out.left[i] *= g;
      out.right[i] *= g;
    }
  }
  const int64_t ramp = kSampleRate / 500;  // 2 ms into each silence, so the cut does not click
  for (const Silence& s : song.silences) {
    for (int64_t i = std::max<int64_t>(s.begin - ramp, 0); i < std::min(s.end, frames); ++i) {
      float g = i < s.begin ? static_cast<float>(s.begin - i) / ramp : 0.0f;
      out.left[i] *= g;
      out.right[i] *= g;
    }
  }
}

}  // namespace synth
