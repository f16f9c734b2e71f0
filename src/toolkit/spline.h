// Key-point paths made of cubic Bézier segments, measured and resampled to
// nearly constant speed, and the two camera-pose operations built on them.
#pragma once
#include <cstdint>
#include <vector>

#include "core/camera_pose.h"
#include "core/math.h"

struct Spline {
  Spline(int32_t capacity, bool closed);

  std::vector<Vector4> keys;      // capacity entries, x, y, z used
  std::vector<Vector4> tangents;  // one per key
  uint8_t closed;                 // 1: the last key joins the first
  int32_t capacity;               // fixed; keys beyond it are ignored
  int32_t count = 0;
  Vector4 p0, p1, p2, p3;  // control points of the segment last evaluated
  float reservedLength = 0.0f;
  float length = 0.0f;  // measured by BuildTangents
  float tangentScale = 0.0f;
  uint8_t normalizeTangents = 0;
  int32_t sampleCount = 0;  // set once by ComputeSampleCount
  int32_t closedCopy;       // 1 when created closed; nothing reads it
};

// Appends a key; ignored once count has reached capacity.
void AddKey(Spline& spline, float x, float y, float z);

// Tangents from the neighbouring keys (full differences), optionally made unit
// length and scaled, then the path's length. Call after the last AddKey.
void BuildTangents(Spline& spline, float tangentScale, bool normalizeTangents);

// The point at u (its fractional part: u = 1 is the start again, also on an
// open path) into out; leaves the segment's control points in p0..p3. Needs
// at least two keys and u >= 0.
Vector4& Evaluate(Spline& spline, Vector4& out, float u);

// How many points Resample makes: the next multiple of count above a value
// grown from the length and the shortest key-to-key chord. Computed once.
void ComputeSampleCount(Spline& spline);

// Fills destination (created with at least sampleCount slots) with points at
// nearly equal spacing and builds its tangents.
void Resample(Spline& source, Spline& destination);

// direction = normalize(target − position); up = (0, −1, 0).
void AimCamera(CameraPose& pose, const Vector4& target);

// Makes up orthogonal to direction and side = up × direction, both unit.
void OrthonormalizeCamera(CameraPose& pose);
