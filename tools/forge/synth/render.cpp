#include "synth/render.h"

#include <algorithm>
#include <cmath>

namespace synth {

namespace {

bool IsKick(const Patch& p) { return p.kind == Kind::Kick && p.drumBus && p.duck > 0.0f; }

}  // namespace

void RenderMix(const Song& song, Stereo& mix) {
  const int64_t frames = song.frames;
  mix.left.assign(frames, 0.0f);
  mix.right.assign(frames, 0.0f);

  StereoDelay delay;
  InitDelay(delay, static_cast<int>(song.delaySeconds * kSampleRate + 0.5f), song.delayFeedback, song.delayDamp);
  Reverb reverb;
  InitReverb(reverb, song.roomSize, song.roomDamp, 1.0f);

  std::vector<Voice> voices;
  voices.reserve(256);
  float musicL[kBlockSize], musicR[kBlockSize], drumL[kBlockSize], drumR[kBlockSize];
  float delayIn[kBlockSize], revL[kBlockSize], revR[kBlockSize], duck[kBlockSize];
  Buses buses{musicL, musicR, drumL, drumR, delayIn, revL, revR, duck};

  // Side-chain: a kick with a non-zero `duck` sets the target to that depth; the
  // depth follows quickly and falls back with duckRelease.
  float duckTarget = 0.0f, duckLevel = 0.0f;
  const float duckFall = std::exp(-6.9f / (song.duckRelease * kSampleRate));
  std::vector<int64_t> kickStarts;
  for (const Note& n : song.notes)
    if (IsKick(song.patches[n.patch])) kickStarts.push_back(n.start);
  size_t nextKick = 0, nextNote = 0, nextSilence = 0;
  uint32_t seed = 1;

  int64_t base = 0;
  while (base < frames) {
    // A silence cuts every voice and effect tail; notes inside it never start.
    if (nextSilence < song.silences.size() && base >= song.silences[nextSilence].begin) {
      voices.clear();
      InitDelay(delay, delay.length, song.delayFeedback, song.delayDamp);
      ClearReverb(reverb);
      duckTarget = duckLevel = 0.0f;
      base = std::max(base, song.silences[nextSilence].end);
      ++nextSilence;
      while (nextNote < song.notes.size() && song.notes[nextNote].start < base) ++nextNote;
      continue;
    }
    int64_t end = std::min(base + kBlockSize, frames);
    if (nextSilence < song.silences.size()) end = std::min(end, song.silences[nextSilence].begin);
    int count = static_cast<int>(end - base);
    std::fill(musicL, musicL + kBlockSize, 0.0f);
    std::fill(musicR, musicR + kBlockSize, 0.0f);
    std::fill(drumL, drumL + kBlockSize, 0.0f);
    std::fill(drumR, drumR + kBlockSize, 0.0f);
    std::fill(delayIn, delayIn + kBlockSize, 0.0f);
    std::fill(revL, revL + kBlockSize, 0.0f);
    std::fill(revR, revR + kBlockSize, 0.0f);

    for (int i = 0; i < count; ++i) {
      int64_t t = base + i;
      while (nextKick < kickStarts.size() && kickStarts[nextKick] <= t) {
        if (kickStarts[nextKick] == t) duckTarget = 1.0f;
        ++nextKick;
      }
      duckLevel += (duckTarget - duckLevel) * 0.02f;
      duckTarget *= duckFall;
      duck[i] = duckLevel;
    }

    // Voices that start in this block play from their own first sample.
    while (nextNote < song.notes.size() && song.notes[nextNote].start < end) {
      const Note& n = song.notes[nextNote++];
      voices.emplace_back();
      StartVoice(voices.back(), song.patches[n.patch], n, seed++);
      voices.back().age = -static_cast<int32_t>(n.start - base);
    }
    for (Voice& v : voices) {
      int from = v.age < 0 ? -v.age : 0;
      if (v.age < 0) v.age = 0;
      RenderVoice(v, buses, from, count);
    }
    voices.erase(std::remove_if(voices.begin(), voices.end(), [](const Voice& v) { return v.done; }),
                 voices.end());

    for (int i = 0; i < count; ++i) {
      float dl, dr, rl, rr;
      TickDelay(delay, delayIn[i], delayIn[i], dl, dr);
      TickReverb(reverb, revL[i] + 0.3f * dl, revR[i] + 0.3f * dr, rl, rr);
      mix.left[base + i] = musicL[i] + drumL[i] + song.delayReturn * dl + song.reverbReturn * rl;
      mix.right[base + i] = musicR[i] + drumR[i] + song.delayReturn * dr + song.reverbReturn * rr;
    }
    base = end;
  }
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
