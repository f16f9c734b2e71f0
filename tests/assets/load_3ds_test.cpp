#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "assets/file_error.h"
#include "assets/load_3ds.h"
#include "sample_files.h"
#include "core/settings.h"
#include "temp_folder.h"

namespace {

using namespace samples;

std::string lastBoxText;
void RecordBox(const char* text, const char*) { lastBoxText = text; }

class Load3ds : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFileErrorBox(RecordBox);
    quitRequested = 0;
  }
  void TearDown() override {
    SetFileErrorBox(nullptr);
    quitRequested = 0;
  }
  int32_t Load(Scene& scene, const Bytes& bytes) {
    return LoadScene(scene, files_.Write("model.3ds", bytes).c_str());
  }
  TempFolder files_{"3ds"};
};

// Everything that draws an object indexes its arrays with its counts and faces.
void ExpectConsistent(const Scene& scene) {
  for (int32_t i = 0; i < scene.objectCount; ++i) {
    const SceneObject& o = *scene.objects[i];
    SCOPED_TRACE(i);
    if (o.vertexCount > 0) {
      ASSERT_NE(o.vertices, nullptr);
      ASSERT_NE(o.vertexNormals, nullptr);
      ASSERT_NE(o.texU, nullptr);
    }
    if (o.faceCount > 0) {
      ASSERT_NE(o.faces, nullptr);
      ASSERT_NE(o.faceNormals, nullptr);
      ASSERT_NE(o.vertexFaces, nullptr);
      for (int32_t k = 0; k < o.faceCount * 3; ++k) {
        ASSERT_GE(o.faces[k], 0);
        ASSERT_LT(o.faces[k], o.vertexCount);
      }
    }
  }
}

