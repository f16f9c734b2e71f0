#include "modules/module_b.h"

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <memory>

#include "assets/image.h"
#include "assets/scene.h"
#include "assets/texture_names.h"
#include "core/gl.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "modules/module_b_frame.h"
#include "modules/module_b_passes.h"
#include "modules/module_common.h"
#include "toolkit/camera.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/noise.h"
#include "toolkit/shadow_volume.h"
#include "toolkit/spline.h"

namespace {
constexpr int32_t kRipple = 96;  // rows and columns of the height field
constexpr const char* kName = "Module B";

RenderTarget* target = nullptr;
std::unique_ptr<Scene> scene;
std::unique_ptr<Spline> pathEven;
std::unique_ptr<NoiseTable> noise256, noise512, noise1024;
Image picture;  // decode buffer of the height field
int32_t rippleRows = kRipple, rippleColumns = kRipple;

// Everything a frame carries to the next: the restart returns it to its state
// after loading with one copy, so a field added here is kept and restored.
struct ModuleBPlay {
  ModuleBClock moduleClock;
  ModuleBCamera camera;
  CameraPose pose;
  Light light1, light2;  // light1 reaches the pose through its poseRef
  ModuleBCube cube;
  ModuleBCubeShape cubeShape{};
  float bandPhaseA = -450.0f, bandPhaseB = -600.0f;
  float heightField[kRipple * kRipple];
};
ModuleBPlay play;
ModuleBPlay kept;

// This frame's values, made again from the clock before any pass reads them.
ModuleBSprite sprites[kModuleBSprites];
float bandValues[kModuleBBands];
ModuleBZoom zoom{};
float greetingsWeight = 0.0f;
float gridWeight = 0.0f;
int32_t faceTotal = 0;

// Object indices; -1 when their file did not load.
int32_t backball = -1, icecube = -1, box = -1, boxClone3 = -1;
int32_t kiloball = -1, kiloballClone1 = -1;
// The object whose transform the kiloballs follow: box clone 3, or the
// kiloball itself when the boxes did not load (the marker still tracks light1).
int32_t markerOwner = -1;
int32_t backballDeformedMode = -1;  // mode of the deformation in the base arrays
KeptNormals backballNormals, icecubeNormals;  // undeformed smooth normals

SceneObject& Obj(int32_t index) { return *scene->objects[static_cast<size_t>(index)]; }

void LoadObjects() {
  Scene& s = *scene;
  s.flipNormals = 1;
  s.vertexScale = 10.0f;
  s.uvScale = 4.5f;
  LoadedModel m = LoadModel(s, "Models/backball.3ds", kName);
  if (m.ok) {
    backball = m.first;
    Obj(backball).position.y = 0.0f;
    BuildEdgeList(s, backball);
    ApplyLook(Obj(backball), {kTextureBlueBackground, kRenderCubeEnvironment,
                              1.0f, {0.66f, 0.4f, 0.8f}, {0.2f, 0.2f, 0.24f}, 1.0f, 0.0001f,
                              {0.5f, 0.0f, 0.000075f}});
  }

  s.vertexScale = 20.0f;
  s.uvScale = 1.0f;
  m = LoadModel(s, "Models/icecube.3ds", kName);
  if (m.ok) {
    icecube = m.first;
    SceneObject& o = Obj(icecube);
    o.scale.y = 0.0714286f;
    AllocateWorldBuffers(s, icecube);
    o.position.set(0.0f, 0.0f, 0.0f);
    ApplyLook(o, {kTextureValko, kRenderTextured,
                  1.0f, {1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f}, 0.0f, 0.05f, {0, 0, 0}});
  }

  // Boxes: never drawn; box clone 3 carries the marker's transform.
  s.vertexScale = 50.0f;
  m = LoadModel(s, "Models/box.3ds", kName);
  if (m.ok) {
    box = m.first;
    int32_t c[6] = {box, -1, -1, -1, -1, -1};
    for (int i = 1; i <= 5; ++i) c[i] = CloneObject(s, box);
    ShareTransform(s, box, c[1]);
    ShareTransform(s, box, c[2]);
    ShareTransform(s, c[3], c[4]);
    ShareTransform(s, c[3], c[5]);
    BuildEdgeList(s, box);
    for (int i = 1; i <= 2; ++i) {
      ShareShadowData(s, box, c[i], 0);
      ShareShadowBuffers(s, box, c[i]);
    }
    ShareShadowData(s, box, c[3], 1);
    for (int i = 4; i <= 5; ++i) {
      ShareShadowData(s, c[3], c[i], 0);
      ShareShadowBuffers(s, c[3], c[i]);
    }
    boxClone3 = c[3];
  }

  s.flipNormals = 0;
  s.vertexScale = 4.0f;
  m = LoadModel(s, "Models/kiloball.3ds", kName);
  s.flipNormals = 1;
  if (m.ok) {
    kiloball = m.first;
    int32_t c[6] = {kiloball, -1, -1, -1, -1, -1};
    for (int i = 1; i <= 5; ++i) c[i] = CloneObject(s, kiloball);
    markerOwner = HasObject(boxClone3) ? boxClone3 : kiloball;
    for (int i = 0; i <= 5; ++i)
      if (c[i] != markerOwner) ShareTransform(s, markerOwner, c[i]);
    kiloballClone1 = c[1];
    const ObjectLook kLooks[6] = {
        {kTextureValko, kRenderUntextured,
         1.0f, {0.6f, 0.251f, 0.1f}, {1.5f, 0.31f, 0.1f}, 0.0f, 0.05f, {0, 0, 0}},
        {kTextureValko, kRenderUntextured,
         1.0f, {0.6f, 0.1f, 0.1f}, {1.5f, 0.1f, 0.1f}, 0.0f, 0.05f, {0, 0, 0}},
        {kTextureValko, kRenderUntextured,
         1.0f, {10.6f, 0.85f, 0.5f}, {10.5f, 0.65f, 0.3f}, 0.0f, 0.05f, {0, 0, 0}},
        {kTextureValko, kRenderUntextured,
         1.0f, {0.21f, 0.21f, 0.6f}, {0.21f, 0.15f, 1.5f}, 0.0f, 0.05f, {0, 0, 0}},
        {kTextureValko, kRenderUntextured,
         1.0f, {0.1f, 0.1f, 0.6f}, {0.1f, 0.1f, 1.5f}, 0.0f, 0.05f, {0, 0, 0}},
        {kTextureValko, kRenderUntextured,
         1.0f, {0.7f, 0.6f, 10.85f}, {0.5f, 0.4f, 10.65f}, 0.0f, 0.05f, {0, 0, 0}},
    };
    for (int i = 0; i <= 5; ++i) {
      if (!HasObject(c[i])) continue;
      ApplyLook(Obj(c[i]), kLooks[i]);
      Obj(c[i]).scale.z = 1.0f;
    }
  }
}

void DeformBackball(int32_t mode, float t) {
  if (!HasObject(backball)) return;
  SceneObject& o = Obj(backball);
  o.cameraTest = 1;
  o.scale.y = mode == 1 ? 3.5f : 1.0f;
  o.attenuationConstant = mode == 1 ? 75.5f : 50.5f;
  o.attenuationLinear = 0.0f;
  o.attenuationQuadratic = 0.000075f;
  // The opening's deformation does not move (no time term): the last mode-0
  // result is still in the base arrays, and nothing else writes them.
  if (mode == 0 && backballDeformedMode == 0) return;
  backballDeformedMode = mode;
  SnapshotKeptNormals(*scene, backball, &backballNormals);
  for (int32_t i = 0; i < o.vertexCount; ++i)
    o.baseVertices[i] = DeformBackballVertex(*noise512, mode, t, o.baseVertices[i], o.baseNormals[i]);
  ComputeCreaseNormals(*scene, backball, mode == 1 ? -1.0f : -0.75f);
}

// The cube's mesh in the shape the advance gave it.
void ShapeIceCube(int32_t mode) {
  if (!HasObject(icecube)) return;
  SceneObject& o = Obj(icecube);
  SnapshotKeptNormals(*scene, icecube, &icecubeNormals);
  o.position.y = mode == 1 ? 0.0f : -20.0f;
  o.rotation.y = 0.0f;
  o.scale.set(play.cubeShape.k, play.cubeShape.d + 1.0f, play.cubeShape.k);
  for (int32_t i = 0; i < o.vertexCount; ++i)
    o.baseVertices[i] = DeformCubeVertex(*noise512, play.cubeShape, play.cube.spin, o.baseVertices[i], o.baseNormals[i]);
  ComputeSmoothNormals(*scene, icecube);
}

// Lit by light1 twice: once as in shadow, once additively only where the
// stencil says the light reaches.
void DrawShadowedBackball(int32_t mode) {
  Scene& s = *scene;
  SceneObject& o = Obj(backball);
  SetOrthoWindow(s.windowWidth, s.windowHeight);
  SetStencilMode(kStencilOff);
  TransformObject(s, backball, kFromBaseVertices, kWithVertexNormals);
  glEnable(GL_BLEND);
  SetPerspectiveView(s, play.pose);
  glEnable(GL_DEPTH_TEST);

  o.blendMode = kBlendNone;
  o.renderMode = kRenderTextured;
  o.extraPass = 0;
  if (mode == 1) SetColour(o.ambientColour, 1.0f, 1.0f, 1.0f, 1.0f);
  else SetColour(o.ambientColour, 0.594f, 0.594f, 0.94f, 1.0f);
  SetColour(o.baseColour, 0.0f, 0.0f, 0.0f, 1.0f);
  DrawObject(s, backball, play.light1, 1);

  SetStencilMode(kStencilStartVolume);
  SetOrthoWindow(s.windowWidth, s.windowHeight);
  BuildShadowVolume(s, backball, play.light1);
  SetPerspectiveView(s, play.pose);
  DrawShadowVolume(s, backball);
  SetStencilMode(kStencilOutsideShadow);
  glEnable(GL_DEPTH_TEST);

  o.blendMode = kBlendAdditive;
  o.renderMode = kRenderTextured;
  o.extraPass = 1;
  if (mode == 1) {
    SetColour(o.ambientColour, 0.0f, 0.0f, 0.0f, 1.0f);
    SetColour(o.baseColour, 2.5f, 1.0f, 7.0f, 1.0f);
  } else {
    SetColour(o.ambientColour, 0.2f, 0.4f, 0.0f, 1.0f);
    SetColour(o.baseColour, 7.0f, 4.0f, 5.0f, 1.0f);
  }
  DrawObject(s, backball, play.light1, 1);
  SetStencilMode(kStencilOff);
}

void SetTargetFlags(int32_t smallTextures, int32_t smallSize) {
  target->useSmallTextures = smallTextures;
  target->useSmallSize = smallSize;
  target->zoomFade = 0.0f;
  for (float& c : target->zoomColour) c = 0.0f;
}

void Draw(int32_t mode) {
  Scene& s = *scene;
  const ModuleBView view{&s, &play.pose, target, &play.light1};
  SetOrthoWindow(s.windowWidth, s.windowHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  DrawMarkerGlow(view, kiloballClone1);
  if (mode == 1) DrawSwarm(view, sprites);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  target->useSmallTextures = 0;
  target->useSmallSize = 0;

  if (HasObject(backball)) DrawShadowedBackball(mode);
  else SetPerspectiveView(s, play.pose);
  if (HasObject(kiloball)) DrawObject(s, kiloball, play.light1, 0);

  // The glow of the marker over the finished picture.
  glDisable(GL_DEPTH_TEST);
  SetOrthoWindow(s.windowWidth, s.windowHeight);
  SetTargetFlags(1, 0);
  DrawTargetQuad(target, 0, 1.0f, 0.0f, kQuadOverDestAlpha);
  SetTargetFlags(0, 0);

  SetPerspectiveView(s, play.pose);
  if (HasObject(icecube)) {
    // Under the camera: eye space.
    TransformObject(s, icecube, kFromBaseVertices, kWithVertexNormals);
    DrawIceCube(view, icecube, mode, play.cubeShape.k);
  }

  glDisable(GL_DEPTH_TEST);
  SetOrthoWindow(s.windowWidth, s.windowHeight);
  if (mode == 1)
    DrawClosingMode1(view, zoom, greetingsWeight, bandValues, play.bandPhaseA, play.bandPhaseB);
  else
    DrawClosingMode0(view, zoom, gridWeight, play.heightField, rippleRows, rippleColumns);
  glCullFace(GL_BACK);  // the depth test stays off: the closing passes never turn it on
}

// Everything the record carries, one frame on: the clock, the lights and the
// camera, the cube's motion, the closing's band phases and the opening's
// relaxing height field. The drawn frame and the state-only step both run it.
ModuleBTime AdvanceModuleB(int32_t frameDelta, int32_t mode) {
  const ModuleBTime time = AdvanceModuleBClock(play.moduleClock, frameDelta, mode);
  const float t = time.t;
  ModuleBLightPositions(*pathEven, t, &play.light1.position, &play.light2.position);
  Vector4 position = ModuleBCameraPosition(play.camera, mode, play.moduleClock.localMs, time.dt);
  play.pose.position.set(position.x, position.y, position.z);
  AimCamera(play.pose, Vector4(0.0f, 0.0f, 0.0f));
  OrthonormalizeCamera(*play.light1.poseRef);
  play.cubeShape = AdvanceModuleBCube(play.cube, t, play.moduleClock.localMs, time.dt, frameDelta);
  if (mode == 1) {
    greetingsWeight = ModuleBGreetingsWeight(t);
    if (greetingsWeight != 0.0f) {
      play.bandPhaseA += 25.0f * time.dt;
      play.bandPhaseB += 35.0f * time.dt;
    }
  } else {
    RelaxHeightField(play.heightField, rippleRows, rippleColumns, ModuleBRippleWeight(t));
  }
  return time;
}
}  // namespace

void ModuleBHandOver(RenderTarget* shared) { target = shared; }

void ModuleBInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight) {
  scene = std::make_unique<Scene>(10000, windowWidth, windowHeight, targetWidth, targetHeight);
  play.pose.position.set(0.0f, 5.0f, -25.0f);
  play.pose.direction.set(0.0f, 0.0f, 1.0f);

  SetLightColour(play.light1, 2.0f, 2.0f, 2.0f);
  SetLightColour(play.light2, 1.0f, 1.0f, 1.0f);
  play.light1.position.set(0.0f, 0.0f, 0.0f);
  play.light1.poseRef = &play.pose;

  // The lights' path, resampled to nearly constant speed.
  pathEven = MakeLightPath();

  LoadObjects();

  faceTotal = 0;
  for (int32_t i = 0; i < scene->objectCount; ++i) faceTotal += Obj(i).faceCount;
  printf("%d Faces in scene.\n", faceTotal);

  // Built in this order: the generator they share fixes the pictures.
  noise256 = std::make_unique<NoiseTable>(256, 255, 111);
  noise512 = std::make_unique<NoiseTable>(512, 511, 222);
  noise1024 = std::make_unique<NoiseTable>(1024, 1023, 333);

  rippleRows = rippleColumns = kRipple;
  LoadHeightField(picture, "Images/qoru.pcx", play.heightField, kRipple * kRipple);
}

