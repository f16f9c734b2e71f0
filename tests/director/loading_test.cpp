// The loading sequence on the headless context, run in a temporary directory
// of small image files: the frames it swaps, the progress of each, the module
// order and every shared texture under its name.
#include "director/loading.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../assets/sample_files.h"
#include "assets/file_error.h"
#include "core/render_scale.h"
#include "director/shared.h"
#include "effects/render_target.h"
#include "gl_test.h"
#include "modules/modules.h"
#include "core/present.h"
#include "core/settings.h"

namespace fs = std::filesystem;

namespace {

// Every file gets its own width (a multiple of 4) and solid colour, so a
// texture shows which file it came from.
struct FileSpec {
  const char* name;
  int width;
};
std::vector<FileSpec> jpegFiles;

samples::Bytes SolidRgb(int width, int height, int index) {
  samples::Bytes rgb;
  for (int i = 0; i < width * height; ++i) {
    rgb.push_back(static_cast<uint8_t>(20 + 7 * index));
    rgb.push_back(static_cast<uint8_t>(230 - 7 * index));
    rgb.push_back(128);
  }
  return rgb;
}

// The loading picture: a grid of bright lines, so its tilt shows in the frames.
samples::Bytes GridPicture(int size) {
  samples::Bytes rgb;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      bool line = x % 32 < 3 || y % 32 < 3;
      rgb.push_back(line ? 255 : 40);
      rgb.push_back(line ? 255 : static_cast<uint8_t>(y * 255 / size));
      rgb.push_back(line ? 255 : static_cast<uint8_t>(x * 255 / size));
    }
  return rgb;
}

constexpr int kHeight = 8;

void WriteImages(const fs::path& dir) {
  fs::create_directories(dir / "Images");
  const char* names[] = {
      "bill1.jpg",     "valko.jpg",      "darkbeach.jpg",   "blubackg.jpg",    "env1puvi.jpg",
      "black.jpg",     "env1gr.jpg",     "maasto1.jpg",     "maasto2.jpg",     "tro2b.jpg",
      "tro2n.jpg",     "tromel.jpg",     "greets1.jpg",     "greets.jpg",      "maasto1glow.jpg",
      "stars1c.jpg",   "bill_cl1.jpg",   "bill_cl2.jpg",    "bill_cl3.jpg",    "bill_cl4.jpg",
      "bill_cl5.jpg",  "noiseblob1s.jpg", "noiseblob2s.jpg", "noiseblob3s.jpg", "noiseblob4s.jpg",
      "noiseblob5s.jpg", "noiseblob6s.jpg", "noiseblob7s.jpg", "noiseblob8s.jpg",
      "noiseblob9s.jpg", "noiseblob10s.jpg"};
  jpegFiles.clear();
  int index = 0;
  for (const char* name : names) {
    int width = 8 + 4 * index;
    // Cube-map faces must be square.
    std::string n = name;
    int height = n == "black.jpg" || n == "env1gr.jpg" ? width : kHeight;
    jpegFiles.push_back({name, width});
    samples::WriteFile((dir / "Images" / name).string(),
                       samples::EncodeJpeg(width, height, 3, SolidRgb(width, height, index)));
    ++index;
  }
  samples::WriteFile((dir / "Images/loadingVR1.jpg").string(),
                     samples::EncodeJpeg(256, 256, 3, GridPicture(256)));
  // Masks sized like their colour pictures; alpha comes from the palette's blue.
  auto mask = [&](const char* name, const char* colour, uint8_t alpha) {
    int width = 0;
    for (const FileSpec& f : jpegFiles)
      if (std::string(f.name) == colour) width = f.width;
    samples::Bytes palette(768, 0);
    palette[3 * 5 + 2] = alpha;
    samples::WriteFile((dir / "Images" / name).string(),
                       samples::PalettedPcx(width, kHeight, samples::Bytes(width * kHeight, 5),
                                            palette));
  };
  mask("tro_m2b.pcx", "tro2b.jpg", 11);
  mask("tro_m2n.pcx", "tro2n.jpg", 22);
  mask("tromel.pcx", "tromel.jpg", 33);
  mask("greets1.pcx", "greets1.jpg", 44);
  mask("greets.pcx", "greets.jpg", 55);
}

int WidthOf(const char* file) {
  for (const FileSpec& f : jpegFiles)
    if (std::string(f.name) == file) return f.width;
  return -1;
}

