// The forged pictures, read back through the show's own decoders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "assets/file_error.h"
#include "assets/image.h"
#include "forge.h"
#include "forge_data.h"

namespace {

void NoBox(const char*, const char*) {}

class ForgedImages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SetFileErrorBox(NoBox); }
  static void TearDownTestSuite() { SetFileErrorBox(nullptr); }
  void SetUp() override { ASSERT_FALSE(ForgedDir().empty()) << "forging failed"; }

  static Image Load(const std::string& name) {
    Image image;
    std::string path = ForgedDir() + "/Images/" + name;
    bool ok = name.size() > 4 && name.substr(name.size() - 4) == ".pcx" ? LoadPcx(image, path.c_str())
                                                                        : LoadJpeg(image, path.c_str());
    EXPECT_TRUE(ok) << name;
    return image;
  }
  // Pixel (x, y) with y counted from the top, as the picture was drawn.
  static const uint8_t* Top(const Image& im, int x, int y) {
    return &im.pixels[(size_t(im.height - 1 - y) * im.width + x) * 3];
  }
};

struct Expected {
  const char* name;
  uint32_t width, height;
};

// Every file the loading sequence and module B read, with its size.
const Expected kImages[] = {
    {"loadingVR1.jpg", 256, 512}, {"bill1.jpg", 128, 128},     {"valko.jpg", 256, 256},
    {"darkbeach.jpg", 512, 512},  {"blubackg.jpg", 512, 512},  {"env1puvi.jpg", 256, 256},
    {"black.jpg", 256, 256},      {"env1gr.jpg", 256, 256},    {"maasto1.jpg", 512, 512},
    {"maasto2.jpg", 512, 512},    {"tro2b.jpg", 1024, 512},    {"tro_m2b.pcx", 1024, 512},
    {"tro2n.jpg", 1024, 512},     {"tro_m2n.pcx", 1024, 512},  {"tromel.jpg", 1024, 512},
    {"tromel.pcx", 1024, 512},    {"greets1.jpg", 1024, 512},  {"greets1.pcx", 1024, 512},
    {"greets.jpg", 512, 256},     {"greets.pcx", 512, 256},    {"maasto1glow.jpg", 512, 512},
    {"stars1c.jpg", 1024, 1024},  {"bill_cl1.jpg", 128, 128},  {"bill_cl2.jpg", 128, 128},
    {"bill_cl3.jpg", 128, 128},   {"bill_cl4.jpg", 128, 128},  {"bill_cl5.jpg", 128, 128},
    {"noiseblob1s.jpg", 128, 128}, {"noiseblob2s.jpg", 128, 128}, {"noiseblob3s.jpg", 128, 128},
    {"noiseblob4s.jpg", 128, 128}, {"noiseblob5s.jpg", 128, 128}, {"noiseblob6s.jpg", 128, 128},
    {"noiseblob7s.jpg", 128, 128}, {"noiseblob8s.jpg", 128, 128}, {"noiseblob9s.jpg", 128, 128},
    {"noiseblob10s.jpg", 128, 128}, {"qoru.pcx", 96, 96},
};

bool PowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

TEST_F(ForgedImages, EveryFileLoadsWithItsSize) {
  EXPECT_EQ(std::size(kImages), 38u);
  EXPECT_EQ(BuildImageFiles().size(), std::size(kImages)) << "the forge makes exactly the show's set";
  for (const Expected& e : kImages) {
    Image im = Load(e.name);
    EXPECT_EQ(im.width, e.width) << e.name;
    EXPECT_EQ(im.height, e.height) << e.name;
    EXPECT_EQ(im.pixels.size(), size_t(e.width) * e.height * 3) << e.name;
    if (std::string(e.name) != "qoru.pcx") {
      EXPECT_TRUE(PowerOfTwo(im.width) && PowerOfTwo(im.height)) << e.name;
    }
  }
}

