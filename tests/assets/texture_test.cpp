#include <gtest/gtest.h>

#include <string>

#include "assets/file_error.h"
#include "assets/image.h"
#include "gl_test.h"
#include "sample_files.h"
#include "core/settings.h"
#include "temp_folder.h"

namespace {

using samples::Bytes;

void IgnoreBox(const char*, const char*) {}

class TextureUpload : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    SetFileErrorBox(IgnoreBox);
  }
  void TearDown() override {
    SetFileErrorBox(nullptr);
    quitRequested = 0;
  }
  samples::TempFolder files_{"texture"};
};

// Three columns make 9-byte rows: read skewed unless unpacked with alignment 1.
const Bytes kColours = {255, 0, 0, 0, 255, 0, 0, 0, 255,  //
                        255, 255, 0, 0, 255, 255, 255, 255, 255};

Bytes ReadTexture(GLenum target, GLenum format, int bytes) {
  Bytes out(bytes, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(target, 0, format, GL_UNSIGNED_BYTE, out.data());
  return out;
}

void ExpectNear(const Bytes& actual, const Bytes& expected, int tolerance) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i)
    EXPECT_NEAR(actual[i], expected[i], tolerance) << "byte " << i;
}

// The colours as stored: bottom row first.
Bytes StoredColours() {
  Bytes stored(kColours.begin() + 9, kColours.end());
  stored.insert(stored.end(), kColours.begin(), kColours.begin() + 9);
  return stored;
}

TEST_F(TextureUpload, OddWidthTextureAndAlignmentRestored) {
  std::string path = files_.Write("c.jpg", samples::EncodeJpeg(3, 2, 3, kColours));
  Image image;
  GLuint name = 901;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  LoadTexture(image, path.c_str(), name);
  GLint bound = 0, alignment = 0, wrap = 0, filter = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  EXPECT_EQ(bound, 901);
  EXPECT_EQ(alignment, 4);
  EXPECT_EQ(wrap, GL_REPEAT);
  EXPECT_EQ(filter, GL_LINEAR);
  ExpectNear(ReadTexture(GL_TEXTURE_2D, GL_RGB, 18), StoredColours(), 16);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureUpload, CubeFaceGoesToItsTarget) {
  // Cube faces are square.
  const Bytes square = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  std::string path = files_.Write("q.jpg", samples::EncodeJpeg(2, 2, 3, square));
  Image image;
  LoadCubeFace(image, path.c_str(), 902, 3);  // −Y
  GLint filter = 0;
  glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, &filter);
  EXPECT_EQ(filter, GL_NEAREST);
  ExpectNear(ReadTexture(GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, GL_RGB, 12),
             {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0}, 16);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureUpload, MaskedTextureTakesAlphaFromTheMaskBlue) {
  // Mask: white where the "logo" is (top middle), black elsewhere.
  Bytes mask(3 * 2 * 3, 0);
  for (int c = 0; c < 3; ++c) mask[1 * 3 + c] = 255;
  std::string maskPath = files_.Write("m.pcx", samples::PlanarPcx(3, 2, mask));
  std::string colourPath = files_.Write("c.jpg", samples::EncodeJpeg(3, 2, 3, kColours));
  Image image;
  LoadMaskedTexture(image, maskPath.c_str(), colourPath.c_str(), 903);
  Bytes rgba = ReadTexture(GL_TEXTURE_2D, GL_RGBA, 24);
  const int alpha[6] = {0, 0, 0, 0, 255, 0};  // stored bottom row first
  for (int i = 0; i < 6; ++i) EXPECT_EQ(rgba[i * 4 + 3], alpha[i]) << i;
  EXPECT_NEAR(rgba[4 * 4 + 1], 255, 16);  // the green pixel's colour survives

  // A mask of another size is read where it overlaps and opaque elsewhere.
  std::string small = files_.Write("s.pcx", samples::PlanarPcx(1, 1, {9, 9, 0}));
  LoadMaskedTexture(image, small.c_str(), colourPath.c_str(), 904);
  rgba = ReadTexture(GL_TEXTURE_2D, GL_RGBA, 24);
  EXPECT_EQ(rgba[3], 0);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(rgba[i * 4 + 3], 255) << i;
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureUpload, MissingJpegUploadsThePreviousContent) {
  Image image;
  image.width = 1;
  image.height = 1;
  image.pixels = {10, 20, 30};
  std::string missing = files_.Path("none.jpg");
  LoadTexture(image, missing.c_str(), 905);
  EXPECT_EQ(quitRequested, 1);
  ExpectNear(ReadTexture(GL_TEXTURE_2D, GL_RGB, 3), {10, 20, 30}, 0);
}

}  // namespace
