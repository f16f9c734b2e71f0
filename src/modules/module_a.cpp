#include "modules/module_a.h"

#include <cstdio>
#include <memory>

#include "assets/scene.h"
#include "assets/texture_names.h"
#include "core/gl.h"
#include "effects/blurs.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "modules/module_a_frame.h"
#include "modules/module_common.h"
#include "toolkit/billboards.h"
#include "toolkit/camera.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/noise.h"
#include "toolkit/random.h"
#include "toolkit/shadow_volume.h"

namespace {
// The shared textures by their part here.
constexpr uint32_t kRibbonTexture = kTextureBill;
constexpr uint32_t kKiloTexture = kTextureValko;
constexpr uint32_t kStarTexture = kTextureStars;
constexpr uint32_t kFirstCloudTexture = kTextureFirstCloud;
// The sprites are counted by texture from the ribbons' to the last cloud's.
constexpr uint32_t kFirstCountedTexture = kRibbonTexture;
constexpr int32_t kCountedTextures = kTextureFirstCloud + kTextureClouds - kTextureBill;

RenderTarget* target = nullptr;
std::unique_ptr<Scene> scene;
Light lamp;
ModuleAObjects objects;
Vector4 blobBase[kCentreCount];
float centreDistance[kCentreCount] = {};
std::unique_ptr<NoiseTable> noiseSmall, noise, noiseLarge;
// Everything a frame carries to the next: the clock alone (the frame's
// values are made from it), kept after loading and restored in one copy.
struct ModuleAPlay {
  float clockMs = kModuleAStartClockMs;
};
ModuleAPlay play;
ModuleAPlay kept;
ModuleAFrame frame;
SpriteLook ribbonLook[kRibbonCount];
SpriteLook cloudLook[kCloudCount];
int32_t billboardCount[kCountedTextures] = {};
uint32_t boundSpriteTexture = 0;

const ObjectLook kStarBall = {kStarTexture, kRenderTextured,
                              1.0f, {0, 0, 0}, {1, 1, 1}, 1.0f, 0.0001f, {0, 0, 0}};
// The kilo ball and its clone differ only in colours; both take the lamp as a
// directional light.
const ObjectLook kKiloBall = {kKiloTexture, kRenderUntextured,
                              1.0f, {0.4f, 0.325f, 0.22f}, {0.1f, 0.12f, 0.04f}, 0.0f, 0.05f,
                              {0, 0, 0}};
// The clone is the balls' blue glow. Its lamp sits at the origin as a
// direction, so no diffuse light reaches it and only the ambient colour
// shows: that colour must be blue, or the glow is warm. Deeper than the base
// colour's blue, so the glow added over the sprites does not burn to white.
const ObjectLook kKiloClone = {kKiloTexture, kRenderUntextured,
                               1.0f, {0.32f, 0.46f, 1.21f}, {0.16f, 0.32f, 1.21f}, 0.0f, 0.05f,
                               {0, 0, 0}};

SceneObject& Object(int32_t index) { return *scene->objects[index]; }

// Every sprite goes through here, so tests can count them per texture.
void BindSpriteTexture(uint32_t name) {
  glBindTexture(GL_TEXTURE_2D, name);
  boundSpriteTexture = name;
}

void Sprite(float x, float y, float z, float halfWidth, float halfHeight, float r, float g, float b,
            float a) {
  uint32_t slot = boundSpriteTexture - kFirstCountedTexture;
  if (slot < kCountedTextures) ++billboardCount[slot];
  DrawBillboard(*scene, x, y, z, halfWidth, halfHeight, r, g, b, a);
}

void DrawRibbon() {
  BeginBillboards(*scene, kRibbonTexture, 0);
  boundSpriteTexture = kRibbonTexture;
  for (int32_t i = 0; i < kRibbonCount; ++i) {
    const RibbonSprite& p = frame.ribbon[i];
    if (!p.visible) continue;
    const SpriteLook& l = ribbonLook[i];
    Sprite(p.x, p.y, p.z, l.halfWidth, l.halfHeight, l.r, l.g, l.b, l.a);
  }
  EndBillboards(*scene);
}

// Each cloud is two sprites cross-fading between neighbouring images: the one
// fading out grows by 12, the one fading in shrinks towards its base size.
void DrawClouds() {
  BeginBillboards(*scene, kFirstCloudTexture, 0);
  boundSpriteTexture = kFirstCloudTexture;
  const float S = frame.cloudAlpha;
  for (int32_t i = 0; i < kCloudCount; ++i) {
    const CloudSprite& c = frame.cloud[i];
    if (!c.visible) continue;
    const SpriteLook& l = cloudLook[i];
    const float f = c.blend.f;
    BindSpriteTexture(kFirstCloudTexture + c.blend.k);
    Sprite(c.x, c.y, c.z, l.halfWidth + 12.0f * f, l.halfHeight + 12.0f * f, l.r, l.g, l.b,
           (1.0f - f) * S);
    BindSpriteTexture(kFirstCloudTexture + c.blend.k2);
    Sprite(c.x, c.y, c.z, l.halfWidth + 4.0f * (1.0f - f), l.halfHeight + 4.0f * (1.0f - f), l.r,
           l.g, l.b, f * S);
  }
  EndBillboards(*scene);
}

void SetTargetSize(int32_t smallTextures, int32_t smallSize) {
  if (!target) return;
  target->useSmallTextures = smallTextures;
  target->useSmallSize = smallSize;
}

// The kilo ball (and so its clone, which shares its transform) at each centre.
void DrawAtCentres(int32_t index) {
  SceneObject& kilo = Object(objects.kilo);
  for (int32_t e = 0; e < kCentreCount; ++e) {
    kilo.position.set(frame.centre[e].x, frame.centre[e].y, frame.centre[e].z);
    glEnable(GL_DEPTH_TEST);
    DrawObject(*scene, index, lamp, 0);
  }
}

// The frame's GL passes.
void DrawFrame(int32_t mode) {
  const bool hasKilo = HasObject(objects.kilo);
  if (hasKilo) {
    SceneObject& kilo = Object(objects.kilo);
    kilo.blendMode = kBlendAlphaAdditive;
    kilo.baseAlpha = 0.75f;
    kilo.renderMode = kRenderTextured;
  }
  if (HasObject(objects.ball)) {
    SceneObject& ball = Object(objects.ball);
    ball.position.y = 0.0f;
    ball.position.z = 0.0f;
    ball.scale.y = frame.ball.scaleY;
    ball.scale.x = frame.ball.scaleX;
    ball.texOffsetU = frame.ball.texOffsetU;
    ball.texOffsetV = frame.ball.texOffsetV;
    ball.rotation.x = 0.01f;
  }

  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  // Glow layer at the small size: the clones in their blue colours, brightened
  // and blurred.
  SetTargetSize(1, 1);
  glEnable(GL_DEPTH_TEST);
  SetPerspectiveViewTarget(*scene, frame.camera);
  if (hasKilo) Object(objects.kilo).baseAlpha = 0.85f;
  if (hasKilo && HasObject(objects.kiloClone)) DrawAtCentres(objects.kiloClone);

  glDisable(GL_DEPTH_TEST);
  SetOrthoTarget(*scene);
  if (target) {
    CopyFrameToTarget(target, 0);
    BoostBrightness(target, 0, 1, 0.4f);
    CopyFrameToTarget(target, 0);
    BlurTarget(target, 0, 4, 1.5f, 1.5f, 0.03125f, 1.0f, 1.0f, 1.0f);
  }

  // The sprites join the glow layer after its blur, so they stay sharp.
  SetPerspectiveViewTarget(*scene, frame.camera);
  for (int32_t& n : billboardCount) n = 0;
  if (mode == 0 || mode == 1) DrawRibbon();
  if (mode == 1) DrawClouds();

  SetOrthoTarget(*scene);
  if (target) CopyFrameToTarget(target, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  SetTargetSize(0, 0);

  // The full-size picture.
  SetPerspectiveView(*scene, frame.camera);
  if (HasObject(objects.ball)) DrawObject(*scene, objects.ball, lamp, 0);
  SetPerspectiveView(*scene, frame.camera);
  if (hasKilo) {
    Object(objects.kilo).baseAlpha = 1.0f;
    DrawAtCentres(objects.kilo);
  }

  // The glow layer stretched over it.
  glDisable(GL_DEPTH_TEST);
  SetOrthoWindow(scene->windowWidth, scene->windowHeight);
  if (target) {
    SetTargetSize(1, 0);
    DrawTargetQuad(target, 0, 1.0f, 0.0f, kQuadOverDestAlpha);
    SetTargetSize(0, 0);
  }
  glDisable(GL_DEPTH_TEST);
}
}  // namespace

void ModuleAHandOver(RenderTarget* shared) { target = shared; }

void ModuleAInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight) {
  scene = std::make_unique<Scene>(10000, windowWidth, windowHeight, targetWidth, targetHeight);
  frame.camera.position.set(0.0f, 5.0f, -25.0f);  // every frame places it again
  frame.camera.direction.set(0.0f, 0.0f, 1.0f);
  lamp = Light();
  SetLightColour(lamp, 1.0f, 1.0f, 1.0f);

  // Both balls are read with flipped normals: the star ball is seen from inside.
  scene->flipNormals = 1;
  scene->vertexScale = 200.0f;
  scene->uvScale = 0.75f;
  LoadedModel ball = LoadModel(*scene, "Models/ballinv.3ds", "Module A");
  if (ball.ok) {
    objects.ball = ball.first;
    SceneObject& o = Object(objects.ball);
    o.position.y = 0.0f;
    o.position.z = 0.0f;
    o.scale.x = 1.04f;
    o.scale.y = 0.78f;
    o.rotation.x = 0.01f;
    BuildEdgeList(*scene, objects.ball);
    ApplyLook(o, kStarBall);
  }

  scene->vertexScale = 3.0f;
  scene->uvScale = 1.0f;
  LoadedModel kilo = LoadModel(*scene, "Models/kiloball.3ds", "Module A");
  if (kilo.ok) {
    objects.kilo = kilo.first;
    Object(objects.kilo).scale.z = 1.0f;
    ApplyLook(Object(objects.kilo), kKiloBall);
    objects.kiloClone = CloneObject(*scene, objects.kilo);
  }
  if (HasObject(objects.kiloClone)) {
    Object(objects.kiloClone).scale.z = 1.0f;
    ApplyLook(Object(objects.kiloClone), kKiloClone);
    ShareTransform(*scene, objects.kilo, objects.kiloClone);
  }

  objects.faceTotal = 0;
  for (int32_t i = 0; i < scene->objectCount; ++i) objects.faceTotal += Object(i).faceCount;

  // Built in this order for every module, as they draw from the shared generator.
  noiseSmall = std::make_unique<NoiseTable>(256, 255, 111);
  noise = std::make_unique<NoiseTable>(512, 511, 222);
  noiseLarge = std::make_unique<NoiseTable>(1024, 1023, 333);

  SeedRandom(141);
  PlaceCentres(blobBase, centreDistance);
  for (float d : centreDistance) printf("found dista was %f\n", d);

  // The sprites' sizes and colours do not change with time.
  for (int32_t i = 0; i < kRibbonCount; ++i) ribbonLook[i] = RibbonLook(i);
  for (int32_t i = 0; i < kCloudCount; ++i) cloudLook[i] = CloudLook(i);

  printf("%d Faces in scene.\n", objects.faceTotal);
}

// Leaves: depth test off, depth function GL_LEQUAL (when a ball was drawn),
// 2D texturing and blending on with (src alpha, dst alpha), texture
// environment GL_ADD, the pixel orthographic view of the render area, and the
// shared target's size flags at 0.
void ModuleARender(int32_t frameDelta, int32_t mode) {
  if (!scene) return;
  AdvanceModuleClock(&play.clockMs, frameDelta);
  UpdateModuleAFrame(&frame, *noise, blobBase, play.clockMs, mode);
  DrawFrame(mode);
}

ModuleAObjects ModuleAObjectIndices() { return objects; }
float ModuleAClockMs() { return play.clockMs; }
const float* ModuleACentreDistances() { return centreDistance; }
const ModuleAFrame& ModuleALastFrame() { return frame; }

int32_t ModuleABillboardCount(uint32_t name) {
  uint32_t slot = name - kFirstCountedTexture;
  return slot < kCountedTextures ? billboardCount[slot] : 0;
}

void ModuleAStep(int32_t frameDelta, int32_t mode) {
  if (!scene) return;
  AdvanceModuleClock(&play.clockMs, frameDelta);
}

void ModuleAKeepState() { kept = play; }
void ModuleARestoreState() { play = kept; }
