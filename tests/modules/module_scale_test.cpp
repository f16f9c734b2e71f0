// Every module at render scales 0.5 and 2 against scale 1: the same picture
// with fewer or more pixels, so nothing that is a length in pixels (a blur's
// reach, an echo's offset) may stay fixed while the area grows or shrinks.
// A module's state exists once a process: each scale is a child process that
// loads the module, steps it through the same deltas and writes its frames.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/area_target.h"
#include "core/gl.h"
#include "core/render_scale.h"
#include "core/settings.h"
#include "gl_test.h"
#include "module_harness.h"
#include "run_command.h"

namespace fs = std::filesystem;

namespace {

const char* const kChildVariable = "MARVOKE_SCALE_CHILD";  // "MODULE SCALE FOLDER"

// A step of the module's clock; `save` writes the frame it draws.
struct Step {
  int32_t delta;
  int32_t mode;
  bool save;
};

// From load to the frames compared, in the module's own clock; the comments
// give the music times these frames stand for in the show.
std::vector<Step> StepsFor(ModuleId id) {
  switch (id) {
    case kModuleA:  // ribbon through the clouds (176 s), the balls gathered (190 s)
      return {{9999, 1, false}, {4001, 1, true}, {9999, 1, false}, {4001, 1, true}};
    case kModuleB:  // ripple grid blur (3 s), refracting cube (11.5 s); greetings echoes (242 s)
      return {{3000, 0, true}, {8500, 0, true}, {0, 1, false}, {9999, 1, false},
              {9999, 1, false}, {9999, 1, false}, {9999, 1, false}, {6000, 1, true}};
    case kModuleC:  // lens before the smoke (95 s), grown and refracting (112 s)
      return {{4500, 1, true}, {9999, 1, false}, {7001, 1, true}};
    case kModuleD:  // logo echoes (67 and 70 s); the second visit (152 s)
      return {{5000, 0, true}, {3000, 0, true}, {9999, 0, false}, {9999, 0, false},
              {0, 1, false}, {5000, 1, true}};
    case kModuleE:  // the cave circled, the light inside (45 and 60 s)
      return {{9999, 0, false}, {5001, 0, true}, {9999, 0, false}, {5001, 0, true}};
    default:
      return {};
  }
}

std::string FramePath(const std::string& folder, size_t n) {
  return folder + "/frame-" + std::to_string(n) + ".rgb";
}

// RGB of a frame written by a child, renderWidth x renderHeight for its scale.
struct Frame {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

Frame ReadFrame(const std::string& path, float scale) {
  Frame f;
  f.width = RenderWidthForScale(scale);
  f.height = f.width / 2;
  f.rgb.resize(size_t(f.width) * f.height * 3);
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(f.rgb.data()), std::streamsize(f.rgb.size()));
  if (!in) f.rgb.clear();
  return f;
}

// Box-filters a frame down by a whole factor.
Frame Shrink(const Frame& f, int factor) {
  Frame out;
  out.width = f.width / factor;
  out.height = f.height / factor;
  out.rgb.resize(size_t(out.width) * out.height * 3);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x)
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int j = 0; j < factor; ++j)
          for (int i = 0; i < factor; ++i)
            sum += f.rgb[(size_t(y * factor + j) * f.width + x * factor + i) * 3 + c];
        out.rgb[(size_t(y) * out.width + x) * 3 + c] = uint8_t(sum / (factor * factor));
      }
  return out;
}

// Peak signal-to-noise ratio of two frames of one size, in dB.
double Psnr(const Frame& a, const Frame& b) {
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) {
    const double d = double(a.rgb[i]) - double(b.rgb[i]);
    sum += d * d;
  }
  const double mse = sum / double(a.rgb.size());
  return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Runs the child for one module and scale; its frames land in the folder.
void RenderInChild(ModuleId id, float scale, const std::string& folder) {
  fs::create_directories(folder);
  std::string out;
  const std::string command = std::string(kChildVariable) + "='" + std::to_string(int(id)) + " " +
                              std::to_string(scale) + " " + folder + "' /proc/" +
                              std::to_string(getpid()) +
                              "/exe --gtest_filter=ModuleScaleChild.WritesItsFrames";
  ASSERT_EQ(0, RunCommandLine(command, &out)) << out;
  ASSERT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
}

