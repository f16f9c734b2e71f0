// Module C: scene, camera, smoke backdrop and the refracting lens.
//
// A frame: the arithmetic first (ModuleCUpdate: clock, lamp, camera, the 75
// smoke billboards, the lens's growth and deformation), then the GL passes:
// smoke into the shared target at target size, the backdrop ball without depth
// writes with the small smoke picture stretched over it, and the lens drawn
// twice, each time over a fresh copy of the frame it refracts.
#include "modules/module_c.h"

#include <cstdio>
#include <memory>

#include "assets/scene.h"
#include "assets/texture_names.h"
#include "core/gl.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "modules/module_c_frame.h"
#include "modules/module_common.h"
#include "toolkit/billboards.h"
#include "toolkit/camera.h"
#include "toolkit/envelope.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/noise.h"
#include "toolkit/shadow_volume.h"
#include "toolkit/spline.h"

namespace {

RenderTarget* target = nullptr;  // shared by all modules, handed over before init

std::unique_ptr<Scene> scene;
// Everything a frame carries to the next: the restart returns it to its state
// after loading with one copy, so a field added here is kept and restored.
struct ModuleCPlay {
  CameraPose camera;
  Vector4 cameraTarget;
  Light lamp;
  ModuleCClock moduleClock;
  float zoom = 3.0f;
  Envelope envelope;
  bool firstFrame = true;
};
ModuleCPlay play;
ModuleCPlay kept;

Light spareLight;  // made with the lamp, never drawn with
std::unique_ptr<Spline> lightPath;
std::unique_ptr<NoiseTable> noiseSmall, noise, noiseLarge;  // only `noise` is read
ModuleCObjects objects;

SmokeBillboard smoke[kModuleCSmokeCount];
LensGrowth lens;
KeptNormals lensNormals;  // of the undeformed lens

const ObjectLook kBall = {kTextureDarkBeach, kRenderCubeEnvironment,
                          1.0f, {0.66f, 0.66f, 0.66f}, {0.2f, 0.2f, 0.2f}, 1.0f, 0.0001f,
                          {5.0f, 0.1f, 0.0f}};
// Directional light; the render step rewrites the colours every frame.
const ObjectLook kLens = {kTextureValko, kRenderTextured,
                          1.0f, {1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f}, 0.0f, 0.05f,
                          {0.0f, 0.0f, 0.0f}};

void SetUpBall(SceneObject& o) {
  o.position.y = 0.0f;
  o.scale.y = 0.5f;
  ApplyLook(o, kBall);
}

void SetUpLens(SceneObject& o) {
  o.scale.y = 0.07142857f;  // the render step rewrites the scale every frame
  o.position.set(0.0f, 0.0f, 0.0f);
  ApplyLook(o, kLens);
}

// Loads `path` at `vertexScale`; the index of its first object, or -1.
int32_t LoadObject(const char* path, float vertexScale) {
  scene->uvScale = 1.0f;
  scene->vertexScale = vertexScale;
  LoadedModel m = LoadModel(*scene, path, "Module C");
  return m.ok ? m.first : -1;
}

void CloneFive(int32_t source, int32_t clones[5]) {
  for (int i = 0; i < 5; ++i) clones[i] = HasObject(source) ? CloneObject(*scene, source) : -1;
}

// The box and the torus with their clones: loaded for the scene's face count
// only, never drawn, so nothing here has a visible effect.
void LoadUnseenObjects() {
  int32_t boxClones[5];
  objects.box = LoadObject("Models/box.3ds", 50.0f);
  CloneFive(objects.box, boxClones);
  if (HasObject(objects.box)) {
    const int32_t box = objects.box;
    for (int i : {0, 1})
      if (HasObject(boxClones[i])) ShareTransform(*scene, box, boxClones[i]);
    for (int i : {3, 4})
      if (HasObject(boxClones[2]) && HasObject(boxClones[i]))
        ShareTransform(*scene, boxClones[2], boxClones[i]);
    BuildEdgeList(*scene, box);
    for (int i : {0, 1}) {
      if (!HasObject(boxClones[i])) continue;
      ShareShadowData(*scene, box, boxClones[i], 0);
      ShareShadowBuffers(*scene, box, boxClones[i]);
    }
    if (HasObject(boxClones[2])) {
      ShareShadowData(*scene, box, boxClones[2], 1);
      for (int i : {3, 4}) {
        if (!HasObject(boxClones[i])) continue;
        ShareShadowData(*scene, boxClones[2], boxClones[i], 0);
        ShareShadowBuffers(*scene, boxClones[2], boxClones[i]);
      }
    }
  }

  int32_t harruClones[5];
  objects.harru = LoadObject("Models/harru3ssd.3ds", 8.0f);
  CloneFive(objects.harru, harruClones);
  if (HasObject(objects.harru) && HasObject(boxClones[2])) {
    ShareTransform(*scene, boxClones[2], objects.harru);
    for (int32_t clone : harruClones)
      if (HasObject(clone)) ShareTransform(*scene, boxClones[2], clone);
  }
}

// Smoke billboards into the shared target at target size, copied to small slot 0.
void DrawSmoke() {
  glEnable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  if (target) target->useSmallTextures = target->useSmallSize = 1;
  SetPerspectiveViewTarget(*scene, play.camera);
  BeginBillboards(*scene, kTextureFirstCloud, 0);
  for (const SmokeBillboard& b : smoke) {
    glBindTexture(GL_TEXTURE_2D, b.texture0);
    DrawBillboard(*scene, b.x, b.y, b.z, b.half0, b.half0, b.r, b.g, b.b, b.alpha0);
    glBindTexture(GL_TEXTURE_2D, b.texture1);
    DrawBillboard(*scene, b.x, b.y, b.z, b.half1, b.half1, b.r, b.g, b.b, b.alpha1);
  }
  EndBillboards(*scene);

  SetOrthoTarget(*scene);
  CopyFrameToTarget(target, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (target) target->useSmallTextures = target->useSmallSize = 0;
}

// The backdrop ball without depth writes, then the smoke stretched over it.
void DrawBall(int32_t mode) {
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  SetStencilMode(kStencilOff);
  glEnable(GL_BLEND);
  SetPerspectiveView(*scene, play.camera);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  if (HasObject(objects.ball)) {
    SceneObject& ball = *scene->objects[objects.ball];
    ball.blendMode = kBlendNone;
    ball.renderMode = kRenderTextured;
    ball.extraPass = 0;
    if (mode == 0) {
      SetColour(ball.ambientColour, 0.8f, 0.8f, 0.8f, 1.0f);
      SetColour(ball.baseColour, 0.0f, 0.0f, 0.0f, 1.0f);
    } else if (mode == 1) {
      SetColour(ball.ambientColour, 1.0f, 1.0f, 1.0f, 1.0f);
      SetColour(ball.baseColour, 1.0f, 1.0f, 1.0f, 1.0f);
    }
    DrawObject(*scene, objects.ball, play.lamp, 0);
  }
  glDepthMask(GL_TRUE);
  // The smoke quad lies on the far plane of the cleared depth buffer. The
  // ball's draw leaves GL_LEQUAL; without a ball nothing else would.
  glDepthFunc(GL_LEQUAL);

  SetPerspectiveView(*scene, play.camera);
  glEnable(GL_DEPTH_TEST);
  SetStencilMode(kStencilOff);
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  if (target) {
    target->useSmallTextures = 1;
    target->useSmallSize = 0;
  }
  DrawTargetQuad(target, 0, 1.0f, 0.0f, kQuadOverDestAlpha);
  if (target) target->useSmallTextures = target->useSmallSize = 0;
}

struct LensPass {
  int32_t renderMode, modulate;
  GLenum cullFace;
  float bend;
  float base[2][4], ambient[2][4], alpha[2];  // by mode 0, 1
};

// Inner side first (front faces culled), then the outer side over a copy that
// already holds the inner one.
const LensPass kLensPasses[2] = {
    {1, 1, GL_FRONT, 0.15f,
     {{0.6f, 0.45f, 0.33f, 1.0f}, {0.83f, 0.3f, 0.3f, 1.0f}},
     {{1.0f, 1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}},
     {1.0f, 0.7f}},
    {5, 0, GL_BACK, 0.1f,
     {{0.2f, 0.15f, 0.11f, 1.0f}, {0.075f, 0.075f, 0.125f, 1.0f}},
     {{0.05f, 0.025f, 0.025f, 1.0f}, {0.025f, 0.05f, 0.0725f, 1.0f}},
     {1.0f, 1.0f}},
};

void DrawLens(int32_t mode) {
  SceneObject& o = *scene->objects[objects.lens];
  ModuleCLensToEyeSpace();

  for (int32_t p = 0; p < 2; ++p) {
    const LensPass& pass = kLensPasses[p];
    SetOrthoWindow(scene->windowWidth, scene->windowHeight);
    CopyFrameToTarget(target, 2);
    SetPerspectiveView(*scene, play.camera);

    o.renderMode = pass.renderMode;
    o.blendMode = kBlendAlpha;
    o.modulate = pass.modulate;
    if (mode == 0 || mode == 1) {
      const float* b = pass.base[mode];
      const float* a = pass.ambient[mode];
      SetColour(o.baseColour, b[0], b[1], b[2], b[3]);
      SetColour(o.ambientColour, a[0], a[1], a[2], a[3]);
      o.baseAlpha = pass.alpha[mode];
    }
    glCullFace(pass.cullFace);

    if (target) o.textureName = static_cast<int32_t>(target->fullTextures[2]);
    ModuleCLensCoordinates(p);
    DrawObject(*scene, objects.lens, play.lamp, 1);
  }
}


// Everything the record carries, one frame on: the clock, the lamp and the
// camera. The drawn frame and the state-only step both run it.
void AdvanceModuleC(int32_t frameDelta) {
  if (play.firstFrame) {
    play.cameraTarget.set(0.0f, 0.0f, 0.0f);
    play.envelope = Envelope();
    play.firstFrame = false;
  }
  AdvanceModuleCClock(&play.moduleClock, frameDelta);
  const float s = play.moduleClock.clockS;

  play.lamp.position = ModuleCLampPosition(*lightPath, s);
  play.zoom = ModuleCZoom(play.moduleClock.cycleMs);
  play.camera.position = ModuleCCameraPosition(s, play.zoom);
  AimCamera(play.camera, play.cameraTarget);
  OrthonormalizeCamera(play.camera);
}
}  // namespace

void ModuleCHandOver(RenderTarget* shared) { target = shared; }

void ModuleCInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight) {
  scene = std::make_unique<Scene>(10000, windowWidth, windowHeight, targetWidth, targetHeight);
  SetLightColour(play.lamp, 1.0f, 1.0f, 1.0f);
  SetLightColour(spareLight, 1.0f, 1.0f, 1.0f);

  lightPath = MakeLightPath();

  scene->flipNormals = 1;
  objects.ball = LoadObject("Models/backball.3ds", 100.0f);
  if (HasObject(objects.ball)) SetUpBall(*scene->objects[objects.ball]);

  objects.lens = LoadObject("Models/linssi1d.3ds", 20.0f);
  if (HasObject(objects.lens)) {
    AllocateWorldBuffers(*scene, objects.lens);
    SetUpLens(*scene->objects[objects.lens]);
  }

  LoadUnseenObjects();

  objects.objectCount = scene->objectCount;
  objects.faceTotal = 0;
  for (int32_t i = 0; i < scene->objectCount; ++i) objects.faceTotal += scene->objects[i]->faceCount;
  printf("%d Faces in scene.\n", objects.faceTotal);

  // Each table reseeds the shared generator: this order fixes the noise.
  noiseSmall = std::make_unique<NoiseTable>(256, 255, 111);
  noise = std::make_unique<NoiseTable>(512, 511, 222);
  noiseLarge = std::make_unique<NoiseTable>(1024, 1023, 333);
}

