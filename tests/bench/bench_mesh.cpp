// Prints what drawing, re-lighting and shadowing a mesh costs at the sizes the
// show uses, so the effect modules can be sized against a frame budget. Not a
// test: nothing here passes or fails.
//
//   build/tests/bench_mesh [repeats]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_util.h"
#include "mesh_fixtures.h"
#include "core/gl.h"
#include "shell/headless.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/shadow_volume.h"

namespace {

// The edge search as a linear scan over the records, for comparison.
int SearchedEdgeCount(const SceneObject& o) {
  std::vector<int> a, b;
  for (int f = 0; f < o.faceCount; ++f)
    for (int k = 0; k < 3; ++k) {
      const int p = o.faces[3 * f + k], q = o.faces[3 * f + (k + 1) % 3];
      size_t e = 0;
      while (e < a.size() && !((a[e] == p && b[e] == q) || (a[e] == q && b[e] == p))) ++e;
      if (e == a.size()) {
        a.push_back(p);
        b.push_back(q);
      }
    }
  return (int)a.size();
}

struct Mesh {
  const char* kind;
  int a, b;
};

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  HeadlessInfo info{};
  if (!OpenHeadless(1024, 768, &info)) return 1;
  std::printf("renderer: %s (%s), median of %d runs, ms\n", info.renderer, info.platform, repeats);
  std::printf("mesh faces covers ~1/4 of a 1024x768 frame; draw times include glFinish\n\n");
  std::printf("%-14s %6s | %8s %8s %8s %8s | %7s %7s %7s | %8s %8s %7s %7s %7s\n", "mesh", "faces", "submit1",
              "pass", "3pass/3", "cull1", "smooth", "crease", "world", "edges", "search", "volume", "drawVol",
              "quads");

  const Mesh meshes[] = {{"sphere", 33, 32}, {"sphere", 51, 50}, {"sphere", 71, 71}, {"sphere", 101, 100},
                         {"torus", 32, 32},  {"torus", 100, 100}};
  for (const Mesh& m : meshes) {
    Scene scene(10000, 1024, 768, 512, 256);
    const int index = m.kind[0] == 's' ? AddSphere(scene, m.a, m.b, 1.0f) : AddTorus(scene, m.a, m.b, 1.0f, 0.35f);
    SceneObject& o = *scene.objects[index];
    Light light;
    light.position.set(2.0f, -5.0f, -1.0f);
    SetLightColour(light, 1.0f, 1.0f, 1.0f);
    for (int i = 0; i < 3; ++i) o.baseColour[i] = 0.2f;
    o.baseColour[3] = 1.0f;
    glEnable(GL_DEPTH_TEST);
    auto frame = [&] {
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      LookAt(scene, {0.0f, -1.5f, -4.0f}, {0.0f, 0.0f, 0.0f});
    };

    o.renderMode = 0;
    o.extraPass = 0;
    const double submit = MedianMs(repeats, [&] { frame(); DrawObject(scene, index, light, 0); });
    glFinish();
    const double onePass = MedianMs(repeats, [&] { frame(); DrawObject(scene, index, light, 0); glFinish(); });
    o.renderMode = 5;
    o.extraPass = 1;
    const double threePass = MedianMs(repeats, [&] { frame(); DrawObject(scene, index, light, 0); glFinish(); });
    o.renderMode = 0;
    o.extraPass = 0;

    SnapshotVertices(scene, index);
    const double smooth = MedianMs(repeats, [&] { ComputeSmoothNormals(scene, index); });
    const double crease = MedianMs(repeats, [&] { ComputeCreaseNormals(scene, index, 0.5f); });
    o.cameraTest = 1;
    const double culled = MedianMs(repeats, [&] { frame(); DrawObject(scene, index, light, 1); glFinish(); });
    o.cameraTest = 0;

    auto start = std::chrono::steady_clock::now();
    BuildEdgeList(scene, index);
    const double edges = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    double search = -1.0;
    if (o.faceCount <= 10000) {
      start = std::chrono::steady_clock::now();
      if (SearchedEdgeCount(o) != o.edgeCount) std::printf("edge counts differ!\n");
      search = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const double world = MedianMs(repeats, [&] { glLoadIdentity(); TransformObject(scene, index, 1, 1); });
    const double volume = MedianMs(repeats, [&] { BuildShadowVolume(scene, index, light); });
    frame();
    DrawObject(scene, index, light, 0);
    glEnable(GL_STENCIL_TEST);
    const double drawVolume = MedianMs(repeats, [&] { DrawShadowVolume(scene, index); glFinish(); });
    glDisable(GL_STENCIL_TEST);

    char name[32];
    std::snprintf(name, sizeof name, "%s %dx%d", m.kind, m.a, m.b);
    std::printf("%-14s %6d | %8.2f %8.2f %8.2f %8.2f | %7.2f %7.2f %7.2f | %8.1f %8.1f %7.2f %7.2f %7d\n", name,
                o.faceCount, submit, onePass, threePass / 3.0, culled, smooth, crease, world, edges, search, volume,
                drawVolume, o.volumeQuadCount);
  }
  std::printf("\nsubmit1: one pass without waiting for the rasteriser; pass: one pass to glFinish;\n"
              "3pass/3: renderMode 5 with extraPass, per pass; cull1: base geometry with cameraTest;\n"
              "smooth/crease: ComputeSmoothNormals/ComputeCreaseNormals(0.5); world: TransformObject with\n"
              "vertex normals; edges: BuildEdgeList (load time); search: the same list by linear search\n"
              "(-1: not run); volume: BuildShadowVolume; drawVol: DrawShadowVolume to glFinish.\n");
  CloseHeadless();
  return 0;
}
