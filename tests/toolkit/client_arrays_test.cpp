// DrawObject and DrawShadowVolume send client arrays; these tests draw every
// pass kind both ways, the immediate-mode reference kept here, and require
// the same bytes in colour, depth and stencil, and the same current values.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "gl_test.h"
#include "mesh_fixtures.h"
#include "run_command.h"
#include "toolkit/camera.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/shadow_volume.h"

namespace {

// How the renderer sent a pass before client arrays: one glTexCoord2f,
// glNormal3f and glVertex3f per corner, culling on the CPU.
void ImmediatePass(const Scene& scene, const SceneObject& o, int geometry) {
  if (geometry != 0 && geometry != 1) return;
  const Vector4* positions = geometry == 0 ? o.vertices : o.baseVertices;
  const Vector4* normals = geometry == 0 ? o.vertexNormals : o.baseNormals;
  if (!positions || !normals || !o.faces) return;
  const bool corners = (geometry == 1 || o.cameraTest) && o.cornerFlags && o.cornerNormals;
  const bool cull = geometry == 1 && o.cameraTest;
  const float sx = o.scale.x, sy = o.scale.y, sz = o.scale.z;
  const float du = o.texOffsetU, dv = o.texOffsetV;
  const float ex = -scene.cameraPosition.x, ey = -scene.cameraPosition.y, ez = -scene.cameraPosition.z;
  const float vx = -scene.cameraDirection.x, vy = -scene.cameraDirection.y, vz = -scene.cameraDirection.z;
  glBegin(GL_TRIANGLES);
  for (int f = 0; f < o.faceCount; ++f) {
    const int* c = o.faces + 3 * f;
    if (cull) {
      const Vector4 &b0 = positions[c[0]], &b1 = positions[c[1]], &b2 = positions[c[2]];
      float cx = (b0.x + b1.x + b2.x) * 0.33333334f * sx;
      float cy = (b0.y + b1.y + b2.y) * 0.33333334f * sy;
      float cz = (b0.z + b1.z + b2.z) * 0.33333334f * sz;
      float dx = cx - ex, dy = cy - ey, dz = cz - ez;
      float len = std::sqrt(dx * dx + dy * dy + dz * dz);
      float inv = 1.0f / (len + 1e-8f);
      float facing = dx * inv * vx + dy * inv * vy + dz * inv * vz;
      if (!(facing >= 0.0f || len <= 2.0f)) continue;
    }
    for (int k = 0; k < 3; ++k) {
      const int v = c[k];
      const Vector4& p = positions[v];
      const Vector4& n = (corners && o.cornerFlags[3 * f + k]) ? o.cornerNormals[3 * f + k] : normals[v];
      if (o.texU && o.texV) glTexCoord2f(o.texU[v] + du, o.texV[v] + dv);
      else glTexCoord2f(du, dv);
      glNormal3f(-n.x, -n.y, -n.z);
      glVertex3f(p.x * sx, p.y * sy, p.z * sz);
    }
  }
  glEnd();
}

void ImmediateVolume(unsigned mode, const HomogeneousVertex* v, int count) {
  glBegin(mode);
  for (int i = 0; i < count; ++i) glVertex4f(v[i].x, v[i].y, v[i].z, v[i].w);
  glEnd();
}

// Everything a draw leaves that later drawing could see.
struct Frame {
  std::vector<uint8_t> colour, stencil;
  std::vector<float> depth;
  float current[12];  // colour, normal (3) + pad, texture coordinate (4)
  bool operator==(const Frame& o) const {
    return colour == o.colour && stencil == o.stencil && depth == o.depth &&
           std::memcmp(current, o.current, sizeof current) == 0;
  }
};

// Pixels whose depth a draw wrote.
int Drawn(const Frame& f) {
  int n = 0;
  for (float d : f.depth) n += d < 1.0f;
  return n;
}

Frame Capture() {
  Frame f;
  f.colour.resize(1024 * 768 * 4);
  f.stencil.resize(1024 * 768);
  f.depth.resize(1024 * 768);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 1024, 768, GL_RGBA, GL_UNSIGNED_BYTE, f.colour.data());
  glReadPixels(0, 0, 1024, 768, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, f.stencil.data());
  glReadPixels(0, 0, 1024, 768, GL_DEPTH_COMPONENT, GL_FLOAT, f.depth.data());
  std::memset(f.current, 0, sizeof f.current);
  glGetFloatv(GL_CURRENT_COLOR, f.current);
  glGetFloatv(GL_CURRENT_NORMAL, f.current + 4);
  glGetFloatv(GL_CURRENT_TEXTURE_COORDS, f.current + 8);
  return f;
}

class ClientArraysTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    uint8_t checker[8 * 8 * 3];
    for (int i = 0; i < 64; ++i) {
      const uint8_t v = ((i % 8) ^ (i / 8)) & 1 ? 230 : 40;
      checker[3 * i] = v;
      checker[3 * i + 1] = uint8_t(255 - v);
      checker[3 * i + 2] = uint8_t(i * 4);
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 8, 8, 0, GL_RGB, GL_UNSIGNED_BYTE, checker);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glGenTextures(1, &cube);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    for (int face = 0; face < 6; ++face) {
      const uint8_t c[4 * 3] = {uint8_t(40 * face), 200, 90, 10, uint8_t(30 * face), 250,
                                255, 0, uint8_t(face), 60, 60, 60};
      glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB, 2, 2, 0, GL_RGB,
                   GL_UNSIGNED_BYTE, c);
    }
    light.position.set(1.5f, -3.0f, -2.0f);
    SetLightColour(light, 1.2f, 1.0f, 0.8f);
    ball = AddSphere(scene, 17, 24, 1.3f);
    SceneObject& o = *scene.objects[ball];
    o.textureName = texture;
    o.cubeTextureName = cube;
    for (int i = 0; i < 3; ++i) o.baseColour[i] = 0.2f + 0.05f * i;
    o.baseColour[3] = 0.7f;
    o.baseAlpha = 0.6f;
    o.overlayAlpha = 0.4f;
    o.texOffsetU = 0.125f;
    o.texOffsetV = -0.25f;
    o.scale.set(1.0f, 1.25f, 0.9f);
    SnapshotVertices(scene, ball);
    for (int i = 0; i < o.vertexCount; ++i) o.baseVertices[i].y += 0.2f * std::sin(3.0f * o.baseVertices[i].x);
    ComputeCreaseNormals(scene, ball, 0.97f);  // the bumps make some corners sharp
    LookAt(scene, {0.4f, -1.2f, -3.2f}, {0, 0, 0});
  }
  void TearDown() override {
    SetPassSender(nullptr);
    SetVolumeSender(nullptr);
    glDeleteTextures(1, &texture);
    glDeleteTextures(1, &cube);
  }

  // Runs `draw` on a grey, half-deep frame with a pass sender and captures.
  Frame DrawWith(PassSender pass, VolumeSender volume, const std::function<void()>& draw) {
    SetPassSender(pass);
    SetVolumeSender(volume);
    glDisable(GL_STENCIL_TEST);
    glColorMask(1, 1, 1, 1);
    glDepthMask(1);
    glClearColor(0.3f, 0.2f, 0.1f, 0.0f);
    glClearDepth(1.0);
    glClearStencil(127);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    draw();
    Frame f = Capture();
    SetPassSender(nullptr);
    SetVolumeSender(nullptr);
    return f;
  }

  // Passes over a first pass, as the ice cube draws them: mode 5 with and
  // without the extra pass, twice with other coordinates, over a floor.
  Frame DrawOverPassSequence() {
    SceneObject& o = *scene.objects[ball];
    o.cameraTest = 0;
    o.cullFaces = 0;
    o.blendMode = 2;
    o.sphereMap = 0;
    return DrawWith(nullptr, nullptr, [&] {
      for (int extra : {0, 1, 0}) {
        o.renderMode = 5;
        o.extraPass = extra;
        o.texOffsetU += 0.0625f;
        DrawObject(scene, ball, light, 1);
      }
    });
  }

  Scene scene{10000, 1024, 768, 512, 256};
  Light light;
  GLuint texture = 0, cube = 0;
  int ball = 0;
};

}  // namespace

