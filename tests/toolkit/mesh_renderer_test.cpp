#include "toolkit/mesh_renderer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "gl_test.h"
#include "mesh_fixtures.h"

namespace {

class MeshRendererTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    light.position.set(0.0f, -3.0f, 0.0f);
    SetLightColour(light, 1.0f, 1.0f, 1.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearStencil(0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(1);
    glDisable(GL_BLEND);
    glDisable(GL_STENCIL_TEST);
  }

  // Untextured, unblended, lit only by diffuse light: a face turned to the
  // light shows its base colour times four.
  void Plain(int index, float grey = 0.25f) {
    SceneObject& o = *scene.objects[index];
    o.renderMode = 0;
    o.extraPass = 0;
    for (int i = 0; i < 3; ++i) o.baseColour[i] = grey;
    o.baseColour[3] = 1.0f;
  }

  Scene scene{10000, 1024, 768, 512, 256};
  Light light;
};

// Primitives that reach the vertex stage while `draw` runs.
int PrimitivesSent(const std::function<void()>& draw) {
  GLuint query = 0;
  glGenQueries(1, &query);
  glBeginQuery(GL_PRIMITIVES_GENERATED, query);
  draw();
  glEndQuery(GL_PRIMITIVES_GENERATED);
  GLuint count = 0;
  glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
  glDeleteQueries(1, &query);
  return (int)count;
}

int StencilAt(int x, int y) {
  uint8_t s = 0;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &s);
  return s;
}

// The GL state DrawObject promises to leave, plus what it should not disturb.
struct StateSnapshot {
  std::vector<GLboolean> enabled;
  std::vector<GLint> ints;
  std::vector<GLfloat> floats;
  bool operator==(const StateSnapshot& o) const {
    return enabled == o.enabled && ints == o.ints && floats == o.floats;
  }
};

StateSnapshot Snapshot() {
  StateSnapshot s;
  for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP, GL_CULL_FACE,
                     GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_BLEND, GL_NORMALIZE, GL_DEPTH_TEST,
                     GL_POLYGON_SMOOTH})
    s.enabled.push_back(glIsEnabled(cap));
  for (GLenum e : {GL_DEPTH_FUNC, GL_MATRIX_MODE, GL_BLEND_SRC, GL_BLEND_DST, GL_TEXTURE_BINDING_2D,
                   GL_TEXTURE_BINDING_CUBE_MAP, GL_MODELVIEW_STACK_DEPTH}) {
    GLint v = 0;
    glGetIntegerv(e, &v);
    s.ints.push_back(v);
  }
  GLint env = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
  s.ints.push_back(env);
  float m[16], c[4];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  glGetFloatv(GL_CURRENT_COLOR, c);
  s.floats.assign(m, m + 16);
  s.floats.insert(s.floats.end(), c, c + 4);
  return s;
}

// A state unlike the one DrawObject leaves, so a reset it forgets shows.
void DirtyState() {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0.5f, 0.25f, -3.0f);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_R);
  glDisable(GL_TEXTURE_2D);
  glDepthFunc(GL_GREATER);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glEnable(GL_LIGHTING);
}

TEST_F(MeshRendererTest, PassPlansSendTheTrianglesOncePerPassWithTheirColour) {
  const int box = AddBox(scene, {-1, -1, -1}, {1, 1, 1});
  SceneObject& o = *scene.objects[box];
  o.baseColour[0] = 0.1f;
  o.baseColour[1] = 0.2f;
  o.baseColour[2] = 0.05f;
  o.baseAlpha = 0.75f;
  o.overlayAlpha = 0.5f;
  LookAt(scene, {0, -2, -6}, {0, 0, 0});

  struct Case {
    int mode, extra, passes;
    float lastFactor, lastAlpha;
  };
  const Case cases[] = {
      {0, 0, 1, 4, 0.75f}, {1, 0, 1, 4, 0.75f}, {4, 0, 1, 4, 0.5f}, {5, 0, 2, 2, 0.5f},
      {0, 1, 2, 2, 0.75f}, {1, 1, 2, 2, 0.75f}, {4, 1, 2, 2, 0.5f}, {5, 1, 3, 1, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "renderMode " << c.mode << " extraPass " << c.extra);
    o.renderMode = c.mode;
    o.extraPass = c.extra;
    EXPECT_EQ(PrimitivesSent([&] { DrawObject(scene, box, light, 0); }), c.passes * o.faceCount);
    EXPECT_EQ(PrimitivesSent([&] { DrawObject(scene, box, light, 2); }), 0);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_NEAR(colour[0], 0.1f * c.lastFactor, 1e-6);
    EXPECT_NEAR(colour[1], 0.2f * c.lastFactor, 1e-6);
    EXPECT_NEAR(colour[2], 0.05f * c.lastFactor, 1e-6);
    EXPECT_NEAR(colour[3], c.lastAlpha, 1e-6);
  }
}

