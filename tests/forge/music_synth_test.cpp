// The synthesizer's parts on short buffers: pitch, envelopes, filter, effects,
// limiter and the loudness meter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "synth/dsp.h"
#include "synth/meter.h"
#include "synth/render.h"
#include "synth/track.h"
#include "synth/voice.h"
#include "synth/vorbis_writer.h"

using namespace synth;

namespace {

int RisingZeroCrossings(const std::vector<float>& x) {
  int n = 0;
  for (size_t i = 1; i < x.size(); ++i)
    if (x[i - 1] < 0.0f && x[i] >= 0.0f) ++n;
  return n;
}

std::vector<float> Oscillate(Wave w, float hz, int samples, float width = 0.5f) {
  Osc o;
  o.width = width;
  SetOscHz(o, hz);
  std::vector<float> out(samples);
  for (float& v : out) v = TickOsc(o, w);
  return out;
}

float Rms(const float* x, size_t n) {
  double s = 0.0;
  for (size_t i = 0; i < n; ++i) s += x[i] * x[i];
  return static_cast<float>(std::sqrt(s / n));
}

// Steady-state gain (dB) of a filter output for a sine at `hz`.
float FilterGainDb(float cutoff, float q, float hz, FilterMode mode) {
  Svf f;
  SetSvf(f, cutoff, q);
  Osc o;
  SetOscHz(o, hz);
  std::vector<float> out(kSampleRate / 2);
  for (float& v : out) {
    SvfOut r = TickSvf(f, TickOsc(o, Wave::Sine));
    v = mode == FilterMode::Low ? r.low : mode == FilterMode::High ? r.high : r.band;
  }
  size_t half = out.size() / 2;  // skip the transient
  return 20.0f * std::log10(Rms(out.data() + half, half) / std::sqrt(0.5f));
}

}  // namespace

TEST(MusicSynth, OscillatorsHoldTheirPitch) {
  for (Wave w : {Wave::Saw, Wave::Pulse, Wave::Sine, Wave::Triangle})
    for (float hz : {55.0f, 440.0f, 3520.0f}) {
      std::vector<float> x = Oscillate(w, hz, kSampleRate);
      EXPECT_NEAR(RisingZeroCrossings(x), hz, 1.0) << "wave " << static_cast<int>(w) << " at " << hz;
    }
  // A narrow pulse keeps the pitch, and a detuned stack plays no new one.
  EXPECT_NEAR(RisingZeroCrossings(Oscillate(Wave::Pulse, 220.0f, kSampleRate, 0.2f)), 220.0, 1.0);
  EXPECT_NEAR(MidiToHz(69.0f), 440.0f, 1e-3f);
  EXPECT_NEAR(MidiToHz(57.0f), 220.0f, 1e-3f);
}

TEST(MusicSynth, BandLimitedSawStaysBounded) {
  // PolyBLEP rounds the jump; the waveform must not overshoot much or drift.
  for (float hz : {100.0f, 2000.0f, 9000.0f}) {
    std::vector<float> x = Oscillate(Wave::Saw, hz, kSampleRate);
    float peak = 0.0f;
    double mean = 0.0;
    for (float v : x) {
      peak = std::max(peak, std::fabs(v));
      mean += v;
    }
    EXPECT_LT(peak, 1.3f) << hz;
    EXPECT_NEAR(mean / x.size(), 0.0, 0.02) << hz;
  }
  // Its aliasing is well down: an 8.9 kHz saw has almost no energy left below 800 Hz
  // (the naive one folds its fifth partial to 400 Hz).
  std::vector<float> x = Oscillate(Wave::Saw, 8900.0f, kSampleRate);
  Svf lp;
  SetSvf(lp, 800.0f, 0.707f);
  std::vector<float> low(x.size());
  for (size_t i = 0; i < x.size(); ++i) low[i] = TickSvf(lp, x[i]).low;
  EXPECT_LT(Rms(low.data() + 4410, low.size() - 4410), 0.05f * Rms(x.data(), x.size()));
}

