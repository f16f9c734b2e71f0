#include "modules/module_b_passes.h"

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

namespace {
// The cube's material for pass p (0: front faces culled, added; 1: back
// faces culled, alpha-blended with the cube-map pass) in mode m.
float SetCubePass(SceneObject& o, int32_t p, int32_t m) {
  o.modulate = 1;
  if (p == 0) {
    if (m == 1) {
      SetColour(o.baseColour, 0.23f, 0.23f, 0.3f, 1.0f);
      SetColour(o.ambientColour, 0.5f, 0.5f, 0.7f, 1.0f);
      o.baseAlpha = 0.7f;
    } else {
      SetColour(o.baseColour, 0.5f, 0.5f, 0.5f, 1.0f);
      SetColour(o.ambientColour, 0.5f, 0.95f, 0.5f, 1.0f);
      o.baseAlpha = 0.85f;
    }
    o.renderMode = kRenderTextured;
    o.blendMode = kBlendAdditive;
    glCullFace(GL_FRONT);
    return 0.05f;
  }
  if (m == 1) {
    SetColour(o.baseColour, 0.15f, 0.1f, 0.05f, 1.0f);
    SetColour(o.ambientColour, 0.0125f, 0.025f, 0.0125f, 1.0f);
    o.modulate = 0;
  } else {
    SetColour(o.baseColour, 0.1f, 0.31f, 0.1f, 1.0f);
    SetColour(o.ambientColour, 0.86f, 0.86f, 0.86f, 1.0f);
  }
  o.baseAlpha = 1.0f;
  o.renderMode = kRenderLitAddedPass;
  o.blendMode = kBlendAlpha;
  glCullFace(GL_BACK);
  return 0.135f;
}
}  // namespace

void DrawMarkerGlow(const ModuleBView& v, int32_t kiloballClone1) {
  Scene& s = *v.scene;
  RenderTarget* target = v.target;
  glEnable(GL_BLEND);
  target->useSmallTextures = 1;
  target->useSmallSize = 1;
  glEnable(GL_DEPTH_TEST);
  SetPerspectiveViewTarget(s, *v.pose);
  if (kiloballClone1 >= 0) DrawObject(s, kiloballClone1, *v.light1, 0);

  glDisable(GL_DEPTH_TEST);
  SetOrthoTarget(s);
  CopyFrameToTarget(target, 0);
  BoostBrightness(target, 0, 2, 1.0f);
  CopyFrameToTarget(target, 0);
  BlurTarget(target, 0, 6, 1.5f, 1.5f, 0.020833334f, 1.0f, 1.0f, 1.0f);
  CopyFrameToTarget(target, 0);
  glEnable(GL_DEPTH_TEST);
  SetPerspectiveViewTarget(s, *v.pose);
}

void DrawSwarm(const ModuleBView& v, const ModuleBSprite* sprites) {
  Scene& s = *v.scene;
  BeginBillboards(s, kTextureFirstCloud, 0);
  for (int32_t j = 0; j < kModuleBSprites; ++j) {
    const ModuleBSprite& p = sprites[j];
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(p.texture0));
    DrawBillboard(s, p.x, p.y, p.z, p.half0, p.half0, p.r, p.g, p.b, p.alpha0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(p.texture1));
    DrawBillboard(s, p.x, p.y, p.z, p.half1, p.half1, p.r, p.g, p.b, p.alpha1);
  }
  EndBillboards(s);
  SetOrthoTarget(s);
  CopyFrameToTarget(v.target, 0);
}

void IceCubeCoordinates(Scene& scene, int32_t icecube, float k, float strength) {
  SceneObject* o = FindObject(scene, icecube);
  if (!o || !o->worldVertices || !o->worldVertexNormals) return;
  for (int32_t i = 0; i < o->vertexCount; ++i)
    RefractionCoordinates(k, strength, o->worldVertices[i], o->worldVertexNormals[i], &o->texU[i],
                          &o->texV[i]);
}