GLint TextureWidth(GLenum target, GLuint name, GLenum level = GL_TEXTURE_2D) {
  glBindTexture(target, name);
  GLint w = 0;
  glGetTexLevelParameteriv(level, 0, GL_TEXTURE_WIDTH, &w);
  return w;
}

// Records what the loading sequence does, in order.
std::vector<std::string> events;
std::vector<float> progressAtSwap;
std::vector<std::string> errors;
int savedFrames = 0;
std::string frameDir;

std::vector<int> hookedFrames;
void OnLoadingFrame(int frame, void*) {
  hookedFrames.push_back(frame);
  events.push_back("frame");
}

void OnSwap(void*) {
  progressAtSwap.push_back(LoadingProgress());
  events.push_back("screen");
  int n = static_cast<int>(progressAtSwap.size());
  if (!frameDir.empty() && (n == 1 || n == 7 || n == 12 || n == 13 || n == 17)) {
    SaveFramePng(frameDir + std::to_string(n), 1024, 768);
    ++savedFrames;
  }
}

template <char Id>
void HandOver(RenderTarget* shared) {
  events.push_back(std::string("handover ") + Id + (shared == sharedTarget ? " shared" : " other"));
}
template <char Id>
void Init(int32_t ww, int32_t wh, int32_t tw, int32_t th) {
  char text[64];
  snprintf(text, sizeof text, "init %c %d %d %d %d", Id, ww, wh, tw, th);
  events.push_back(text);
}
template <char Id>
void Render(int32_t delta, int32_t mode) {
  char text[64];
  snprintf(text, sizeof text, "render %c %d %d", Id, delta, mode);
  events.push_back(text);
}

class LoadingTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    dir_ = fs::temp_directory_path() / ("marvoke_loading_" + std::to_string(getpid()));
    WriteImages(dir_);
    oldDir_ = fs::current_path();
    fs::current_path(dir_);
    SetFileErrorBox([](const char* text, const char*) { errors.push_back(text); });
    SetSwapFunction(OnSwap, nullptr);
    events.clear();
    progressAtSwap.clear();
    errors.clear();
    quitRequested = 0;
  }
  void TearDown() override {
    if (IsSkipped()) return;
    SetSwapFunction(nullptr, nullptr);
    fs::current_path(oldDir_);
    fs::remove_all(dir_);
    quitRequested = 0;
  }
  fs::path dir_, oldDir_;
};