TEST_F(ForgedImages, MasksUseBothPcxLayoutsAndMatchTheirPictures) {
  int paletted = 0, planar = 0;
  const char* pairs[][2] = {{"tro_m2b.pcx", "tro2b.jpg"}, {"tro_m2n.pcx", "tro2n.jpg"},
                            {"tromel.pcx", "tromel.jpg"}, {"greets1.pcx", "greets1.jpg"},
                            {"greets.pcx", "greets.jpg"}};
  for (auto& pair : pairs) {
    std::ifstream f(ForgedDir() + "/Images/" + pair[0], std::ios::binary);
    std::vector<char> header(128);
    f.read(header.data(), 128);
    ASSERT_TRUE(f) << pair[0];
    EXPECT_EQ(header[1], 5) << "version";
    EXPECT_EQ(header[2], 1) << "run-length";
    (header[65] == 1 ? paletted : planar) += 1;
    Image mask = Load(pair[0]), colour = Load(pair[1]);
    EXPECT_EQ(mask.width, colour.width) << pair[0];
    EXPECT_EQ(mask.height, colour.height) << pair[0];
    // A mask is black around its artwork and white on it.
    uint8_t lo = 255, hi = 0;
    for (size_t i = 2; i < mask.pixels.size(); i += 3) {
      lo = std::min(lo, mask.pixels[i]);
      hi = std::max(hi, mask.pixels[i]);
    }
    EXPECT_EQ(lo, 0) << pair[0];
    EXPECT_GE(hi, 250) << pair[0];
  }
  EXPECT_GT(paletted, 0);
  EXPECT_GT(planar, 0);
}

// Module D scales the logos about (50, -90) of the 1024 x 512 area: by 2.1
// for the title, 1.35 for the credits, both for the ornament. Everything the
// mask lets through must lie in the part that reaches the screen.
TEST_F(ForgedImages, LogoArtworkLiesWhereItIsSeen) {
  struct Window {
    const char* mask;
    std::vector<float> scales;
  } logos[] = {{"tro_m2b.pcx", {2.1f}}, {"tro_m2n.pcx", {1.35f}}, {"tromel.pcx", {2.1f, 1.35f}}};
  for (const Window& w : logos) {
    Image m = Load(w.mask);
    double inside = 0, total = 0;
    for (uint32_t y = 0; y < m.height; ++y) {      // stored row, 0 = bottom
      for (uint32_t x = 0; x < m.width; ++x) {
        float a = m.pixels[(size_t(y) * m.width + x) * 3 + 2] / 255.0f;
        total += a;
        bool seen = true;
        for (float s : w.scales) {
          float qx = float(x) + 0.5f - 512.0f, qy = float(y) + 0.5f - 256.0f;
          float sx = 50.0f + s * qx, sy = -90.0f + s * qy;
          seen = seen && std::fabs(sx) < 512.0f && std::fabs(sy) < 256.0f;
        }
        if (seen) inside += a;
      }
    }
    ASSERT_GT(total, 1000.0) << w.mask;
    EXPECT_GT(inside / total, 0.99) << w.mask;
  }
}

TEST_F(ForgedImages, SpritesAreBlackAtTheirEdges) {
  std::vector<std::string> sprites = {"bill1.jpg"};
  for (int d = 1; d <= 5; ++d) sprites.push_back("bill_cl" + std::to_string(d) + ".jpg");
  for (int d = 1; d <= 10; ++d) sprites.push_back("noiseblob" + std::to_string(d) + "s.jpg");
  for (const std::string& name : sprites) {
    Image im = Load(name);
    int edge = 0, centre = 0;
    for (uint32_t i = 0; i < im.width; ++i) {
      for (uint32_t j : {0u, im.height - 1}) {
        for (int c = 0; c < 3; ++c) {
          edge = std::max(edge, int(Top(im, i, j)[c]));
          edge = std::max(edge, int(Top(im, j, i)[c]));
        }
      }
    }
    // The light lies inside: the brightest texel of the middle half. Smoke
    // blobs are wisps with gaps, so the middle texel alone may be dark; the
    // clouds are drawn by dozens over a glow and are kept faint.
    for (uint32_t y = im.height / 4; y < im.height * 3 / 4; ++y)
      for (uint32_t x = im.width / 4; x < im.width * 3 / 4; ++x)
        for (int c = 0; c < 3; ++c) centre = std::max(centre, int(Top(im, x, y)[c]));
    EXPECT_LE(edge, 6) << name;
    EXPECT_GE(centre, name.rfind("bill_cl", 0) == 0 ? 60 : 100) << name;
  }
}