void DrawIceCube(const ModuleBView& v, int32_t icecube, int32_t mode, float k) {
  Scene& s = *v.scene;
  SceneObject* o = FindObject(s, icecube);
  if (!o) return;
  for (int32_t p = 0; p < 2; ++p) {
    glDisable(GL_DEPTH_TEST);
    SetOrthoWindow(s.windowWidth, s.windowHeight);
    CopyFrameToTarget(v.target, 2);  // the picture the cube looks through
    SetPerspectiveView(s, *v.pose);
    o->cameraTest = 0;
    float strength = SetCubePass(*o, p, mode);
    o->textureName = static_cast<int32_t>(v.target->fullTextures[2]);
    IceCubeCoordinates(s, icecube, k, strength);
    glEnable(GL_DEPTH_TEST);
    DrawObject(s, icecube, *v.light1, 1);
  }
}

void DrawClosingMode1(const ModuleBView& v, const ModuleBZoom& zoom, float f,
                      const float* bandValues, float bandPhaseA, float bandPhaseB) {
  RenderTarget* target = v.target;
  if (zoom.weight != 0.0f) {
    CopyFrameToTarget(target, 0);
    ZoomBlur(target, 0, 6, zoom.alpha, 0.5f, 1.1f, zoom.zoom, 0.0f, zoom.centreY);
  }
  if (f == 0.0f) return;

  // The greetings flash: the picture is kept in slot 1 while slot 0 is pointed
  // at the greetings texture for one quad. Slot 0 then takes the name of its
  // feedback texture, not the one it had: both passes of a feedback effect on
  // slot 0 read a copy made before they draw, so sharing one texture is safe.
  CopyFrameToTarget(target, 1);
  target->fullTextures[0] = kTextureGreetings;
  glClear(GL_COLOR_BUFFER_BIT);
  DrawTargetQuad(target, 0, 0.75f, 0.0f, kQuadAlpha);
  target->fullTextures[0] = target->fullFeedback[0];
  CopyFrameToTarget(target, 3);
  BandBlur(target, 3, 4, 1.5f, 1.5f, 0.2f, 1.0f, 1.0f, 1.0f, kModuleBBands, bandValues);
  CopyFrameToTarget(target, 3);
  DrawTargetQuad(target, 1, 1.0f, 0.0f, kQuadAlpha);

  // Drifting echoes of the blurred greetings.
  QuadPlacement echo;
  echo.x = bandPhaseA;
  echo.y = bandPhaseB;
  echo.scale = ModuleBEchoScale(f);
  echo.angle = -40.0f;
  echo.axisZ = 1.0f;
  for (int i = 0; i < 12; ++i)
    DrawTargetQuadTransformed(target, 3, 0.25f * f, 0.0f, kQuadColour, echo);
}

void DrawClosingMode0(const ModuleBView& v, const ModuleBZoom& zoom, float g,
                      const float* heightField, int32_t rows, int32_t columns) {
  RenderTarget* target = v.target;
  if (zoom.weight != 0.0f) {
    CopyFrameToTarget(target, 0);
    ZoomBlur(target, 0, 5, zoom.alpha, 0.5f, 1.1f, zoom.zoom, 0.0f, zoom.centreY);
  }
  CopyFrameToTarget(target, 0);
  const float s = 0.33f * g;
  if (s != 0.0f) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
    GridBlurSpec grid;
    grid.strength = s;
    grid.rows = rows;
    grid.columns = columns;
    grid.values = heightField;
    // Added: the ripple lights the picture where the field is high.
    grid.base = {0.0f, 0.0f, 0.0f};
    grid.tint = {0.75f, 0.75f, 0.75f};
    GridBlur(target, 0, grid);
    CopyFrameToTarget(target, 0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Multiplied: green and blue taken out where the field is high.
    grid.base = {1.0f, 0.2f * s + 0.8f, 1.0f};
    grid.tint = {0.0f, -2.25f, -3.0f};
    GridBlur(target, 0, grid);
  } else {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    BlurTarget(target, 0, 1, 1.5f, 1.5f, s, 1.0f, 0.8f, 1.0f);
  }
}
