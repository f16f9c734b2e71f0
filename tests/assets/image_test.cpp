#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "assets/file_error.h"
#include "assets/image.h"
#include "sample_files.h"
#include "core/settings.h"
#include "temp_folder.h"

namespace {

using samples::Bytes;

std::string lastBoxText, lastBoxCaption;
int boxCount = 0;
void RecordBox(const char* text, const char* caption) {
  lastBoxText = text;
  lastBoxCaption = caption;
  ++boxCount;
}

class ImageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFileErrorBox(RecordBox);
    boxCount = 0;
    quitRequested = 0;
  }
  void TearDown() override {
    SetFileErrorBox(nullptr);
    quitRequested = 0;
  }
  // An image with recognisable content, to see that failures leave it alone.
  static Image Marked() {
    Image image;
    image.width = 1;
    image.height = 1;
    image.pixels = {1, 2, 3};
    return image;
  }
  static void ExpectMarked(const Image& image) {
    EXPECT_EQ(image.width, 1u);
    EXPECT_EQ(image.height, 1u);
    EXPECT_EQ(image.pixels, (Bytes{1, 2, 3}));
  }
  samples::TempFolder files_{"image"};
};

void ExpectPixel(const Image& image, int index, int r, int g, int b, int tolerance) {
  ASSERT_LT(size_t(index) * 3 + 2, image.pixels.size());
  EXPECT_NEAR(image.pixels[index * 3 + 0], r, tolerance) << "pixel " << index;
  EXPECT_NEAR(image.pixels[index * 3 + 1], g, tolerance) << "pixel " << index;
  EXPECT_NEAR(image.pixels[index * 3 + 2], b, tolerance) << "pixel " << index;
}

TEST_F(ImageFiles, JpegIsStoredBottomRowFirst) {
  // Top row red, green; bottom row blue, white.
  Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  std::string path = files_.Write("2x2.jpg", samples::EncodeJpeg(2, 2, 3, rgb));
  Image image;
  ASSERT_TRUE(LoadJpeg(image, path.c_str()));
  EXPECT_EQ(image.width, 2u);
  EXPECT_EQ(image.height, 2u);
  ASSERT_EQ(image.pixels.size(), 12u);
  ExpectPixel(image, 0, 0, 0, 255, 12);
  ExpectPixel(image, 1, 255, 255, 255, 12);
  ExpectPixel(image, 2, 255, 0, 0, 12);
  ExpectPixel(image, 3, 0, 255, 0, 12);
  EXPECT_EQ(boxCount, 0);
  EXPECT_EQ(quitRequested, 0);
}

TEST_F(ImageFiles, GreyAndCmykJpegsBecomeRgb) {
  Image image;
  std::string grey = files_.Write("grey.jpg", samples::EncodeJpeg(3, 1, 1, {0, 128, 255}));
  ASSERT_TRUE(LoadJpeg(image, grey.c_str()));
  ASSERT_EQ(image.pixels.size(), 9u);
  ExpectPixel(image, 0, 0, 0, 0, 4);
  ExpectPixel(image, 1, 128, 128, 128, 4);
  ExpectPixel(image, 2, 255, 255, 255, 4);

  // Inverted CMYK (0 = full ink): cyan ink only, then black ink only.
  std::string cmyk = files_.Write("cmyk.jpg", samples::EncodeJpeg(2, 1, 4,
                                                                  {0, 255, 255, 255,  //
                                                                   255, 255, 255, 0}));
  ASSERT_TRUE(LoadJpeg(image, cmyk.c_str()));
  ASSERT_EQ(image.pixels.size(), 6u);
  ExpectPixel(image, 0, 0, 255, 255, 8);
  ExpectPixel(image, 1, 0, 0, 0, 8);
}