// Frames at 0.5 and 2 against those at 1, each box-filtered to 128 x 64
// first: edges rasterised at another size differ pixel by pixel, but that
// washes out at this size, while a blur that widens with the scale or an
// offset that stays put does not. Correct frames measure 34.5 dB and up; a
// blur radius grown with the scale drops frames of A, B and D to 29 to 32 dB,
// an echo offset left unscaled drops D's logos and B's greetings to 12 to 19 dB.
constexpr double kMinPsnr = 33.0;

void ExpectSamePictureAtEveryScale(ModuleId id, const char* name) {
  const fs::path root = fs::temp_directory_path() /
                        ("marvoke-scale-" + std::string(name) + "-" + std::to_string(getpid()));
  const float scales[3] = {1.0f, 0.5f, 2.0f};
  for (float s : scales) RenderInChild(id, s, (root / std::to_string(s)).string());
  if (::testing::Test::HasFatalFailure()) return;
  size_t saved = 0;
  for (const Step& step : StepsFor(id)) saved += step.save;
  for (size_t n = 0; n < saved; ++n) {
    const Frame one = ReadFrame(FramePath((root / std::to_string(1.0f)).string(), n), 1.0f);
    const Frame half = ReadFrame(FramePath((root / std::to_string(0.5f)).string(), n), 0.5f);
    const Frame two = ReadFrame(FramePath((root / std::to_string(2.0f)).string(), n), 2.0f);
    ASSERT_FALSE(one.rgb.empty() || half.rgb.empty() || two.rgb.empty()) << name << " frame " << n;
    const double lower = Psnr(Shrink(one, 8), Shrink(half, 4));
    const double upper = Psnr(Shrink(one, 8), Shrink(two, 16));
    printf("%s frame %zu: PSNR at 128 x 64 %.1f dB at scale 0.5, %.1f dB at 2\n", name, n, lower,
           upper);
    EXPECT_GT(lower, kMinPsnr) << name << " frame " << n << " at scale 0.5";
    EXPECT_GT(upper, kMinPsnr) << name << " frame " << n << " at scale 2";
  }
  std::error_code ignored;
  if (!getenv("MARVOKE_KEEP_SCALE_FRAMES")) fs::remove_all(root, ignored);
}

class ModuleScale : public GlTest {};
class ModuleScaleChild : public GlTest {};

}  // namespace

TEST_F(ModuleScaleChild, WritesItsFrames) {
  const char* request = getenv(kChildVariable);
  if (!request) GTEST_SKIP() << "runs as a child of the ModuleScale tests";
  int id = 0;
  float scale = 1.0f;
  char folder[4096] = {};
  ASSERT_EQ(3, sscanf(request, "%d %f %4095s", &id, &scale, folder)) << request;
  SetRenderScale(scale);
  ASSERT_TRUE(CreateAreaTarget(PictureWidth(), PictureHeight()));
  LoadOnlyModule(ModuleId(id), BuiltDataDir());
  size_t n = 0;
  std::vector<uint8_t> rgb(size_t(renderWidth) * renderHeight * 3);
  for (const Step& step : StepsFor(ModuleId(id))) {
    RenderModule(ModuleId(id), step.delta, step.mode);
    if (!step.save) continue;
    BindAreaTarget();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, renderWidth, renderHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::ofstream out(FramePath(folder, n++), std::ios::binary);
    out.write(reinterpret_cast<const char*>(rgb.data()), std::streamsize(rgb.size()));
    ASSERT_TRUE(out.good());
  }
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(ModuleScale, ASwarm) { ExpectSamePictureAtEveryScale(kModuleA, "A"); }
TEST_F(ModuleScale, BOpeningAndClosing) { ExpectSamePictureAtEveryScale(kModuleB, "B"); }
TEST_F(ModuleScale, CLens) { ExpectSamePictureAtEveryScale(kModuleC, "C"); }
TEST_F(ModuleScale, DCaveAndLogos) { ExpectSamePictureAtEveryScale(kModuleD, "D"); }
TEST_F(ModuleScale, ECave) { ExpectSamePictureAtEveryScale(kModuleE, "E"); }
