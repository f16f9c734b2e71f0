#include "mesh_shapes.h"

#include <array>
#include <cmath>
#include <map>
#include <tuple>

namespace {

constexpr float kPi = 3.14159265f;

Vec3f Sub(const Vec3f& a, const Vec3f& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3f Cross(const Vec3f& a, const Vec3f& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const Vec3f& a, const Vec3f& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void AddTriangle(Mesh& m, int a, int b, int c) {
  m.faces.push_back(uint16_t(a));
  m.faces.push_back(uint16_t(b));
  m.faces.push_back(uint16_t(c));
}

// Triangle a, b, c turned so that its normal agrees with `outward`.
void AddOriented(Mesh& m, int a, int b, int c, const Vec3f& outward) {
  Vec3f n = Cross(Sub(m.vertices[b], m.vertices[a]), Sub(m.vertices[c], m.vertices[a]));
  if (Dot(n, outward) >= 0)
    AddTriangle(m, a, b, c);
  else
    AddTriangle(m, a, c, b);
}

void AddQuadOriented(Mesh& m, int a, int b, int c, int d, const Vec3f& outward) {
  AddOriented(m, a, b, c, outward);
  AddOriented(m, a, c, d, outward);
}

// Vertices keyed by integer lattice coordinates, so shared corners weld exactly.
struct Welder {
  Mesh* mesh;
  std::map<std::array<int, 4>, int> index;
  int Get(const std::array<int, 4>& key, const Vec3f& p) {
    auto it = index.find(key);
    if (it != index.end()) return it->second;
    int i = int(mesh->vertices.size());
    mesh->vertices.push_back(p);
    index[key] = i;
    return i;
  }
};

// Texture coordinates for box-like shapes: a sheared planar mapping that is
// non-degenerate on all three axis planes, so one welded vertex serves every
// face it touches.
void BoxUv(Mesh& m, float scale) {
  m.u.resize(m.vertices.size());
  m.v.resize(m.vertices.size());
  for (size_t i = 0; i < m.vertices.size(); ++i) {
    const Vec3f& p = m.vertices[i];
    m.u[i] = (p.x + p.y) * scale;
    m.v[i] = (p.y + p.z) * scale;
  }
}

}  // namespace

Mesh RevolveMesh(const std::vector<std::pair<float, float>>& profile, int segments, bool aboutX,
                 float uRange, float vRange, bool outward) {
  Mesh m;
  int n = int(profile.size());
  auto place = [&](float r, float h, float phi) -> Vec3f {
    float a = r * std::cos(phi), b = r * std::sin(phi);
    // About x: (h, a, b) is a cyclic turn of (a, b, h), so the winding is kept.
    return aboutX ? Vec3f{h, a, b} : Vec3f{a, b, h};
  };
  auto vcoord = [&](int j) { return vRange * float(j) / float(n - 1); };
  // First pole, rings, last pole.
  m.vertices.push_back(place(0, profile[0].second, 0));
  m.u.push_back(0.5f * uRange);
  m.v.push_back(vcoord(0));
  for (int j = 1; j < n - 1; ++j) {
    for (int i = 0; i < segments; ++i) {
      float t = (float(i) + 0.5f) / float(segments);
      m.vertices.push_back(place(profile[j].first, profile[j].second, 2 * kPi * t));
      m.u.push_back(uRange * (1.0f - std::fabs(2.0f * t - 1.0f)));
      m.v.push_back(vcoord(j));
    }
  }
  int last = int(m.vertices.size());
  m.vertices.push_back(place(0, profile[n - 1].second, 0));
  m.u.push_back(0.5f * uRange);
  m.v.push_back(vcoord(n - 1));

  auto ring = [&](int j, int i) { return 1 + (j - 1) * segments + (i % segments); };
  // With the profile running from +h to -h, (pole, ring i, ring i+1) and the
  // quads below face outwards (south x east points out).
  auto tri = [&](int a, int b, int c) {
    if (outward)
      AddTriangle(m, a, b, c);
    else
      AddTriangle(m, a, c, b);
  };
  for (int i = 0; i < segments; ++i) tri(0, ring(1, i), ring(1, i + 1));
  for (int j = 1; j < n - 2; ++j) {
    for (int i = 0; i < segments; ++i) {
      tri(ring(j, i), ring(j + 1, i), ring(j, i + 1));
      tri(ring(j + 1, i), ring(j + 1, i + 1), ring(j, i + 1));
    }
  }
  for (int i = 0; i < segments; ++i) tri(ring(n - 2, i), last, ring(n - 2, i + 1));
  return m;
}

std::vector<std::pair<float, float>> SphereProfile(int rings, float radius) {
  std::vector<std::pair<float, float>> p;
  for (int j = 0; j <= rings; ++j) {
    float th = kPi * float(j) / float(rings);
    p.push_back({j == 0 || j == rings ? 0.0f : radius * std::sin(th), radius * std::cos(th)});
  }
  return p;
}

Mesh RoundedBox(int nx, int ny, int nz, float hx, float hy, float hz, float round) {
  Mesh m;
  Welder w{&m, {}};
  const int n[3] = {nx, ny, nz};
  const float h[3] = {hx, hy, hz};
  auto position = [&](const std::array<int, 3>& c) {
    float p[3], q[3];
    for (int a = 0; a < 3; ++a) {
      p[a] = -h[a] + 2 * h[a] * float(c[a]) / float(n[a]);
      // Rounding: pull towards the inner box, then push out by the radius.
      float lim = h[a] - round;
      q[a] = std::fmax(-lim, std::fmin(lim, p[a]));
    }
    if (round <= 0) return Vec3f{p[0], p[1], p[2]};
    float d[3] = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
    float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (len < 1e-9f) return Vec3f{p[0], p[1], p[2]};
    return Vec3f{q[0] + d[0] / len * round, q[1] + d[1] / len * round, q[2] + d[2] / len * round};
  };
  for (int axis = 0; axis < 3; ++axis) {
    int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
    for (int side = 0; side < 2; ++side) {
      Vec3f out{0, 0, 0};
      (&out.x)[axis] = side ? 1.0f : -1.0f;
      for (int j = 0; j < n[a2]; ++j) {
        for (int i = 0; i < n[a1]; ++i) {
          int corner[4];
          const int di[4] = {0, 1, 1, 0}, dj[4] = {0, 0, 1, 1};
          for (int k = 0; k < 4; ++k) {
            std::array<int, 3> c{};
            c[axis] = side ? n[axis] : 0;
            c[a1] = i + di[k];
            c[a2] = j + dj[k];
            corner[k] = w.Get({c[0], c[1], c[2], 0}, position(c));
          }
          // The outward hint of a rounded corner is still the face's direction.
          AddQuadOriented(m, corner[0], corner[1], corner[2], corner[3], out);
        }
      }
    }
  }
  BoxUv(m, 0.25f / std::fmax(hx, std::fmax(hy, hz)));
  return m;
}

Mesh HoleBox(float outer, float inner, int holes, float holeWidth, float gap) {
  Mesh m;
  Welder w{&m, {}};
  // Grid lines of a face: walls and holes alternate, the holes in the odd
  // cells of 2 holes + 1, centred; the tunnels run straight through, so both
  // skins share the inner lines and differ only in their borders.
  const int cells = 2 * holes + 1;
  std::vector<float> lines[2];
  float x = -0.5f * inner * (float(holes) * holeWidth + float(holes - 1) * gap);
  lines[0].push_back(-outer);
  for (int k = 0; k < holes; ++k) {
    lines[0].push_back(x);
    x += holeWidth * inner;
    lines[0].push_back(x);
    x += gap * inner;
  }
  lines[0].push_back(outer);
  lines[1] = lines[0];
  lines[1].front() = -inner;
  lines[1].back() = inner;
  auto isHole = [](int i, int j) { return i % 2 == 1 && j % 2 == 1; };
  auto vert = [&](int layer, int ix, int iy, int iz) {
    Vec3f p{lines[layer][ix], lines[layer][iy], lines[layer][iz]};
    return w.Get({layer, ix, iy, iz}, p);
  };
  for (int axis = 0; axis < 3; ++axis) {
    int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
    for (int side = 0; side < 2; ++side) {
      Vec3f out{0, 0, 0};
      (&out.x)[axis] = side ? 1.0f : -1.0f;
      Vec3f in{-out.x, -out.y, -out.z};
      for (int layer = 0; layer < 2; ++layer) {
        // The outer skin faces out of the box, the cavity's skin faces its centre.
        const Vec3f& facing = layer == 0 ? out : in;
        for (int j = 0; j < cells; ++j) {
          for (int i = 0; i < cells; ++i) {
            if (isHole(i, j)) continue;
            int q[4];
            const int di[4] = {0, 1, 1, 0}, dj[4] = {0, 0, 1, 1};
            for (int k = 0; k < 4; ++k) {
              int idx[3];
              idx[axis] = side ? cells : 0;
              idx[a1] = i + di[k];
              idx[a2] = j + dj[k];
              q[k] = vert(layer, idx[0], idx[1], idx[2]);
            }
            AddQuadOriented(m, q[0], q[1], q[2], q[3], facing);
          }
        }
      }
      // Tunnel walls of each hole, facing into the hole.
      for (int j = 1; j < cells; j += 2) {
        for (int i = 1; i < cells; i += 2) {
          const int ci[4] = {i, i + 1, i + 1, i}, cj[4] = {j, j, j + 1, j + 1};
          for (int e = 0; e < 4; ++e) {
            int p0[3], p1[3];
            p0[axis] = p1[axis] = side ? cells : 0;
            p0[a1] = ci[e];
            p0[a2] = cj[e];
            p1[a1] = ci[(e + 1) % 4];
            p1[a2] = cj[(e + 1) % 4];
            int o0 = vert(0, p0[0], p0[1], p0[2]), o1 = vert(0, p1[0], p1[1], p1[2]);
            int i0 = vert(1, p0[0], p0[1], p0[2]), i1 = vert(1, p1[0], p1[1], p1[2]);
            // Into the hole: from the wall's edge towards the hole's centre.
            Vec3f centre{0, 0, 0};
            (&centre.x)[a1] = 0.5f * (lines[0][i] + lines[0][i + 1]);
            (&centre.x)[a2] = 0.5f * (lines[0][j] + lines[0][j + 1]);
            Vec3f mid = m.vertices[o0];
            Vec3f toward = Sub(centre, mid);
            (&toward.x)[axis] = 0;
            Vec3f edge = Sub(m.vertices[o1], m.vertices[o0]);
            // Remove the component along the edge so the hint is the wall's normal.
            float el = Dot(edge, edge);
            float t = Dot(toward, edge) / el;
            toward = {toward.x - t * edge.x, toward.y - t * edge.y, toward.z - t * edge.z};
            AddQuadOriented(m, o0, o1, i1, i0, toward);
          }
        }
      }
    }
  }
  BoxUv(m, 0.5f / outer);
  return m;
}

Mesh Torus(int segments, int sides, float major, float minor) {
  Mesh m;
  for (int i = 0; i < segments; ++i) {
    float t = (float(i) + 0.5f) / float(segments);
    float a = 2 * kPi * t;
    for (int j = 0; j < sides; ++j) {
      float s = (float(j) + 0.5f) / float(sides);
      float b = 2 * kPi * s;
      float r = major + minor * std::cos(b);
      m.vertices.push_back({r * std::cos(a), r * std::sin(a), minor * std::sin(b)});
      m.u.push_back(4.0f * (1.0f - std::fabs(2 * t - 1)));
      m.v.push_back(1.0f * (1.0f - std::fabs(2 * s - 1)));
    }
  }
  auto at = [&](int i, int j) { return (i % segments) * sides + (j % sides); };
  for (int i = 0; i < segments; ++i) {
    for (int j = 0; j < sides; ++j) {
      int p00 = at(i, j), p10 = at(i + 1, j), p11 = at(i + 1, j + 1), p01 = at(i, j + 1);
      // Outward: away from the tube's centre line.
      float a = 2 * kPi * (float(i) + 1.0f) / float(segments);
      Vec3f c{major * std::cos(a), major * std::sin(a), 0};
      AddQuadOriented(m, p00, p10, p11, p01, Sub(m.vertices[p10], c));
    }
  }
  return m;
}

Mesh Disc(int segments, int rings, float radius, float uvScale) {
  Mesh m;
  m.vertices.push_back({0, 0, 0});
  for (int j = 1; j <= rings; ++j) {
    // Rings packed towards the centre, where the camera is close.
    float r = radius * std::pow(float(j) / float(rings), 1.5f);
    for (int i = 0; i < segments; ++i) {
      float a = 2 * kPi * (float(i) + 0.5f) / float(segments);
      m.vertices.push_back({r * std::cos(a), r * std::sin(a), 0});
    }
  }
  for (const Vec3f& p : m.vertices) {
    m.u.push_back(0.5f + p.x * uvScale);
    m.v.push_back(0.5f + p.y * uvScale);
  }
  auto at = [&](int j, int i) { return 1 + (j - 1) * segments + (i % segments); };
  const Vec3f up{0, 0, 1};
  for (int i = 0; i < segments; ++i) AddOriented(m, 0, at(1, i), at(1, i + 1), up);
  for (int j = 1; j < rings; ++j)
    for (int i = 0; i < segments; ++i)
      AddQuadOriented(m, at(j, i), at(j, i + 1), at(j + 1, i + 1), at(j + 1, i), up);
  return m;
}

void DisplaceVertices(Mesh& m, const std::function<Vec3f(const Vec3f&)>& f) {
  for (Vec3f& p : m.vertices) p = f(p);
}

bool IsClosedManifold(const Mesh& m, std::string* why) {
  // Directed edge counts: a closed, consistently wound mesh has every directed
  // edge once and its reverse once.
  std::map<std::pair<int, int>, int> directed;
  for (size_t f = 0; f + 2 < m.faces.size(); f += 3) {
    int c[3] = {m.faces[f], m.faces[f + 1], m.faces[f + 2]};
    if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2]) {
      if (why) *why = "degenerate face " + std::to_string(f / 3);
      return false;
    }
    for (int k = 0; k < 3; ++k) ++directed[{c[k], c[(k + 1) % 3]}];
  }
  for (const auto& [edge, count] : directed) {
    auto rev = directed.find({edge.second, edge.first});
    int back = rev == directed.end() ? 0 : rev->second;
    if (count != 1 || back != 1) {
      if (why)
        *why = "edge " + std::to_string(edge.first) + "-" + std::to_string(edge.second) +
               " used " + std::to_string(count) + " times, reversed " + std::to_string(back);
      return false;
    }
  }
  return true;
}

double SignedVolume6(const Mesh& m) {
  double v = 0;
  for (size_t f = 0; f + 2 < m.faces.size(); f += 3) {
    const Vec3f& a = m.vertices[m.faces[f]];
    const Vec3f& b = m.vertices[m.faces[f + 1]];
    const Vec3f& c = m.vertices[m.faces[f + 2]];
    Vec3f n = Cross(b, c);
    v += double(a.x) * n.x + double(a.y) * n.y + double(a.z) * n.z;
  }
  return v;
}