void ModuleBUpdate(int32_t frameDelta, int32_t mode) {
  if (!scene) return;
  const float t = AdvanceModuleB(frameDelta, mode).t;

  // The box groups follow the lights; the kiloballs follow box clone 3.
  if (HasObject(box)) {
    SceneObject& b = Obj(box);
    b.position = play.light2.position;
    b.rotation.x = 2.56f * std::sin(3.141592f * std::sin(0.25f * t));
    b.rotation.z = 1.42f * std::sin(0.13f * t);
  }
  if (HasObject(markerOwner)) {
    SceneObject& b = Obj(markerOwner);
    b.position = play.light1.position;
    b.rotation.x = 4.16f * std::sin(3.141592f * std::sin(0.2f * t) + 4.0f);
    b.rotation.z = -1.988f * std::sin(0.13f * t + 4.0f);
  }

  DeformBackball(mode, t);
  ShapeIceCube(mode);
  if (mode == 1) ModuleBSwarm(t, sprites);

  zoom = ModuleBZoomBlur(mode, t);
  if (mode == 1) {
    if (greetingsWeight != 0.0f) ModuleBBandValues(t, bandValues);
  } else {
    gridWeight = ModuleBGridWeight(t);
  }
}

void ModuleBForgetDeformation() {
  backballDeformedMode = -1;
  backballNormals.clear();
  icecubeNormals.clear();
}