TEST(MusicSynth, EnvelopeRunsThroughItsStages) {
  Adsr e;
  AdsrParams p{0.01f, 0.05f, 0.5f, 0.1f};
  StartAdsr(e, p);
  EXPECT_EQ(e.stage, Stage::Attack);
  // Attack: linear, reaching full level after 10 ms.
  float mid = 0.0f;
  for (int i = 0; i < 441; ++i) {
    float v = TickAdsr(e);
    if (i == 219) mid = v;
  }
  EXPECT_NEAR(mid, 0.5f, 0.01f);
  EXPECT_FLOAT_EQ(e.level, 1.0f);
  EXPECT_EQ(e.stage, Stage::Decay);
  // Decay: 99% of the way to the sustain level after 50 ms, then holds there.
  for (int i = 0; i < 2205; ++i) TickAdsr(e);
  EXPECT_NEAR(e.level, 0.5f, 0.01f);
  for (int i = 0; i < 4410; ++i) TickAdsr(e);
  EXPECT_EQ(e.stage, Stage::Sustain);
  EXPECT_FLOAT_EQ(e.level, 0.5f);
  // Release: falls to 1% in 100 ms and ends idle at exactly zero.
  ReleaseAdsr(e);
  EXPECT_EQ(e.stage, Stage::Release);
  for (int i = 0; i < 4410; ++i) TickAdsr(e);
  EXPECT_NEAR(e.level, 0.005f, 0.002f);
  for (int i = 0; i < 44100 && e.stage != Stage::Idle; ++i) TickAdsr(e);
  EXPECT_EQ(e.stage, Stage::Idle);
  EXPECT_EQ(e.level, 0.0f);
  // Releasing during the attack goes straight to the release from where it is.
  StartAdsr(e, p);
  for (int i = 0; i < 100; ++i) TickAdsr(e);
  float at = e.level;
  ReleaseAdsr(e);
  EXPECT_LT(TickAdsr(e), at);
}

TEST(MusicSynth, FilterPassesBelowAndCutsAboveCutoff) {
  EXPECT_NEAR(FilterGainDb(1000.0f, 0.707f, 100.0f, FilterMode::Low), 0.0f, 0.5f);
  EXPECT_NEAR(FilterGainDb(1000.0f, 0.707f, 1000.0f, FilterMode::Low), -3.0f, 0.5f);
  // Two poles: about 12 dB per octave, so three octaves up is beyond -30 dB.
  EXPECT_LT(FilterGainDb(1000.0f, 0.707f, 8000.0f, FilterMode::Low), -30.0f);
  EXPECT_LT(FilterGainDb(1000.0f, 0.707f, 4000.0f, FilterMode::Low),
            FilterGainDb(1000.0f, 0.707f, 2000.0f, FilterMode::Low) - 9.0f);
  // The high-pass mirrors it; resonance lifts the cutoff region.
  EXPECT_LT(FilterGainDb(8000.0f, 0.707f, 1000.0f, FilterMode::High), -30.0f);
  EXPECT_NEAR(FilterGainDb(1000.0f, 0.707f, 10000.0f, FilterMode::High), 0.0f, 0.5f);
  EXPECT_GT(FilterGainDb(1000.0f, 4.0f, 1000.0f, FilterMode::Low), 10.0f);
  // Cutoffs past the usable range are clamped rather than blowing up.
  Svf f;
  SetSvf(f, 1e6f, 0.7f);
  float y = 0.0f;
  for (int i = 0; i < 1000; ++i) y = TickSvf(f, (i & 1) ? 1.0f : -1.0f).low;
  EXPECT_TRUE(std::isfinite(y));
}

TEST(MusicSynth, LimiterNeverExceedsItsCeiling) {
  const float ceiling = DbToGain(-1.8f);
  Limiter l;
  InitLimiter(l, ceiling, 66, 0.1f);
  Noise n;
  float peakOut = 0.0f, peakIn = 0.0f;
  for (int i = 0; i < kSampleRate * 2; ++i) {
    // Bursts up to +12 dB, single-sample spikes and a full-scale square.
    float burst = (i / 3000) % 3 == 0 ? 4.0f : 0.3f;
    float x = NextNoise(n) * burst;
    if (i % 7919 == 0) x = 8.0f;
    if (i > kSampleRate * 3 / 2) x = (i / 50) % 2 ? 3.0f : -3.0f;
    float l0, r0;
    TickLimiter(l, x, -0.5f * x, l0, r0);
    peakIn = std::max(peakIn, std::fabs(x));
    peakOut = std::max({peakOut, std::fabs(l0), std::fabs(r0)});
  }
  EXPECT_GT(peakIn, 4.0f * ceiling);
  EXPECT_LE(peakOut, ceiling);
  EXPECT_GT(peakOut, 0.9f * ceiling);  // it limits, it does not just turn down
}

