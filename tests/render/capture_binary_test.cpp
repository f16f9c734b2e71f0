// marvoke-render end to end: the show's own frames through the real binary,
// compared with the window path's frame function in this process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "frame_clock.h"
#include "gl_test.h"
#include "ogg_encode.h"
#include "render_test_util.h"
#include "shell/capture.h"
#include "shell/overlay.h"
#include "core/present.h"
#include "core/settings.h"
#include "shell/show.h"

namespace {

const std::string kRender = std::string(MARVOKE_BUILD_DIR) + "/marvoke-render";

// Starts marvoke-render with its standard error on a pipe; returns the pid.
pid_t Spawn(const std::vector<std::string>& args, int* errFd) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    // Its own process group, like a job in a shell: a terminal's Ctrl-C goes
    // to the whole group.
    setpgid(0, 0);
    dup2(fds[1], 2);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(fds[0]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(kRender.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  *errFd = fds[0];
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CaptureBinary, CtrlCKeepsTheFinishedSegments) {
  std::string dir = TestDir("binary-interrupt");
  int err = -1;
  // One frame a second over the whole show (31 segments of 10 frames): long enough to interrupt.
  pid_t pid = Spawn({"--video", dir + "/cut.mp4", "--fps", "1", "--size", "128x96"}, &err);
  ASSERT_GT(pid, 0);
  std::string log;
  char buffer[512];
  ssize_t n;
  bool sent = false;
  while ((n = read(err, buffer, sizeof buffer)) > 0) {
    log.append(buffer, size_t(n));
    if (!sent && log.find("Encoding  10%") != std::string::npos) {
      kill(-pid, SIGINT);  // the whole group, as a terminal's Ctrl-C: ffmpeg is not in it
      sent = true;
    }
  }
  close(err);
  int code = Wait(pid);
  ASSERT_TRUE(sent) << log;
  EXPECT_EQ(code, 130) << log;
  EXPECT_NE(log.find("Stopped after"), std::string::npos) << log;
  EXPECT_NE(log.find("segments done, kept in " + dir + "/cut.mp4.parts"), std::string::npos)
      << log;
  // Nothing joined, the finished segments recorded, nothing half written left.
  EXPECT_EQ(access((dir + "/cut.mp4").c_str(), F_OK), -1);
  EXPECT_EQ(access((dir + "/cut.mp4.parts/seg_0003.txt").c_str(), F_OK), 0) << log;
  EXPECT_EQ(RunCommand("ls '" + dir + "/cut.mp4.parts' | grep -c tmp-"), "0\n");
  ProbedStream video, audio;
  ProbeMedia(dir + "/cut.mp4.parts/seg_0001.mp4", &video, &audio);
  EXPECT_EQ(video.frames, 10);
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
  close(fd);
  return text;
}

class WindowPathTest : public GlTest {};

// One run of the binary (loading takes a while) checked three ways: the video
// and its music, and its frame at 700 ms (inside the opening fade) against
// the window path's frame function driven through the same times here.
TEST_F(WindowPathTest, CaptureMatchesTheWindowFrameAndCarriesItsMusic) {
  std::string dir = TestDir("binary-capture");
  ASSERT_TRUE(WriteTestOgg(dir + "/music.ogg", 3.0));
  FrameRate ntsc{30000, 1001};
  int err = -1;
  pid_t pid = Spawn({"--video", dir + "/clip.mp4", "--png", dir, "--music", dir + "/music.ogg",
                     "--from", "700", "--to", "1200", "--fps", "30000/1001", "--size", "256x192"},
                    &err);
  ASSERT_GT(pid, 0);
  std::string log = ReadAll(err);
  ASSERT_EQ(Wait(pid), 0) << log;
  EXPECT_NE(log.find("Pre-roll"), std::string::npos) << log;
  EXPECT_NE(log.find("Video: " + dir + "/clip.mp4"), std::string::npos) << log;

  ProbedStream video, audio;
  ProbeMedia(dir + "/clip.mp4", &video, &audio);
  EXPECT_EQ(video.frames, FrameCount(700, 1200, ntsc));  // 15
  EXPECT_EQ(video.width, 256);
  EXPECT_EQ(video.height, 192);
  ASSERT_TRUE(audio.present);
  EXPECT_NEAR(audio.duration, video.duration, 1001 / 30000.0);

  int w = 0, h = 0;
  std::vector<uint8_t> captured;
  ASSERT_TRUE(ReadPngRgb(dir + "/frame_000700.png", &w, &h, &captured));
  ASSERT_EQ(w, 1024);
  ASSERT_EQ(h, 768);

  // The window path in this process: the same start-up and frame function at
  // the same times (the pre-roll grid from 0, then 700), read back the way a
  // screenshot of the window would be, before the swap.
  ASSERT_EQ(chdir(MARVOKE_BUILD_DIR), 0);
  SetFrameLinesEnabled(false);
  BeginShow(0);
  RunStartup();
  std::vector<int32_t> times;
  for (int64_t k = 0; FrameTimeMs(0, k, ntsc) < 700; ++k) times.push_back(FrameTimeMs(0, k, ntsc));
  times.push_back(700);
  std::vector<uint8_t> drawn;
  for (int32_t t : times) {
    musicTime = t;
    DrawShowFrame(t, uint32_t(t));
    if (t == 700) ReadFramebufferRgb(1024, 768, &drawn);
    SwapFrame();
  }
  SetFrameLinesEnabled(true);
  ASSERT_EQ(drawn.size(), captured.size());
  size_t differing = 0;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024 * 3; ++x)
      differing += drawn[size_t(767 - y) * 1024 * 3 + x] != captured[size_t(y) * 1024 * 3 + x];
  EXPECT_EQ(differing, 0u);
  SaveFramePng("binary-capture-window-700", 1024, 768);
}

}  // namespace
