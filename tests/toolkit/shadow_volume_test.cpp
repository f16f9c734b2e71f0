#include "toolkit/shadow_volume.h"

#include <cmath>
#include <vector>

#include "gl_test.h"
#include "mesh_fixtures.h"
#include "toolkit/camera.h"
#include "toolkit/mesh_renderer.h"

namespace {

// The edge list as a linear search over the records finds it: the reference
// the faster builder has to match record for record.
std::vector<EdgeRecord> SearchedEdges(const SceneObject& o) {
  std::vector<EdgeRecord> e;
  for (int f = 0; f < o.faceCount; ++f) {
    for (int k = 0; k < 3; ++k) {
      const int a = o.faces[3 * f + k], b = o.faces[3 * f + (k + 1) % 3];
      bool found = false;
      for (EdgeRecord& r : e) {
        if ((r.vertexA == a && r.vertexB == b) || (r.vertexA == b && r.vertexB == a)) {
          r.secondFace = f;
          r.faceUses = 2;
          found = true;
          break;
        }
      }
      if (!found) e.push_back({f, 0, 1, a, b, 0});
    }
  }
  return e;
}

std::vector<uint8_t> ReadStencil() {
  std::vector<uint8_t> s(1024 * 768);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 1024, 768, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, s.data());
  return s;
}

int StencilAt(const std::vector<uint8_t>& s, Pixel p) { return s[p.y * 1024 + p.x]; }

// On screen and not hidden behind something nearer.
bool Visible(Pixel p) {
  if (p.x < 0 || p.y < 0 || p.x >= 1024 || p.y >= 768) return false;
  float depth = 0.0f;
  glReadPixels(p.x, p.y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  return std::fabs(depth - p.depth) < 1e-4f;
}

class ShadowVolumeTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(1);
    glDisable(GL_BLEND);
    // A box hanging over a wide floor; "up" is -y, as in the show's scenes.
    floor = AddFloor(scene, 10.0f, 0.0f, 40);
    box = AddBox(scene, {-1, -3, -1}, {1, -1, 1});
    for (int i : {floor, box}) {
      SceneObject& o = *scene.objects[i];
      o.renderMode = 0;
      o.extraPass = 0;
      o.baseColour[0] = 0.25f;
      o.baseColour[1] = 0.2f;
      o.baseColour[2] = 0.15f;
      o.baseColour[3] = 1.0f;
    }
    light.position.set(0.0f, -6.0f, 0.0f);
    BuildEdgeList(scene, box);
  }

  void DrawScene(float brightness) {
    SetLightColour(light, brightness, brightness, brightness);
    DrawObject(scene, floor, light, 0);
    DrawObject(scene, box, light, 0);
  }

  // The frame recipe of the modules, with the camera at `eye`: shadowed look,
  // volume counted, lit look where the stencil kept 127. Returns the stencil.
  std::vector<uint8_t> DrawFrame(Vector4 eye, Vector4 target) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetOrthoWindow(scene.windowWidth, scene.windowHeight);
    SetStencilMode(0);
    TransformObject(scene, box, 0, 1);
    LookAt(scene, eye, target);
    DrawScene(0.25f);
    SetStencilMode(1);
    SetOrthoWindow(scene.windowWidth, scene.windowHeight);
    BuildShadowVolume(scene, box, light);
    LookAt(scene, eye, target);
    DrawShadowVolume(scene, box);
    std::vector<uint8_t> stencil = ReadStencil();
    SetStencilMode(2);
    DrawScene(1.0f);
    SetStencilMode(0);
    return stencil;
  }

  Scene scene{10000, 1024, 768, 512, 256};
  Light light;
  int floor = 0, box = 0;
};

TEST_F(ShadowVolumeTest, EdgeListMatchesTheLinearSearchRecordForRecord) {
  std::vector<int> meshes = {box, AddSphere(scene, 7, 9, 1.0f), AddTorus(scene, 11, 5, 2.0f, 0.5f)};
  // An open fan, an edge shared by three faces and a collapsed face.
  meshes.push_back(AddMesh(scene, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}},
                           {0, 1, 2, 0, 2, 3, 2, 0, 4, 0, 2, 1, 3, 3, 1}));
  for (int index : meshes) {
    SCOPED_TRACE(testing::Message() << "object " << index);
    BuildEdgeList(scene, index);
    const SceneObject& o = *scene.objects[index];
    const std::vector<EdgeRecord> expected = SearchedEdges(o);
    ASSERT_EQ(o.edgeCount, (int)expected.size());
    for (int i = 0; i < o.edgeCount; ++i) {
      const EdgeRecord& r = o.edges[i];
      EXPECT_EQ(r.firstFace, expected[i].firstFace) << "edge " << i;
      EXPECT_EQ(r.faceUses, expected[i].faceUses) << "edge " << i;
      if (r.faceUses == 2) {
        EXPECT_EQ(r.secondFace, expected[i].secondFace) << "edge " << i;
      }
      EXPECT_EQ(r.vertexA, expected[i].vertexA) << "edge " << i;
      EXPECT_EQ(r.vertexB, expected[i].vertexB) << "edge " << i;
    }
    EXPECT_EQ(o.edgeCountSource, &o.edgeCount);
    EXPECT_EQ(o.capTriangleCountSource, &o.capTriangleCount);
    EXPECT_NE(o.worldVertices, nullptr);
  }
  // A closed box: 18 edges, each between two faces.
  EXPECT_EQ(scene.objects[box]->edgeCount, 18);
  const EdgeRecord* before = scene.objects[box]->edges;
  BuildEdgeList(scene, box);
  EXPECT_EQ(scene.objects[box]->edges, before);  // built once
}