TEST(MusicSynth, LimiterLeavesQuietSignalsAloneAfterItsLatency) {
  Limiter l;
  InitLimiter(l, 0.8f, 32, 0.1f);
  int latency = LimiterLatency(l);
  std::vector<float> in(2000), out(2000);
  Osc o;
  SetOscHz(o, 300.0f);
  for (size_t i = 0; i < in.size(); ++i) {
    in[i] = 0.5f * TickOsc(o, Wave::Sine);
    float r;
    TickLimiter(l, in[i], in[i], out[i], r);
  }
  for (int i = 0; i < latency; ++i) EXPECT_EQ(out[i], 0.0f);
  for (size_t i = latency; i < out.size(); ++i) ASSERT_FLOAT_EQ(out[i], in[i - latency]) << i;
}

TEST(MusicSynth, NoiseIsDeterministicAndCentred) {
  Noise a, b;
  b.state = a.state;
  double sum = 0.0, sq = 0.0;
  for (int i = 0; i < 100000; ++i) {
    float x = NextNoise(a);
    ASSERT_EQ(x, NextNoise(b));
    ASSERT_GE(x, -1.0f);
    ASSERT_LT(x, 1.0f);
    sum += x;
    sq += x * x;
  }
  EXPECT_NEAR(sum / 100000, 0.0, 0.01);
  EXPECT_NEAR(sq / 100000, 1.0 / 3.0, 0.01);  // uniform on [-1, 1)
}

TEST(MusicSynth, DelayEchoesPingPong) {
  StereoDelay d;
  InitDelay(d, 100, 0.5f, 0.0f);
  std::vector<float> l(400), r(400);
  for (int i = 0; i < 400; ++i) TickDelay(d, i == 0 ? 1.0f : 0.0f, i == 0 ? 1.0f : 0.0f, l[i], r[i]);
  EXPECT_FLOAT_EQ(l[100], 1.0f);  // first echo on the left
  EXPECT_EQ(r[100], 0.0f);
  EXPECT_FLOAT_EQ(r[200], 0.5f);  // then crossing to the right, halved
  EXPECT_EQ(l[200], 0.0f);
  EXPECT_FLOAT_EQ(l[300], 0.25f);
}

TEST(MusicSynth, ReverbTailDecaysToExactSilence) {
  Reverb r;
  InitReverb(r, 0.82f, 0.45f, 1.0f);
  float early = 0.0f, l, rr;
  TickReverb(r, 1.0f, 1.0f, l, rr);
  for (int i = 0; i < kSampleRate; ++i) {
    TickReverb(r, 0.0f, 0.0f, l, rr);
    early = std::max(early, std::fabs(l));
  }
  EXPECT_GT(early, 0.001f);
  // The denormal guards bring the tail down to true zero instead of lingering
  // in subnormal values.
  for (int i = 0; i < kSampleRate * 40; ++i) TickReverb(r, 0.0f, 0.0f, l, rr);
  EXPECT_EQ(l, 0.0f);
  EXPECT_EQ(rr, 0.0f);
}

TEST(MusicSynth, KickDropsItsPitchAndDies) {
  Patch kick;
  kick.kind = Kind::Kick;
  kick.pitchDrop = 36.0f;
  kick.pitchDropTime = 0.09f;
  kick.toneDecay = 0.5f;
  kick.noiseMix = 0.0f;
  kick.drumBus = true;
  Note note;
  note.pitch = 31.0f;  // 49 Hz
  Voice v;
  StartVoice(v, kick, note, 1);
  std::vector<float> out;
  float ml[32], mr[32], dl[32], dr[32], dly[32], rl[32], rr[32], duck[32] = {};
  Buses b{ml, mr, dl, dr, dly, rl, rr, duck};
  while (!v.done && out.size() < static_cast<size_t>(kSampleRate)) {
    std::fill(dl, dl + 32, 0.0f);
    std::fill(dr, dr + 32, 0.0f);
    RenderVoice(v, b, 0, 32);
    out.insert(out.end(), dl, dl + 32);
  }
  EXPECT_TRUE(v.done);  // -60 dB after 0.5 s: the voice ends by itself
  auto crossings = [&](size_t from, size_t to) {
    std::vector<float> part(out.begin() + from, out.begin() + to);
    return RisingZeroCrossings(part) * static_cast<float>(kSampleRate) / (to - from);
  };
  float early = crossings(0, 441), late = crossings(8820, 17640);
  EXPECT_GT(early, 150.0f);
  EXPECT_NEAR(late, 49.0f, 6.0f);
}

