// The forged model files read back through the show's .3ds reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "assets/file_error.h"
#include "assets/load_3ds.h"
#include "forge.h"
#include "forge_data.h"

namespace {

void NoBox(const char*, const char*) {}

TEST(LoadedModels, EveryFileReadsBackAsBuilt) {
  ASSERT_FALSE(ForgedDir().empty());
  SetFileErrorBox(NoBox);
  const float s = 2.0f, t = 1.5f;  // a vertex and uv scale, to see both applied
  for (const ModelFile& f : BuildModelFiles()) {
    Scene scene(10000, 1024, 512, 512, 256);
    scene.vertexScale = s;
    scene.uvScale = t;
    scene.flipNormals = 1;
    ASSERT_EQ(LoadScene(scene, (ForgedDir() + "/Models/" + f.name).c_str()), 1) << f.name;
    // Cameras and lights in the file add no objects.
    ASSERT_EQ(scene.objectCount, int(f.meshes.size())) << f.name;
    for (size_t k = 0; k < f.meshes.size(); ++k) {
      const Mesh& m = f.meshes[k];
      const SceneObject& o = *scene.objects[k];
      EXPECT_EQ(strncmp(reinterpret_cast<const char*>(o.name), m.name.c_str(), 8), 0) << f.name;
      ASSERT_EQ(o.vertexCount, m.VertexCount()) << f.name;
      ASSERT_EQ(o.faceCount, m.FaceCount()) << f.name;
      for (int i = 0; i < o.vertexCount; ++i) {
        const Vec3f& p = m.vertices[i];
        ASSERT_EQ(o.vertices[i].x, s * p.x) << f.name;
        ASSERT_EQ(o.vertices[i].y, -s * p.z) << f.name;
        ASSERT_EQ(o.vertices[i].z, s * p.y) << f.name;
        ASSERT_FLOAT_EQ(o.texU[i], t * m.u[i]) << f.name;
        ASSERT_FLOAT_EQ(o.texV[i], t * m.v[i]) << f.name;
        // Every vertex is on a face, so its normal is a unit vector.
        const Vector4& n = o.vertexNormals[i];
        ASSERT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0f, 1e-4f) << f.name << " " << i;
      }
      for (int i = 0; i < 3 * o.faceCount; ++i) ASSERT_EQ(o.faces[i], m.faces[i]) << f.name;
    }
  }
  SetFileErrorBox(nullptr);
}

// The loaded shadow casters: each edge, by vertex index, on exactly two faces.
TEST(LoadedModels, ShadowCastersAreClosed) {
  ASSERT_FALSE(ForgedDir().empty());
  for (const char* name : {"backball.3ds", "luola2taso.3ds", "holeboxsd.3ds"}) {
    Scene scene(10000, 1024, 512, 512, 256);
    ASSERT_EQ(LoadScene(scene, (ForgedDir() + "/Models/" + name).c_str()), 1) << name;
    const SceneObject& o = *scene.objects[0];
    std::map<std::pair<int, int>, int> uses;
    for (int f = 0; f < o.faceCount; ++f)
      for (int k = 0; k < 3; ++k) {
        int a = o.faces[3 * f + k], b = o.faces[3 * f + (k + 1) % 3];
        ++uses[{std::min(a, b), std::max(a, b)}];
      }
    int bad = 0;
    for (const auto& [edge, count] : uses) bad += count != 2;
    EXPECT_EQ(bad, 0) << name;
    EXPECT_EQ(uses.size() * 2, size_t(3 * o.faceCount)) << name;
  }
}

}  // namespace