// One test, so the sequence runs once per process with a fresh progress.
TEST_F(LoadingTest, SeventeenFramesTexturesAndModuleOrder) {
  ModuleEntry saved[kModuleCount];
  for (int i = 0; i < kModuleCount; ++i) saved[i] = moduleTable[i];
  // Recorders stand in for B, D and C; A and E are left out, so their turns
  // show as their two loading frames alone. The real modules stay out of
  // every load below: this folder has no models.
  moduleTable[kModuleA] = {nullptr, nullptr, nullptr};
  moduleTable[kModuleE] = {nullptr, nullptr, nullptr};
  moduleTable[kModuleB] = {HandOver<'B'>, Init<'B'>, Render<'B'>};
  moduleTable[kModuleC] = {HandOver<'C'>, Init<'C'>, Render<'C'>};
  moduleTable[kModuleD] = {HandOver<'D'>, Init<'D'>, Render<'D'>};
  frameDir = "loading_frame_";

  ASSERT_FLOAT_EQ(LoadingProgress(), 10.0f);
  SetLoadingFrameHook(OnLoadingFrame, nullptr);
  LoadAll(1024, 512, 256, 128, 1024, 768);
  SetLoadingFrameHook(nullptr, nullptr);
  frameDir.clear();

  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(quitRequested, 0);

  // 17 frames, drawn with 10, 35, ..., 285, 310 and then 300.
  ASSERT_EQ(progressAtSwap.size(), 17u);
  for (int i = 0; i < 17; ++i) {
    float drawnWith = i < 13 ? 10.0f + 25.0f * i : 300.0f;
    float next = drawnWith < 300.0f ? drawnWith + 25.0f : 300.0f;
    EXPECT_FLOAT_EQ(progressAtSwap[i], next) << "frame " << i + 1;
  }

  const std::vector<std::string> expected = {
      "screen", "screen", "screen", "screen", "screen", "screen", "screen",
      "handover B shared", "init B 1024 512 512 256", "render B 1 1", "render B 1 0", "screen",
      "screen",
      "screen", "screen",  // E is left out: only its two frames
      "handover D shared", "init D 1024 512 512 256", "render D 1 0", "render D 1 1", "screen",
      "screen",
      "screen", "screen",  // A
      "handover C shared", "init C 1024 512 512 256", "render C 1 0", "render C 1 1", "screen",
      "screen"};
  // The frame hook sees each frame, numbered, just before its swap.
  std::vector<std::string> withoutHook;
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i] == "frame") {
      EXPECT_TRUE(i + 1 < events.size() && events[i + 1] == "screen") << i;
      continue;
    }
    withoutHook.push_back(events[i]);
  }
  ASSERT_EQ(hookedFrames.size(), 17u);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(hookedFrames[i], i + 1);
  EXPECT_EQ(withoutHook, expected);

  // Shared objects with their sizes.
  ASSERT_NE(transitionTarget, nullptr);
  ASSERT_NE(sharedTarget, nullptr);
  ASSERT_NE(loadingTarget, nullptr);
  EXPECT_EQ(transitionTarget->smallWidth, 256);
  EXPECT_EQ(sharedTarget->smallWidth, 512);
  EXPECT_EQ(sharedTarget->smallHeight, 256);
  EXPECT_NE(transitionEnvelope, nullptr);
  // Generated names stay clear of the fixed ones.
  for (GLuint name : {transitionTarget->fullTextures[0], sharedTarget->smallFeedback[3]})
    EXPECT_TRUE(name < 30 || name > 59) << name;

  // Every shared texture under its name, from its file.
  struct Named {
    GLuint name;
    const char* file;
  };
  const Named named[] = {
      {30, "bill1.jpg"},       {32, "valko.jpg"},        {33, "maasto1.jpg"},
      {34, "darkbeach.jpg"},   {35, "blubackg.jpg"},     {36, "stars1c.jpg"},
      {37, "bill_cl1.jpg"},    {41, "bill_cl5.jpg"},     {42, "noiseblob1s.jpg"},
      {46, "noiseblob5s.jpg"}, {51, "noiseblob10s.jpg"}, {53, "maasto1glow.jpg"},
      {54, "env1puvi.jpg"},    {55, "maasto2.jpg"},      {56, "tro2b.jpg"},
      {57, "tro2n.jpg"},       {58, "greets1.jpg"},      {59, "tromel.jpg"}};
  for (const Named& n : named)
    EXPECT_EQ(TextureWidth(GL_TEXTURE_2D, n.name), WidthOf(n.file)) << n.name << " " << n.file;
  EXPECT_EQ(TextureWidth(GL_TEXTURE_2D, 52), 256);
  for (int face = 0; face < 6; ++face)
    EXPECT_EQ(TextureWidth(GL_TEXTURE_CUBE_MAP, 31, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face),
              WidthOf(face == 4 ? "env1gr.jpg" : "black.jpg"))
        << "face " << face;
  // The masked textures carry the mask's alpha.
  const std::pair<GLuint, int> alphas[] = {{56, 11}, {57, 22}, {58, 44}, {59, 33}};
  for (auto [name, alpha] : alphas) {
    std::vector<uint8_t> rgba(WidthOf("greets.jpg") * kHeight * 4);
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    EXPECT_EQ(rgba[3], alpha) << name;
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  glBindTexture(GL_TEXTURE_2D, 0);

  // A render area of another width takes the greetings without the 1.
  events.clear();
  progressAtSwap.clear();
  LoadAll(800, 512, 256, 128, 1024, 768);
  EXPECT_EQ(progressAtSwap.size(), 17u);
  EXPECT_EQ(TextureWidth(GL_TEXTURE_2D, 58), WidthOf("greets.jpg"));
  glBindTexture(GL_TEXTURE_2D, 0);

  // An area scaled from the show's own 1024 keeps the show's choice.
  SetRenderScale(2.0f);
  LoadAll(renderWidth, renderHeight, renderWidth / 4, renderHeight / 4, 2048, 1536);
  SetRenderScale(1.0f);
  EXPECT_EQ(TextureWidth(GL_TEXTURE_2D, 58), WidthOf("greets1.jpg"));
  glBindTexture(GL_TEXTURE_2D, 0);

  // A missing picture is reported and ends the show after loading, but the
  // sequence still runs to its end.
  fs::remove("Images/valko.jpg");
  progressAtSwap.clear();
  LoadAll(1024, 512, 256, 128, 1024, 768);
  EXPECT_EQ(progressAtSwap.size(), 17u);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Can't load file Images/valko.jpg");
  EXPECT_EQ(quitRequested, 1);
  for (int i = 0; i < kModuleCount; ++i) moduleTable[i] = saved[i];
}

}  // namespace