void ModuleBWorldSpace() {
  if (!scene) return;
  Scene& s = *scene;
  if (HasObject(backball)) {
    SetOrthoWindow(s.windowWidth, s.windowHeight);
    TransformObject(s, backball, kFromBaseVertices, kWithVertexNormals);
    BuildShadowVolume(s, backball, play.light1);
  }
  if (HasObject(icecube)) {
    SetPerspectiveView(s, play.pose);
    TransformObject(s, icecube, kFromBaseVertices, kWithVertexNormals);
    IceCubeCoordinates(s, icecube, play.cubeShape.k, 0.05f);
    IceCubeCoordinates(s, icecube, play.cubeShape.k, 0.135f);
  }
}

void ModuleBRender(int32_t frameDelta, int32_t mode) {
  if (!scene || !target) return;
  ModuleBUpdate(frameDelta, mode);
  Draw(mode);
}

ModuleBProbe ModuleBState() {
  ModuleBProbe p{};
  p.localMs = play.moduleClock.localMs;
  p.prevMode = play.moduleClock.prevMode;
  p.phase = play.camera.phase;
  p.cycleMs = play.camera.cycleMs;
  p.distanceFactor = play.camera.distanceFactor;
  p.cameraPosition = play.pose.position;
  p.light1 = play.light1.position;
  p.light2 = play.light2.position;
  p.backball = backball;
  p.icecube = icecube;
  p.kiloball = kiloball;
  p.kiloballClone1 = kiloballClone1;
  p.faceTotal = faceTotal;
  if (HasObject(kiloball)) p.marker = *Obj(kiloball).positionSource;
  p.cubeD = play.cubeShape.d;
  p.cubeSquash = play.cubeShape.squash;
  p.cubeScaleY = HasObject(icecube) ? Obj(icecube).scale.y : 0.0f;
  p.heightField = play.heightField;
  p.bandPhaseA = play.bandPhaseA;
  p.bandPhaseB = play.bandPhaseB;
  if (target) {
    p.slot0Texture = target->fullTextures[0];
    p.slot0Feedback = target->fullFeedback[0];
  }
  return p;
}

// The advance alone: the object transforms, the deformations and the sprites
// follow the clock and are made again by the next drawn frame.
void ModuleBStep(int32_t frameDelta, int32_t mode) {
  if (!scene || !target) return;
  AdvanceModuleB(frameDelta, mode);
  // The greetings pass leaves slot 0 on its feedback texture.
  if (mode == 1 && greetingsWeight != 0.0f) target->fullTextures[0] = target->fullFeedback[0];
}

void ModuleBKeepState() { kept = play; }

void ModuleBRestoreState() {
  play = kept;
  backballDeformedMode = -1;  // the next frame deforms afresh
}
