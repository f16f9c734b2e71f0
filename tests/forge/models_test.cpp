// The forged models: closed where the show casts shadows from them, wound the
// way they are seen, and big enough for the cameras and lamps that use them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "forge.h"
#include "mesh_shapes.h"
#include "toolkit/spline.h"

namespace {

const Mesh& Model(const std::string& name) {
  static std::vector<ModelFile> files = BuildModelFiles();
  for (const ModelFile& f : files)
    if (f.name == name) return f.meshes.front();
  ADD_FAILURE() << "no model " << name;
  return files.front().meshes.front();
}

// File vertex to the show's coordinates, as the reader stores it.
Vec3f Loaded(const Vec3f& p, float s) { return {s * p.x, -s * p.z, s * p.y}; }

TEST(ForgedModels, TheShowsTwelveFilesEachWithAMesh) {
  const char* names[] = {"ballinv.3ds", "kiloball.3ds", "backball.3ds",  "icecube.3ds",
                         "box.3ds",     "linssi1d.3ds", "harru3ssd.3ds", "luola2taso.3ds",
                         "ballbig.3ds", "vet.3ds",      "holeboxsd.3ds", "bitball.3ds"};
  std::vector<ModelFile> files = BuildModelFiles();
  ASSERT_EQ(files.size(), std::size(names));
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].name, names[i]);
    ASSERT_FALSE(files[i].meshes.empty());
    for (const Mesh& m : files[i].meshes) {
      EXPECT_LT(m.VertexCount(), 65536) << m.name;
      EXPECT_LT(m.FaceCount(), 65536) << m.name;
      EXPECT_EQ(m.u.size(), m.vertices.size()) << m.name;
      for (uint16_t v : m.faces) ASSERT_LT(v, m.VertexCount()) << m.name;
    }
  }
}

// Shadow volumes need every edge on exactly two faces, by vertex index; the
// other solid shapes are welded the same way so deformation can't crack them.
TEST(ForgedModels, SolidsAreClosedAndConsistentlyWound) {
  for (const char* name : {"ballinv.3ds", "kiloball.3ds", "backball.3ds", "icecube.3ds", "box.3ds",
                           "linssi1d.3ds", "harru3ssd.3ds", "luola2taso.3ds", "ballbig.3ds",
                           "holeboxsd.3ds", "bitball.3ds"}) {
    std::string why;
    EXPECT_TRUE(IsClosedManifold(Model(name), &why)) << name << ": " << why;
  }
  // Seen from inside: the enclosing balls, the cave and the bubble.
  for (const char* name : {"ballinv.3ds", "backball.3ds", "luola2taso.3ds", "ballbig.3ds"})
    EXPECT_LT(SignedVolume6(Model(name)), 0) << name;
  for (const char* name : {"kiloball.3ds", "icecube.3ds", "box.3ds", "linssi1d.3ds", "harru3ssd.3ds",
                           "holeboxsd.3ds", "bitball.3ds"})
    EXPECT_GT(SignedVolume6(Model(name)), 0) << name;
}

TEST(ForgedModels, ClosednessCheckCatchesAnOpenOrDuplicatedSeam) {
  Mesh m = RoundedBox(2, 2, 2, 1, 1, 1, 0);
  ASSERT_TRUE(IsClosedManifold(m));
  Mesh open = m;
  open.faces.resize(open.faces.size() - 3);
  EXPECT_FALSE(IsClosedManifold(open));
  // A seam of duplicated vertices opens the mesh by index, though not in space.
  Mesh seam = m;
  seam.vertices.push_back(seam.vertices[seam.faces[0]]);
  seam.u.push_back(0);
  seam.v.push_back(0);
  seam.faces[0] = uint16_t(seam.vertices.size() - 1);
  EXPECT_FALSE(IsClosedManifold(seam));
}

TEST(ForgedModels, LampCageHasHolesThroughItsWalls) {
  const Mesh& m = Model("holeboxsd.3ds");
  // Genus from Euler's formula: V - E + F = 2 - 2g, with E = 3F / 2 when closed.
  int v = m.VertexCount(), f = m.FaceCount();
  int genus = (2 - (v - 3 * f / 2 + f)) / 2;
  // The first of the 54 tunnels joins the outer and cavity skins into one
  // surface; each further one adds a handle.
  EXPECT_EQ(genus, 53) << "nine tunnels on each of six sides";
}

// Smallest distance from the centre to a face centre: the radius the mesh
// surely encloses.
float InnerRadius(const Mesh& m, float scale) {
  float r = 1e30f;
  for (size_t f = 0; f < m.faces.size(); f += 3) {
    Vec3f c{0, 0, 0};
    for (int k = 0; k < 3; ++k) {
      const Vec3f& p = m.vertices[m.faces[f + k]];
      c = {c.x + p.x / 3, c.y + p.y / 3, c.z + p.z / 3};
    }
    r = std::min(r, std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z));
  }
  return r * scale;
}