TEST_F(ShadowVolumeTest, TransformObjectPlacesScalesAndNormalsInTheCurrentView) {
  SceneObject& o = *scene.objects[box];
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  TransformObject(scene, box, 0, 1);
  for (int v = 0; v < o.vertexCount; ++v) {
    EXPECT_FLOAT_EQ(o.worldVertices[v].x, o.vertices[v].x);
    EXPECT_FLOAT_EQ(o.worldVertices[v].y, o.vertices[v].y);
    EXPECT_FLOAT_EQ(o.worldVertices[v].z, o.vertices[v].z);
  }
  // Unit faces facing out; vertex normals negated like the loaded ones.
  EXPECT_FLOAT_EQ(o.worldFaceNormals[0].x, -1.0f);
  const float k = 1.0f / std::sqrt(3.0f);
  EXPECT_NEAR(o.worldVertexNormals[0].x, k, 1e-6);
  EXPECT_NEAR(o.worldVertexNormals[0].y, k, 1e-6);

  // Scale first, then a quarter turn about y, then the position.
  o.scale.set(2.0f, 1.0f, 1.0f);
  o.rotation.y = 3.141592f / 2;
  o.position.set(1.0f, 2.0f, 3.0f);
  TransformObject(scene, box, 0, 0);
  const Vector4 corner = o.vertices[7];  // (1, -1, 1)
  EXPECT_NEAR(o.worldVertices[7].x, 1.0f + corner.z, 1e-5);
  EXPECT_NEAR(o.worldVertices[7].y, 2.0f + corner.y, 1e-5);
  EXPECT_NEAR(o.worldVertices[7].z, 3.0f - 2.0f * corner.x, 1e-5);
  EXPECT_NEAR(o.worldFaceNormals[0].z, 1.0f, 1e-5);  // -x side now faces +z, still unit

  // Under a camera's modelview the result is in eye space.
  std::vector<Vector4> world(o.worldVertices, o.worldVertices + o.vertexCount);
  LookAt(scene, {3, -4, -7}, {0, -1, 0});
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  TransformObject(scene, box, 0, 0);
  for (int v = 0; v < o.vertexCount; ++v) {
    const Vector4& p = world[v];
    EXPECT_NEAR(o.worldVertices[v].x, m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], 1e-4);
    EXPECT_NEAR(o.worldVertices[v].y, m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13], 1e-4);
    EXPECT_NEAR(o.worldVertices[v].z, m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14], 1e-4);
  }
  float after[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  EXPECT_EQ(after[12], m[12]);  // modelview restored

  // Source 1 reads the base geometry; other sources keep the world vertices.
  glLoadIdentity();
  o.scale.set(1.0f, 1.0f, 1.0f);
  o.rotation.y = 0.0f;
  o.position.set(0.0f, 0.0f, 0.0f);
  SnapshotVertices(scene, box);
  o.baseVertices[7].x = 5.0f;
  TransformObject(scene, box, 1, 0);
  EXPECT_FLOAT_EQ(o.worldVertices[7].x, 5.0f);
  o.worldVertices[7].x = 6.0f;
  TransformObject(scene, box, 2, 0);
  EXPECT_FLOAT_EQ(o.worldVertices[7].x, 6.0f);
}

