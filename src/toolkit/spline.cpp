#include "toolkit/spline.h"

#include <cmath>
#include <cstdlib>

Spline::Spline(int32_t capacity_, bool closed_)
    : keys(static_cast<size_t>(capacity_ > 0 ? capacity_ : 0)),
      tangents(keys.size()),
      closed(closed_ ? 1 : 0),
      capacity(static_cast<int32_t>(keys.size())),
      closedCopy(closed_ ? 1 : 0) {}

void AddKey(Spline& spline, float x, float y, float z) {
  if (spline.count >= spline.capacity) return;
  spline.keys[spline.count++].set(x, y, z);
}

namespace {

float DistanceSquared(const Vector4& a, const Vector4& b) {
  Vector4 d = a;
  d.subtract(b);
  return d.lengthSquared();
}

Vector4 Difference(const Vector4& a, const Vector4& b) {
  Vector4 d = a;
  d.subtract(b);
  return d;
}

// Cap on the trial steps of one resampling point: the band search normally
// settles in a few rounds, but a path far larger than the ±0.1 band could
// otherwise swing around it for ever.
constexpr int kMaxResampleTrials = 100000;

}  // namespace

void BuildTangents(Spline& spline, float tangentScale, bool normalizeTangents) {
  spline.tangentScale = tangentScale;
  spline.normalizeTangents = normalizeTangents ? 1 : 0;
  spline.length = 0.0f;
  spline.reservedLength = 0.0f;
  const int32_t n = spline.count;
  const std::vector<Vector4>& k = spline.keys;
  std::vector<Vector4>& t = spline.tangents;
  if (n < 2) {
    for (int32_t i = 0; i < n; ++i) t[i].set(0.0f, 0.0f, 0.0f);
    return;  // no segment to measure
  }

  if (spline.closed) {
    t[0] = Difference(k[1], k[n - 1]);
    t[n - 1] = Difference(k[0], k[n - 2]);
  } else {
    t[0] = Difference(k[1], k[0]);
    t[n - 1] = Difference(k[n - 1], k[n - 2]);
  }
  for (int32_t i = 1; i <= n - 2; ++i) t[i] = Difference(k[i + 1], k[i - 1]);
  if (normalizeTangents) {
    for (int32_t i = 0; i < n; ++i) {
      // A zero tangent (repeated keys) stays zero instead of turning into NaN.
      if (t[i].lengthSquared() == 0.0f) continue;
      t[i].normalize();
      t[i].scale(tangentScale);
    }
  }

  // Length: chords of steps that halve until each squared chord is at most
  // 0.001; the piece that reaches u = 1 is left out.
  const float step = 1.0f / static_cast<float>(n * 100);
  float u = 0.0f;
  Vector4 p;
  Evaluate(spline, p, 0.0f);
  while (u < 1.0f) {
    Vector4 prev = p;
    float d = 0.5f;
    float v, m;
    do {
      d *= 2.0f;
      v = std::fmin(u + step / d, 1.0f);
      Evaluate(spline, p, v);
      m = DistanceSquared(p, prev);
    } while (v != 1.0f && !(m <= 0.001f) && v > u);
    if (!(v > u)) break;  // non-finite keys: no progress is possible
    u = v;
    if (v < 1.0f) spline.length += std::sqrt(m);
  }
}

