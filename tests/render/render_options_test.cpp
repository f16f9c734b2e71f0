// marvoke-render's one command line: every mode read by the same table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/command_line.h"
#include "render_options.h"

namespace {

struct Parsed {
  bool ok;
  RenderCommand command;
  std::string error;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "marvoke-render");
  args.push_back(nullptr);
  Parsed p;
  p.ok = ParseRenderCommand(int(args.size()) - 1, const_cast<char**>(args.data()), &p.command,
                            &p.error);
  return p;
}

}  // namespace

TEST(RenderOptions, ValuesTakeEitherSpellingAndModesFollowTheOutputs) {
  Parsed joined = Parse({"--video=x.mp4", "--fps=30000/1001", "--scale=0.5", "--window=640x480"});
  Parsed apart = Parse({"--video", "x.mp4", "--fps", "30000/1001", "--scale", "0.5", "--window",
                        "640x480"});
  for (const Parsed* p : {&joined, &apart}) {
    ASSERT_TRUE(p->ok) << p->error;
    EXPECT_EQ(p->command.mode, RenderMode::kCapture);
    EXPECT_EQ(p->command.capture.videoPath, "x.mp4");
    EXPECT_EQ(p->command.capture.fps.num, 30000);
    EXPECT_EQ(p->command.capture.fps.den, 1001);
    EXPECT_FLOAT_EQ(p->command.scale, 0.5f);
    EXPECT_EQ(p->command.windowWidth, 640);
  }
  // One --fps syntax in every mode: single frames step on the same fraction.
  Parsed frames = Parse({"--at", "90600,15000,15000", "--png", "d", "--fps", "60000/1001"});
  ASSERT_TRUE(frames.ok) << frames.error;
  EXPECT_EQ(frames.command.mode, RenderMode::kFrames);
  EXPECT_EQ(frames.command.atTimes, (std::vector<int32_t>{15000, 90600}));
  EXPECT_EQ(frames.command.capture.fps.den, 1001);
  // Any encoder goes into Matroska, VP9 into WebM.
  EXPECT_TRUE(Parse({"--video", "x.mkv", "--codec", "ffv1"}).ok);
  EXPECT_TRUE(Parse({"--video", "X.WEBM", "--codec", "libvpx-vp9"}).ok);
  // --png without --at captures every frame.
  EXPECT_EQ(Parse({"--png", "d"}).command.mode, RenderMode::kCapture);
  // Nothing asked: the start-up and loading alone.
  Parsed none = Parse({});
  EXPECT_TRUE(none.ok);
  EXPECT_EQ(none.command.mode, RenderMode::kFrames);
}

TEST(RenderOptions, FramePresetsFillTheHeightWithThePicture) {
  for (const FramePreset& p : FramePresets()) {
    Parsed parsed = Parse({"--frame", p.name, "--video", "x.mp4"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.command.windowWidth, p.width);
    EXPECT_EQ(parsed.command.windowHeight, p.height);
    // The 4:3 picture is 768 S high at scale S.
    EXPECT_FLOAT_EQ(768.0f * parsed.command.scale, float(p.height)) << p.name;
  }
  EXPECT_FLOAT_EQ(Parse({"--frame", "1440p", "--png", "d"}).command.scale, 1.875f);
}

TEST(RenderOptions, BadLinesAreNamedInOneLine) {
  const struct {
    std::vector<const char*> args;
    const char* says;
  } cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--bogus=3"}, "unknown option --bogus"},
      {{"--video"}, "--video needs a value"},
      {{"--video", "--png", "d"}, "--video needs a value"},  // not a file named --png
      {{"--scale", "--at", "0"}, "--scale needs a value"},
      {{"--lines=1"}, "--lines"},
      {{"--at", "0"}, "--at needs --png"},
      {{"--at", "0,x", "--png", "d"}, "--at takes"},
      {{"--at", "400000", "--png", "d"}, "--at takes"},
      {{"--at", "0", "--png", "d", "--video", "v.mp4"}, "--at writes single frames"},
      {{"--fps", "0", "--png", "d"}, "--fps"},
      {{"--fps", "2000", "--png", "d"}, "above 1000"},
      {{"--scale", "9", "--png", "d"}, "--scale takes"},
      {{"--frame", "4k"}, "--frame takes"},
      {{"--frame", "1080p", "--scale", "2"}, "--frame sets the window and the scale"},
      {{"--gpu", "x"}, "--gpu takes"},
      {{"--png", "d", "--bench-effects"}, "--bench-effects"},
      {{"--size", "640x480", "--png", "d"}, "--size scales the encoded video"},
      {{"--json"}, "--json goes with --bench"},
      {{"stray"}, "unexpected argument \"stray\""},
      {{"--video", "x.webm"}, "WebM file cannot hold libx264"},
      {{"--video", "x.mp4", "--codec", "libvpx"}, "MP4 file cannot hold libvpx"},
      {{"--video", "x.avi"}, "can't tell the container"},
  };
  for (const auto& c : cases) {
    Parsed p = Parse(c.args);
    EXPECT_FALSE(p.ok) << c.says;
    EXPECT_NE(p.error.find(c.says), std::string::npos) << c.says << " <- " << p.error;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
  }
  // A wrong --gpu is still read after an earlier fault, so its list can be shown.
  Parsed late = Parse({"--bogus", "--gpu", "7"});
  EXPECT_FALSE(late.ok);
  EXPECT_EQ(late.command.capture.gpu, 7);
}

TEST(RenderOptions, HelpIsFoundAnywhereAndFitsEightyColumns) {
  const std::vector<std::vector<const char*>> lines = {
      {"marvoke-render", "--help"},
      {"marvoke-render", "--video", "--help"},
      {"marvoke-render", "--video", "x.mp4", "--help"},
      {"marvoke-render", "--bogus", "--help"},
  };
  for (auto args : lines)
    EXPECT_EQ(FindHelpRequest(int(args.size()), const_cast<char**>(args.data())),
              HelpRequest::kHelp);
  std::vector<const char*> version = {"marvoke-render", "--at", "0", "--version"};
  EXPECT_EQ(FindHelpRequest(4, const_cast<char**>(version.data())), HelpRequest::kVersion);
  std::vector<const char*> ended = {"marvoke-render", "--", "--help"};
  EXPECT_EQ(FindHelpRequest(3, const_cast<char**>(ended.data())), HelpRequest::kNone);
  EXPECT_TRUE(LinesFit(RenderUsage(), 80));
  EXPECT_NE(std::string(RenderUsage()).find("--frame NAME"), std::string::npos);
  EXPECT_EQ(PngFrameName(90600), "frame_090600.png");
}