TEST(MusicSynth, MeterReadsCalibrationTones) {
  // A 1 kHz sine at -20 dBFS in both channels reads -20 LUFS; its true peak is
  // found between the samples even when the samples miss it.
  std::vector<float> l(kSampleRate * 3), r;
  Osc o;
  SetOscHz(o, 1000.0f);
  for (float& v : l) v = 0.1f * TickOsc(o, Wave::Sine);
  r = l;
  EXPECT_NEAR(IntegratedLoudness(l.data(), r.data(), l.size(), kSampleRate), -20.0, 0.1);
  // One channel only: 3 dB lower.
  std::vector<float> silent(l.size(), 0.0f);
  EXPECT_NEAR(IntegratedLoudness(l.data(), silent.data(), l.size(), kSampleRate), -23.0, 0.1);
  // Silence is gated away entirely.
  EXPECT_LT(IntegratedLoudness(silent.data(), silent.data(), silent.size(), kSampleRate), -70.0);
  // Quarter-rate sine sampled at 45 degrees: samples reach 0.707, the wave 1.
  std::vector<float> q(4000);
  for (size_t i = 0; i < q.size(); ++i) q[i] = std::sin(3.14159265f * (0.5f * i + 0.25f));
  EXPECT_NEAR(TruePeak(q.data(), q.data(), q.size()), 1.0, 0.03);
}

TEST(MusicSynth, VorbisRoundTripIsExactInLengthAndRepeatable) {
  // Half a second of a chord, encoded twice: same bytes, same length back.
  Stereo s;
  Osc a, b;
  SetOscHz(a, 220.0f);
  SetOscHz(b, 277.18f);
  for (int i = 0; i < kSampleRate / 2 + 123; ++i) {
    s.left.push_back(0.3f * TickOsc(a, Wave::Sine));
    s.right.push_back(0.3f * TickOsc(b, Wave::Sine));
  }
  std::string first, second, error;
  ASSERT_TRUE(EncodeVorbis(s, kSampleRate, 0.5f, first, error)) << error;
  ASSERT_TRUE(EncodeVorbis(s, kSampleRate, 0.5f, second, error)) << error;
  EXPECT_TRUE(first == second);
  Stereo back;
  int rate = 0, channels = 0;
  ASSERT_TRUE(DecodeVorbis(first, back, rate, channels));
  EXPECT_EQ(rate, kSampleRate);
  EXPECT_EQ(channels, 2);
  ASSERT_EQ(back.left.size(), s.left.size());
  // Lossy, but close: the difference stays far below the signal.
  double err = 0.0, sig = 0.0;
  for (size_t i = 1000; i < s.left.size() - 1000; ++i) {
    double dl = back.left[i] - s.left[i], dr = back.right[i] - s.right[i];
    err += dl * dl + dr * dr;
    sig += s.left[i] * s.left[i] + s.right[i] * s.right[i];
  }
  EXPECT_LT(err, sig * 1e-3);
  // Garbage does not decode, and does not crash the decoder.
  std::string broken = first.substr(0, 200);
  EXPECT_FALSE(DecodeVorbis(broken, back, rate, channels));
  EXPECT_FALSE(DecodeVorbis(std::string(5000, 'x'), back, rate, channels));
}