TEST_F(MeshRendererTest, EqualPassesTouchOnlyPixelsTheirObjectWrote) {
  // Each pass that writes a pixel increments its stencil. A nearer floor hides
  // the left part of the box from every pass. The later passes test against
  // what the first one tested, so with depth writes off they still touch the
  // same pixels as the first: every pass counts where the box shows.
  const int box = AddBox(scene, {-1, -1, -1}, {1, 1, 1});
  const int cover = AddMesh(scene, {{-9, -9, -2}, {-0.5f, -9, -2}, {-0.5f, 9, -2}, {-9, 9, -2}}, {0, 2, 1, 0, 3, 2});
  Plain(cover);
  scene.objects[cover]->cullFaces = 0;
  SceneObject& o = *scene.objects[box];
  o.cubeTextureName = 0;

  struct Case {
    int mode, extra, depthWrites, visible;
  };
  const Case cases[] = {{5, 0, 1, 2}, {5, 1, 1, 3}, {0, 1, 1, 2}, {5, 0, 0, 2}, {5, 1, 0, 3}, {0, 1, 0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "renderMode " << c.mode << " extraPass " << c.extra << " depth writes "
                                    << c.depthWrites);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    LookAt(scene, {0, 0, -6}, {0, 0, 0});
    DrawObject(scene, cover, light, 0);
    o.renderMode = c.mode;
    o.extraPass = c.extra;
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    glDepthMask(c.depthWrites);
    DrawObject(scene, box, light, 0);
    glDepthMask(1);
    glDisable(GL_STENCIL_TEST);
    const Pixel shown = ScreenOf({0.5f, 0, -1}), hidden = ScreenOf({-0.8f, 0, -1}), empty = ScreenOf({2.5f, 0, -1});
    EXPECT_EQ(StencilAt(shown.x, shown.y), c.visible);
    EXPECT_EQ(StencilAt(hidden.x, hidden.y), 0);
    EXPECT_EQ(StencilAt(empty.x, empty.y), 0);
  }
}

