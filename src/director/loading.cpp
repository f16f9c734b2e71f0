#include "director/loading.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "assets/image.h"
#include "assets/scene.h"
#include "assets/texture_names.h"
#include "core/area_target.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "director/shared.h"
#include "effects/blurs.h"
#include "effects/render_target.h"
#include "effects/target_quads.h"
#include "modules/modules.h"
#include "core/gl.h"
#include "core/present.h"
#include "toolkit/camera.h"

namespace {
// Sizes handed in by the shell, kept for the loading screen.
int32_t areaWidth = 1024, areaHeight = 512;
int32_t effectWidthSeen = 256, effectHeightSeen = 128;
int32_t windowWidthSeen = 1024, windowHeightSeen = 768;

float progress = 10.0f;
constexpr float kProgressStep = 25.0f;
constexpr float kProgressEnd = 300.0f;

LoadingFrameHook frameHook = nullptr;
void* frameHookUser = nullptr;
int framesDrawn = 0;

void Screen() {
  DrawLoadingScreen();
  ++framesDrawn;
  if (frameHook) frameHook(framesDrawn, frameHookUser);
  SwapFrame();
  // The init and warm-up steps between loading frames draw into the area.
  BindAreaTarget();
}

// The loading picture's plane: 140 x 300 units lying below the eye, tilted up
// by 0.4 degrees per progress unit.
void TiltedPlane() {
  glTranslatef(-70.0f, -250.0f, -500.0f);
  glRotatef(progress * 0.4f - 90.0f, 1.0f, 0.0f, 0.0f);
  glScalef(1.0f, 1.5f, 1.0f);
}

// The shared textures, in the order of their loading frames.
void LoadSharedTextures(Image& image, int32_t renderWidth) {
  LoadTexture(image, "Images/bill1.jpg", kTextureBill);
  LoadTexture(image, "Images/valko.jpg", kTextureValko);
  LoadTexture(image, "Images/darkbeach.jpg", kTextureDarkBeach);
  LoadTexture(image, "Images/blubackg.jpg", kTextureBlueBackground);
  LoadTexture(image, "Images/env1puvi.jpg", kTextureEnvPuvi);
  Screen();

  for (int face = 0; face < 4; ++face)
    LoadCubeFace(image, "Images/black.jpg", kTextureEnvironmentCube, face);
  LoadCubeFace(image, "Images/env1gr.jpg", kTextureEnvironmentCube, 4);
  LoadCubeFace(image, "Images/black.jpg", kTextureEnvironmentCube, 5);
  Screen();

  LoadTexture(image, "Images/maasto1.jpg", kTextureMaasto);
  LoadTexture(image, "Images/maasto2.jpg", kTextureMaasto2);
  LoadMaskedTexture(image, "Images/tro_m2b.pcx", "Images/tro2b.jpg", kTextureLogoBright);
  LoadMaskedTexture(image, "Images/tro_m2n.pcx", "Images/tro2n.jpg", kTextureLogoDark);
  LoadMaskedTexture(image, "Images/tromel.pcx", "Images/tromel.jpg", kTextureLogoMelt);
  // The greetings come in a variant for render areas other than 1024 wide,
  // measured at the show's own scale: a scaled area keeps its picture.
  if (std::lround(renderWidth / AreaPixelScale()) == 1024)
    LoadMaskedTexture(image, "Images/greets1.pcx", "Images/greets1.jpg", kTextureGreetings);
  else
    LoadMaskedTexture(image, "Images/greets.pcx", "Images/greets.jpg", kTextureGreetings);
  Screen();

  LoadTexture(image, "Images/maasto1glow.jpg", kTextureMaastoGlow);
  LoadTexture(image, "Images/stars1c.jpg", kTextureStars);
  Screen();

  char path[64];
  for (int d = 1; d <= kTextureClouds; ++d) {
    snprintf(path, sizeof path, "Images/bill_cl%d.jpg", d);
    LoadTexture(image, path, kTextureFirstCloud + static_cast<uint32_t>(d - 1));
  }
  Screen();

  for (int d = 1; d <= kTextureNoiseBlobs; ++d) {
    snprintf(path, sizeof path, "Images/noiseblob%ds.jpg", d);
    LoadTexture(image, path, kTextureFirstNoiseBlob + static_cast<uint32_t>(d - 1));
  }
  Screen();
}

// Hand-over, init, warm-up render calls (delta 1) and two loading frames.
void StartModule(ModuleId id, std::initializer_list<int32_t> warmUpModes) {
  HandOverModule(id, sharedTarget);
  InitModule(id, areaWidth, areaHeight, 2 * effectWidthSeen, 2 * effectHeightSeen);
  for (int32_t mode : warmUpModes) RenderModule(id, 1, mode);
  Screen();
  Screen();
}
}  // namespace