// Bounding boxes of each module's camera positions (from their paths) must fit
// in the enclosing ball after the module's vertex scale, squeeze and the
// deepest inward push of its deformation.
TEST(ForgedModels, EnclosingBallsHoldEveryCameraPosition) {
  struct Case {
    const char* what;
    const char* file;
    float vertexScale, inward, sx, sy, sz;  // inward push before the scales
    float cx, cy, cz;                      // camera box half sizes
  } cases[] = {
      {"module A", "ballinv.3ds", 200, 0, 0.54f, 0.13f, 1.0f, 108, 75.6f, 108},
      {"module B opening", "backball.3ds", 10, 300, 4, 16, 4, 327, 254, 142},
      {"module B closing", "backball.3ds", 10, 250, 2, 7, 2, 210, 288, 210},
      {"module C", "backball.3ds", 100, 0, 1, 0.5f, 1, 135, 387, 315},
  };
  for (const Case& c : cases) {
    float r = InnerRadius(Model(c.file), c.vertexScale) - c.inward;
    float e = std::pow(c.cx / (r * c.sx), 2.0f) + std::pow(c.cy / (r * c.sy), 2.0f) +
              std::pow(c.cz / (r * c.sz), 2.0f);
    EXPECT_LT(e, 1.0f) << c.what;
  }
}

// Ray casting along a slightly skewed direction: odd crossings mean inside.
bool Inside(const Mesh& m, const std::function<Vec3f(const Vec3f&)>& place, const Vec3f& p) {
  const Vec3f d{1.0f, 0.0123f, 0.0071f};
  int hits = 0;
  for (size_t f = 0; f < m.faces.size(); f += 3) {
    Vec3f a = place(m.vertices[m.faces[f]]), b = place(m.vertices[m.faces[f + 1]]),
          c = place(m.vertices[m.faces[f + 2]]);
    Vec3f e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
    Vec3f q{d.y * e2.z - d.z * e2.y, d.z * e2.x - d.x * e2.z, d.x * e2.y - d.y * e2.x};
    float det = e1.x * q.x + e1.y * q.y + e1.z * q.z;
    if (std::fabs(det) < 1e-12f) continue;
    Vec3f s{p.x - a.x, p.y - a.y, p.z - a.z};
    float u = (s.x * q.x + s.y * q.y + s.z * q.z) / det;
    if (u < 0 || u > 1) continue;
    Vec3f r{s.y * e1.z - s.z * e1.y, s.z * e1.x - s.x * e1.z, s.x * e1.y - s.y * e1.x};
    float v = (d.x * r.x + d.y * r.y + d.z * r.z) / det;
    if (v < 0 || u + v > 1) continue;
    float t = (e2.x * r.x + e2.y * r.y + e2.z * r.z) / det;
    if (t > 0) ++hits;
  }
  return hits % 2 == 1;
}

float Clearance(const Mesh& m, const std::function<Vec3f(const Vec3f&)>& place, const Vec3f& p) {
  float best = 1e30f;
  for (const Vec3f& v : m.vertices) {
    Vec3f q = place(v);
    best = std::min(best, std::hypot(q.x - p.x, q.y - p.y, q.z - p.z));
  }
  return best;
}

// The lamp path of modules D and E: six keys, resampled, as the modules build it.
Spline& LampPath() {
  static Spline keys(100, true);
  static Spline* path = [] {
    const float k[6][3] = {{-17, 0, -5}, {-14, 3, -8}, {0, -3, -9}, {15, 2, -2}, {16, 0, -6}, {0, 3, -9}};
    for (auto& p : k) AddKey(keys, p[0], p[1], p[2]);
    BuildTangents(keys, 5.0f, true);
    ComputeSampleCount(keys);
    Spline* even = new Spline(keys.sampleCount, true);
    Resample(keys, *even);
    return even;
  }();
  return *path;
}

// Lamps inside the undeformed cave with room to spare, the water planes of
// module D and the surface of module E crossing it.
TEST(ForgedModels, CaveHoldsTheLampsAndTheWater) {
  const Mesh& cave = Model("luola2taso.3ds");
  auto placeD = [](const Vec3f& v) {
    Vec3f b = Loaded(v, 20);
    return Vec3f{7 * b.x, 2 * b.y + 15, 7 * b.z};
  };
  auto placeE = [](const Vec3f& v) {
    Vec3f b = Loaded(v, 20);
    return Vec3f{1.75f * b.x, 1.75f * b.y + 15, 1.75f * b.z};
  };
  float worstD = 1e30f, worstE = 1e30f;
  for (int i = 0; i < 60; ++i) {
    Vector4 p;
    Evaluate(LampPath(), p, i / 60.0f);
    Vec3f lampD{5 * (-0.9f * p.x), 11.5f * (-0.9f * p.y - 5), 8 * (-0.9f * p.z)};
    Vec3f lamp2D{5 * (-0.9f * p.x), 10.5f * (-0.9f * p.y - 4), 8 * (-0.9f * p.z)};
    Vec3f lampE{5 * 0.9f * p.x, 15 * (0.9f * p.y - 4), 8 * 0.9f * p.z};
    EXPECT_TRUE(Inside(cave, placeD, lampD)) << i;
    EXPECT_TRUE(Inside(cave, placeD, lamp2D)) << i;
    EXPECT_TRUE(Inside(cave, placeE, lampE)) << i;
    worstD = std::min({worstD, Clearance(cave, placeD, lampD), Clearance(cave, placeD, lamp2D)});
    worstE = std::min(worstE, Clearance(cave, placeE, lampE));
  }
  EXPECT_GT(worstD, 300.0f);
  EXPECT_GT(worstE, 200.0f);
  // Module D's water from 42 down past -20; module E's surface at 42.
  for (float level : {42.0f, 20.0f, 0.0f, -22.5f}) EXPECT_TRUE(Inside(cave, placeD, {0, level, 0})) << level;
  EXPECT_TRUE(Inside(cave, placeE, {0, 42, 0}));
}

}  // namespace