TEST_F(MeshRendererTest, DrawingNothingLeavesTheSameStateAsARealDraw) {
  const int box = AddBox(scene, {-1, -1, -1}, {1, 1, 1});
  const int empty = AddMesh(scene, {}, {});
  for (int mode : {0, 1, 4, 5}) {
    for (int extra : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "renderMode " << mode << " extraPass " << extra);
      for (int index : {box, empty}) {
        scene.objects[index]->renderMode = mode;
        scene.objects[index]->extraPass = extra;
        scene.objects[index]->blendMode = 2;
      }
      DirtyState();
      DrawObject(scene, box, light, 0);
      const StateSnapshot drawn = Snapshot();
      DirtyState();
      DrawObject(scene, box, light, 2);
      EXPECT_TRUE(Snapshot() == drawn);
      DirtyState();
      DrawObject(scene, empty, light, 0);
      EXPECT_TRUE(Snapshot() == drawn);

      // What every draw leaves, whatever its passes were.
      EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
      EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
      EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
      EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_CUBE_MAP));
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S) || glIsEnabled(GL_TEXTURE_GEN_T) || glIsEnabled(GL_TEXTURE_GEN_R));
      EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
      GLint v = 0;
      glGetIntegerv(GL_DEPTH_FUNC, &v);
      EXPECT_EQ(v, GL_LEQUAL);
      glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &v);
      EXPECT_EQ(v, GL_ADD);
      glGetIntegerv(GL_MATRIX_MODE, &v);
      EXPECT_EQ(v, GL_MODELVIEW);
      float m[16];
      glGetFloatv(GL_MODELVIEW_MATRIX, m);
      EXPECT_FLOAT_EQ(m[14], -3.0f);  // the caller's modelview, untouched
    }
  }
  // An index outside the scene is ignored.
  DrawObject(scene, scene.objectCount, light, 0);
  ComputeCreaseNormals(scene, -1, 0.5f);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(MeshRendererTest, LightsTheNegatedNormalAndFollowsSourcesAndCornerNormals) {
  // A floor facing the camera and the light above it; stored normals point
  // into the floor, as the renderer expects.
  const int floor = AddFloor(scene, 1.0f, 0.0f);
  Plain(floor);
  SceneObject& o = *scene.objects[floor];
  auto brightness = [&](Vector4 world) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    LookAt(scene, {0, -5, -2}, {0, 0, 0});
    const Pixel p = ScreenOf(world);
    DrawObject(scene, floor, light, 0);
    return (int)ReadPixel(p.x, p.y)[0];
  };
  const Vector4 centre(0, 0, 0), aside(-2.5f, 0, 0), wideAside(2.5f, 0, 0);
  EXPECT_GT(brightness(centre), 200);
  EXPECT_EQ(brightness(aside), 0);

  // Moving the variable the position source names moves the drawn floor.
  Vector3 moved(-2.5f, 0.0f, 0.0f);
  o.positionSource = &moved;
  EXPECT_EQ(brightness(centre), 0);
  EXPECT_GT(brightness(aside), 100);
  o.positionSource = &o.position;
  o.position.set(0.0f, 0.0f, 0.0f);

  // Scale widens the vertices; the centre stays lit (its corners are now
  // farther from the light, so a little darker).
  Vector3 wide(3.0f, 1.0f, 1.0f);
  o.scaleSource = &wide;
  EXPECT_GT(brightness(wideAside), 100);
  EXPECT_GT(brightness(centre), 150);
  o.scaleSource = &o.scale;
  o.scale.set(1.0f, 1.0f, 1.0f);

  // Flagged corner normals turned away from the light darken the floor, but
  // only with cameraTest for the loaded geometry.
  for (int i = 0; i < 3 * o.faceCount; ++i) {
    o.cornerFlags[i] = 1;
    o.cornerNormals[i].set(0.0f, -1.0f, 0.0f);
  }
  EXPECT_GT(brightness(centre), 200);
  o.cameraTest = 1;
  EXPECT_LT(brightness(centre), 5);
  o.cameraTest = 0;
  for (int i = 0; i < 3 * o.faceCount; ++i) o.cornerFlags[i] = 0;
}

TEST_F(MeshRendererTest, EnvironmentModeShowsTheCubeMapUnlit) {
  // A cube map whose faces are all one colour: the reflection shows it
  // whatever the normals, modulated by the pass colour and unlit.
  GLuint cube = 0;
  glGenTextures(1, &cube);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
  const uint8_t teal[4 * 4] = {0, 200, 160, 255, 0, 200, 160, 255, 0, 200, 160, 255, 0, 200, 160, 255};
  for (int face = 0; face < 6; ++face)
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, teal);
  const int box = AddBox(scene, {-1, -1, -1}, {1, 1, 1});
  SceneObject& o = *scene.objects[box];
  Plain(box);
  o.renderMode = 4;
  o.cubeTextureName = (int)cube;
  SetLightColour(light, 0.0f, 0.0f, 0.0f);  // no light: only the environment shows
  LookAt(scene, {0, -2, -6}, {0, 0, 0});
  DrawObject(scene, box, light, 0);
  const Pixel p = ScreenOf({0, 0, -1});
  const auto rgb = ReadPixel(p.x, p.y);
  EXPECT_LT(rgb[0], 5);
  EXPECT_NEAR(rgb[1], 200, 3);
  EXPECT_NEAR(rgb[2], 160, 3);
  EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_CUBE_MAP));
  glDeleteTextures(1, &cube);
}

