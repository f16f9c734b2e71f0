// marvoke-render end to end: the start-up and loading headless, frames to PNG.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "run_command.h"

namespace {

namespace fs = std::filesystem;

// Width, height and the brightest channel value of an RGB PNG.
bool Inspect(const std::string& path, int* width, int* height, int* brightest) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return false;
  *width = int(image.width);
  *height = int(image.height);
  *brightest = 0;
  for (uint8_t v : pixels) *brightest = std::max(*brightest, int(v));
  return true;
}

}  // namespace

// From another working directory, as a user would run it: data comes from
// beside the tool, the PNG lands where asked. The show opens on black.
TEST(RenderTool, WritesFramesAtTheAskedTimesFromAnyFolder) {
  const std::string tool = std::string(MARVOKE_BUILD_DIR) + "/marvoke-render";
  const fs::path dir = fs::temp_directory_path() / ("marvoke-render-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string out;
  int code = RunCommandLine("cd " + dir.string() + " && timeout 600 " + tool +
                     " --fps 4 --at 250,0 --png frames",
                 &out);
  ASSERT_EQ(0, code) << out;
  // The first line names the platform, the device and the renderer.
  EXPECT_EQ(0u, out.find("Headless GL on ")) << out;
  EXPECT_LT(out.find(": llvmpipe"), out.find('\n')) << "tests are pinned to the software device";
  EXPECT_NE(std::string::npos, out.find("Initialization finished in ")) << out;
  EXPECT_EQ(std::string::npos, out.find("Time: ")) << "frame lines are off by default";
  int w = 0, h = 0, brightest = 255;
  ASSERT_TRUE(Inspect((dir / "frames/frame_000000.png").string(), &w, &h, &brightest)) << out;
  EXPECT_EQ(1024, w);
  EXPECT_EQ(768, h);
  EXPECT_LE(brightest, 2);  // fully dark at the start of the opening fade-in
  EXPECT_TRUE(fs::exists(dir / "frames/frame_000250.png")) << out;
  fs::remove_all(dir);

  out.clear();
  EXPECT_EQ(2, RunCommandLine(tool + " --at 12,x --png /nonexistent", &out)) << out;
  out.clear();
  EXPECT_EQ(2, RunCommandLine(tool + " --at 100", &out)) << out;
}

// A scale or window it cannot take stops before any context opens; a limit
// only the GL knows stops after it opens and before loading, naming the limit.
// A window of another shape gets the picture 4:3 in the middle.
TEST(RenderTool, ScaleAndWindowOptions) {
  const std::string tool = std::string(MARVOKE_BUILD_DIR) + "/marvoke-render";
  for (const char* bad : {"--scale 0", "--scale -1", "--scale word", "--scale 100", "--scale",
                          "--window 10x10", "--window 800", "--window=axb"}) {
    std::string out;
    EXPECT_EQ(2, RunCommandLine(tool + " " + bad + " --at 0 --png /tmp", &out)) << bad;
    EXPECT_NE(std::string::npos, out.find(std::string(bad).substr(0, 7))) << bad << ": " << out;
    EXPECT_EQ(std::string::npos, out.find("Headless GL")) << bad << ": no context is opened";
  }
  std::string out;
  EXPECT_EQ(2, RunCommandLine("MARVOKE_MAX_TEXTURE_SIZE=1024 " + tool +
                                  " --scale 2 --at 0 --png /tmp",
                              &out));
  EXPECT_NE(std::string::npos, out.find("GL_MAX_TEXTURE_SIZE")) << out;
  EXPECT_NE(std::string::npos, out.find("Headless GL")) << out;
  EXPECT_EQ(std::string::npos, out.find("Initialization finished")) << "stops before loading";

  const fs::path dir = fs::temp_directory_path() / ("marvoke-window-" + std::to_string(getpid()));
  out.clear();
  ASSERT_EQ(0, RunCommandLine("timeout 600 " + tool + " --scale 0.5 --window 640x300 --fps 1 " +
                                  "--at 20000 --png " + dir.string(),
                              &out))
      << out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  const std::string path = (dir / "frame_020000.png").string();
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << out;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  ASSERT_EQ(640u, image.width);
  ASSERT_EQ(300u, image.height);
  // The picture is 400 x 300 from x = 120: bars of pure black either side.
  auto column = [&](int x) {
    int sum = 0;
    for (int y = 0; y < 300; ++y)
      for (int c = 0; c < 3; ++c) sum += rgb[(size_t(y) * 640 + x) * 3 + c];
    return sum;
  };
  EXPECT_EQ(0, column(0));
  EXPECT_EQ(0, column(118));
  EXPECT_EQ(0, column(521));
  EXPECT_EQ(0, column(639));
  EXPECT_GT(column(200) + column(320) + column(440), 0);
  fs::remove_all(dir);
}

// A device index past the list stops before loading, with the list, in both
// the frame and the capture modes.
TEST(RenderTool, GpuOutOfRangeListsTheDevices) {
  const std::string tool = std::string(MARVOKE_BUILD_DIR) + "/marvoke-render";
  for (const char* args : {" --gpu 99 --at 0 --png /nonexistent", " --bench --gpu 99"}) {
    std::string out;
    EXPECT_EQ(2, RunCommandLine(tool + args, &out)) << args << "\n" << out;
    EXPECT_NE(std::string::npos, out.find("  0: ")) << out;
    EXPECT_EQ(std::string::npos, out.find("Initialization finished")) << out;
  }
  std::string out;
  EXPECT_EQ(2, RunCommandLine(tool + " --gpu x --at 0", &out)) << out;
}

// An image that cannot be read ends the render with exit 1 and no frame:
// frames drawn without it would pass for the show's.
TEST(RenderTool, AnUnreadableImageExitsOneAndWritesNothing) {
  const std::string tool = std::string(MARVOKE_BUILD_DIR) + "/marvoke-render";
  const fs::path data = fs::temp_directory_path() / ("marvoke-data-" + std::to_string(getpid()));
  fs::remove_all(data);
  fs::create_directories(data);
  for (const char* sub : {"Images", "Models", "Music"})
    fs::copy(fs::path(MARVOKE_BUILD_DIR) / sub, data / sub, fs::copy_options::recursive);
  fs::remove(data / "Images/bill1.jpg");
  std::string out;
  EXPECT_EQ(1, RunCommandLine("timeout 600 " + tool + " --data " + data.string() +
                                  " --at 0 --png " + (data / "out").string(),
                              &out))
      << out;
  EXPECT_NE(std::string::npos, out.find("Can't load file Images/bill1.jpg")) << out;
  EXPECT_FALSE(fs::exists(data / "out/frame_000000.png")) << out;
  fs::remove_all(data);
}