// The mix renders its notes on two threads by their index and cuts every voice
// at a silence: a note must sound the same whichever thread has it, across
// the chunks the threads meet at, and a silence must hold and stop the tails.
TEST(MusicSynth, MixSoundsANoteTheSameOnEitherThreadAndCutsAtSilences) {
  Song song;
  Patch tone;  // no noise, no unison: nothing in it depends on the voice's seed
  tone.wave = Wave::Sine;
  tone.amp = {0.01f, 0.2f, 0.8f, 0.3f};
  tone.reverbSend = 0.2f;
  tone.delaySend = 0.1f;
  song.patches.push_back(tone);
  song.frames = 3 * kSampleRate;
  Note n;
  n.start = 1000 + 7;  // inside a block
  n.length = 2 * kSampleRate;  // over several chunks of the mix
  n.pitch = 57.0f;
  // A note inside a silence never starts and takes no seed, so `n` starts
  // with the same seed as the first note or the second, on the other thread.
  Note unheard = n;
  unheard.start = 50;
  song.silences = {{0, 100}};
  song.notes = {n};
  Stereo first, second;
  RenderMix(song, first);
  song.notes = {unheard, n};
  RenderMix(song, second);
  ASSERT_EQ(first.left.size(), size_t(song.frames));
  EXPECT_GT(Rms(first.left.data() + kSampleRate, kSampleRate / 2), 0.05f);
  EXPECT_TRUE(first.left == second.left && first.right == second.right);

  // A silence over the note's middle: nothing sounds in it, and after it only
  // a note that starts after it; one starting inside it never sounds.
  song.silences = {{0, 100}, {kSampleRate, kSampleRate + kSampleRate / 2}};
  Note inside = n, after = n;
  inside.start = kSampleRate + 100;
  after.start = 2 * kSampleRate;
  after.pitch = 64.0f;
  song.notes = {n, inside};
  Stereo cut;
  RenderMix(song, cut);
  for (int64_t i = kSampleRate; i < 2 * kSampleRate; ++i) ASSERT_EQ(cut.left[size_t(i)], 0.0f) << i;
  EXPECT_LT(Rms(cut.left.data() + 2 * kSampleRate, kSampleRate), 1e-6f);
  song.notes = {n, inside, after};
  Stereo later;
  RenderMix(song, later);
  EXPECT_GT(Rms(later.left.data() + 2 * kSampleRate, kSampleRate / 2), 0.05f);
  EXPECT_TRUE(std::equal(later.left.begin(), later.left.begin() + 2 * kSampleRate, cut.left.begin()));
}

// The encoder's overshoot is found and lowered step by step, leaving the rest.
TEST(MusicSynth, OvershootsAreLoweredWhereTheyAreAndNowhereElse) {
  Stereo s;
  Osc o;
  SetOscHz(o, 441.0f);  // 100 samples a cycle: the level changes where the sine crosses zero
  for (int i = 0; i < 2 * kSampleRate; ++i) {
    float a = (i >= 31000 && i < 35200) ? 0.95f : 0.5f;  // inside step 7, [30870, 35280)
    float v = a * TickOsc(o, Wave::Sine);
    s.left.push_back(v);
    s.right.push_back(-v);
  }
  std::vector<float> excess;
  double peak = MeasureOvershoots(s, excess);
  EXPECT_NEAR(20.0 * std::log10(peak), 20.0 * std::log10(0.95), 0.05);
  ASSERT_EQ(excess.size(), 20u);
  for (size_t k = 0; k < excess.size(); ++k) {
    if (k == 7) {
      EXPECT_NEAR(excess[k], 20.0 * std::log10(0.95) - kMaxTruePeakDb, 0.05);
    } else {
      EXPECT_EQ(excess[k], 0.0f) << k;
    }
  }

  Stereo lowered = s;
  EXPECT_EQ(LowerOvershoots(excess, lowered), 1);
  const int64_t ramp = kSampleRate / 100;
  for (int64_t i = 0; i < 2 * kSampleRate; ++i) {
    const size_t k = size_t(i);
    if (i < 7 * kOvershootStep - ramp || i >= 8 * kOvershootStep + ramp) {
      ASSERT_EQ(lowered.left[k], s.left[k]) << i;
    }
    ASSERT_LE(std::fabs(lowered.left[k]), std::fabs(s.left[k])) << i;
  }
  std::vector<float> after;
  peak = MeasureOvershoots(lowered, after);
  EXPECT_NEAR(20.0 * std::log10(peak), kMaxTruePeakDb - kOvershootMarginDb, 0.1);
  EXPECT_EQ(std::count_if(after.begin(), after.end(), [](float e) { return e > 0.0f; }), 0);
  EXPECT_EQ(LowerOvershoots(after, lowered), 0);
}