TEST_F(MeshRendererTest, BaseGeometryCullsFacesBehindTheCameraUnlessNear) {
  // Three small triangles centred on the z axis at z = -5, +5 and +1; the eye
  // is at the origin looking towards -z.
  std::vector<Vector4> p;
  std::vector<int> f;
  for (float z : {-5.0f, 5.0f, 1.0f}) {
    const int b = (int)p.size();
    p.insert(p.end(), {{-0.1f, -0.1f, z}, {0.2f, -0.1f, z}, {-0.1f, 0.2f, z}});
    f.insert(f.end(), {b, b + 1, b + 2});
  }
  const int index = AddMesh(scene, p, f);
  SceneObject& o = *scene.objects[index];
  o.cameraTest = 1;
  o.cullFaces = 0;
  SnapshotVertices(scene, index);
  ComputeSmoothNormals(scene, index);
  scene.cameraPosition.set(0.0f, 0.0f, 0.0f);
  scene.cameraDirection.set(0.0f, 0.0f, 1.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  EXPECT_EQ(PrimitivesSent([&] { DrawObject(scene, index, light, 1); }), 2);
  EXPECT_EQ(PrimitivesSent([&] { DrawObject(scene, index, light, 0); }), 3);  // loaded geometry: no culling
  o.scale.set(1.0f, 1.0f, 3.0f);  // the near face moves 3 units behind
  EXPECT_EQ(PrimitivesSent([&] { DrawObject(scene, index, light, 1); }), 1);
  o.scale.set(1.0f, 1.0f, 1.0f);
  o.cameraTest = 0;
  EXPECT_EQ(PrimitivesSent([&] { DrawObject(scene, index, light, 1); }), 3);
}

TEST_F(MeshRendererTest, SmoothNormalsAverageTheAreaWeightedFacesOfTheBaseGeometry) {
  const int box = AddBox(scene, {-1, -1, -1}, {1, 1, 1});
  SceneObject& o = *scene.objects[box];
  SnapshotVertices(scene, box);
  ASSERT_EQ(o.baseBuffersReady, 1);
  EXPECT_FLOAT_EQ(o.baseVertices[7].x, 1.0f);
  ComputeSmoothNormals(scene, box);
  // Corner 0 touches two triangles of each of its three sides.
  const float k = 1.0f / std::sqrt(3.0f);
  EXPECT_NEAR(o.baseNormals[0].x, k, 1e-6);
  EXPECT_NEAR(o.baseNormals[0].y, k, 1e-6);
  EXPECT_NEAR(o.baseNormals[0].z, k, 1e-6);
  // Corner 1 touches two +x triangles and one each of -y and -z.
  const float l = 1.0f / std::sqrt(6.0f);
  EXPECT_NEAR(o.baseNormals[1].x, -2 * l, 1e-6);
  EXPECT_NEAR(o.baseNormals[1].y, l, 1e-6);
  EXPECT_NEAR(o.baseNormals[1].z, l, 1e-6);
  EXPECT_FLOAT_EQ(o.baseFaceNormals[0].x, -4.0f);  // unnormalised: twice the area
}

TEST_F(MeshRendererTest, CreaseNormalsSplitTheCubeCornersBelowTheThreshold) {
  const int box = AddBox(scene, {-1, -1, -1}, {1, 1, 1});
  SceneObject& o = *scene.objects[box];
  SnapshotVertices(scene, box);
  ComputeSmoothNormals(scene, box);
  std::vector<Vector4> smooth(o.baseNormals, o.baseNormals + o.vertexCount);

  // Every neighbour passes -1 and also 0 (the sides meet at exactly 90°).
  for (float threshold : {-1.0f, 0.0f}) {
    for (int v = 0; v < o.vertexCount; ++v) o.baseNormals[v].set(0, 0, 0);
    ComputeCreaseNormals(scene, box, threshold);
    for (int i = 0; i < 3 * o.faceCount; ++i) EXPECT_EQ(o.cornerFlags[i], 0) << "corner " << i;
    for (int v = 0; v < o.vertexCount; ++v) {
      EXPECT_NEAR(o.baseNormals[v].x, smooth[v].x, 1e-6);
      EXPECT_NEAR(o.baseNormals[v].y, smooth[v].y, 1e-6);
      EXPECT_NEAR(o.baseNormals[v].z, smooth[v].z, 1e-6);
    }
  }

  // Above 0 every corner keeps only its own side: the side's inward normal.
  for (int v = 0; v < o.vertexCount; ++v) o.baseNormals[v].set(0, 0, 0);
  ComputeCreaseNormals(scene, box, 0.5f);
  for (int f = 0; f < o.faceCount; ++f) {
    Vector4 side = o.baseFaceNormals[f];
    side.normalize();
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(o.cornerFlags[3 * f + k], 1);
      EXPECT_NEAR(o.cornerNormals[3 * f + k].x, -side.x, 1e-6);
      EXPECT_NEAR(o.cornerNormals[3 * f + k].y, -side.y, 1e-6);
      EXPECT_NEAR(o.cornerNormals[3 * f + k].z, -side.z, 1e-6);
    }
  }
  EXPECT_FLOAT_EQ(o.baseNormals[0].x, 0.0f);  // no smooth corner wrote here

  // A collapsed face yields zero normals rather than NaNs.
  o.baseVertices[1] = o.baseVertices[0];
  ComputeCreaseNormals(scene, box, -1.0f);
  ComputeSmoothNormals(scene, box);
  for (int v = 0; v < o.vertexCount; ++v) EXPECT_FALSE(std::isnan(o.baseNormals[v].x));
}

}  // namespace

