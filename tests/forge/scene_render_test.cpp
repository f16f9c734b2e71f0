// The forged models under the show's own renderer and shadow volumes, set up
// as modules D and B use them: the lamp in its cage must light the cave in
// beams, and the deformed balls and caves must close around their lamps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "assets/file_error.h"
#include "assets/image.h"
#include "assets/load_3ds.h"
#include "forge_data.h"
#include "gl_test.h"
#include "modules/module_b_frame.h"
#include "modules/module_common.h"
#include "modules/module_d_frame.h"
#include "modules/module_e_frame.h"
#include "shell/capture.h"
#include "toolkit/camera.h"
#include "toolkit/envelope.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/noise.h"
#include "toolkit/shadow_volume.h"
#include "toolkit/spline.h"

namespace {

void NoBox(const char*, const char*) {}

class ForgedScenes : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_FALSE(ForgedDir().empty());
    SetFileErrorBox(NoBox);
  }
  void TearDown() override { SetFileErrorBox(nullptr); }
  static std::string Path(const char* sub, const char* name) {
    return ForgedDir() + "/" + sub + "/" + name;
  }
  // Mean brightness of the render area's pixels.
  static double MeanBrightness() {
    std::vector<uint8_t> rgb;
    ReadFramebufferRgb(1024, 512, &rgb);
    double s = 0;
    for (uint8_t v : rgb) s += v;
    return s / double(rgb.size());
  }
  // Share of pixels brighter than `level` in any channel.
  static double LitShare(int level) {
    std::vector<uint8_t> rgb;
    ReadFramebufferRgb(1024, 512, &rgb);
    size_t lit = 0;
    for (size_t i = 0; i < rgb.size(); i += 3)
      lit += std::max({rgb[i], rgb[i + 1], rgb[i + 2]}) > level;
    return double(lit) / double(rgb.size() / 3);
  }
};