TEST_F(ImageFiles, UnreadableJpegsAreReportedAndLeaveTheImage) {
  Bytes rgb(16 * 16 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37);
  Bytes good = samples::EncodeJpeg(16, 16, 3, rgb, 90);
  Bytes truncated(good.begin(), good.begin() + good.size() / 2);
  Bytes garbage = good;
  for (size_t i = good.size() / 3; i < good.size() - 2; i += 7) garbage[i] ^= 0x5A;
  Bytes notJpeg = {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {{"truncated.jpg", truncated}, {"garbage.jpg", garbage}, {"text.jpg", notJpeg},
               {"empty.jpg", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = files_.Write(c.name, c.bytes);
    Image image = Marked();
    quitRequested = 0;
    EXPECT_FALSE(LoadJpeg(image, path.c_str()));
    ExpectMarked(image);
    EXPECT_EQ(lastBoxText, "Can't load file " + path);
    EXPECT_EQ(lastBoxCaption, "File read error");
    EXPECT_EQ(quitRequested, 1);
  }

  Image image = Marked();
  quitRequested = 0;
  std::string missing = files_.Path("missing.jpg");
  EXPECT_FALSE(LoadJpeg(image, missing.c_str()));
  ExpectMarked(image);
  EXPECT_EQ(lastBoxText, "Can't load file " + missing);
  EXPECT_EQ(quitRequested, 1);
}

Bytes GreyPalette() {
  Bytes palette(768);
  for (int i = 0; i < 256; ++i) palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = i;
  palette[7 * 3 + 0] = 70;  // entry 7 is (70, 71, 72)
  palette[7 * 3 + 1] = 71;
  palette[7 * 3 + 2] = 72;
  return palette;
}

TEST_F(ImageFiles, PalettedPcx) {
  // C3 07: a run of three of index 7, exactly one 3 x 1 image.
  Bytes file = samples::PcxHeader(3, 0, 0, 1, 8);
  file.insert(file.end(), {0xC3, 0x07, 0x0C});
  Bytes palette = GreyPalette();
  file.insert(file.end(), palette.begin(), palette.end());
  Image image;
  ASSERT_TRUE(LoadPcx(image, files_.Write("run.pcx", file).c_str()));
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 1u);
  for (int i = 0; i < 3; ++i) ExpectPixel(image, i, 70, 71, 72, 0);

  // 4 x 3, stored upside down; the encoder's runs cross lines.
  Bytes indices = {1, 1, 1, 1, 1, 1, 2, 2, 3, 4, 5, 200};
  ASSERT_TRUE(LoadPcx(
      image, files_.Write("p.pcx", samples::PalettedPcx(4, 3, indices, GreyPalette())).c_str()));
  EXPECT_EQ(image.width, 4u);
  EXPECT_EQ(image.height, 3u);
  const int expected[12] = {3, 4, 5, 200, 1, 1, 2, 2, 1, 1, 1, 1};
  for (int i = 0; i < 12; ++i) ExpectPixel(image, i, expected[i], expected[i], expected[i], 0);
}

TEST_F(ImageFiles, PlanarPcxRowsAreRedGreenBlueLines) {
  // Bytes per line 4: each file row is 12 bytes, four red, four green, four blue.
  Bytes file = samples::PcxHeader(4, 10, 11, 3, 8);
  Bytes rows = {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24,   // top row
                31, 32, 33, 34, 41, 42, 43, 44, 51, 52, 53, 54};
  file.insert(file.end(), rows.begin(), rows.end());
  Image image;
  ASSERT_TRUE(LoadPcx(image, files_.Write("planar.pcx", file).c_str()));
  EXPECT_EQ(image.width, 4u);
  EXPECT_EQ(image.height, 2u);  // Ymax − Ymin + 1
  ExpectPixel(image, 0, 31, 41, 51, 0);
  ExpectPixel(image, 3, 34, 44, 54, 0);
  ExpectPixel(image, 4, 1, 11, 21, 0);
  ExpectPixel(image, 7, 4, 14, 24, 0);

  // The writer's own runs, crossing plane lines and rows.
  Bytes rgb(5 * 3 * 3, 0xD0);
  rgb[0] = 9;
  ASSERT_TRUE(LoadPcx(image, files_.Write("p2.pcx", samples::PlanarPcx(5, 3, rgb)).c_str()));
  ExpectPixel(image, 10, 9, 0xD0, 0xD0, 0);  // top-left is stored last
  ExpectPixel(image, 0, 0xD0, 0xD0, 0xD0, 0);
}

TEST_F(ImageFiles, PcxWidthIsBytesPerLineAndZeroCountsSkip) {
  // Bytes per line 5 with an X range 0..3: five columns.
  Bytes file = samples::PcxHeader(5, 0, 0, 3, 8, 3);
  // Red line: a zero-count run (consumes 0x63, skips a position), then 4 bytes.
  file.insert(file.end(), {0xC0, 0x63, 1, 2, 3, 4});
  // Green and blue: one run of 10 crossing from the green line into the blue one.
  file.insert(file.end(), {0xCA, 0x50});
  Image image;
  ASSERT_TRUE(LoadPcx(image, files_.Write("w5.pcx", file).c_str()));
  EXPECT_EQ(image.width, 5u);
  ExpectPixel(image, 0, 0, 0x50, 0x50, 0);
  ExpectPixel(image, 1, 1, 0x50, 0x50, 0);
  ExpectPixel(image, 4, 4, 0x50, 0x50, 0);

  // A run past the last byte is cut there.
  Bytes over = samples::PcxHeader(2, 0, 0, 3, 8);
  over.insert(over.end(), {0xFF, 0x11});
  ASSERT_TRUE(LoadPcx(image, files_.Write("over.pcx", over).c_str()));
  EXPECT_EQ(image.pixels, (Bytes{0x11, 0x11, 0x11, 0x11, 0x11, 0x11}));
}

TEST_F(ImageFiles, BadPcxFilesAreRefused) {
  Bytes palette = GreyPalette();
  auto paletted = [&](Bytes header, Bytes data) {
    header.insert(header.end(), data.begin(), data.end());
    header.push_back(0x0C);
    header.insert(header.end(), palette.begin(), palette.end());
    return header;
  };
  Bytes version3 = samples::PcxHeader(2, 0, 0, 3, 8);
  version3[1] = 3;
  version3.insert(version3.end(), 6, 1);
  Bytes rawEncoding = samples::PcxHeader(2, 0, 0, 3, 8);
  rawEncoding[2] = 0;
  rawEncoding.insert(rawEncoding.end(), 6, 1);
  Bytes zeroWidth = paletted(samples::PcxHeader(0, 0, 0, 1, 8), {1});
  Bytes negativeHeight = paletted(samples::PcxHeader(2, 5, 3, 1, 8), {1, 1});
  Bytes huge = paletted(samples::PcxHeader(65535, 0, 65535, 1, 8), {0xFF, 1});
  Bytes shortPaletted = samples::PcxHeader(2, 0, 0, 1, 8);
  shortPaletted.insert(shortPaletted.end(), 700, 1);  // less than 128 + 768 bytes
  Bytes truncatedPlanar = samples::PcxHeader(8, 0, 7, 3, 8);
  truncatedPlanar.insert(truncatedPlanar.end(), 100, 1);  // 192 needed
  Bytes truncatedRun = samples::PcxHeader(8, 0, 0, 3, 8);
  truncatedRun.insert(truncatedRun.end(), {0xC5});  // count without its value
  Bytes headerOnly(60, 10);

  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {{"v3", version3},         {"raw", rawEncoding},
               {"zero", zeroWidth},       {"negative", negativeHeight},
               {"huge", huge},            {"short", shortPaletted},
               {"truncated", truncatedPlanar}, {"run", truncatedRun},
               {"header", headerOnly}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image image = Marked();
    EXPECT_FALSE(LoadPcx(image, files_.Write(std::string(c.name) + ".pcx", c.bytes).c_str()));
    ExpectMarked(image);
  }
  EXPECT_EQ(boxCount, 0);  // malformed content is not boxed
  EXPECT_EQ(quitRequested, 0);
}

TEST_F(ImageFiles, UnopenablePcxEndsTheProcessWithCodeOne) {
  std::string missing = files_.Path("missing.pcx");
  EXPECT_EXIT(
      {
        Image image;
        LoadPcx(image, missing.c_str());
      },
      ::testing::ExitedWithCode(1), "Can't load file .*missing.pcx");
}

TEST_F(ImageFiles, HeightFieldIsColumnMajor) {
  // 3 columns, 2 rows; red = 10 × column + stored row.
  Bytes rgb(3 * 2 * 3, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) rgb[(y * 3 + x) * 3] = static_cast<uint8_t>(10 * x + (1 - y));
  std::string path = files_.Write("height.pcx", samples::PlanarPcx(3, 2, rgb));
  Image image;
  float values[7];
  for (float& v : values) v = -1.0f;
  LoadHeightField(image, path.c_str(), values, 6);
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 2; ++j) EXPECT_FLOAT_EQ(values[k * 2 + j], (10 * k + j) / 255.0f);
  EXPECT_EQ(values[6], -1.0f);

  float few[2] = {-1.0f, -1.0f};
  LoadHeightField(image, path.c_str(), few, 1);  // a short array is not overrun
  EXPECT_EQ(few[0], 0.0f);
  EXPECT_EQ(few[1], -1.0f);
}

}  // namespace