// The crease normals as first written: one sum per corner over the faces that
// pass the threshold. The renderer shares the smooth corners' sum per vertex;
// its results must equal this, bit for bit, on a bumpy mesh with real creases.
namespace {
// The renderer's unit vector: zero stays zero, otherwise times 1 / length.
Vector4 Unit(const Vector4& v) {
  float l2 = v.x * v.x + v.y * v.y + v.z * v.z;
  if (l2 <= 0.0f) return Vector4(0.0f, 0.0f, 0.0f);
  float inv = 1.0f / std::sqrt(l2);
  return Vector4(v.x * inv, v.y * inv, v.z * inv);
}
}  // namespace

TEST(CreaseNormals, MatchTheOneSumPerCornerRuleBitForBit) {
  Scene scene(4, 1024, 512, 512, 256);
  const int ball = AddSphere(scene, 24, 32, 10.0f);
  SceneObject& o = *scene.objects[ball];
  SnapshotVertices(scene, ball);
  for (int v = 0; v < o.vertexCount; ++v) {  // bumps and ridges, so both kinds of corner occur
    Vector4& p = o.baseVertices[v];
    p.scale(1.0f + 0.3f * std::sin(5.0f * p.x) * std::cos(3.0f * p.z));
  }
  const std::vector<Vector4> bumpy(o.baseVertices, o.baseVertices + o.vertexCount);

  for (float threshold : {-1.0f, -0.75f, -0.707f, 0.5f, 0.9f}) {
    std::copy(bumpy.begin(), bumpy.end(), o.baseVertices);
    ComputeCreaseNormals(scene, ball, threshold);

    int creased = 0;
    for (int f = 0; f < o.faceCount; ++f) {
      const Vector4 nf = Unit(o.baseFaceNormals[f]);
      for (int k = 0; k < 3; ++k) {
        const int v = o.faces[3 * f + k];
        const PointerArray& list = o.vertexFaces[v];
        Vector4 sum;
        int within = 0;
        for (int j = 0; j < list.count; ++j) {
          if (nf.dot(Unit(o.baseFaceNormals[IndexAt(list, j)])) >= threshold) {
            sum.add(o.baseFaceNormals[IndexAt(list, j)]);
            ++within;
          }
        }
        sum = Unit(sum);
        const Vector4& got =
            within == list.count ? o.baseNormals[v] : o.cornerNormals[3 * f + k];
        ASSERT_EQ(o.cornerFlags[3 * f + k], within == list.count ? 0 : 1) << f << " " << k;
        creased += within != list.count;
        EXPECT_EQ(got.x, -sum.x);
        EXPECT_EQ(got.y, -sum.y);
        EXPECT_EQ(got.z, -sum.z);
      }
    }
    if (threshold > 0.0f) {
      EXPECT_GT(creased, 0) << threshold;
    }
  }
}