// Every render mode, extra pass, blend mode, sphere map and geometry, with and
// without culling and crease normals: the arrays give the reference's bytes.
TEST_F(ClientArraysTest, EveryPassKindMatchesImmediateMode) {
  SceneObject& o = *scene.objects[ball];
  int cases = 0, differing = 0;
  std::string failures;
  for (int mode : {0, 1, 4, 5})
    for (int extra : {0, 1})
      for (int blend : {0, 1, 2, 3})
        for (int geometry : {0, 1, 2})
          for (int cameraTest : {0, 1}) {
            o.renderMode = mode;
            o.extraPass = extra;
            o.blendMode = blend;
            o.cameraTest = cameraTest;
            o.sphereMap = (mode + blend) % 2;
            o.modulate = blend % 2;
            o.cullFaces = geometry != 1;
            auto draw = [&] { DrawObject(scene, ball, light, geometry); };
            const Frame arrays = DrawWith(nullptr, nullptr, draw);
            const Frame reference = DrawWith(ImmediatePass, nullptr, draw);
            ++cases;
            if (geometry != 2) {
              EXPECT_GT(Drawn(arrays), 5000) << "mode " << mode << " geometry " << geometry;
            }
            if (!(arrays == reference)) {
              ++differing;
              failures += " mode " + std::to_string(mode) + " extra " + std::to_string(extra) +
                          " blend " + std::to_string(blend) + " geometry " + std::to_string(geometry) +
                          " cameraTest " + std::to_string(cameraTest) + ";";
            }
          }
  EXPECT_EQ(0, differing) << "of " << cases << ":" << failures;
  GLboolean on = 1;
  glGetBooleanv(GL_VERTEX_ARRAY, &on);
  EXPECT_FALSE(on) << "client arrays are left disabled";
}

// The camera test culls here, so the arrays hold fewer corners than faces;
// an object with no faces sends nothing and leaves the current values alone.
TEST_F(ClientArraysTest, CulledAndEmptyDrawsMatchImmediateMode) {
  SceneObject& o = *scene.objects[ball];
  o.cameraTest = 1;
  o.cullFaces = 0;
  o.scale.set(3.0f, 3.0f, 3.0f);  // the eye inside, the faces behind it culled
  LookAt(scene, {0.0f, 0.0f, -0.2f}, {0, 0, 5});
  auto draw = [&] { DrawObject(scene, ball, light, 1); };
  GLuint query = 0;
  glGenQueries(1, &query);
  glBeginQuery(GL_PRIMITIVES_GENERATED, query);
  const Frame arrays = DrawWith(nullptr, nullptr, draw);
  glEndQuery(GL_PRIMITIVES_GENERATED);
  GLuint sent = 0;
  glGetQueryObjectuiv(query, GL_QUERY_RESULT, &sent);
  glDeleteQueries(1, &query);
  EXPECT_GT(sent, 0u);
  EXPECT_LT(sent, GLuint(o.faceCount));
  EXPECT_TRUE(arrays == DrawWith(ImmediatePass, nullptr, draw));

  const int faces = o.faceCount;
  o.faceCount = 0;
  const Frame empty = DrawWith(nullptr, nullptr, draw);
  EXPECT_TRUE(empty == DrawWith(ImmediatePass, nullptr, draw));
  EXPECT_EQ(1.0f, empty.current[6]) << "the normal set before the draw stays";
  o.faceCount = faces;
}

// The modules' frame recipe with a shadow volume: same stencil counts and the
// same lit picture either way.
TEST_F(ClientArraysTest, ShadowVolumeMatchesImmediateMode) {
  const int floor = AddFloor(scene, 6.0f, 1.6f, 12);
  BuildEdgeList(scene, ball);
  auto recipe = [&] {
    SetOrthoWindow(scene.windowWidth, scene.windowHeight);
    SetStencilMode(0);
    TransformObject(scene, ball, 1, 1);
    LookAt(scene, {0.4f, -1.2f, -3.2f}, {0, 0, 0});
    DrawObject(scene, floor, light, 0);
    DrawObject(scene, ball, light, 1);
    SetStencilMode(1);
    SetOrthoWindow(scene.windowWidth, scene.windowHeight);
    BuildShadowVolume(scene, ball, light);
    LookAt(scene, {0.4f, -1.2f, -3.2f}, {0, 0, 0});
    DrawShadowVolume(scene, ball);
  };
  const Frame arrays = DrawWith(nullptr, nullptr, recipe);
  const Frame reference = DrawWith(nullptr, ImmediateVolume, recipe);
  ASSERT_GT(scene.objects[ball]->volumeQuadCount, 0);
  EXPECT_TRUE(arrays.stencil == reference.stencil);
  EXPECT_TRUE(arrays == reference);
  int shadowed = 0;
  for (uint8_t s : arrays.stencil) shadowed += s != 127;
  EXPECT_GT(shadowed, 1000) << "the volume counted somewhere";
  SetStencilMode(0);
}