Vector4& Evaluate(Spline& spline, Vector4& out, float u) {
  const int32_t n = spline.count;
  if (n < 1) {
    out.set(0.0f, 0.0f, 0.0f);
    return out;
  }
  float f = u - std::trunc(u);
  // Negative or non-finite parameters are outside the domain; keep them on the path.
  if (f < 0.0f) f += 1.0f;
  if (!(f >= 0.0f && f < 1.0f)) f = 0.0f;

  float b;
  int32_t i, j;
  if (spline.closed) {
    b = f * static_cast<float>(n);
    i = static_cast<int32_t>(b);
    if (i >= n) i = 0;
    j = i + 1;
    if (j >= n) j = 0;
  } else {
    b = f * static_cast<float>(n - 1);
    i = static_cast<int32_t>(b);
    if (i > n - 1) i = n - 1;
    j = i + 1 < n - 1 ? i + 1 : n - 1;
  }
  const float c = b - static_cast<float>(i);

  spline.p0 = spline.keys[i];
  spline.p1 = spline.keys[i];
  spline.p1.add(spline.tangents[i]);
  spline.p3 = spline.keys[j];
  spline.p2 = spline.keys[j];
  spline.p2.subtract(spline.tangents[j]);

  // Three of the Bernstein weights are rounded to 32 bits before use; the
  // sums run wider, as the paths were tuned with.
  const float c3 = c * c * c;
  const float oneMinusC3 = (1.0f - c) * (1.0f - c) * (1.0f - c);
  const float w2 = 3.0f * c * c * (1.0f - c);
  const double w1 = 3.0 * c * (1.0 - c) * (1.0 - c);
  const Vector4 &p0 = spline.p0, &p1 = spline.p1, &p2 = spline.p2, &p3 = spline.p3;
  out.set(static_cast<float>(oneMinusC3 * double(p0.x) + w1 * p1.x + double(w2) * p2.x + double(c3) * p3.x),
          static_cast<float>(oneMinusC3 * double(p0.y) + w1 * p1.y + double(w2) * p2.y + double(c3) * p3.y),
          static_cast<float>(oneMinusC3 * double(p0.z) + w1 * p1.z + double(w2) * p2.z + double(c3) * p3.z));
  return out;
}

void ComputeSampleCount(Spline& spline) {
  if (spline.sampleCount != 0) return;
  const int32_t n = spline.count;
  if (n < 2) return;
  Vector4 p;
  Evaluate(spline, p, 0.0f);
  float minChord = 0.0f;
  for (int32_t i = 1; i <= n - 1; ++i) {
    Vector4 prev = p;
    Evaluate(spline, p, static_cast<float>(i) / static_cast<float>(n - 1));
    float chord = std::sqrt(DistanceSquared(p, prev));
    if (i == 1 || chord < minChord) minChord = chord;
  }
  double q = std::pow(static_cast<double>(n * 256), 1.0 / 3.0) * spline.length / minChord;
  // Coincident keys give a zero chord: keep the count finite and bounded.
  if (!(q >= 0.0)) q = 0.0;
  if (q > 1 << 20) q = 1 << 20;
  int32_t qi = static_cast<int32_t>(q);
  spline.sampleCount = qi + n - (qi % n);
}

void Resample(Spline& source, Spline& destination) {
  const int32_t a = source.sampleCount;
  const int32_t n = source.count;
  if (a <= 0 || n < 1) return;
  const float target = source.length / static_cast<float>(a);
  const float lo = target - 0.1f;
  const float hi = target + 0.1f;
  float u = 0.0f;
  Vector4 p;
  Evaluate(source, p, 0.0f);
  while (u < 1.0f) {
    Vector4 prev = p;
    float e = 1.0f / static_cast<float>(a);
    bool changed;
    int trials = 0;
    do {
      Evaluate(source, p, u + e);
      float h = std::sqrt(DistanceSquared(p, prev));
      changed = false;
      if (h > hi) {
        e *= 0.95f;
        changed = true;
      }
      if (h < lo) {
        e *= 1.05f;
        changed = true;
      }
    } while (u + e < 1.0f && changed && ++trials < kMaxResampleTrials);
    if (!(u + e > u)) break;  // the step vanished below float precision
    u += e;
    AddKey(destination, p.x, p.y, p.z);
    // Once the destination is full further points would be dropped anyway.
    if (destination.count >= destination.capacity) break;
  }
  BuildTangents(destination, static_cast<float>(n) * source.tangentScale / static_cast<float>(a),
                source.normalizeTangents != 0);
}

void AimCamera(CameraPose& pose, const Vector4& target) {
  pose.up.set(0.0f, -1.0f, 0.0f);
  pose.direction.set(target.x - pose.position.x, target.y - pose.position.y,
                     target.z - pose.position.z);
  pose.direction.normalize();
}

void OrthonormalizeCamera(CameraPose& pose) {
  project(pose.side, pose.direction, pose.up);
  pose.up.subtract(pose.side);
  pose.up.normalize();
  pose.side.cross(pose.up, pose.direction);
  pose.side.normalize();
}