void ModuleCUpdate(int32_t frameDelta) {
  AdvanceModuleC(frameDelta);
  const float s = play.moduleClock.clockS;

  for (int32_t i = 0; i < kModuleCSmokeCount; ++i) PlaceSmokeBillboard(i, s, play.envelope, &smoke[i]);

  if (!HasObject(objects.lens)) return;
  SceneObject& o = *scene->objects[objects.lens];
  // Rebuilt from the loaded vertices every frame, so nothing accumulates.
  SnapshotKeptNormals(*scene, objects.lens, &lensNormals);
  o.position.y = 0.0f;

  lens = ModuleCLensGrowth(play.moduleClock.clockMs, play.envelope);
  o.rotation.y = 0.0f;
  o.scale.set(lens.girth, lens.growth + 1.0f, lens.girth);

  for (int32_t j = 0; j < o.vertexCount; ++j)
    DeformLensVertex(*noise, lens, s, o.vertices[j], o.baseNormals[j], &o.baseVertices[j]);
  ComputeSmoothNormals(*scene, objects.lens);
}

void ModuleCLensToEyeSpace() {
  if (!scene || !HasObject(objects.lens)) return;
  SetPerspectiveView(*scene, play.camera);
  // The modelview is the camera's view, so the copy is in eye space.
  TransformObject(*scene, objects.lens, kFromBaseVertices, kWithVertexNormals);
}

