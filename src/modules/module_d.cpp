#include "modules/module_d.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "assets/scene.h"
#include "assets/texture_names.h"
#include "core/gl.h"
#include "effects/blurs.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "effects/zoom_blur.h"
#include "modules/module_common.h"
#include "toolkit/billboards.h"
#include "toolkit/camera.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/noise.h"
#include "toolkit/shadow_volume.h"
#include "toolkit/spline.h"

namespace {
RenderTarget* target = nullptr;
Scene* scene = nullptr;
CameraPose bubbleCamera;  // fixed at init
std::unique_ptr<Spline> lightPath;
// Three tables as every module makes them; only `noise` is read here, but
// making all three keeps the shared random generator's sequence.
std::unique_ptr<NoiseTable> noiseSmall, noise, noiseLarge;

int32_t caveIndex = -1, ballIndex = -1, waterIndex = -1, boxIndex = -1, beadIndex = -1;
// [1..5] used, as the clones are numbered; -1 when not made.
int32_t boxClone[6] = {-1, -1, -1, -1, -1, -1};
int32_t beadClone[6] = {-1, -1, -1, -1, -1, -1};
// The objects each lamp's placement is written to: the cage, or the bead when
// the cage did not load (its clones then follow the bead).
int32_t lampLeader = -1, lamp2Leader = -1;

std::unique_ptr<float[]> waterStillWave;  // per water vertex, made at init
// The cave's heave depends on the clock only through roll, which is 0 outside
// the flickers: the last deformation is kept while roll stays the same.
bool caveDeformed = false;
float deformedRoll = 0.0f;

// Everything a frame carries to the next: the restart returns it to its state
// after loading with one copy, so a field added here is kept and restored.
struct ModuleDPlay {
  float clockMs = 0.0f;
  ModuleDFrame frame;  // the values of the clock's last reading
  CameraPose camera;
  Vector4 cameraTarget;
  Light lamp, lamp2;
  // The level the water was last placed at: the next frame projects the water
  // there before it places it anew.
  float waterY = 0.0f;
};
ModuleDPlay play;
ModuleDPlay kept;

float bandOffsets[kModuleDBands] = {};  // this frame's, made before the blur reads them
int32_t faceTotal = 0;
bool bubbleDrawn = false;
KeptNormals waterNormals, bubbleNormals;  // of the undeformed meshes
KeptWorld bubbleWorld;                    // the bubble under its fixed camera

SceneObject* Object(int32_t index) { return HasObject(index) ? FindObject(*scene, index) : nullptr; }

void ApplyStyle(int32_t index, const ObjectLook& look) {
  if (SceneObject* o = Object(index)) ApplyLook(*o, look);
}

int32_t Load(const char* path, float vertexScale, float uvScale) {
  scene->vertexScale = vertexScale;
  scene->uvScale = uvScale;
  LoadedModel m = LoadModel(*scene, path, "Module D");
  return m.ok ? m.first : -1;
}

int32_t Clone(int32_t source) { return HasObject(source) ? CloneObject(*scene, source) : -1; }

void Share(int32_t from, int32_t to) {
  if (HasObject(from) && HasObject(to)) ShareTransform(*scene, from, to);
}

// The cages and beads of both lamps, cloned and tied to the two lamp leaders.
void BuildLamps() {
  for (int i = 1; i <= 5; ++i) boxClone[i] = Clone(boxIndex);
  Share(boxIndex, boxClone[1]);
  Share(boxIndex, boxClone[2]);
  Share(boxClone[3], boxClone[4]);
  Share(boxClone[3], boxClone[5]);
  if (HasObject(boxIndex)) {
    BuildEdgeList(*scene, boxIndex);
    for (int i = 1; i <= 2; ++i) {
      if (!HasObject(boxClone[i])) continue;
      ShareShadowData(*scene, boxIndex, boxClone[i], 0);
      ShareShadowBuffers(*scene, boxIndex, boxClone[i]);
    }
    if (HasObject(boxClone[3])) {
      ShareShadowData(*scene, boxIndex, boxClone[3], 1);
      for (int i = 4; i <= 5; ++i) {
        if (!HasObject(boxClone[i])) continue;
        ShareShadowData(*scene, boxClone[3], boxClone[i], 0);
        ShareShadowBuffers(*scene, boxClone[3], boxClone[i]);
      }
    }
  }

  for (int i = 1; i <= 5; ++i) beadClone[i] = Clone(beadIndex);
  if (HasObject(boxIndex)) {
    lampLeader = boxIndex;
    lamp2Leader = boxClone[3];
  } else {
    lampLeader = beadIndex;
    lamp2Leader = beadClone[3];
  }
  const int32_t firstLamp[3] = {beadIndex, beadClone[1], beadClone[2]};
  const int32_t secondLamp[3] = {beadClone[3], beadClone[4], beadClone[5]};
  for (int i = 0; i < 3; ++i) {
    if (firstLamp[i] != lampLeader) Share(lampLeader, firstLamp[i]);
    if (secondLamp[i] != lamp2Leader) Share(lamp2Leader, secondLamp[i]);
  }
}

void StyleObjects() {
  const float cageAtt[3] = {0.02f, 0.2f, 0.0f};
  const float none[3] = {0.0f, 0.0f, 0.0f};
  ApplyStyle(caveIndex, {kTextureMaasto2, kRenderCubeEnvironment,
                         1.0f, {0.66f, 0.7f, 0.8f}, {0.2f, 0.2f, 0.24f}, 1.0f, 0.0001f,
                         {25.0f, 0.0f, 0.0002f}});
  ApplyStyle(ballIndex, {kTextureValko, kRenderTextured,
                         1.0f, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, 0.0f, 0.05f,
                         {none[0], none[1], none[2]}});
  ApplyStyle(waterIndex, {kTextureValko, kRenderTextured,
                          1.0f, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, 0.0f, 0.05f,
                          {none[0], none[1], none[2]}});
  const ObjectLook cages[6] = {
      {kTextureEnvPuvi, kRenderLitAddedPass,
       1.0f, {0.6f, 0.6f, 0.6f}, {1, 1, 1}, 0, 0.05f, {cageAtt[0], cageAtt[1], cageAtt[2]}},
      {kTextureEnvPuvi, kRenderTextured,
       0.71f, {1.1f, 0.74f, 0.74f}, {0.8f, 0.52f, 0.52f}, 0, 0.05f,
       {cageAtt[0], cageAtt[1], cageAtt[2]}},
      {kTextureEnvPuvi, kRenderUntextured,
       1.0f, {0, 0, 0}, {0, 0, 0}, 0, 0.05f, {cageAtt[0], cageAtt[1], cageAtt[2]}},
      {kTextureEnvPuvi, kRenderLitAddedPass, 1.0f, {0.6f, 0.6f, 0.6f}, {0.8f, 0.8f, 0.8f}, 0, 0.05f,
       {cageAtt[0], cageAtt[1], cageAtt[2]}},
      {kTextureEnvPuvi, kRenderTextured, 0.71f, {0.8f, 0.8f, 1.1f}, {0.6f, 0.6f, 0.9f}, 0, 0.05f,
       {cageAtt[0], cageAtt[1], cageAtt[2]}},
      {kTextureEnvPuvi, kRenderUntextured,
       1.0f, {0, 0, 0}, {0, 0, 0}, 0, 0.05f, {cageAtt[0], cageAtt[1], cageAtt[2]}},
  };
  // Clones 2 and 5 get their colours every frame; these are placeholders.
  const ObjectLook beads[6] = {
      {kTextureValko, kRenderUntextured,
       1.0f, {0.5f, 0.3f, 0.25f}, {0.9f, 0.81f, 0.61f}, 0, 0.05f, {0, 0, 0}},
      {kTextureValko, kRenderUntextured,
       1.0f, {0.5f, 0.31f, 0.251f}, {0.55f, 0.405f, 0.305f}, 0, 0.05f, {0, 0, 0}},
      {kTextureValko, kRenderUntextured, 1.0f, {1, 1, 1}, {1, 1, 1}, 0, 0.05f, {0, 0, 0}},
      {kTextureValko, kRenderUntextured,
       1.0f, {0.51f, 0.51f, 0.6f}, {0.71f, 0.85f, 1.0f}, 0, 0.05f, {0, 0, 0}},
      {kTextureValko, kRenderUntextured,
       1.0f, {0.41f, 0.41f, 0.6f}, {0.4f, 0.8f, 0.5f}, 0, 0.05f, {0, 0, 0}},
      {kTextureValko, kRenderUntextured, 1.0f, {1, 1, 1}, {1, 1, 1}, 0, 0.05f, {0, 0, 0}},
  };
  ApplyStyle(boxIndex, cages[0]);
  ApplyStyle(beadIndex, beads[0]);
  for (int i = 1; i <= 5; ++i) {
    ApplyStyle(boxClone[i], cages[i]);
    ApplyStyle(beadClone[i], beads[i]);
  }
}

void PlaceCage(int32_t leader, const Vector3& position, const Vector3& rotation) {
  SceneObject* o = Object(leader);
  if (!o) return;
  o->position = position;
  o->scale.set(1.0f, 1.0f, 1.0f);
  o->rotation.x = rotation.x;
  o->rotation.z = rotation.z;
}

void DeformCave() {
  SceneObject* cave = Object(caveIndex);
  if (!cave) return;
  cave->cameraTest = 1;
  if (caveDeformed && play.frame.roll == deformedRoll) return;
  caveDeformed = true;
  deformedRoll = play.frame.roll;
  SnapshotVertices(*scene, caveIndex);
  ComputeSmoothNormals(*scene, caveIndex);
  for (int32_t j = 0; j < cave->vertexCount; ++j)
    cave->baseVertices[j] =
        ModuleDCaveVertex(*noise, cave->baseVertices[j], cave->baseNormals[j], play.frame.roll);
  ComputeCreaseNormals(*scene, caveIndex, -0.5f);
}

void Draw(int32_t index, const Light& light, int geometry) {
  if (HasObject(index)) DrawObject(*scene, index, light, geometry);
}

// ---- Drawing passes ----

// The lamps' cages and beads and the cave's glow texture, small, into slot 0.
void GlowLayer() {
  glEnable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  target->useSmallTextures = 1;
  target->useSmallSize = 1;
  SetPerspectiveViewTarget(*scene, play.camera);
  Draw(beadClone[1], play.lamp, 0);
  Draw(boxClone[1], play.lamp, 0);
  Draw(beadClone[4], play.lamp2, 0);
  Draw(boxClone[4], play.lamp2, 0);
  glEnable(GL_DEPTH_TEST);
  if (SceneObject* cave = Object(caveIndex)) {
    cave->textureName = kTextureMaastoGlow;
    cave->texOffsetU = 0.0f;
    cave->texOffsetV = 0.0f;
    cave->blendMode = kBlendNone;
    cave->modulate = 1;
    cave->renderMode = kRenderTextured;
    cave->extraPass = 0;
    SetColour(cave->ambientColour, 0.0f, 0.0f, 0.0f);
    SetColour(cave->baseColour, 1.1f, 1.41f, 0.7f);
    DrawObject(*scene, caveIndex, play.lamp, 1);
    // The rock texture drifts for the passes that follow.
    cave->textureName = kTextureMaasto;
    cave->texOffsetU = 0.072f * play.frame.clockS;
    cave->texOffsetV = 2.0f * std::sin(0.0282f * play.frame.clockS);
  }
  glDisable(GL_DEPTH_TEST);
  SetOrthoTarget(*scene);
  CopyFrameToTarget(target, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// One lamp's light streaks: its lit bead and dark cage zoom-blurred from the
// lamp's place on the screen, added onto the glow layer in slot 0.
void Streaks(int32_t bead, int32_t cage, const Light& light) {
  SetPerspectiveViewTarget(*scene, play.camera);
  glEnable(GL_DEPTH_TEST);
  Draw(bead, light, 0);
  Draw(cage, light, 0);
  glDisable(GL_DEPTH_TEST);
  SetOrthoTarget(*scene);
  CopyFrameToTarget(target, 1);
  SetPerspectiveViewTarget(*scene, play.camera);
  float x, y;
  ProjectToScreen(&x, &y, light);
  SetOrthoTarget(*scene);
  target->zoomColour[0] = target->zoomColour[1] = target->zoomColour[2] = 0.0f;
  target->zoomFade = 0.5f;
  ZoomBlur(target, 1, 10, 0.7f, 0.5f, 0.0f, 0.17f, x, y);
  DrawTargetQuad(target, 0, 1.0f, 0.0f, kQuadAdd);
  CopyFrameToTarget(target, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void SetBeadGlow(int32_t bead, const float base[3], const float ambient[3]) {
  SceneObject* o = Object(bead);
  if (!o) return;
  SetColour(o->baseColour, base[0], base[1], base[2]);
  SetColour(o->specularColour, 0.0f, 0.0f, 0.0f);
  SetColour(o->ambientColour, ambient[0], ambient[1], ambient[2]);
}

// The cave in the shadowed look, once for both lamps.
void CaveBase() {
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  SetStencilMode(kStencilOff);
  TransformObject(*scene, caveIndex, kFromBaseVertices, kWithVertexNormals);
  glEnable(GL_BLEND);
  SetPerspectiveView(*scene, play.camera);
  glEnable(GL_DEPTH_TEST);
  SceneObject* cave = Object(caveIndex);
  if (!cave) return;
  cave->blendMode = kBlendNone;
  cave->renderMode = kRenderTextured;
  cave->extraPass = 0;
  SetColour(cave->baseColour, 0.255f, 0.4755f, 0.705f);
  if (ModuleDEyeUnderWater(play.camera.position, play.frame.waterLevel))
    SetColour(cave->ambientColour, 0.05f, 0.25f, 1.2f);
  else
    SetColour(cave->ambientColour, 0.2f, 0.2f, 0.42f);
  DrawObject(*scene, caveIndex, play.lamp, 1);
}

// One lamp's light added to the cave outside the shadows of its cage and of
// the cave itself.
void CaveLit(int32_t cage, const Light& light, float r, float g, float b) {
  SetStencilMode(kStencilStartVolume);
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  TransformObject(*scene, cage, kFromVertices, kWithVertexNormals);
  if (HasObject(cage)) BuildShadowVolume(*scene, cage, light);
  if (HasObject(caveIndex)) BuildShadowVolume(*scene, caveIndex, light);
  SetPerspectiveView(*scene, play.camera);
  if (HasObject(cage)) DrawShadowVolume(*scene, cage);
  if (HasObject(caveIndex)) DrawShadowVolume(*scene, caveIndex);
  SetStencilMode(kStencilOutsideShadow);
  glEnable(GL_DEPTH_TEST);
  SceneObject* cave = Object(caveIndex);
  if (!cave) return;
  cave->blendMode = kBlendAdditive;
  cave->renderMode = kRenderTextured;
  cave->extraPass = 1;
  SetColour(cave->ambientColour, 0.0f, 0.0f, 0.0f);
  SetColour(cave->baseColour, r, g, b);
  DrawObject(*scene, caveIndex, light, 1);
}

// A refracting surface drawn over a copy of the frame behind it.
void ShadeRefractor(SceneObject& o, float baseR, float baseG, float baseB, float ambR,
                    float ambG, float ambB, int32_t modulate) {
  SetColour(o.baseColour, baseR, baseG, baseB);
  SetColour(o.ambientColour, ambR, ambG, ambB);
  o.modulate = modulate;
  o.renderMode = kRenderTextured;
  o.extraPass = 0;
  o.textureName = static_cast<int32_t>(target->fullTextures[2]);
}

void Water() {
  SceneObject* water = Object(waterIndex);
  if (!water) return;
  SetPerspectiveView(*scene, play.camera);
  water->position.y = play.waterY;
  TransformObject(*scene, waterIndex, kFromVertices, kWithVertexNormals);
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  CopyFrameToTarget(target, 2);
  SetPerspectiveView(*scene, play.camera);
  SnapshotKeptNormals(*scene, waterIndex, &waterNormals);
  // Placed only now: the coordinates above were projected at last frame's level.
  water->position.y = play.waterY = play.frame.waterLevel;
  ShadeRefractor(*water, 0.11f, 0.125f, 0.13f, 0.21f, 0.215f, 0.225f, 1);
  ModuleDRippleWater(*water, *noise, play.frame.clockS, waterStillWave.get());
  water->cullFaces = 0;
  ComputeSmoothNormals(*scene, waterIndex);
  glEnable(GL_DEPTH_TEST);
  DrawObject(*scene, waterIndex, play.lamp, 1);
  glDisable(GL_DEPTH_TEST);
}

void Bubble() {
  SceneObject* ball = Object(ballIndex);
  if (!ball) return;
  SetPerspectiveView(*scene, bubbleCamera);
  const CameraPose& b = bubbleCamera;
  const float view[9] = {b.position.x,  b.position.y,  b.position.z, b.direction.x, b.direction.y,
                         b.direction.z, b.up.x,        b.up.y,       b.up.z};
  TransformKeptWorld(*scene, ballIndex, kFromVertices, view, 9, &bubbleWorld);
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  CopyFrameToTarget(target, 2);
  SetPerspectiveView(*scene, bubbleCamera);
  SnapshotKeptNormals(*scene, ballIndex, &bubbleNormals);
  ShadeRefractor(*ball, 0.0f, 0.0f, 0.0f, 0.4f, 0.6f, 1.0f, 0);
  ModuleDRippleBubble(*ball, *noise, play.frame.clockS);
  glDisable(GL_DEPTH_TEST);
  ball->cullFaces = 0;
  ComputeSmoothNormals(*scene, ballIndex);
  DrawObject(*scene, ballIndex, play.lamp, 1);
  glEnable(GL_DEPTH_TEST);
  bubbleDrawn = true;
}

void DrawEchoes(const ModuleDEcho* echoes, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const ModuleDEcho& e = echoes[i];
    QuadPlacement at;
    at.x = e.x;
    at.y = e.y;
    at.scale = e.scale;
    DrawTargetQuadTransformed(target, 0, e.alpha, 0.0f, kQuadAlpha, at);
  }
}

// The logos, each drawn as scattered faint copies that gather into one as
// their weight reaches 1. Slot 0 lends its texture name to each logo.
void LogoEchoes() {
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  float e1, e2;
  ModuleDLogoWeights(play.frame.clockS, &e1, &e2);
  const uint32_t saved = target->fullTextures[0];
  if (e1 != 0.0f) {
    ModuleDEcho echoes[kModuleDEchoesFirst];
    ModuleDEchoesFirst(play.frame.clockS, e1, echoes);
    target->fullTextures[0] = kTextureLogoBright;
    DrawEchoes(echoes, kModuleDEchoesFirst);
    target->fullTextures[0] = kTextureLogoMelt;
    DrawEchoes(echoes, kModuleDEchoesFirst);
  }
  if (e2 != 0.0f) {
    ModuleDEcho echoes[kModuleDEchoesSecond];
    ModuleDEchoesSecond(play.frame.clockS, e2, echoes);
    target->fullTextures[0] = kTextureLogoDark;
    DrawEchoes(echoes, kModuleDEchoesSecond);
    target->fullTextures[0] = kTextureLogoMelt;
    DrawEchoes(echoes, kModuleDEchoesSecond);
  }
  target->fullTextures[0] = saved;
  glDisable(GL_DEPTH_TEST);
}

// Everything the record carries, one frame on: the clock, the frame's values,
// the lamps and the camera. The drawn frame and the state-only step both run it.
void AdvanceModuleD(int32_t frameDelta, int32_t mode) {
  AdvanceModuleClock(&play.clockMs, frameDelta);
  ModuleDAnimate(play.clockMs, *lightPath, &play.frame);
  const ModuleDFrame& f = play.frame;
  play.lamp.position = f.lampPosition;
  play.lamp2.position = f.lamp2Position;
  SetLightColour(play.lamp, 0.8f * f.glowA, 1.2f * f.glowA, 1.48f * f.glowA);
  SetLightColour(play.lamp2, 0.8f * f.glowB, 1.2f * f.glowB, 1.48f * f.glowB);
  ModuleDAimCamera(f, mode, &play.camera, &play.cameraTarget);
  OrthonormalizeCamera(play.camera);
}
}  // namespace

void ModuleDHandOver(RenderTarget* shared) { target = shared; }

void ModuleDInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight) {
  scene = new Scene(10000, windowWidth, windowHeight, targetWidth, targetHeight);
  SetLightColour(play.lamp, 0.8f, 1.2f, 1.48f);
  SetLightColour(play.lamp2, 0.8f, 1.2f, 1.48f);

  bubbleCamera.position.set(0.0f, 0.0f, 0.0f);
  bubbleCamera.direction.set(0.0f, 0.0f, -1.0f);
  bubbleCamera.up.set(0.0f, -1.0f, 0.0f);
  OrthonormalizeCamera(bubbleCamera);

  // The lamps travel the path every scene's lights share.
  lightPath = MakeLightPath();

  scene->flipNormals = 1;
  caveIndex = Load("Models/luola2taso.3ds", 20.0f, 2.5f);
  ballIndex = Load("Models/ballbig.3ds", 10.0f, 1.0f);
  waterIndex = Load("Models/vet.3ds", 100.0f, 1.0f);
  boxIndex = Load("Models/holeboxsd.3ds", 9.0f, 1.0f);
  beadIndex = Load("Models/bitball.3ds", 4.0f, 1.0f);

  if (SceneObject* cave = Object(caveIndex)) {
    cave->position.y = 15.0f;
    BuildEdgeList(*scene, caveIndex);
    EnsureBaseBuffers(*cave);
  }
  for (int32_t index : {ballIndex, waterIndex}) {
    SceneObject* o = Object(index);
    if (!o) continue;
    AllocateWorldBuffers(*scene, index);
    o->position.set(0.0f, 0.0f, 0.0f);
    EnsureBaseBuffers(*o);
  }
  BuildLamps();
  StyleObjects();

  faceTotal = 0;
  for (int32_t i = 0; i < scene->objectCount; ++i) faceTotal += scene->objects[i]->faceCount;
  printf("%d Faces in scene.\n", faceTotal);

  noiseSmall = std::make_unique<NoiseTable>(256, 255, 111);
  noise = std::make_unique<NoiseTable>(512, 511, 222);
  noiseLarge = std::make_unique<NoiseTable>(1024, 1023, 333);

  if (SceneObject* water = Object(waterIndex)) {
    waterStillWave = std::make_unique<float[]>(water->vertexCount);
    ModuleDStillWave(*water, *noise, waterStillWave.get());
  }
}

void ModuleDUpdate(int32_t frameDelta, int32_t mode) {
  AdvanceModuleD(frameDelta, mode);
  PlaceCage(lampLeader, play.frame.lampPosition, play.frame.boxRotation);
  PlaceCage(lamp2Leader, play.frame.lamp2Position, play.frame.box2Rotation);
  DeformCave();
}

void ModuleDRender(int32_t frameDelta, int32_t mode) {
  if (!scene || !target) return;
  // All of the frame's arithmetic that needs no GL matrix comes first; none of
  // it reads what the clear below changes.
  ModuleDUpdate(frameDelta, mode);
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  GlowLayer();
  const float glowA = play.frame.glowA, glowB = play.frame.glowB;
  const float warmBase[3] = {1.1f * glowA, 0.85f * glowA, 0.5f * glowA};
  const float warmAmbient[3] = {glowA, 0.75f * glowA, 0.53f * glowA};
  SetBeadGlow(beadClone[2], warmBase, warmAmbient);
  Streaks(beadClone[2], boxClone[2], play.lamp);
  const float coldBase[3] = {0.87f * glowB, 0.86f * glowB, glowB};
  const float coldAmbient[3] = {0.85f * glowB, 0.84f * glowB, glowB};
  SetBeadGlow(beadClone[5], coldBase, coldAmbient);
  Streaks(beadClone[5], boxClone[5], play.lamp2);
  target->useSmallTextures = 0;
  target->useSmallSize = 0;

  CaveBase();
  CaveLit(boxIndex, play.lamp, 10.0f, 7.0f, 3.5f);
  CaveLit(boxClone[3], play.lamp2, 3.5f, 7.0f, 10.0f);

  SetStencilMode(kStencilOff);
  Draw(beadIndex, play.lamp, 0);
  Draw(boxIndex, play.lamp, 0);
  Draw(beadClone[3], play.lamp2, 0);
  Draw(boxClone[3], play.lamp2, 0);
  glDisable(GL_DEPTH_TEST);

  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  target->useSmallTextures = 1;
  target->useSmallSize = 0;
  DrawTargetQuad(target, 0, 1.0f, 0.0f, kQuadOverDestAlpha);
  target->useSmallTextures = 0;
  target->useSmallSize = 0;

  Water();
  bubbleDrawn = false;
  if (ModuleDEyeUnderWater(play.camera.position, play.frame.waterLevel)) Bubble();

  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  glDisable(GL_DEPTH_TEST);
  ModuleDBandOffsets(play.camera.direction.y, play.frame.clockS, bandOffsets);
  CopyFrameToTarget(target, 0);
  BandBlur(target, 0, 4, 1.5f, 1.5f, 0.02083333f, 0.981f, 1.0f, 0.951f, kModuleDBands, bandOffsets);

  LogoEchoes();
}

float ModuleDClockMs() { return play.clockMs; }
const ModuleDFrame& ModuleDLastFrame() { return play.frame; }
const CameraPose& ModuleDCamera() { return play.camera; }
bool ModuleDBubbleDrawn() { return bubbleDrawn; }
void ModuleDForgetCaveHeave() { caveDeformed = false; }
void ModuleDForgetKeptWork() {
  waterNormals.clear();
  bubbleNormals.clear();
  bubbleWorld.ready = false;
}
ModuleDObjects ModuleDObjectIndices() {
  return {caveIndex, ballIndex, waterIndex, boxIndex, beadIndex};
}

void ModuleDShadowArithmetic() {
  if (!scene) return;
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  TransformObject(*scene, caveIndex, kFromBaseVertices, kWithVertexNormals);
  const int32_t cages[2] = {boxIndex, boxClone[3]};
  const Light* lights[2] = {&play.lamp, &play.lamp2};
  for (int i = 0; i < 2; ++i) {
    TransformObject(*scene, cages[i], kFromVertices, kWithVertexNormals);
    if (HasObject(cages[i])) BuildShadowVolume(*scene, cages[i], *lights[i]);
    if (HasObject(caveIndex)) BuildShadowVolume(*scene, caveIndex, *lights[i]);
  }
}

void ModuleDRippleArithmetic(int32_t which) {
  if (!scene) return;
  const int32_t index = which == 0 ? waterIndex : ballIndex;
  SceneObject* o = Object(index);
  if (!o) return;
  SetPerspectiveView(*scene, which == 0 ? play.camera : bubbleCamera);
  TransformObject(*scene, index, kFromVertices, kWithVertexNormals);
  SnapshotVertices(*scene, index);
  ComputeSmoothNormals(*scene, index);
  if (which == 0)
    ModuleDRippleWater(*o, *noise, play.frame.clockS, waterStillWave.get());
  else
    ModuleDRippleBubble(*o, *noise, play.frame.clockS);
  ComputeSmoothNormals(*scene, index);
}

// The advance alone, and the water's level, which the next frame projects
// with before it places the water anew. The cave's relief is kept while its
// roll holds and made again by the next drawn frame.
void ModuleDStep(int32_t frameDelta, int32_t mode) {
  if (!scene || !target) return;
  AdvanceModuleD(frameDelta, mode);
  play.waterY = play.frame.waterLevel;
}

void ModuleDKeepState() { kept = play; }

void ModuleDRestoreState() { play = kept; }
