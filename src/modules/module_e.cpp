// Module E's state, init and render step. The frame is drawn in five passes:
// a small glow image (the glow-textured cave and the dark ball), the main
// picture (a black depth pass of the cave, its shadow volume in the stencil
// buffer, the lit cave added outside the shadows, the bright ball), the glow
// laid over it, the refracting surface textured with a copy of the frame, and
// a band blur of the whole frame.
//
// The render step leaves: the window's orthographic view (modelview identity,
// matrix mode GL_MODELVIEW, viewport over the render area), depth and stencil
// tests, lighting and face culling off, blending on with (src alpha, dst
// alpha), 2D texturing on with texture environment GL_ADD, and both size flags
// of the shared target at 0.
#include "modules/module_e.h"

#include <cstdio>
#include <memory>

#include "assets/scene.h"
#include "assets/texture_names.h"
#include "core/gl.h"
#include "effects/blurs.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "modules/module_common.h"
#include "modules/module_e_frame.h"
#include "toolkit/camera.h"
#include "toolkit/envelope.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/noise.h"
#include "toolkit/shadow_volume.h"
#include "toolkit/spline.h"

namespace {

constexpr float kBlurStrength = 0.020833334f;  // 1/48

RenderTarget* target = nullptr;  // the shared one, handed over before init
std::unique_ptr<Scene> scene;
ModuleEObjects objects = {-1, -1, -1, -1, -1, -1};
std::unique_ptr<Spline> lightPath;  // the resampled closed path
std::unique_ptr<NoiseTable> noise256, noise512, noise1024;  // only the 512 one is read

// Everything a frame carries to the next: the restart returns it to its state
// after loading with one copy, so a field added here is kept and restored.
struct ModuleEPlay {
  float clockMs = 0.0f;
  ModuleEClock frameClock = {};
  CameraPose camera;
  Light light;  // reaches the camera through its poseRef
  float cameraAngle = 500.0f;
  float distanceFactor = 0.0f;
  Envelope envelope;  // re-parameterised before each use
};
ModuleEPlay play;
ModuleEPlay kept;

// This frame's values, made from the clock before any pass reads them.
float bandValues[10] = {};
float pulse = 1.0f;
bool caveDeformed = false;
// The cave's world copy depends on its relief and placement only, both fixed
// once the relief is made.
KeptWorld caveWorld;

const ObjectLook kCave = {kTextureMaasto, kRenderCubeEnvironment,
                          1.0f, {0.66f, 0.7f, 0.8f}, {0.2f, 0.2f, 0.24f}, 1.0f, 0.0001f,
                          {50.0f, 0.1f, 0.0f}};
const ObjectLook kSurface = {kTextureValko, kRenderTextured,
                             1.0f, {1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f}, 0.0f, 0.05f,
                             {0.0f, 0.0f, 0.0f}};
const ObjectLook kBallOne = {kTextureValko, kRenderUntextured,
                             1.0f, {0.96f, 0.61f, 0.41f}, {1.15f, 0.7f, 0.25f}, 0.0f, 0.05f,
                             {0.0f, 0.0f, 0.0f}};
const ObjectLook kBallTwo = {kTextureValko, kRenderUntextured,
                             1.0f, {0.25f, 0.15f, 0.1f}, {1.5f, 0.8f, 0.41f}, 0.0f, 0.05f,
                             {0.0f, 0.0f, 0.0f}};

SceneObject& Object(int32_t index) { return *scene->objects[index]; }

void SetTargetSizes(int32_t smallTextures, int32_t smallSize) {
  if (!target) return;
  target->useSmallTextures = smallTextures;
  target->useSmallSize = smallSize;
}

void SetOrthoFrame() { SetOrthoWindow(scene->windowWidth, scene->windowHeight); }

// The balls ride on box 1's transform; without the box they have no place.
bool BallDrawable(int32_t ball) { return HasObject(ball) && HasObject(objects.box1); }

// Loads one model file with the scene's scales; -1 unless the whole file loaded.
int32_t LoadFirstObject(const char* path, float vertexScale, float uvScale) {
  scene->vertexScale = vertexScale;
  scene->uvScale = uvScale;
  return LoadModel(*scene, path, "Module E").first;
}

// The glow image at the target's small size: the dark ball and the cave in
// its glow texture, brightened and blurred into slot 0.
void DrawGlowImage() {
  glEnable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  SetTargetSizes(1, 1);
  SetPerspectiveViewTarget(*scene, play.camera);
  glEnable(GL_DEPTH_TEST);
  if (BallDrawable(objects.ball2)) DrawObject(*scene, objects.ball2, play.light, 0);
  glEnable(GL_DEPTH_TEST);
  if (HasObject(objects.cave)) {
    SceneObject& cave = Object(objects.cave);
    cave.textureName = kTextureMaastoGlow;
    cave.blendMode = kBlendNone;
    cave.modulate = 1;
    cave.renderMode = kRenderTextured;
    cave.extraPass = 0;
    SetColour(cave.ambientColour, 0.0f, 0.0f, 0.0f, 1.0f);
    SetColour(cave.baseColour, 1.7f, 1.7f, 1.7f, 1.0f);
    DrawObject(*scene, objects.cave, play.light, 1);
    cave.textureName = kTextureMaasto;
  }
  glDisable(GL_DEPTH_TEST);
  SetOrthoTarget(*scene);
  CopyFrameToTarget(target, 0);
  BoostBrightness(target, 0, 1, 1.0f);
  CopyFrameToTarget(target, 0);
  BlurTarget(target, 0, 8, 1.5f, 1.5f, kBlurStrength, 1.0f, 1.0f, 1.0f);
  CopyFrameToTarget(target, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The cave in black for depth, its shadow volume counted into the stencil
// buffer, the lit cave added where no shadow falls, then the bright ball.
void DrawMainPicture() {
  SetTargetSizes(0, 0);
  SetOrthoFrame();
  SetStencilMode(kStencilOff);
  ModuleETransformCave();
  glEnable(GL_BLEND);
  SetPerspectiveView(*scene, play.camera);
  glEnable(GL_DEPTH_TEST);

  if (HasObject(objects.cave)) {
    SceneObject& cave = Object(objects.cave);
    cave.renderMode = kRenderTextured;
    cave.blendMode = kBlendNone;
    cave.extraPass = 0;
    SetColour(cave.baseColour, 0.0f, 0.0f, 0.0f, 1.0f);
    SetColour(cave.ambientColour, 0.0f, 0.0f, 0.0f, 1.0f);
    DrawObject(*scene, objects.cave, play.light, 1);

    SetStencilMode(kStencilStartVolume);
    SetOrthoFrame();
    ModuleEBuildCaveShadow();
    SetPerspectiveView(*scene, play.camera);
    DrawShadowVolume(*scene, objects.cave);
    SetStencilMode(kStencilOutsideShadow);
    glEnable(GL_DEPTH_TEST);

    cave.blendMode = kBlendAdditive;
    cave.renderMode = kRenderLitAddedPass;
    cave.extraPass = 0;
    SetColour(cave.ambientColour, 0.0f, 0.0f, 0.0f, 1.0f);
    SetColour(cave.baseColour, 10.0f * pulse, 7.0f * pulse, 3.5f * pulse, 1.0f);
    DrawObject(*scene, objects.cave, play.light, 1);
    SetStencilMode(kStencilOff);
  }

  if (BallDrawable(objects.ball1)) DrawObject(*scene, objects.ball1, play.light, 0);
}

// The small glow texture stretched over the full frame.
void DrawGlowOverlay() {
  SetOrthoFrame();
  glDisable(GL_DEPTH_TEST);
  SetTargetSizes(1, 0);
  DrawTargetQuad(target, 0, 1.0f, 0.0f, kQuadOverDestAlpha);
  SetTargetSizes(0, 0);
  glEnable(GL_DEPTH_TEST);
}

// The surface, textured with a copy of the frame so far at its rippled
// screen position.
void DrawSurface() {
  if (HasObject(objects.surface)) {
    ModuleETransformSurface();
    SetOrthoFrame();
    CopyFrameToTarget(target, 2);
    SetPerspectiveView(*scene, play.camera);

    SceneObject& surface = Object(objects.surface);
    surface.cameraTest = 1;
    // Raised after its transform: the projected coordinates use the height
    // set here the frame before (0 only on the first, a warm-up call).
    surface.position.y = 42.0f;
    SetColour(surface.baseColour, 1.0f, 0.4f, 0.1f, 1.0f);
    SetColour(surface.ambientColour, 0.25f, 0.25f, 0.25f, 1.0f);
    surface.renderMode = kRenderTextured;
    surface.textureName = target ? static_cast<int32_t>(target->fullTextures[2]) : 0;
    surface.cullFaces = 0;
    ModuleERippleSurface();
    DrawObject(*scene, objects.surface, play.light, 1);
  }
  SetOrthoFrame();
  glDisable(GL_DEPTH_TEST);
}

void DrawBandBlur() {
  CopyFrameToTarget(target, 0);
  BandBlur(target, 0, 4, 1.5f, 1.5f, kBlurStrength, 0.961f, 1.0f, 0.91f, 10, bandValues);
  SetOrthoFrame();
  glDisable(GL_DEPTH_TEST);
}

// Everything the record carries, one frame on: the clock, the light and the
// camera with its summed angle. The drawn frame and the state-only step both
// run it.
void AdvanceModuleE(int32_t frameDelta) {
  play.frameClock = AdvanceModuleEClock(&play.clockMs, frameDelta);
  play.light.position = LightPosition(*lightPath, play.frameClock.seconds);
  MoveModuleECamera(play.camera, &play.cameraAngle, &play.distanceFactor, play.envelope,
                    play.frameClock);
  OrthonormalizeCamera(*play.light.poseRef);
}

}  // namespace

void ModuleEHandOver(RenderTarget* shared) { target = shared; }

void ModuleEInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight) {
  scene = std::make_unique<Scene>(10000, windowWidth, windowHeight, targetWidth, targetHeight);

  SetLightColour(play.light, 0.7f, 1.2f, 1.8f);
  play.light.position.set(0.0f, 0.0f, 0.0f);
  play.light.poseRef = &play.camera;

  lightPath = MakeLightPath();

  scene->flipNormals = 1;

  objects.cave = LoadFirstObject("Models/luola2taso.3ds", 20.0f, 2.5f);
  if (HasObject(objects.cave)) {
    SceneObject& cave = Object(objects.cave);
    cave.position.y = 15.0f;
    BuildEdgeList(*scene, objects.cave);
    ApplyLook(cave, kCave);
  }

  objects.surface = LoadFirstObject("Models/vet.3ds", 75.0f, 1.0f);
  if (HasObject(objects.surface)) {
    AllocateWorldBuffers(*scene, objects.surface);
    SceneObject& surface = Object(objects.surface);
    surface.position.set(0.0f, 0.0f, 0.0f);
    ApplyLook(surface, kSurface);
  }

  // Boxes are never drawn: box 1 carries balls 1 to 3, box 2 balls 4 to 6,
  // and the rest only count faces.
  objects.box1 = LoadFirstObject("Models/holeboxsd.3ds", 9.0f, 1.0f);
  if (HasObject(objects.box1)) {
    const int32_t box1b = CloneObject(*scene, objects.box1);
    const int32_t box1c = CloneObject(*scene, objects.box1);
    objects.box2 = CloneObject(*scene, objects.box1);
    const int32_t box2b = CloneObject(*scene, objects.box1);
    const int32_t box2c = CloneObject(*scene, objects.box1);
    ShareTransform(*scene, objects.box1, box1b);
    ShareTransform(*scene, objects.box1, box1c);
    ShareTransform(*scene, objects.box2, box2b);
    ShareTransform(*scene, objects.box2, box2c);
  }

  // Only balls 1 and 2 are drawn; 3 to 6 only count faces.
  objects.ball1 = LoadFirstObject("Models/kiloball.3ds", 4.0f, 1.0f);
  if (HasObject(objects.ball1)) {
    objects.ball2 = CloneObject(*scene, objects.ball1);
    const int32_t ball3 = CloneObject(*scene, objects.ball1);
    const int32_t ball4 = CloneObject(*scene, objects.ball1);
    const int32_t ball5 = CloneObject(*scene, objects.ball1);
    const int32_t ball6 = CloneObject(*scene, objects.ball1);
    // ShareTransform skips a missing box: the balls then stay unlinked (and undrawn).
    ShareTransform(*scene, objects.box1, objects.ball1);
    ShareTransform(*scene, objects.box1, objects.ball2);
    ShareTransform(*scene, objects.box1, ball3);
    ShareTransform(*scene, objects.box2, ball4);
    ShareTransform(*scene, objects.box2, ball5);
    ShareTransform(*scene, objects.box2, ball6);
    ApplyLook(Object(objects.ball1), kBallOne);
    if (HasObject(objects.ball2)) ApplyLook(Object(objects.ball2), kBallTwo);
  }

  int32_t faces = 0;
  for (int32_t i = 0; i < scene->objectCount; ++i) faces += scene->objects[i]->faceCount;
  printf("%d Faces in scene.\n", faces);

  // Built in this order: they draw from the process-wide generator.
  noise256 = std::make_unique<NoiseTable>(256, 255, 111);
  noise512 = std::make_unique<NoiseTable>(512, 511, 222);
  noise1024 = std::make_unique<NoiseTable>(1024, 1023, 333);
}

void ModuleERender(int32_t frameDelta, int32_t /*mode*/) {
  if (!scene) return;  // init has not run
  ModuleEUpdate(frameDelta);

  SetOrthoFrame();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawGlowImage();
  DrawMainPicture();
  DrawGlowOverlay();
  DrawSurface();
  DrawBandBlur();
}

// The envelope is re-parameterised before each use, so computing the pulse and
// bands here, ahead of the passes, gives what the passes would.
void ModuleEUpdate(int32_t frameDelta) {
  if (!scene) return;
  AdvanceModuleE(frameDelta);
  const float t = play.frameClock.seconds;

  pulse = PulseScale(play.envelope, play.clockMs);
  BandValues(play.envelope, play.clockMs, bandValues);

  if (HasObject(objects.box1)) {
    SceneObject& box = Object(objects.box1);
    box.position = play.light.position;
    BoxOneAngles(t, &box.rotation.x, &box.rotation.z);
    box.scale.set(pulse, pulse, pulse);  // balls 1 and 2 pulse with it
  }
  if (HasObject(objects.box2)) {
    SceneObject& box = Object(objects.box2);
    box.position = play.light.position;
    BoxTwoAngles(t, &box.rotation.x, &box.rotation.z);
  }
  if (HasObject(objects.ball2)) {
    SceneObject& ball = Object(objects.ball2);
    ball.scale.set(pulse, pulse, pulse);
    SetColour(ball.baseColour, 0.25f * pulse, 0.15f * pulse, 0.1f * pulse, 1.0f);
    SetColour(ball.specularColour, 0.0f, 0.0f, 0.0f, 1.0f);
    SetColour(ball.ambientColour, 1.5f, 0.8f, 0.41f, 1.0f);
  }

  if (HasObject(objects.cave)) {
    Object(objects.cave).cameraTest = 1;
    // The relief reads only the loaded mesh and the noise: once is enough.
    if (!caveDeformed) ModuleEDeformCave();
  }
}

void ModuleEDeformCave() {
  if (!scene || !noise512 || !HasObject(objects.cave)) return;
  Envelope shape;  // the relief sets its own ramp; the module's envelope is left alone
  DeformCave(*scene, objects.cave, *noise512, shape);
  caveDeformed = true;
}

void ModuleETransformCave() {
  if (!scene || !HasObject(objects.cave)) return;
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  // Under the identity modelview SetOrthoWindow leaves: world space.
  const float relief = caveDeformed ? 1.0f : 0.0f;
  TransformKeptWorld(*scene, objects.cave, kFromBaseVertices, &relief, 1, &caveWorld);
}

void ModuleEBuildCaveShadow() {
  if (!scene || !HasObject(objects.cave)) return;
  BuildShadowVolume(*scene, objects.cave, play.light);
}

void ModuleETransformSurface() {
  if (!scene || !HasObject(objects.surface)) return;
  SetPerspectiveView(*scene, play.camera);
  TransformObject(*scene, objects.surface, kFromVertices, kWithVertexNormals);
}

void ModuleERippleSurface() {
  if (!scene || !noise512 || !HasObject(objects.surface)) return;
  RippleSurface(*scene, objects.surface, *noise512, play.frameClock.seconds);
}

ModuleEObjects ModuleEObjectIndices() { return objects; }

void ModuleEForgetKeptWork() { caveWorld.ready = false; }

const Scene* ModuleEScene() { return scene.get(); }

ModuleEState ModuleEStateNow() {
  return ModuleEState{play.clockMs, play.cameraAngle, play.distanceFactor, pulse, play.light.position, caveDeformed};
}

// The advance alone: the rest follows the clock.
void ModuleEStep(int32_t frameDelta, int32_t /*mode*/) {
  if (!scene) return;
  AdvanceModuleE(frameDelta);
}

void ModuleEKeepState() { kept = play; }

void ModuleERestoreState() { play = kept; }