// Across the wrap a tileable picture changes no more than between any two
// neighbouring columns or rows inside it.
TEST_F(ForgedImages, TileableTexturesHaveNoSeams) {
  for (const char* name : {"valko.jpg", "darkbeach.jpg", "blubackg.jpg", "env1puvi.jpg", "maasto1.jpg",
                           "maasto2.jpg", "maasto1glow.jpg", "stars1c.jpg"}) {
    Image im = Load(name);
    int w = int(im.width), h = int(im.height);
    auto diff = [&](int x0, int y0, int x1, int y1) {
      double s = 0;
      for (int c = 0; c < 3; ++c) s += std::abs(int(Top(im, x0, y0)[c]) - int(Top(im, x1, y1)[c]));
      return s;
    };
    double inner = 0, seam = 0;
    for (int y = 0; y < h; ++y) {
      inner += diff(w / 2 - 1, y, w / 2, y);
      seam += diff(w - 1, y, 0, y);
    }
    for (int x = 0; x < w; ++x) {
      inner += diff(x, h / 2 - 1, x, h / 2);
      seam += diff(x, h - 1, x, 0);
    }
    EXPECT_LT(seam, 1.6 * inner + 2.0 * (w + h)) << name;
  }
}

TEST_F(ForgedImages, CubeFacesAreSquareAndAlike) {
  Image black = Load("black.jpg"), panel = Load("env1gr.jpg");
  EXPECT_EQ(black.width, black.height);
  EXPECT_EQ(panel.width, black.width);
  EXPECT_EQ(panel.height, black.height);
  EXPECT_LE(*std::max_element(black.pixels.begin(), black.pixels.end()), 2);
  // The lit face fades to black at its rim so it meets the black faces cleanly.
  int rim = 0;
  for (uint32_t i = 0; i < panel.width; ++i)
    for (int c = 0; c < 3; ++c) rim = std::max({rim, int(Top(panel, i, 0)[c]), int(Top(panel, 0, i)[c])});
  EXPECT_LE(rim, 8);
}

TEST_F(ForgedImages, RippleFieldSpansItsRange) {
  Image im = Load("qoru.pcx");
  std::vector<float> values(96 * 96);
  LoadHeightField(im, (ForgedDir() + "/Images/qoru.pcx").c_str(), values.data(), values.size());
  auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  EXPECT_LT(*lo, 0.3f);
  EXPECT_GT(*hi, 0.7f);
  EXPECT_GE(*lo, 0.0f);
  EXPECT_LE(*hi, 1.0f);
}

TEST(Forge, TwoRunsWriteIdenticalBytes) {
  ASSERT_FALSE(ForgedDir().empty());
  std::string again = TempDir("again");
  ASSERT_TRUE(ForgeImages(again));
  ASSERT_TRUE(ForgeModels(again));
  int files = 0;
  for (const char* sub : {"Images", "Models"}) {
    for (const auto& entry : std::filesystem::directory_iterator(ForgedDir() + "/" + sub)) {
      auto read = [](const std::filesystem::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(f), {});
      };
      auto other = std::filesystem::path(again) / sub / entry.path().filename();
      EXPECT_EQ(read(entry.path()), read(other)) << entry.path();
      ++files;
    }
  }
  EXPECT_EQ(files, 38 + 12);
  std::filesystem::remove_all(again);
}

TEST(PcxWriter, RunsAreCodedAsTheReaderExpects) {
  std::vector<uint8_t> out;
  const uint8_t data[] = {7, 7, 7, 0xC5, 1, 1};
  PcxEncode(data, sizeof data, &out);
  // Three 7s as one run, a byte from 0xC0 up needs a count, two 1s as a run.
  EXPECT_EQ(out, (std::vector<uint8_t>{0xC3, 7, 0xC1, 0xC5, 0xC2, 1}));
  std::vector<uint8_t> longRun(100, 9);
  out.clear();
  PcxEncode(longRun.data(), longRun.size(), &out);
  EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 9, 0xE5, 9}));  // 63 + 37
}

}  // namespace
