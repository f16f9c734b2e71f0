// Time envelopes: start and length values (ms of music time) turned into
// 0-to-1 weights by linear and cosine ramps. Every fade and swell of the show
// is shaped by one; the owner rewrites the fields freely between evaluations.
#pragma once

struct Envelope {
  float start = 0.0f;        // the rise (EaseOut: the fall) begins here
  float outStart = 0.0f;     // the fall of EaseInOut begins here
  float length = 0.0f;       // duration of the rise; must be > 0 when evaluated
  float outLength = 0.0f;    // duration of the fall of EaseInOut
  float lengthScale = 1.0f;  // moves the point where the cosine ramps report their end value
};

// Linear rise from 0 at start to 1 at start + length (lengthScale is not used).
float RampIn(const Envelope& env, float t);

// Cosine rise from 0; frequency f completes f half-periods over the length,
// exponent e above 1 delays the motion towards the end of the ramp.
float EaseIn(const Envelope& env, float t, float frequency, float exponent);

// Mirror of EaseIn: 1 up to start, 0 after start + lengthScale * length.
float EaseOut(const Envelope& env, float t, float frequency, float exponent);

// EaseIn on (start, length) times a cosine fall on (outStart, outLength).
float EaseInOut(const Envelope& env, float t, float frequency, float exponent);