TEST_F(ShadowVolumeTest, OpenEdgesGiveNoSidesAndEdgeOnFacesNoCaps) {
  // An open box without its top, lit from above: every side faces away and
  // the rim's edges have one face each, so nothing becomes a side or a cap.
  SceneObject& closed = *scene.objects[box];
  std::vector<Vector4> p(closed.vertices, closed.vertices + closed.vertexCount);
  std::vector<int> f(closed.faces, closed.faces + 3 * closed.faceCount);
  f.erase(f.begin() + 12, f.begin() + 18);  // the -y side (the top)
  const int open = AddMesh(scene, p, f);
  // A lone triangle facing the light: caps, but no sides from its open edges.
  const int single = AddMesh(scene, {{-1, -2, -1}, {1, -2, -1}, {1, -2, 1}}, {0, 1, 2});
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (int index : {open, single}) {
    BuildEdgeList(scene, index);
    TransformObject(scene, index, 0, 0);
    BuildShadowVolume(scene, index, light);
  }
  EXPECT_EQ(scene.objects[open]->silhouetteCount, 0);
  EXPECT_EQ(scene.objects[open]->capTriangleCount, 0);
  EXPECT_EQ(scene.objects[single]->volumeQuadCount, 0);
  EXPECT_EQ(scene.objects[single]->capTriangleCount, 2);

  // The closed box: the top's four edges, and caps for the top only.
  TransformObject(scene, box, 0, 0);
  BuildShadowVolume(scene, box, light);
  EXPECT_EQ(closed.silhouetteCount, 4);
  EXPECT_EQ(closed.capTriangleCount, 4);
  for (int i = 0; i < closed.silhouetteCount; ++i) {
    EXPECT_EQ(closed.silhouetteEdges[i].faceUses, 2);
    for (int k = 0; k < 2; ++k) EXPECT_EQ(closed.volumeQuads[4 * i + k].w, 1.0f);
    for (int k = 2; k < 4; ++k) EXPECT_EQ(closed.volumeQuads[4 * i + k].w, 0.0f);
  }

  // A light in the plane of the top: the top is edge-on (dot exactly 0), so it
  // gets no cap and its edges are no silhouette; the lower sides' edges are.
  Light level;
  level.position.set(0.0f, -3.0f, 5.0f);
  BuildShadowVolume(scene, box, level);
  for (int i = 0; i < closed.silhouetteCount; ++i) {
    const EdgeRecord& e = closed.silhouetteEdges[i];
    EXPECT_FALSE(closed.vertices[e.vertexA].y == -3.0f && closed.vertices[e.vertexB].y == -3.0f) << "top edge " << i;
  }
  EXPECT_EQ(closed.capTriangleCount, 4);  // the +z side only
  for (int i = 0; i < 3 * closed.capTriangleCount; i += 6) EXPECT_FLOAT_EQ(closed.capVertices[i].z, 1.0f);
}

TEST_F(ShadowVolumeTest, StencilKeeps127OutsideTheShadowFromAnyCamera) {
  struct View {
    Vector4 eye, target;
  };
  const View views[] = {
      {{0, -9, -8}, {0, 0, 0}},        // above and in front
      {{7, -2, 3}, {0, -1, 0}},        // low, from the side
      {{-3, -12, 2}, {0, 0, 0}},       // high above, behind the light
      {{0.2f, -0.5f, 0}, {4, 0, 0.5f}},  // inside the volume, under the box
  };
  for (const View& v : views) {
    SCOPED_TRACE(testing::Message() << "eye " << v.eye.x << " " << v.eye.y << " " << v.eye.z);
    std::vector<uint8_t> stencil = DrawFrame(v.eye, v.target);
    if (v.eye.y > -1.0f) SaveFramePng("shadow_from_inside_volume", 1024, 768);
    // The shadow on the floor is the square |x|, |z| < 2 (the top's outline
    // from the light, twice as far away).
    int shadowedSeen = 0, litSeen = 0;
    for (Vector4 w : {Vector4(1.5f, 0, 0.5f), Vector4(-0.5f, 0, 1.8f), Vector4(-1.5f, 0, -1.5f), Vector4(0.3f, 0, -1.7f)}) {
      const Pixel p = ScreenOf(w);
      if (!Visible(p)) continue;
      EXPECT_NE(StencilAt(stencil, p), 127) << "shadowed floor at " << w.x << "," << w.z;
      ++shadowedSeen;
    }
    for (Vector4 w : {Vector4(3.5f, 0, 0.5f), Vector4(2.5f, 0, 2.5f), Vector4(-3, 0, -2), Vector4(-2.3f, 0, 1)}) {
      const Pixel p = ScreenOf(w);
      if (!Visible(p)) continue;
      EXPECT_EQ(StencilAt(stencil, p), 127) << "lit floor at " << w.x << "," << w.z;
      ++litSeen;
    }
    EXPECT_GE(shadowedSeen, 1);
    EXPECT_GE(litSeen, 1);
  }

  // From above the top of the box is lit and its sides are in its own shadow.
  std::vector<uint8_t> stencil = DrawFrame({0, -9, -8}, {0, 0, 0});
  EXPECT_EQ(StencilAt(stencil, ScreenOf({0, -3, 0})), 127);
  EXPECT_NE(StencilAt(stencil, ScreenOf({0, -2, -1})), 127);
}

