#include "ffmpeg_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace {

bool EndsWith(const std::string& text, const char* tail) {
  const size_t n = strlen(tail);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (tolower(static_cast<unsigned char>(text[text.size() - n + i])) != tail[i]) return false;
  return true;
}

bool StartsWith(const std::string& text, const char* head) {
  return text.compare(0, strlen(head), head) == 0;
}

// The music's input and the stream maps: video from input 0, audio from 1.
void AppendAudioInput(const EncoderSettings& s, std::vector<std::string>* a) {
  const bool audio = !s.audioPath.empty();
  if (audio) {
    // Input-side seek and length: ffmpeg decodes up to the start and trims exactly.
    char from[32];
    snprintf(from, sizeof from, "%d.%03d", s.audioFromMs / 1000, s.audioFromMs % 1000);
    a->insert(a->end(), {"-ss", from, "-t", FramesDurationText(s.frameCount, s.fps), "-i",
                         s.audioPath});
  }
  a->insert(a->end(), {"-map", "0:v:0"});
  if (audio) a->insert(a->end(), {"-map", "1:a:0"});
}

// The audio encoder and the file: the last arguments of every command.
void AppendAudioOutput(const EncoderSettings& s, std::vector<std::string>* a) {
  if (!s.audioPath.empty()) {
    // 48 kHz as video sites and editors expect; AAC where the container
    // takes it, Opus in WebM and Matroska. An interrupted capture has less
    // video than the audio asked for: the shortest stream sets the file's end.
    const bool opus = ContainerOf(s.outputPath) == Container::kWebm ||
                      ContainerOf(s.outputPath) == Container::kMatroska;
    a->insert(a->end(), {"-ar", "48000", "-c:a", opus ? "libopus" : "aac", "-b:a", "320k",
                         "-shortest"});
  }
  // The index goes to the front once the capture ends, so players can stream it.
  a->insert(a->end(), {"-movflags", "+faststart", s.outputPath});
}

}  // namespace

Container ContainerOf(const std::string& path) {
  if (EndsWith(path, ".mp4") || EndsWith(path, ".m4v")) return Container::kMp4;
  if (EndsWith(path, ".mov")) return Container::kMov;
  if (EndsWith(path, ".webm")) return Container::kWebm;
  if (EndsWith(path, ".mkv")) return Container::kMatroska;
  return Container::kUnknown;
}

bool CheckCodecAndContainer(const std::string& path, const std::string& codec,
                            std::string* error) {
  const Container c = ContainerOf(path);
  if (c == Container::kUnknown) {
    *error = "can't tell the container of " + path +
             ": name the video .mp4, .mov, .mkv or .webm";
    return false;
  }
  // WebM takes only VP8, VP9 and AV1; MP4 and MOV take neither VP8 nor the
  // lossless intra codecs; Matroska takes them all.
  const bool vpx = StartsWith(codec, "libvpx");
  const bool av1 = StartsWith(codec, "libaom") || StartsWith(codec, "libsvtav1") ||
                   StartsWith(codec, "librav1e");
  bool ok = true;
  if (c == Container::kWebm) ok = vpx || av1;
  if (c == Container::kMp4 || c == Container::kMov)
    ok = codec != "libvpx" && codec != "ffv1" && codec != "huffyuv" && codec != "utvideo";
  if (!ok) {
    const char* names[] = {"MP4", "MOV", "WebM", "Matroska", "?"};
    *error = std::string("a ") + names[int(c)] + " file cannot hold " + codec +
             (c == Container::kWebm ? " video (WebM takes libvpx, libvpx-vp9 or libaom-av1)"
                                    : " video (Matroska, .mkv, can)");
    return false;
  }
  return true;
}

VideoFit FitVideo(int frameWidth, int frameHeight, int outWidth, int outHeight) {
  VideoFit f{outWidth, outHeight, 0, 0};
  // The larger picture of the frame's shape that fits, in even pixels so 4:2:0 stays whole.
  const int64_t byWidth = int64_t(outWidth) * frameHeight, byHeight = int64_t(outHeight) * frameWidth;
  if (byWidth > byHeight) {
    f.width = int(byHeight / frameHeight) & ~1;
  } else if (byWidth < byHeight) {
    f.height = int(byWidth / frameWidth) & ~1;
  }
  if (f.width < 2) f.width = 2;
  if (f.height < 2) f.height = 2;
  f.x = ((outWidth - f.width) / 2) & ~1;
  f.y = ((outHeight - f.height) / 2) & ~1;
  return f;
}

