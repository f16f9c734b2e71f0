#include "ffmpeg_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

std::vector<std::string> EncoderCommand(const EncoderSettings& s) {
  char size[32];
  snprintf(size, sizeof size, "%dx%d", s.frameWidth, s.frameHeight);
  std::vector<std::string> a = {s.ffmpeg, "-hide_banner", "-loglevel", "error", "-nostats", "-y",
                                "-f", "rawvideo", "-pix_fmt", s.rawFormat, "-video_size", size,
                                "-framerate", FormatFrameRate(s.fps), "-i", "pipe:0"};
  bool audio = !s.audioPath.empty();
  if (audio) {
    // Input-side seek and length: ffmpeg decodes up to the start and trims exactly.
    char from[32];
    snprintf(from, sizeof from, "%d.%03d", s.audioFromMs / 1000, s.audioFromMs % 1000);
    a.insert(a.end(), {"-ss", from, "-t", FramesDurationText(s.frameCount, s.fps), "-i",
                       s.audioPath});
  }
  a.insert(a.end(), {"-map", "0:v:0"});
  if (audio) a.insert(a.end(), {"-map", "1:a:0"});
  std::string filter = "vflip";
  if (s.outWidth != s.frameWidth || s.outHeight != s.frameHeight)
    filter += ",scale=" + std::to_string(s.outWidth) + ":" + std::to_string(s.outHeight) +
              ":flags=bicubic";
  a.insert(a.end(), {"-vf", filter, "-c:v", s.codec, "-pix_fmt", s.pixFmt});
  if (audio && s.padAudio) a.insert(a.end(), {"-af", "apad"});
  if (s.codec == "libx264" || s.codec == "libx265")
    a.insert(a.end(), {"-preset", s.preset, "-crf", std::to_string(s.crf)});
  else if (s.codec == "libvpx-vp9" || s.codec == "libaom-av1")
    a.insert(a.end(), {"-crf", std::to_string(s.crf), "-b:v", "0"});
  if (audio) {
    // An interrupted capture has less video than the audio asked for: the
    // shortest stream sets the file's end.
    a.insert(a.end(), {"-c:a", "aac", "-b:a", "192k", "-shortest"});
  }
  // The index goes to the front once the capture ends, so players can stream it.
  a.insert(a.end(), {"-movflags", "+faststart", s.outputPath});
  return a;
}

bool StartEncoder(const EncoderSettings& settings, Encoder* e, std::string* error) {
  signal(SIGPIPE, SIG_IGN);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::string("can't make a pipe: ") + strerror(errno);
    return false;
  }
  // Bigger pipe buffer: the renderer hands over a frame and goes on drawing
  // while ffmpeg takes it. Best effort.
  fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);

  std::vector<std::string> command = EncoderCommand(settings);
  std::vector<char*> argv;
  for (std::string& arg : command) argv.push_back(&arg[0]);
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setpgroup(&attr, 0);
  // Ffmpeg gets default signal handling, whatever the renderer has set.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                      POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(fds[0]);
  if (rc != 0) {
    close(fds[1]);
    *error = "can't start " + settings.ffmpeg + ": " + strerror(rc) +
             " (scripts/install-deps installs ffmpeg)";
    return false;
  }
  e->pid = pid;
  e->fd = fds[1];
  e->broken = false;
  e->framesWritten = 0;
  return true;
}

bool EncodeFrame(Encoder* e, const uint8_t* data, size_t bytes) {
  if (e->fd < 0 || e->broken) return false;
  // A signal (Ctrl-C) may cut a write short; the frame is still finished so the
  // stream never holds half a picture.
  while (bytes > 0) {
    ssize_t n = write(e->fd, data, bytes);
    if (n < 0) {
      if (errno == EINTR) continue;
      e->broken = true;
      return false;
    }
    data += n;
    bytes -= size_t(n);
  }
  ++e->framesWritten;
  return true;
}

int FinishEncoder(Encoder* e) {
  if (e->fd >= 0) {
    close(e->fd);
    e->fd = -1;
  }
  if (e->pid <= 0) return -1;
  int status = 0;
  while (waitpid(e->pid, &status, 0) < 0) {
    if (errno != EINTR) {
      e->pid = -1;
      return -1;
    }
  }
  e->pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