TEST_F(Load3ds, MeshesAreAppendedAndCamerasAndLightsSkipped) {
  Scene scene(10000, 1024, 512, 512, 256);
  ASSERT_EQ(Load(scene, SampleScene()), 1);
  ASSERT_EQ(scene.objectCount, 2);  // Floor and Wall; camera, omni and light add nothing
  EXPECT_EQ(std::string(scene.objects[0]->name), "Floor");
  EXPECT_EQ(std::string(scene.objects[1]->name), "Wall");

  const SceneObject& floor = *scene.objects[0];
  ASSERT_EQ(floor.vertexCount, 4);
  ASSERT_EQ(floor.faceCount, 2);
  // File (x, y, z) is stored as (x, −z, y).
  EXPECT_EQ(floor.vertices[2].x, 1.0f);
  EXPECT_EQ(floor.vertices[2].y, -0.0f);
  EXPECT_EQ(floor.vertices[2].z, 1.0f);
  EXPECT_EQ(scene.objects[1]->vertices[0].y, -2.0f);
  EXPECT_EQ(floor.faces[3], 0);
  EXPECT_EQ(floor.faces[5], 3);
  EXPECT_EQ(floor.texU[1], 1.0f);
  EXPECT_EQ(floor.texV[2], 1.0f);  // v is not flipped
  EXPECT_EQ(floor.renderMode, 5);
  EXPECT_EQ(floor.blendMode, 0);
  EXPECT_EQ(floor.extraPass, 1);
  const float matrix[16] = {1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 1, 1, 1, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(floor.meshMatrix[i], matrix[i]) << i;

  // Unnormalised face normals (twice the triangle's area), unit vertex normals.
  EXPECT_FLOAT_EQ(floor.faceNormals[0].y, -1.0f);
  EXPECT_FLOAT_EQ(floor.vertexNormals[0].y, -1.0f);
  EXPECT_FLOAT_EQ(floor.vertexNormals[1].y, -1.0f);
  // Vertex 0 is used by both faces, vertex 1 by the first only.
  ASSERT_EQ(floor.vertexFaces[0].count, 2);
  EXPECT_EQ(IndexAt(floor.vertexFaces[0], 1), 1);
  EXPECT_EQ(floor.vertexFaces[1].count, 1);
  EXPECT_EQ(floor.vertexFaces[3].count, 1);
  EXPECT_EQ(scene.file, nullptr);
  EXPECT_GT(scene.fileSize, 0);
  ExpectConsistent(scene);
}

TEST_F(Load3ds, ScalesAndFlippedNormals) {
  Scene scene(100, 1024, 512, 512, 256);
  scene.vertexScale = 2.0f;
  scene.uvScale = 4.0f;
  scene.flipNormals = 1;
  Bytes file = Main3ds(Editor(NamedObject(
      "Tri", Mesh(Join({VertexList({1, 2, 3, 2, 2, 3, 1, 3, 3}), TexCoords({0.25f, 0.5f}),
                        FaceList({{0, 1, 2}})})))));
  ASSERT_EQ(Load(scene, file), 1);
  const SceneObject& o = *scene.objects[0];
  EXPECT_EQ(o.vertices[0].x, 2.0f);
  EXPECT_EQ(o.vertices[0].y, -6.0f);
  EXPECT_EQ(o.vertices[0].z, 4.0f);
  EXPECT_EQ(o.texU[0], 1.0f);
  EXPECT_EQ(o.texV[0], 2.0f);
  EXPECT_EQ(o.texU[1], 0.0f);  // no pair given
  // (2,0,0) × (0,0,2) = (0,−4,0), negated.
  EXPECT_FLOAT_EQ(o.faceNormals[0].y, 4.0f);
  EXPECT_FLOAT_EQ(o.vertexNormals[2].y, 1.0f);
  EXPECT_EQ(o.meshMatrix[15], 0.0f);  // no matrix chunk
}

TEST_F(Load3ds, TwoFilesIntoOneScene) {
  Scene scene(100, 1024, 512, 512, 256);
  ASSERT_EQ(Load(scene, SampleScene()), 1);
  Vector4* firstVertices = scene.objects[0]->vertices;
  // The second file's lists outside any object must not touch the first file's meshes.
  Bytes stray = Main3ds(Editor(Join({VertexList({9, 9, 9}), QuadMesh("Second")})));
  ASSERT_EQ(LoadScene(scene, files_.Write("second.3ds", stray).c_str()), 1);
  ASSERT_EQ(scene.objectCount, 3);
  EXPECT_EQ(std::string(scene.objects[2]->name), "Second");
  EXPECT_EQ(scene.objects[0]->vertices, firstVertices);
  EXPECT_EQ(scene.objects[1]->vertexCount, 4);
  ExpectConsistent(scene);
}

TEST_F(Load3ds, NamesDecideTheKind) {
  Scene scene(100, 1024, 512, 512, 256);
  Bytes onlyCameraAndOmni = Main3ds(Editor(Join({Camera("Camera01"), LightObject("Omni02", false)})));
  EXPECT_EQ(Load(scene, onlyCameraAndOmni), 1);
  EXPECT_EQ(scene.objectCount, 0);
  // A mesh called Light... is a light (a lamp shade, say); its lists are skipped.
  EXPECT_EQ(Load(scene, Main3ds(Editor(QuadMesh("LightShade")))), 1);
  EXPECT_EQ(scene.objectCount, 0);
  EXPECT_EQ(scene.objectKind, 2);
  // A name of eight or more characters keeps exactly eight; "Camer" is a mesh.
  EXPECT_EQ(Load(scene, Main3ds(Editor(Join({QuadMesh("Pillar_North"), QuadMesh("Camer")})))), 1);
  ASSERT_EQ(scene.objectCount, 2);
  EXPECT_EQ(std::memcmp(scene.objects[0]->name, "Pillar_N", 8), 0);
  EXPECT_EQ(std::string(scene.objects[1]->name), "Camer");
}

TEST_F(Load3ds, UnknownChunksAreSkippedWhole) {
  Scene scene(100, 1024, 512, 512, 256);
  // An unknown chunk wrapping a whole mesh object: nothing inside is read.
  Bytes file = Main3ds(Join({Chunk(0x1234, Editor(QuadMesh("Hidden"))), Editor(QuadMesh("Seen"))}));
  ASSERT_EQ(Load(scene, file), 1);
  ASSERT_EQ(scene.objectCount, 1);
  EXPECT_EQ(std::string(scene.objects[0]->name), "Seen");
}

TEST_F(Load3ds, MissingFileIsReported) {
  Scene scene(100, 1024, 512, 512, 256);
  std::string missing = files_.Path("missing.3ds");
  EXPECT_EQ(LoadScene(scene, missing.c_str()), 0);
  EXPECT_EQ(lastBoxText, "Can't load file " + missing);
  EXPECT_EQ(quitRequested, 1);
  EXPECT_EQ(scene.objectCount, 0);
}

TEST_F(Load3ds, MalformedChunksNeverReachOutside) {
  Bytes header6 = {0x4D, 0x4D, 0, 0, 0, 0};  // length 0
  Bytes length3 = {0x4D, 0x4D, 3, 0, 0, 0};
  Bytes pastEnd = Chunk(0x4D4D, Editor(QuadMesh("Cut")));
  pastEnd[2] = 0xFF;  // main chunk claims far more than the file
  pastEnd[3] = 0xFF;
  Bytes badIndices = Main3ds(Editor(NamedObject(
      "Bad", Mesh(Join({VertexList({0, 0, 0, 1, 0, 0, 0, 1, 0}),
                        FaceList({{0, 1, 2}, {0, 1, 3}, {65535, 0, 1}})})))));
  Bytes listsFirst = Main3ds(Editor(NamedObject(
      "Early", Mesh(Join({TexCoords({1, 1}), FaceList({{0, 1, 2}}), VertexList({0, 0, 0})})))));
  const float matrix[12] = {2, 0, 0, 0, 2, 0, 0, 0, 2, 1, 1, 1};
  Bytes matrixInCamera =
      Main3ds(Editor(Join({QuadMesh("Before"), NamedObject("Camera01", MeshMatrix(matrix))})));
  Bytes bigCount = Main3ds(Editor(NamedObject("Big", Mesh(VertexList({0, 0, 0})))));
  bigCount[bigCount.size() - 14] = 0xFF;  // the count byte: 255 vertices in 12 bytes
  Bytes shortMatrix = Main3ds(Editor(NamedObject("M", Mesh(Chunk(0x4160, Bytes(20, 0))))));

  Scene scene(100, 1024, 512, 512, 256);
  EXPECT_EQ(Load(scene, header6), 0);
  EXPECT_EQ(Load(scene, length3), 0);
  EXPECT_EQ(Load(scene, pastEnd), 1);  // cut at the file's end
  EXPECT_EQ(scene.objectCount, 1);

  EXPECT_EQ(Load(scene, badIndices), 1);
  const SceneObject& bad = *scene.objects[1];
  EXPECT_EQ(bad.faceCount, 1);  // faces naming missing vertices are dropped
  EXPECT_EQ(bad.vertexFaces[2].count, 1);

  EXPECT_EQ(Load(scene, listsFirst), 0);  // the late vertex list is refused
  EXPECT_EQ(scene.objects[2]->faceCount, 0);
  EXPECT_EQ(scene.objects[2]->vertexCount, 0);

  EXPECT_EQ(Load(scene, matrixInCamera), 1);
  EXPECT_EQ(scene.objects[3]->meshMatrix[0], 1.0f);  // the mesh before keeps its own

  int before = scene.objectCount;
  EXPECT_EQ(Load(scene, bigCount), 0);
  EXPECT_EQ(scene.objects[before]->vertexCount, 0);
  EXPECT_EQ(Load(scene, shortMatrix), 0);
  ExpectConsistent(scene);
}

TEST_F(Load3ds, EveryTruncationAndByteFlipIsSafe) {
  const Bytes whole = SampleScene();
  Scene scene(10000, 1024, 512, 512, 256);
  for (size_t cut = 0; cut < whole.size(); cut += 3) {
    Bytes part(whole.begin(), whole.begin() + cut);
    Load(scene, part);
  }
  for (size_t i = 0; i < whole.size(); i += 5) {
    Bytes flipped = whole;
    flipped[i] ^= 0xA5;
    Load(scene, flipped);
  }
  ExpectConsistent(scene);
}

TEST_F(Load3ds, DeepNestingAndFullScenesAreRefused) {
  Bytes nested = QuadMesh("Deep");
  for (int i = 0; i < 100; ++i) nested = NamedObject("Omni", nested);
  Scene scene(3, 1024, 512, 512, 256);
  EXPECT_EQ(Load(scene, Main3ds(Editor(nested))), 0);
  EXPECT_EQ(scene.objectCount, 0);

  Bytes four = Main3ds(Editor(Join({QuadMesh("A"), QuadMesh("B"), QuadMesh("C"), QuadMesh("D")})));
  EXPECT_EQ(Load(scene, four), 0);
  EXPECT_EQ(scene.objectCount, 3);
  EXPECT_EQ(CloneObject(scene, 0), -1);
  ExpectConsistent(scene);
}

}  // namespace