TEST_F(ShadowVolumeTest, TheLitPassReachesTheFloorOutsideTheShadowOnly) {
  const Vector4 eye(0, -9, -8), target(0, 0, 0);
  DrawFrame(eye, target);
  SaveFramePng("shadow_box_over_floor", 1024, 768);
  LookAt(scene, eye, target);
  auto red = [&](Vector4 world) {
    Pixel p = ScreenOf(world);
    return (int)ReadPixel(p.x, p.y)[0];
  };
  // Lit: colour 0.25 x 4 times the light (up to 1); shadowed: a quarter of it.
  for (Vector4 w : {Vector4(3.5f, 0, 0.5f), Vector4(-2.5f, 0, -2.5f), Vector4(0, 0, -3)}) EXPECT_GT(red(w), 120);
  for (Vector4 w : {Vector4(1.5f, 0, 0.5f), Vector4(-0.5f, 0, 1.8f), Vector4(0, 0, -1.5f)}) EXPECT_LT(red(w), 70);
  // The box's top faces the light (its smooth corner normals lean out, so
  // it is lit less than the floor); its side is in its own shadow.
  EXPECT_GT(red({0, -3, 0}), 60);
  EXPECT_GT(red({0, -3, 0}), 3 * red({0, -2, -1}));
  EXPECT_GT(red({0, 0, -2.2f}), 2 * red({0, 0, -1.8f}));  // the shadow's edge at 2
}

TEST_F(ShadowVolumeTest, ACloneSharingShadowDataDrawsItsSourceVolume) {
  const int clone = CloneObject(scene, box);
  ASSERT_GE(clone, 0);
  ASSERT_NE(ShareShadowData(scene, box, clone, 0), 0);
  ShareShadowBuffers(scene, box, clone);
  const Vector4 eye(0, -9, -8), target(0, 0, 0);
  auto count = [&](int index) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    LookAt(scene, eye, target);
    DrawScene(1.0f);
    SetStencilMode(1);
    DrawShadowVolume(scene, index);
    SetStencilMode(0);
    return ReadStencil();
  };
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  TransformObject(scene, box, 0, 1);
  BuildShadowVolume(scene, box, light);
  const std::vector<uint8_t> own = count(box);
  EXPECT_EQ(count(clone), own);
  LookAt(scene, eye, target);
  EXPECT_NE(StencilAt(own, ScreenOf({1.5f, 0, 0.5f})), 127);

  // The source's next volume (a light off to the side) is what the clone draws.
  Light side;
  side.position.set(-6.0f, -4.0f, 0.0f);
  glLoadIdentity();
  BuildShadowVolume(scene, box, side);
  const std::vector<uint8_t> moved = count(clone);
  EXPECT_EQ(moved, count(box));
  EXPECT_NE(moved, own);

  // An object without shadow data counts nothing.
  const int bare = AddBox(scene, {-1, -3, -1}, {1, -1, 1});
  const std::vector<uint8_t> none = count(bare);
  for (uint8_t s : none) ASSERT_EQ(s, 127);
}

TEST_F(ShadowVolumeTest, StencilModesAndTheStateTheVolumeLeaves) {
  SetStencilMode(1);
  EXPECT_TRUE(glIsEnabled(GL_STENCIL_TEST));
  EXPECT_EQ(ReadStencil()[1000], 127);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  TransformObject(scene, box, 0, 1);
  BuildShadowVolume(scene, box, light);
  LookAt(scene, {0, -9, -8}, {0, 0, 0});
  glEnable(GL_BLEND);
  DrawShadowVolume(scene, box);
  GLint v = 0;
  EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  glGetIntegerv(GL_CULL_FACE_MODE, &v);
  EXPECT_EQ(v, GL_BACK);
  glGetIntegerv(GL_STENCIL_FUNC, &v);
  EXPECT_EQ(v, GL_EQUAL);
  GLboolean mask[4];
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  EXPECT_TRUE(mask[0] && mask[3]);
  float c[4];
  glGetFloatv(GL_CURRENT_COLOR, c);
  EXPECT_FLOAT_EQ(c[0], 1.0f);
  EXPECT_FLOAT_EQ(c[2], 1.0f);
  EXPECT_FLOAT_EQ(c[3], 0.5f);
  glDisable(GL_CULL_FACE);

  SetStencilMode(2);
  glGetIntegerv(GL_STENCIL_REF, &v);
  EXPECT_EQ(v, 127);
  EXPECT_TRUE(glIsEnabled(GL_STENCIL_TEST));
  SetStencilMode(0);
  EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