float LoadingProgress() { return progress; }

void SetLoadingFrameHook(LoadingFrameHook hook, void* user) {
  frameHook = hook;
  frameHookUser = user;
}

void DrawLoadingScreen() {
  // The picture in perspective.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(65.0, 4.0 / 3.0, 0.7, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  BindAreaTarget();
  glViewport(0, 0, areaWidth, areaHeight);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glBindTexture(GL_TEXTURE_2D, kTextureLoadingPicture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  TiltedPlane();
  glEnable(GL_TEXTURE_2D);
  glColor4f(0.51f, 0.51f, 0.64f, 1.0f);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-4.0f, -4.0f, 0.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(144.0f, -4.0f, 0.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(144.0f, 304.0f, 0.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-4.0f, 304.0f, 0.0f);
  glEnd();

  // Keep the plain picture in slot 1.
  glDisable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  SetOrthoWindow(areaWidth, areaHeight);
  CopyFrameToTarget(loadingTarget, 1);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();

  // Black over the part of the plane not yet loaded.
  glViewport(0, 0, areaWidth, areaHeight);
  glDisable(GL_TEXTURE_2D);
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  glVertex3f(0.0f, 300.0f, 0.0f);
  glVertex3f(140.0f, 300.0f, 0.0f);
  glVertex3f(140.0f, progress, 0.0f);
  glVertex3f(0.0f, progress, 0.0f);
  glEnd();

  if (progress < kProgressEnd)
    progress += kProgressStep;
  else
    progress = kProgressEnd;

  // Glow: the covered picture blurred, brightened by itself and blurred
  // again, with the plain picture added on top.
  glColor4f(0.41f, 0.41f, 1.0f, 1.0f);
  glDisable(GL_DEPTH_TEST);
  SetOrthoWindow(areaWidth, areaHeight);
  RenderTarget* l = loadingTarget;
  CopyFrameToTarget(l, 0);
  BlurTarget(l, 0, 8, 1.5f, 1.5f, 0.041666668f, 0.6f, 1.0f, 0.75f);
  CopyFrameToTarget(l, 0);
  DrawTargetQuad(l, 0, 1.0f, 0.0f, kQuadOverDestAlpha);
  DrawTargetQuad(l, 0, 1.0f, 0.0f, kQuadOverDestAlpha);
  CopyFrameToTarget(l, 0);
  BlurTarget(l, 0, 8, 1.5f, 1.5f, 0.041666668f, 0.6f, 1.0f, 0.75f);
  DrawTargetQuad(l, 1, 1.0f, 0.0f, kQuadOverDestAlpha);
  CopyFrameToTarget(l, 1);

  // The result over the window: three quarters of the picture's width, cut at
  // top and bottom by the render area's projection. The picture's rectangle
  // is the whole window at 4:3.
  BindWindowTarget();
  const PictureRect r = FitPicture(screenWidth, screenHeight);
  glViewport(r.x, r.y, r.width, r.height);
  glLoadIdentity();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_TEXTURE_2D);
  if (l) glBindTexture(GL_TEXTURE_2D, l->fullTextures[1]);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
  const float hx = 0.375f * windowWidthSeen, hy = 0.375f * windowHeightSeen;
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(-hx, hy);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(hx, hy);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(hx, -hy);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(-hx, -hy);
  glEnd();

  glEnable(GL_DEPTH_TEST);
}

void LoadAll(int renderWidth, int renderHeight, int effectWidth, int effectHeight,
             int windowWidth, int windowHeight) {
  framesDrawn = 0;
  areaWidth = renderWidth;
  areaHeight = renderHeight;
  effectWidthSeen = effectWidth;
  effectHeightSeen = effectHeight;
  windowWidthSeen = windowWidth;
  windowHeightSeen = windowHeight;

  // Generated first and never bound, so names handed out later (render
  // targets, modules) stay clear of the fixed names 30 to 59.
  GLuint reserved[60];
  glGenTextures(60, reserved);

  CreateSharedObjects(renderWidth, renderHeight, effectWidth, effectHeight);
  static Image scratch;  // one decode buffer for every load

  LoadTexture(scratch, "Images/loadingVR1.jpg", kTextureLoadingPicture);
  Screen();
  LoadSharedTextures(scratch, renderWidth);

  StartModule(kModuleB, {1, 0});
  StartModule(kModuleE, {0});
  StartModule(kModuleD, {0, 1});
  StartModule(kModuleA, {0});
  StartModule(kModuleC, {0, 1});
}