// Module D at module time 10 s, closing camera, first lamp only: base pass,
// the cage's and the cave's shadow volumes, then the additive lit pass where
// no volume covers. With the cage the lamp lights the cave only in beams.
TEST_F(ForgedScenes, CageCastsBeamsOnTheCave) {
  Scene scene(10000, 1024, 512, 512, 256);
  scene.flipNormals = 1;
  scene.vertexScale = 20;
  scene.uvScale = 2.5f;
  ASSERT_EQ(LoadScene(scene, Path("Models", "luola2taso.3ds").c_str()), 1);
  scene.vertexScale = 9;
  scene.uvScale = 1;
  ASSERT_EQ(LoadScene(scene, Path("Models", "holeboxsd.3ds").c_str()), 1);
  const int cave = 0, box = 1;
  scene.objects[cave]->position.y = 15;
  BuildEdgeList(scene, cave);
  BuildEdgeList(scene, box);
  Image image;
  LoadTexture(image, Path("Images", "maasto2.jpg").c_str(), 55);
  LoadTexture(image, Path("Images", "env1puvi.jpg").c_str(), 54);
  NoiseTable small(256, 255, 111), noise(512, 511, 222), large(1024, 1023, 333);

  // Module D's own arithmetic at 10 s of its clock: lamp, cage and the
  // closing's orbit camera, and the cave's relief.
  std::unique_ptr<Spline> path = MakeLightPath();
  ModuleDFrame d;
  ModuleDAnimate(10000.0f, *path, &d);
  Light lamp;
  lamp.position = d.lampPosition;
  SetLightColour(lamp, 0.8f * 2.0f, 1.2f * 2.0f, 1.48f * 2.0f);

  SceneObject& b = *scene.objects[box];
  b.position = lamp.position;
  b.rotation.x = d.boxRotation.x;
  b.rotation.z = d.boxRotation.z;

  CameraPose camera;
  Vector4 target;
  ModuleDAimCamera(d, 1, &camera, &target);
  OrthonormalizeCamera(camera);

  SceneObject& c = *scene.objects[cave];
  c.cameraTest = 1;
  SnapshotVertices(scene, cave);
  ComputeSmoothNormals(scene, cave);
  for (int j = 0; j < c.vertexCount; ++j)
    c.baseVertices[j] = ModuleDCaveVertex(noise, c.baseVertices[j], c.baseNormals[j], d.roll);
  ComputeCreaseNormals(scene, cave, -0.5f);
  c.textureName = 55;
  c.cubeTextureName = 0;
  c.shininess = 0.82f;
  c.lightW = 1;
  c.spotExponent = 0.0001f;
  c.attenuationConstant = 25;
  c.attenuationLinear = 0;
  c.attenuationQuadratic = 0.0002f;
  SetColour(c.specularColour, 0, 0, 0);
  b.textureName = 54;
  b.renderMode = 1;
  b.extraPass = 0;
  SetColour(b.baseColour, 0.6f, 0.6f, 0.6f);
  SetColour(b.ambientColour, 1, 1, 1);
  SetColour(b.specularColour, 0, 0, 0);
  b.lightW = 0;

  auto frame = [&](bool withCage) {
    SetOrthoWindow(1024, 512);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetStencilMode(0);
    TransformObject(scene, cave, 1, 1);
    glEnable(GL_BLEND);
    SetPerspectiveView(scene, camera);
    glEnable(GL_DEPTH_TEST);
    c.blendMode = 0;
    c.renderMode = 1;
    c.extraPass = 0;
    SetColour(c.baseColour, 0.255f, 0.4755f, 0.705f);
    SetColour(c.ambientColour, 0.2f, 0.2f, 0.42f);
    DrawObject(scene, cave, lamp, 1);
    SetStencilMode(1);
    SetOrthoWindow(1024, 512);
    TransformObject(scene, box, 0, 1);
    if (withCage) BuildShadowVolume(scene, box, lamp);
    BuildShadowVolume(scene, cave, lamp);
    SetPerspectiveView(scene, camera);
    if (withCage) DrawShadowVolume(scene, box);
    DrawShadowVolume(scene, cave);
    SetStencilMode(2);
    glEnable(GL_DEPTH_TEST);
    c.blendMode = 1;
    c.renderMode = 1;
    c.extraPass = 1;
    SetColour(c.ambientColour, 0, 0, 0);
    SetColour(c.baseColour, 10, 7, 3.5f);
    DrawObject(scene, cave, lamp, 1);
    SetStencilMode(0);
  };
  // Measured on the cave alone, then the cage is added for the picture.
  auto cage = [&] {
    glEnable(GL_DEPTH_TEST);
    DrawObject(scene, box, lamp, 0);
    glDisable(GL_DEPTH_TEST);
  };
  frame(false);
  double open = MeanBrightness(), openLit = LitShare(60);
  cage();
  SaveFramePng("forge_cave_open_lamp", 1024, 512);
  frame(true);
  double caged = MeanBrightness(), cagedLit = LitShare(60);
  cage();
  SaveFramePng("forge_cave_caged_lamp", 1024, 512);
  RecordProperty("open", std::to_string(open));
  RecordProperty("caged", std::to_string(caged));
  RecordProperty("litShareOpen", std::to_string(openLit));
  RecordProperty("litShareCaged", std::to_string(cagedLit));
  EXPECT_GT(open, 20.0) << "the lamp lights the cave";
  EXPECT_LT(caged, open);
  EXPECT_LT(cagedLit, 0.7 * openLit) << "the cage holds back most of the light";
  EXPECT_GT(cagedLit, 0.02) << "beams get out through the holes";
}