void ModuleCLensCoordinates(int32_t pass) {
  if (!scene || !HasObject(objects.lens) || pass < 0 || pass > 1) return;
  SceneObject& o = *scene->objects[objects.lens];
  const float bend = kLensPasses[pass].bend;
  for (int32_t j = 0; j < o.vertexCount; ++j)
    LensTexCoord(o.worldVertices[j], o.worldVertexNormals[j], lens.girth, bend, &o.texU[j],
                 &o.texV[j]);
}

void ModuleCRender(int32_t frameDelta, int32_t mode) {
  if (!scene) return;
  ModuleCUpdate(frameDelta);

  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  DrawSmoke();
  DrawBall(mode);
  if (HasObject(objects.lens)) DrawLens(mode);

  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  glDisable(GL_DEPTH_TEST);
}

ModuleCObjects ModuleCObjectsLoaded() { return objects; }

void ModuleCForgetKeptWork() { lensNormals.clear(); }

float ModuleCClockMs() { return play.moduleClock.clockMs; }

// The advance alone: the smoke and the lens follow the clock and are made
// again by the next drawn frame.
void ModuleCStep(int32_t frameDelta, int32_t /*mode*/) {
  if (!scene) return;
  AdvanceModuleC(frameDelta);
}

void ModuleCKeepState() { kept = play; }

void ModuleCRestoreState() { play = kept; }