std::vector<std::string> EncoderCommand(const EncoderSettings& s) {
  char size[32];
  snprintf(size, sizeof size, "%dx%d", s.frameWidth, s.frameHeight);
  std::vector<std::string> a = {s.ffmpeg, "-hide_banner", "-loglevel", "error", "-nostats", "-y",
                                "-f", "rawvideo", "-pix_fmt", s.rawFormat, "-video_size", size,
                                "-framerate", FormatFrameRate(s.fps), "-i", "pipe:0"};
  const bool audio = !s.audioPath.empty();
  AppendAudioInput(s, &a);
  // The conversion itself uses the BT.709 matrix and limited range that
  // players assume for HD video, and the file says so; an RGB output format
  // is left as it is. The picture keeps its shape inside the asked size
  // (black bars), with square pixels.
  const bool yuv = s.pixFmt.compare(0, 3, "yuv") == 0 || s.pixFmt.compare(0, 2, "nv") == 0;
  const VideoFit fit = FitVideo(s.frameWidth, s.frameHeight, s.outWidth, s.outHeight);
  std::string filter = "vflip";
  if (fit.width != s.frameWidth || fit.height != s.frameHeight || yuv) {
    filter += ",scale=" + std::to_string(fit.width) + ":" + std::to_string(fit.height) +
              ":flags=bicubic";
    if (yuv) filter += ":out_color_matrix=bt709:out_range=tv";
  }
  filter += ",format=" + s.pixFmt;
  if (fit.width != s.outWidth || fit.height != s.outHeight)
    filter += ",pad=" + std::to_string(s.outWidth) + ":" + std::to_string(s.outHeight) + ":" +
              std::to_string(fit.x) + ":" + std::to_string(fit.y) + ":black";
  filter += ",setsar=1";
  a.insert(a.end(), {"-vf", filter, "-c:v", s.codec, "-pix_fmt", s.pixFmt});
  if (yuv)
    a.insert(a.end(), {"-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc",
                       "bt709", "-color_range", "tv"});
  // A keyframe at least every second, so players and editors seek quickly.
  a.insert(a.end(), {"-g", std::to_string((s.fps.num + s.fps.den - 1) / s.fps.den)});
  if (audio && s.padAudio) a.insert(a.end(), {"-af", "apad"});
  if (s.codec == "libx264" || s.codec == "libx265")
    a.insert(a.end(), {"-preset", s.preset, "-crf", std::to_string(s.crf)});
  else if (s.codec == "libvpx-vp9" || s.codec == "libaom-av1")
    a.insert(a.end(), {"-crf", std::to_string(s.crf), "-b:v", "0"});
  AppendAudioOutput(s, &a);
  return a;
}

std::vector<std::string> JoinCommand(const EncoderSettings& s, const std::string& listPath) {
  // The segments' streams as they are; the music is cut and encoded once, as
  // a one-piece capture does.
  std::vector<std::string> a = {s.ffmpeg, "-hide_banner", "-loglevel", "error", "-nostats", "-y",
                                "-f", "concat", "-safe", "0", "-i", listPath};
  AppendAudioInput(s, &a);
  a.insert(a.end(), {"-c:v", "copy"});
  if (!s.audioPath.empty() && s.padAudio) a.insert(a.end(), {"-af", "apad"});
  AppendAudioOutput(s, &a);
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

int RunProgram(const std::vector<std::string>& command, std::string* output) {
  std::vector<std::string> args = command;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  int fds[2] = {-1, -1};
  if (output && pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output) posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output) {
    close(fds[1]);
    if (rc == 0) {
      output->clear();
      char buffer[4096];
      ssize_t n;
      while ((n = read(fds[0], buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        output->append(buffer, size_t(n));
      }
    }
    close(fds[0]);
  }
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