// Module B's opening: the deformed backball around its lamp, lit and shadowed
// by its own ridges. The lamp must see walls all round, not the void.
TEST_F(ForgedScenes, OpeningBallClosesAroundTheCamera) {
  Scene scene(10000, 1024, 512, 512, 256);
  scene.flipNormals = 1;
  scene.vertexScale = 10;
  scene.uvScale = 4.5f;
  ASSERT_EQ(LoadScene(scene, Path("Models", "backball.3ds").c_str()), 1);
  BuildEdgeList(scene, 0);
  Image image;
  LoadTexture(image, Path("Images", "blubackg.jpg").c_str(), 35);
  NoiseTable small(256, 255, 111), noise(512, 511, 222), large(1024, 1023, 333);
  SceneObject& o = *scene.objects[0];
  o.cameraTest = 1;
  SnapshotVertices(scene, 0);
  ComputeSmoothNormals(scene, 0);
  // The opening's relief as module B makes it (it has no time term).
  for (int i = 0; i < o.vertexCount; ++i)
    o.baseVertices[i] = DeformBackballVertex(noise, 0, 0.0f, o.baseVertices[i], o.baseNormals[i]);
  ComputeCreaseNormals(scene, 0, -0.75f);
  o.textureName = 35;
  o.renderMode = 1;
  o.extraPass = 0;
  o.lightW = 1;
  o.spotExponent = 0.0001f;
  o.attenuationConstant = 50.5f;
  o.attenuationQuadratic = 0.000075f;
  SetColour(o.specularColour, 0, 0, 0);
  Light lamp;
  lamp.position.set(-40, -60, 30);
  SetLightColour(lamp, 2, 2, 2);

  int dark = 0;
  for (int view = 0; view < 4; ++view) {
    CameraPose camera;
    float g = 13.7f + 2.1f * view;
    camera.position.set(20 * std::sin(0.3425f * g) + 10, 21 * std::cos(0.88f * g) + 9,
                        4 * std::cos(0.1625f * g + 1.543f) + 9);
    camera.position.scale(2.82f * 3.0f);
    AimCamera(camera, Vector4(0, 0, 0));
    OrthonormalizeCamera(camera);
    SetOrthoWindow(1024, 512);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetStencilMode(0);
    TransformObject(scene, 0, 1, 1);
    glEnable(GL_BLEND);
    SetPerspectiveView(scene, camera);
    glEnable(GL_DEPTH_TEST);
    o.blendMode = 0;
    SetColour(o.ambientColour, 0.594f, 0.594f, 0.94f);
    SetColour(o.baseColour, 0, 0, 0);
    DrawObject(scene, 0, lamp, 1);
    SetStencilMode(1);
    SetOrthoWindow(1024, 512);
    BuildShadowVolume(scene, 0, lamp);
    SetPerspectiveView(scene, camera);
    DrawShadowVolume(scene, 0);
    SetStencilMode(2);
    glEnable(GL_DEPTH_TEST);
    o.blendMode = 1;
    o.extraPass = 1;
    SetColour(o.ambientColour, 0.2f, 0.4f, 0);
    SetColour(o.baseColour, 7, 4, 5);
    DrawObject(scene, 0, lamp, 1);
    o.extraPass = 0;
    SetStencilMode(0);
    glDisable(GL_DEPTH_TEST);
    if (view == 0) SaveFramePng("forge_backball_opening", 1024, 512);
    // Walls everywhere: hardly any pixel keeps the clear colour.
    std::vector<uint8_t> rgb;
    ReadFramebufferRgb(1024, 512, &rgb);
    int black = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) black += rgb[i] + rgb[i + 1] + rgb[i + 2] == 0;
    dark = std::max(dark, black);
  }
  EXPECT_LT(dark, 1024 * 512 / 100);
}

}  // namespace

namespace {

// Module E's cave, deformed as the module does, seen from its camera far out
// (six times the orbit) and close in (2.4 times): cave walls fill the view
// in both, the camera never looking out into the void.
TEST_F(ForgedScenes, ModuleECaveFromFarAndNear) {
  Scene scene(10000, 1024, 512, 512, 256);
  scene.flipNormals = 1;
  scene.vertexScale = 20;
  scene.uvScale = 2.5f;
  ASSERT_EQ(LoadScene(scene, Path("Models", "luola2taso.3ds").c_str()), 1);
  SceneObject& c = *scene.objects[0];
  c.position.y = 15;
  BuildEdgeList(scene, 0);
  Image image;
  LoadTexture(image, Path("Images", "maasto1.jpg").c_str(), 33);
  NoiseTable small(256, 255, 111), noise(512, 511, 222), large(1024, 1023, 333);
  c.cameraTest = 1;
  Envelope shape;  // module E's relief sets its own ramps
  DeformCave(scene, 0, noise, shape);
  c.textureName = 33;
  c.renderMode = 1;
  c.blendMode = 0;
  c.extraPass = 0;
  c.lightW = 1;
  c.spotExponent = 0.0001f;
  c.attenuationConstant = 1.5f;
  c.attenuationLinear = 0.004f;
  SetColour(c.specularColour, 0, 0, 0);
  SetColour(c.ambientColour, 0.15f, 0.15f, 0.18f);
  SetColour(c.baseColour, 1, 1, 1);
  Light light;
  light.position.set(-30, -60, -40);
  SetLightColour(light, 0.7f, 1.2f, 1.8f);
  struct Shot {
    const char* name;
    float angle, factor;
  } shots[] = {{"forge_cave_e_far", 520.0f, 6.0f}, {"forge_cave_e_near", 523.0f, 2.4f}};
  for (const Shot& s : shots) {
    CameraPose camera;
    float a = s.angle;
    camera.position.set(75 * std::sin(0.3425f * a), 34 * (std::cos(0.88f * a) + 1), 30 * std::cos(0.3425f * a));
    camera.position.scale(s.factor);
    AimCamera(camera, Vector4(0, 0, 0));
    OrthonormalizeCamera(camera);
    SetOrthoWindow(1024, 512);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetStencilMode(0);
    SetPerspectiveView(scene, camera);
    glEnable(GL_DEPTH_TEST);
    DrawObject(scene, 0, light, 1);
    glDisable(GL_DEPTH_TEST);
    SaveFramePng(s.name, 1024, 512);
    EXPECT_GT(LitShare(3), 0.9) << s.name << ": the cave fills the view";
  }
}

}  // namespace
