// The show's twelve model files. Sizes are in file units; each module loads a
// file with its own vertex scale (noted per model), and the reader turns the
// file's z axis into the show's vertical.
#include <cmath>
#include <cstdio>

#include "forge.h"
#include "forge_noise.h"
#include "mesh_shapes.h"

namespace {

// Low-frequency lumps on a closed shape, scaling each vertex's offset from
// `centre` by 1 + amount * noise, so the shape stays star-shaped and welded.
void Lumpy(Mesh& m, Vec3f centre, float frequency, float amount, uint32_t seed) {
  DisplaceVertices(m, [&](const Vec3f& p) {
    Vec3f d{p.x - centre.x, p.y - centre.y, p.z - centre.z};
    float n = Noise3D(p.x * frequency, p.y * frequency, p.z * frequency, seed) +
              0.5f * Noise3D(p.x * frequency * 2, p.y * frequency * 2, p.z * frequency * 2, seed + 1);
    float k = 1.0f + amount * n / 1.5f;
    return Vec3f{centre.x + d.x * k, centre.y + d.y * k, centre.z + d.z * k};
  });
}

Mesh Named(Mesh m, const char* name, const char* material = "") {
  m.name = name;
  m.material = material;
  return m;
}

}  // namespace

std::vector<ModelFile> BuildModelFiles() {
  std::vector<ModelFile> files;

  // Star ball of module A (vertex scale 200, seen from inside). Radius 4 gives
  // 800 units; the module squeezes it to at least 0.13 high and 0.54 wide,
  // which still holds its camera (within 108 x 76 x 108 of the centre).
  {
    Mesh m = RevolveMesh(SphereProfile(24, 4.0f), 48, false, 4.0f, 4.0f, false);
    files.push_back({"ballinv.3ds", {Named(m, "ballinv")}, {}});
  }

  // Small ball of modules A, B and E ("kilo": about a thousand faces). Seen
  // from outside; radius 4 is 12 units in A, 16 in B and 16 to 64 in E.
  {
    Mesh m = RevolveMesh(SphereProfile(16, 4.0f), 32, false, 2.0f, 1.0f, true);
    files.push_back({"kiloball.3ds", {Named(m, "kiloball", "valko")},
                     {false, false, false, "valko", "valko.jpg"}});
  }

  // Enclosing ball of modules B (scale 10, deformed, casts shadows) and C
  // (scale 100, backdrop). Poles on the x axis: module B samples its noise by
  // the angle about the vertical axis, which a vertex on that axis would not have.
  // 64 rings x 80 segments: about 2.4 vertices a noise cell vertically in the
  // opening mode, 10k faces for two passes and a shadow volume a frame.
  {
    Mesh m = RevolveMesh(SphereProfile(64, 50.0f), 80, true, 2.0f, 2.0f, false);
    files.push_back({"backball.3ds", {Named(m, "backball", "blubackg")},
                     {false, false, false, "blubackg", "blubackg.jpg"}});
  }

  // Ice cube of module B (scale 20): rounded, 24 cells tall so the twist and
  // bulge along its height stay smooth when it grows to nine times its height.
  {
    Mesh m = RoundedBox(12, 12, 24, 1.5f, 1.5f, 1.5f, 0.35f);
    files.push_back({"icecube.3ds", {Named(m, "icecube")}, {}});
  }

  // Plain box of modules B and C (scale 50), never drawn; carries a camera,
  // an omni light and a material block for the reader to step over.
  {
    Mesh m = RoundedBox(1, 1, 1, 1.0f, 1.0f, 1.0f, 0.0f);
    files.push_back({"box.3ds", {Named(m, "box01", "env")}, {true, true, false, "env", "env1puvi.jpg"}});
  }

  // Lens of module C (scale 20): a lying biconvex lens, radius 2.5, 1.2 thick,
  // with parabolic faces meeting at a rim. 33 ring levels keep it smooth when
  // it is stretched to eighteen times its height; 48 segments around.
  {
    std::vector<std::pair<float, float>> profile;
    const int half = 16;
    const float radius = 2.5f, bulge = 0.6f;
    for (int j = 0; j <= 2 * half; ++j) {
      float s = j <= half ? float(j) / half : float(2 * half - j) / half;
      float r = radius * std::sin(1.5707963f * s);
      float h = bulge * (1.0f - (r / radius) * (r / radius));
      profile.push_back({r, j <= half ? h : -h});
    }
    profile.front().first = profile.back().first = 0.0f;
    Mesh m = RevolveMesh(profile, 48, false, 1.0f, 1.0f, true);
    files.push_back({"linssi1d.3ds", {Named(m, "linssi")}, {}});
  }

  // Never drawn by module C (scale 8): a torus, with a spotlight beside it.
  {
    Mesh m = Torus(32, 12, 2.0f, 0.7f);
    files.push_back({"harru3ssd.3ds", {Named(m, "harru")}, {false, false, true, "", ""}});
  }

  // Cave of modules D (scale 20, then 7x wide, 2x tall) and E (scale 20, then
  // 1.75x): a lumpy closed blob seen from inside, 300 x 300 x 260 loaded units
  // about a centre 60 units above the origin, so both modules' lamps, the
  // water levels of D and module E's surface lie inside. Axis along x, where
  // both modules' noise changes fastest (a cell is 11 units in E, 3.9 in D):
  // 128 rings, 7.4 units apart at the widest, give E 1.5 vertices a cell and
  // D a ridge about every second ring; 40 segments around still give three a
  // cell in the slow y and z directions. 10k faces for up to six passes and
  // two shadow volumes a frame.
  {
    Mesh m = RevolveMesh(SphereProfile(128, 1.0f), 40, true, 2.0f, 4.0f, false);
    DisplaceVertices(m, [](const Vec3f& p) { return Vec3f{15 * p.x, 15 * p.y, 3 + 13 * p.z}; });
    Lumpy(m, {0, 0, 3}, 0.12f, 0.1f, 4242);
    files.push_back({"luola2taso.3ds", {Named(m, "luola", "rock")},
                     {false, false, false, "rock", "maasto1.jpg"}});
  }

  // Bubble of module D (scale 10), seen from its centre; 64 x 32 keeps the
  // wobble of its refraction smooth over the screen.
  {
    Mesh m = RevolveMesh(SphereProfile(32, 5.0f), 64, false, 2.0f, 1.0f, false);
    files.push_back({"ballbig.3ds", {Named(m, "ballbig")}, {}});
  }

  // Water of module D (scale 100) and surface of module E (scale 75): a disc
  // of radius 22 filling the cave's cross-section, rings packed towards the
  // centre where the cameras are; 72 x 40 for the ripple noise near the eye.
  {
    Mesh m = Disc(72, 40, 22.0f, 1.0f / 44.0f);
    files.push_back({"vet.3ds", {Named(m, "vesi")}, {}});
  }

  // Lamp cage of modules D and E (scale 9): a closed shell pierced by nine
  // holes a side, the lamp at its centre; casts the beams in module D. The
  // grid is finer and the wall thinner than a lantern needs so that the beams
  // reach further round the cage's edges: with four holes a side the camera
  // passing a cage saw the cave wholly in its shadow for 1.5 s of module D's
  // second window, yet wider holes flooded the near walls in its first.
  {
    Mesh m = HoleBox(2.0f, 1.68f, 3, 0.4f, 0.15f);
    files.push_back({"holeboxsd.3ds", {Named(m, "holebox", "cage")},
                     {false, false, false, "cage", "env1puvi.jpg"}});
  }

  // Lamp bead of module D (scale 4): radius 2.5 (10 units), inside the cage's
  // cavity of 15.1.
  {
    Mesh m = RevolveMesh(SphereProfile(10, 2.5f), 20, false, 2.0f, 1.0f, true);
    files.push_back({"bitball.3ds", {Named(m, "bitball")}, {}});
  }
  return files;
}

bool ForgeModels(const std::string& dir) {
  for (const ModelFile& f : BuildModelFiles()) {
    if (!Write3ds(dir + "/Models/" + f.name, f.meshes, f.extras)) return false;
  }
  return true;
}
