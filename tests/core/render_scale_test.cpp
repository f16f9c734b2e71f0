#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/area_target.h"
#include "core/render_scale.h"
#include "core/settings.h"

namespace {

// What ParseRenderScale prints, with its result.
struct Parsed {
  bool ok;
  float scale;
  std::string message;
};

Parsed Parse(const char* text) {
  Parsed p{false, -1.0f, ""};
  char buffer[256] = {};
  FILE* err = fmemopen(buffer, sizeof buffer - 1, "w");
  p.ok = ParseRenderScale(text, "--scale", &p.scale, err);
  fclose(err);
  p.message = buffer;
  return p;
}

}  // namespace

TEST(RenderScale, TakesTheRangeAndRefusesAnythingElseNamingTheOption) {
  EXPECT_TRUE(Parse("1").ok);
  EXPECT_FLOAT_EQ(0.25f, Parse("0.25").scale);
  EXPECT_FLOAT_EQ(4.0f, Parse("4").scale);
  for (const char* bad : {"0", "-1", "word", "100", "0.2", "4.01", "", "1x", "nan", "inf"}) {
    Parsed p = Parse(bad);
    EXPECT_FALSE(p.ok) << bad;
    EXPECT_EQ(-1.0f, p.scale) << bad;  // left alone
    EXPECT_NE(std::string::npos, p.message.find("--scale")) << bad;
  }
}

// The width is a multiple of 8, so the height and the small targets' quarters
// and halves are whole; scale 1 is exactly the show's 1024 x 512.
TEST(RenderScale, AreaSizesStayWholeAndScaleOneIsTheShowsOwn) {
  for (float s : {0.25f, 0.3f, 0.5f, 0.77f, 1.0f, 1.5f, 2.0f, 3.3f, 4.0f}) {
    const int32_t w = RenderWidthForScale(s);
    EXPECT_EQ(0, w % 8) << s;
    EXPECT_NEAR(1024.0f * s, float(w), 4.0f) << s;
  }
  const int32_t oldWidth = renderWidth, oldHeight = renderHeight;
  SetRenderScale(0.5f);
  EXPECT_EQ(512, renderWidth);
  EXPECT_EQ(256, renderHeight);
  EXPECT_EQ(384, PictureHeight());
  EXPECT_FLOAT_EQ(0.5f, AreaPixelScale());
  SetRenderScale(1.0f);
  EXPECT_EQ(1024, renderWidth);
  EXPECT_EQ(512, renderHeight);
  EXPECT_EQ(1.0f, AreaPixelScale());  // exactly: scale-1 translations keep their bits
  renderWidth = oldWidth;
  renderHeight = oldHeight;
}

TEST(RenderScale, SizeLimitsNameTheOneExceeded) {
  const GlSizeLimits roomy{8192, 8192, 8192, 8192};
  EXPECT_TRUE(CheckGlSizeLimits(roomy, 4096, 2048, 3840, 2160, stderr));
  auto message = [](const GlSizeLimits& l, int aw, int ah, int ww, int wh) {
    char buffer[512] = {};
    FILE* err = fmemopen(buffer, sizeof buffer - 1, "w");
    EXPECT_FALSE(CheckGlSizeLimits(l, aw, ah, ww, wh, err));
    fclose(err);
    return std::string(buffer);
  };
  EXPECT_NE(std::string::npos,
            message({2048, 8192, 8192, 8192}, 4096, 2048, 1024, 768).find("GL_MAX_TEXTURE_SIZE"));
  EXPECT_NE(std::string::npos, message({8192, 2048, 8192, 8192}, 4096, 2048, 1024, 768)
                                   .find("GL_MAX_RENDERBUFFER_SIZE"));
  EXPECT_NE(std::string::npos,
            message({8192, 8192, 4096, 4096}, 2048, 1024, 5000, 768).find("GL_MAX_VIEWPORT_DIMS"));
}

// The picture keeps its 4:3 shape, centred, in any window.
TEST(FitPicture, LargestCentredFourByThree) {
  auto expect = [](int ww, int wh, PictureRect want) {
    PictureRect r = FitPicture(ww, wh);
    EXPECT_EQ(want.x, r.x) << ww << "x" << wh;
    EXPECT_EQ(want.y, r.y) << ww << "x" << wh;
    EXPECT_EQ(want.width, r.width) << ww << "x" << wh;
    EXPECT_EQ(want.height, r.height) << ww << "x" << wh;
  };
  expect(1024, 768, {0, 0, 1024, 768});
  expect(2048, 1536, {0, 0, 2048, 1536});
  expect(1920, 1080, {240, 0, 1440, 1080});  // bars left and right
  expect(1000, 500, {166, 0, 667, 500});
  expect(800, 1000, {0, 200, 800, 600});  // bars above and below
  expect(3, 1, {1, 0, 1, 1});             // however small, never empty
  expect(0, 768, {0, 0, 0, 0});
}