namespace {
const char* const kSequenceFile = "MARVOKE_OVER_PASS_SEQUENCE";

void WriteFrame(const Frame& f, const char* path) {
  FILE* file = std::fopen(path, "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(f.colour.data(), 1, f.colour.size(), file);
  std::fwrite(f.stencil.data(), 1, f.stencil.size(), file);
  std::fwrite(f.depth.data(), sizeof(float), f.depth.size(), file);
  std::fwrite(f.current, sizeof f.current, 1, file);
  std::fclose(file);
}

// The frame WriteFrame stored, or an empty one when the file is short.
Frame ReadFrame(const std::string& path) {
  Frame f;
  f.colour.resize(1024 * 768 * 4);
  f.stencil.resize(1024 * 768);
  f.depth.resize(1024 * 768);
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Frame{};
  const bool whole = std::fread(f.colour.data(), 1, f.colour.size(), file) == f.colour.size() &&
                     std::fread(f.stencil.data(), 1, f.stencil.size(), file) == f.stencil.size() &&
                     std::fread(f.depth.data(), sizeof(float), f.depth.size(), file) == f.depth.size() &&
                     std::fread(f.current, sizeof f.current, 1, file) == 1;
  std::fclose(file);
  return whole ? f : Frame{};
}
}  // namespace

// The half that runs in a fresh process, started by the test below: nothing
// went through the driver before the sequence.
TEST_F(ClientArraysTest, OverPassSequenceInAFreshProcess) {
  const char* path = std::getenv(kSequenceFile);
  if (!path) GTEST_SKIP() << "started by SequenceAfterArrayDrawsMatchesAFreshProcess";
  WriteFrame(DrawOverPassSequence(), path);
}

// Earlier array draws of every kind, shadow volumes included, must not change
// how later passes over a first pass come out: the same bytes as the same
// sequence drawn first thing in a new process.
TEST_F(ClientArraysTest, SequenceAfterArrayDrawsMatchesAFreshProcess) {
  SceneObject& o = *scene.objects[ball];
  BuildEdgeList(scene, ball);
  DrawWith(nullptr, nullptr, [&] {
    for (int mode : {0, 1, 4, 5})
      for (int geometry : {0, 1}) {
        o.renderMode = mode;
        o.extraPass = mode % 2;
        o.cameraTest = geometry;
        DrawObject(scene, ball, light, geometry);
      }
    SetStencilMode(1);
    SetOrthoWindow(scene.windowWidth, scene.windowHeight);
    TransformObject(scene, ball, 1, 1);
    BuildShadowVolume(scene, ball, light);
    LookAt(scene, {0.4f, -1.2f, -3.2f}, {0, 0, 0});
    DrawShadowVolume(scene, ball);
    SetStencilMode(0);
  });
  o.texOffsetU = 0.125f;
  const Frame here = DrawOverPassSequence();
  ASSERT_GT(Drawn(here), 5000);

  const std::string path = testing::TempDir() + "over_pass_sequence_" + std::to_string(getpid()) + ".bin";
  std::remove(path.c_str());
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  std::string output;
  const int status = RunCommandLine(std::string(kSequenceFile) + "='" + path + "' '" + self +
                                        "' --gtest_filter=ClientArraysTest.OverPassSequenceInAFreshProcess",
                                    &output);
  ASSERT_EQ(status, 0) << output;
  const Frame fresh = ReadFrame(path);
  ASSERT_FALSE(fresh.colour.empty()) << "the fresh process wrote no frame: " << output;
  EXPECT_TRUE(here.colour == fresh.colour) << "colour";
  EXPECT_TRUE(here.depth == fresh.depth) << "depth";
  EXPECT_TRUE(here == fresh);
  std::remove(path.c_str());
}
