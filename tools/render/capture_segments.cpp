#include "capture_segments.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>

#include "contact_sheet.h"
#include "core/command_line.h"
#include "core/gl.h"
#include "core/present.h"
#include "core/settings.h"
#include "director/show_windows.h"
#include "ffmpeg_pipe.h"
#include "frame_stats.h"
#include "progress.h"
#include "render_options.h"
#include "shell/capture.h"

namespace {

// Set by the parent for its children: the folder lock is the parent's, and
// each child reports its frames on this descriptor.
const char kParentEnv[] = "MARVOKE_SEGMENT_PARENT";
const char kProgressEnv[] = "MARVOKE_SEGMENT_PROGRESS_FD";
constexpr int kProgressFd = 3;

std::string Lower(std::string text) {
  for (char& c : text) c = char(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Extension(const std::string& path) {
  size_t dot = path.rfind('.'), slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot));
}

// The show's data as it was read: every file of Images, Models and Music, by name and bytes.
std::string DataHash(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  for (const char* sub : {"Images", "Models", "Music"}) {
    std::error_code ec;
    fs::recursive_directory_iterator it(fs::path(folder) / sub, ec), end;
    for (; !ec && it != end; it.increment(ec))
      if (it->is_regular_file(ec)) files.push_back(fs::relative(it->path(), folder, ec).string());
  }
  std::sort(files.begin(), files.end());
  Hash64 all;
  for (const std::string& name : files) {
    uint64_t h = 0;
    int64_t bytes = 0;
    if (!HashFile(folder + "/" + name, &h, &bytes)) h = 0;
    std::string line = name + " " + std::to_string(bytes) + " " + HashText(h) + "\n";
    HashUpdate(&all, line.data(), line.size());
  }
  return HashText(HashFinish(all));
}

// The running program's own bytes: another build may draw other frames.
std::string BuildHash() {
  uint64_t h = 0;
  int64_t bytes = 0;
  return HashFile("/proc/self/exe", &h, &bytes) ? HashText(h) : "unknown";
}

std::string InFolder(const WorkFolder& f, const std::string& name) { return f.dir + "/" + name; }

std::string SegmentVideo(const WorkFolder& f, int number) {
  return f.videoExt.empty() ? "" : SegmentStem(number) + f.videoExt;
}

// A name of this process's own, for a file it has not finished.
std::string TempName(const std::string& path) {
  return path + ".tmp-" + std::to_string(getpid());
}

bool TakeLock(const std::string& path, int mode, int* fd) {
  *fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (*fd < 0) return false;
  if (flock(*fd, mode | LOCK_NB) == 0) return true;
  close(*fd);
  *fd = -1;
  return false;
}

// The names in a folder, "." and ".." left out.
std::vector<std::string> FolderNames(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Empties the folder but for the lock this process holds.
void ClearFolder(const std::string& dir) {
  for (const std::string& name : FolderNames(dir))
    if (name != "lock") unlink((dir + "/" + name).c_str());
}

// Files of runs that stopped before finishing them. Only while the folder is
// this process's alone: a farm's other machines may be writing theirs.
void RemoveUnfinished(const std::string& dir) {
  for (const std::string& name : FolderNames(dir))
    if (name.find(".tmp-") != std::string::npos) unlink((dir + "/" + name).c_str());
}

// The sheet cells' frames, chosen as a one-piece capture chooses them: the
// first frame at or after each step, one cell a frame at most.
std::vector<int64_t> SheetCellFrames(const CaptureOptions& o, int64_t totalFrames) {
  std::vector<int64_t> frames;
  if (o.sheetPath.empty()) return frames;
  const int cells = int((int64_t(o.toMs) - o.fromMs + o.sheetEveryMs - 1) / o.sheetEveryMs);
  for (int64_t n = 0; n < totalFrames && int(frames.size()) < cells; ++n)
    if (FrameTimeMs(o.fromMs, n, o.fps) >= int64_t(o.fromMs) + int64_t(frames.size()) * o.sheetEveryMs)
      frames.push_back(n);
  return frames;
}

std::string CellName(size_t cell) {
  char name[32];
  snprintf(name, sizeof name, "cell_%04zu.rgb", cell);
  return name;
}

bool FlushFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

// Packets of the first video stream: frames, without decoding them.
int64_t CountVideoPackets(const std::string& path) {
  std::string out;
  int status = RunProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                           "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path},
                          &out);
  if (status != 0) return -1;
  char* end = nullptr;
  long long n = strtoll(out.c_str(), &end, 10);
  return end == out.c_str() ? -1 : n;
}

}  // namespace

CaptureIdentity MakeCaptureIdentity(const CaptureOptions& o, const std::string& dataFolder) {
  CaptureIdentity id;
  auto add = [&id](const char* name, const std::string& value) {
    id.fields.push_back({name, value.empty() ? "-" : value});
  };
  add("version", MarvokeVersion());
  add("build", BuildHash());
  add("data", DataHash(dataFolder));
  // The render area stands for the scale: both sizes, exact.
  add("area", std::to_string(renderWidth) + "x" + std::to_string(renderHeight));
  add("window", std::to_string(screenWidth) + "x" + std::to_string(screenHeight));
  add("fps", FormatFrameRate(o.fps));
  add("from", std::to_string(o.fromMs));
  add("to", std::to_string(o.toMs));
  add("preroll-step", std::to_string(o.prerollStepMs));
  add("video", Extension(o.videoPath));
  if (!o.videoPath.empty()) {
    add("size", std::to_string(o.outWidth) + "x" + std::to_string(o.outHeight));
    add("codec", o.codec);
    add("pix-fmt", o.pixFmt);
    add("crf", std::to_string(o.crf));
    add("preset", o.preset);
  }
  // The side outputs each segment writes as it goes.
  add("png", o.pngDir);
  add("stats", o.statsPath.empty() && o.curvePath.empty() ? "no" : "yes");
  add("sheet-every", o.sheetPath.empty() ? "" : std::to_string(o.sheetEveryMs));
  return id;
}

std::string WorkFolderPath(const CaptureOptions& o) {
  for (const std::string* path : {&o.videoPath, &o.pngDir, &o.statsPath, &o.sheetPath,
                                  &o.curvePath}) {
    if (path->empty()) continue;
    std::string p = *path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p + ".parts";
  }
  return "marvoke.parts";
}

int OpenWorkFolder(const CaptureOptions& o, const std::string& dataFolder, WorkFolder* f,
                   FILE* log) {
  f->dir = WorkFolderPath(o);
  f->videoExt = Extension(o.videoPath);
  f->identity = MakeCaptureIdentity(o, dataFolder);
  f->key = IdentityKey(f->identity);
  f->plan = PlanSegments(FrameCount(o.fromMs, o.toMs, o.fps), o.fps, o.segmentSeconds);
  f->sheetFrames = SheetCellFrames(o, f->plan.totalFrames);
  if (mkdir(f->dir.c_str(), 0777) != 0 && errno != EEXIST) {
    fprintf(log, "Can't create the work folder %s: %s\n", f->dir.c_str(), strerror(errno));
    return 1;
  }
  // A farm's segments side by side (shared), a whole capture or a join alone.
  const bool child = getenv(kParentEnv) != nullptr;
  const bool single = o.segmentNumber > 0;
  if (!child && !TakeLock(InFolder(*f, "lock"), single ? LOCK_SH : LOCK_EX, &f->lockFd)) {
    fprintf(log, "%s is in use by another capture%s; nothing is rendered.\n", f->dir.c_str(),
            single ? " or a join" : "");
    return 1;
  }
  if (single &&
      !TakeLock(InFolder(*f, SegmentStem(o.segmentNumber) + ".lock"), LOCK_EX, &f->segmentLockFd)) {
    fprintf(log, "Segment %d is being rendered by another process; nothing is rendered.\n",
            o.segmentNumber);
    return 1;
  }
  if (single && o.segmentCount != f->plan.count) {
    fprintf(log,
            "This capture has %d segments of %" PRId64 " frames (--segment-seconds %g), not %d: "
            "--segment I/%d.\n",
            f->plan.count, f->plan.framesPerSegment, o.segmentSeconds, o.segmentCount,
            f->plan.count);
    return 2;
  }
  if (!single && !child) {
    RemoveUnfinished(f->dir);
    if (!o.pngDir.empty()) RemoveUnfinished(o.pngDir);
  }
  const std::string manifestPath = InFolder(*f, "manifest.txt");
  const std::string expected = ManifestText(f->identity, f->plan);
  std::string there;
  if (o.restart) {
    ClearFolder(f->dir);
  } else if (ReadWholeFile(manifestPath, &there)) {
    bool damaged = false;
    const std::string difference = ManifestDifference(there, expected, &damaged);
    if (damaged) {
      // Nothing recorded under it can be trusted.
      fprintf(log, "The manifest in %s is damaged: rendering every segment again.\n",
              f->dir.c_str());
      if (!single && !child) ClearFolder(f->dir);
    } else if (!difference.empty()) {
      fprintf(log,
              "%s holds another capture (%s); its segments are not mixed in. Run with --restart "
              "to begin again, or remove the folder.\n",
              f->dir.c_str(), difference.c_str());
      return 2;
    } else {
      return 0;
    }
  }
  std::string error;
  if (!WriteFileAtomically(manifestPath, expected, &error)) {
    fprintf(log, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}

void CloseWorkFolder(WorkFolder* f) {
  for (int* fd : {&f->lockFd, &f->segmentLockFd})
    if (*fd >= 0) {
      close(*fd);
      *fd = -1;
    }
}

bool SegmentIsFinished(const CaptureOptions& o, const WorkFolder& f, int number,
                       std::string* reason) {
  reason->clear();
  std::string text;
  if (!ReadWholeFile(InFolder(f, SegmentStem(number) + ".txt"), &text)) return false;
  SegmentRecord r;
  std::string error;
  const SegmentSpan span = SegmentOf(f.plan, number);
  if (!ParseSegmentRecord(text, &r, &error)) {
    *reason = "its record is damaged (" + error + ")";
    return false;
  }
  if (r.key != f.key || r.number != number || r.firstFrame != span.firstFrame ||
      r.frameCount != span.frameCount || r.file != SegmentVideo(f, number)) {
    *reason = "its record belongs to another capture";
    return false;
  }
  if (!r.file.empty()) {
    uint64_t hash = 0;
    int64_t bytes = 0;
    if (!HashFile(InFolder(f, r.file), &hash, &bytes)) {
      *reason = r.file + " is missing";
      return false;
    }
    if (bytes != r.fileBytes || hash != r.fileHash) {
      *reason = r.file + " is not the file recorded (" + std::to_string(bytes) + " bytes, " +
                std::to_string(r.fileBytes) + " recorded)";
      return false;
    }
  }
  struct stat st;
  if ((!o.statsPath.empty() || !o.curvePath.empty()) &&
      stat(InFolder(f, SegmentStem(number) + ".csv").c_str(), &st) != 0) {
    *reason = "its statistics are missing";
    return false;
  }
  for (size_t c = 0; c < f.sheetFrames.size(); ++c)
    if (f.sheetFrames[c] >= span.firstFrame && f.sheetFrames[c] < span.firstFrame + span.frameCount &&
        stat(InFolder(f, CellName(c)).c_str(), &st) != 0) {
      *reason = "its contact sheet cell is missing";
      return false;
    }
  return true;
}

std::vector<int> FinishedSegments(const CaptureOptions& o, const WorkFolder& f, FILE* log) {
  std::vector<int> done;
  for (int i = 1; i <= f.plan.count; ++i) {
    std::string reason;
    if (SegmentIsFinished(o, f, i, &reason)) {
      done.push_back(i);
      continue;
    }
    if (!reason.empty()) fprintf(log, "Segment %d: %s; rendering it again.\n", i, reason.c_str());
    // Redone from nothing: never joined from a part.
    for (const char* ext : {".txt", ".csv"}) unlink(InFolder(f, SegmentStem(i) + ext).c_str());
    if (!f.videoExt.empty()) unlink(InFolder(f, SegmentVideo(f, i)).c_str());
  }
  return done;
}

bool RenderSegments(const CaptureOptions& o, const ShowHooks& hooks, const WorkFolder& f,
                    const std::vector<int>& numbers, FILE* log, SegmentRunResult* r) {
  *r = SegmentRunResult();
  StopSignals signals;
  const int width = screenWidth, height = screenHeight;
  if (!o.pngDir.empty() && mkdir(o.pngDir.c_str(), 0777) != 0 && errno != EEXIST) {
    fprintf(log, "Can't create the folder %s: %s\n", o.pngDir.c_str(), strerror(errno));
    r->failed = true;
    return false;
  }
  const char* progressEnv = getenv(kProgressEnv);
  const int progressFd = progressEnv ? atoi(progressEnv) : -1;
  const bool measure = !o.statsPath.empty() || !o.curvePath.empty();
  ContactSheet sheetShape;
  if (!f.sheetFrames.empty()) BeginSheet(&sheetShape, width, height, 1);

  int64_t planned = 0;
  for (int number : numbers) planned += SegmentOf(f.plan, number).frameCount;
  std::vector<uint8_t> frame(size_t(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  ShowCursor cursor;
  Progress progress;
  bool progressBegun = false;
  std::string error;
  const double start = WallSeconds();
  for (int number : numbers) {
    const SegmentSpan span = SegmentOf(f.plan, number);
    AdvanceShow(o, hooks, &cursor, span.firstFrame, log);
    if (CaptureStopRequested()) break;
    if (!progressBegun) {
      BeginProgress(&progress, log, o.videoPath.empty() ? "Rendering" : "Encoding", planned);
      progressBegun = true;
    }
    const std::string stem = SegmentStem(number);
    const std::string video = f.videoExt.empty() ? "" : InFolder(f, SegmentVideo(f, number));
    Encoder encoder;
    if (!video.empty()) {
      // The encoder of a one-piece capture, without the music: it is muxed once at the join.
      EncoderSettings s = CaptureEncoderSettings(o, width, height);
      s.outputPath = TempName(video) + f.videoExt;
      s.frameCount = span.frameCount;
      if (!StartEncoder(s, &encoder, &error)) {
        fprintf(log, "Can't encode video: %s\n", error.c_str());
        r->failed = true;
        break;
      }
    }
    const std::string statsPath = InFolder(f, stem + ".csv");
    FILE* stats = measure ? fopen(TempName(statsPath).c_str(), "w") : nullptr;
    if (measure && !stats) {
      fprintf(log, "Can't write %s: %s\n", TempName(statsPath).c_str(), strerror(errno));
      r->failed = true;
    }
    SegmentRecord record;
    record.key = f.key;
    record.number = number;
    record.firstFrame = span.firstFrame;
    record.frameCount = span.frameCount;
    record.file = SegmentVideo(f, number);
    record.frameHashes.reserve(size_t(span.frameCount));
    int64_t n = 0;
    for (; n < span.frameCount && !r->failed; ++n) {
      if (CaptureStopRequested()) break;
      const int64_t k = span.firstFrame + n;
      const int32_t t = FrameTimeMs(o.fromMs, k, o.fps);
      hooks.drawFrame(t, hooks.user);
      glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
      SwapFrame();
      record.frameHashes.push_back(HashBytes(frame.data(), frame.size()));
      if (!video.empty() && !EncodeFrame(&encoder, frame.data(), frame.size())) {
        fprintf(log, "\nThe encoder stopped taking frames (see its message above).\n");
        r->failed = true;
        break;
      }
      if (!o.pngDir.empty()) {
        // Under a name of its own until whole, so a stop never leaves half a picture.
        const std::string png = o.pngDir + "/" + PngFrameName(t);
        if (!WritePng(TempName(png).c_str(), width, height, frame.data(), true) ||
            !CommitFile(TempName(png), png, &error)) {
          r->failed = true;
          break;
        }
      }
      if (stats) {
        FrameLook look = MeasureFrame(frame.data(), width, height);
        ShowSlot slot = SelectShowSlot(t);
        look.timeMs = t;
        look.module = slot.module;
        look.mode = slot.mode;
        WriteLookRow(stats, look);
      }
      for (size_t c = 0; c < f.sheetFrames.size(); ++c) {
        if (f.sheetFrames[c] != k) continue;
        const std::vector<uint8_t> thumb = ShrinkSheetFrame(sheetShape, frame.data());
        if (!WriteFileAtomically(InFolder(f, CellName(c)),
                                 std::string(thumb.begin(), thumb.end()), &error)) {
          fprintf(log, "%s\n", error.c_str());
          r->failed = true;
        }
      }
      ++r->framesDone;
      UpdateProgress(&progress, r->framesDone, t);
      if (progressFd >= 0) {
        char line[32];
        int len = snprintf(line, sizeof line, "%" PRId64 "\n", r->framesDone);
        if (write(progressFd, line, size_t(len)) < 0) {
          // The parent is gone; PR_SET_PDEATHSIG ends this process.
        }
      }
    }
    cursor.nextFrame = span.firstFrame + n;
    const bool whole = n == span.frameCount && !r->failed;
    if (!video.empty()) {
      const int status = FinishEncoder(&encoder);
      if (status != 0 && whole) {
        fprintf(log, "The encoder ended with status %d.\n", status);
        r->failed = true;
      }
    }
    if (stats && (fclose(stats) != 0 || !FlushFile(TempName(statsPath))) && whole) {
      fprintf(log, "Can't finish %s: %s\n", statsPath.c_str(), strerror(errno));
      r->failed = true;
    }
    if (!whole || r->failed) {
      // Unfinished: no record, so a resume renders it again.
      unlink(TempName(statsPath).c_str());
      if (!video.empty()) unlink((TempName(video) + f.videoExt).c_str());
      break;
    }
    if (!video.empty()) {
      // Every frame in, and decodable to its end, before it counts.
      const std::string temp = TempName(video) + f.videoExt;
      const int64_t packets = CountVideoPackets(temp);
      if (packets != span.frameCount) {
        fprintf(log, "Segment %d's video holds %" PRId64 " frames, not %" PRId64 ".\n", number,
                packets, span.frameCount);
        r->failed = true;
        break;
      }
      if (!FlushFile(temp) || !CommitFile(temp, video, &error) ||
          !HashFile(video, &record.fileHash, &record.fileBytes)) {
        fprintf(log, "Can't keep %s: %s\n", video.c_str(), error.c_str());
        r->failed = true;
        break;
      }
    }
    if ((stats && !CommitFile(TempName(statsPath), statsPath, &error)) ||
        !WriteFileAtomically(InFolder(f, stem + ".txt"), FormatSegmentRecord(record), &error)) {
      fprintf(log, "%s\n", error.c_str());
      r->failed = true;
      break;
    }
    ++r->segmentsDone;
  }
  r->wallSeconds = WallSeconds() - start;
  if (progressBegun) EndProgress(&progress, r->framesDone, -1);
  r->interrupted = CaptureStopRequested();
  return !r->failed;
}

int AutoJobs(FILE* log) {
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  if (cores < 1) cores = 1;
  // A software GL already draws each frame on every core: on two cores a
  // second process gained nothing at scale 1 (6.03 against 5.95 frames a
  // second) and lost at 0.5 (12.7 against 13.8), its loading and pre-roll
  // costing more than the single-threaded share of the frame it overlaps.
  // With more cores that share (the modules, the vertex path, the read-back)
  // bounds one process, so one process for every four cores.
  int jobs = cores < 8 ? 1 : int(cores / 4);  // one for every four, at least one
  if (jobs > 16) jobs = 16;
  fprintf(log, "--jobs auto: %d job%s (%ld core%s).\n", jobs, jobs == 1 ? "" : "s", cores,
          cores == 1 ? "" : "s");
  return jobs;
}

namespace {

struct Child {
  pid_t pid = -1;
  int number = 0;
  int fd = -1;          // its progress pipe
  int64_t frames = 0;   // frames it says it has done
  std::string pending;  // an unfinished progress line
};

pid_t StartChild(const std::vector<std::string>& args, int number, int count,
                 const std::string& logPath, int* progressRead) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return -1;
  }
  if (pid == 0) {
    // The child ends with its parent, whatever ends the parent.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    signal(SIGPIPE, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    int logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (logFd >= 0) {
      dup2(logFd, 1);
      dup2(logFd, 2);
    }
    dup2(fds[1], kProgressFd);  // dup2 clears close-on-exec
    char value[16];
    snprintf(value, sizeof value, "%d", kProgressFd);
    setenv(kProgressEnv, value, 1);
    snprintf(value, sizeof value, "%d", int(parent));
    setenv(kParentEnv, value, 1);
    std::vector<std::string> line = args;
    line.push_back("--segment");
    line.push_back(std::to_string(number) + "/" + std::to_string(count));
    std::vector<char*> argv;
    for (std::string& a : line) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    _exit(127);
  }
  close(fds[1]);
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  *progressRead = fds[0];
  return pid;
}

void ReadProgress(Child* c) {
  char buffer[256];
  ssize_t n;
  while ((n = read(c->fd, buffer, sizeof buffer)) > 0) {
    c->pending.append(buffer, size_t(n));
    size_t end;
    while ((end = c->pending.find('\n')) != std::string::npos) {
      c->frames = strtoll(c->pending.c_str(), nullptr, 10);
      c->pending.erase(0, end + 1);
    }
  }
}

// The last lines of a child's log, for the message about its failure.
std::string LogTail(const std::string& path, int lines) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return "";
  size_t at = text.size();
  for (int i = 0; i <= lines && at > 0; ++i) {
    size_t nl = text.rfind('\n', at - 1);
    if (nl == std::string::npos) {
      at = 0;
      break;
    }
    at = nl;
    if (i == lines) ++at;
  }
  return text.substr(at);
}

}  // namespace

int RunSegmentJobs(const CaptureOptions& o, const std::vector<std::string>& args,
                   const WorkFolder& f, const std::vector<int>& numbers, int jobs, FILE* log) {
  StopSignals signals;
  std::deque<int> queue(numbers.begin(), numbers.end());
  std::vector<int> attempts(size_t(f.plan.count) + 1, 0), failed;
  std::vector<Child> running;
  int64_t planned = 0, finishedFrames = 0;
  for (int number : numbers) planned += SegmentOf(f.plan, number).frameCount;
  fprintf(log, "Rendering %zu segment%s with %d processes, one a segment; logs in %s/.\n",
          numbers.size(), numbers.size() == 1 ? "" : "s", jobs, f.dir.c_str());
  Progress progress;
  BeginProgress(&progress, log, o.videoPath.empty() ? "Rendering" : "Encoding", planned);
  bool stopping = false;
  while (!running.empty() || (!queue.empty() && !stopping && failed.empty())) {
    if (CaptureStopRequested() && !stopping) {
      stopping = true;
      // Each child ends after its frame; its segment is left unrecorded.
      for (const Child& c : running) kill(c.pid, SIGTERM);
    }
    // In time order, the oldest first, while nothing has failed for good.
    while (!stopping && failed.empty() && int(running.size()) < jobs && !queue.empty()) {
      Child c;
      c.number = queue.front();
      queue.pop_front();
      c.pid = StartChild(args, c.number, f.plan.count,
                         InFolder(f, SegmentStem(c.number) + ".log"), &c.fd);
      if (c.pid < 0) {
        fprintf(log, "\nCan't start a process for segment %d: %s\n", c.number, strerror(errno));
        failed.push_back(c.number);
        break;
      }
      ++attempts[size_t(c.number)];
      running.push_back(c);
    }
    std::vector<pollfd> fds;
    for (const Child& c : running) fds.push_back({c.fd, POLLIN, 0});
    poll(fds.data(), fds.size(), 250);
    for (Child& c : running) ReadProgress(&c);
    for (size_t i = 0; i < running.size();) {
      Child& c = running[i];
      int status = 0;
      pid_t done = waitpid(c.pid, &status, WNOHANG);
      if (done == 0 || (done < 0 && errno == EINTR)) {
        ++i;
        continue;
      }
      ReadProgress(&c);
      close(c.fd);
      std::string reason;
      const bool ok = done == c.pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                      SegmentIsFinished(o, f, c.number, &reason);
      const std::string logPath = InFolder(f, SegmentStem(c.number) + ".log");
      if (ok) {
        finishedFrames += SegmentOf(f.plan, c.number).frameCount;
        unlink(logPath.c_str());
      } else if (!stopping) {
        const std::string how = WIFSIGNALED(status)
                                    ? std::string("was killed by signal ") +
                                          std::to_string(WTERMSIG(status))
                                    : "ended with status " + std::to_string(WEXITSTATUS(status));
        fprintf(log, "\nSegment %d's process %s; %s\n%s", c.number, how.c_str(),
                attempts[size_t(c.number)] < 2 ? "rendering it once more." : "giving it up.",
                LogTail(logPath, 4).c_str());
        if (attempts[size_t(c.number)] < 2)
          queue.push_front(c.number);
        else
          failed.push_back(c.number);
      }
      running.erase(running.begin() + long(i));
    }
    int64_t frames = finishedFrames;
    for (const Child& c : running) frames += c.frames;
    UpdateProgress(&progress, frames, -1);
  }
  EndProgress(&progress, finishedFrames, -1);
  const int done = int(FinishedSegments(o, f, log).size());
  if (stopping) {
    fprintf(log, "Stopped: %d of %d segments done, kept in %s; the same command resumes.\n", done,
            f.plan.count, f.dir.c_str());
    return 130;
  }
  if (!failed.empty()) {
    fprintf(log, "Segment %d could not be rendered (its log: %s); %d of %d segments done are kept "
                 "for the same command to resume.\n",
            failed.front(), InFolder(f, SegmentStem(failed.front()) + ".log").c_str(), done,
            f.plan.count);
    return 1;
  }
  return 0;
}

bool RemoveWorkFolder(const std::string& dir, std::string* error) {
  for (const std::string& name : FolderNames(dir)) unlink((dir + "/" + name).c_str());
  if (rmdir(dir.c_str()) != 0) {
    *error = "can't remove " + dir + ": " + strerror(errno);
    return false;
  }
  return true;
}

int JoinSegments(const CaptureOptions& o, WorkFolder* f, std::vector<FrameLook>* looks,
                 FILE* log) {
  std::vector<int> missing;
  for (int i = 1; i <= f->plan.count; ++i) {
    std::string reason;
    if (!SegmentIsFinished(o, *f, i, &reason)) missing.push_back(i);
  }
  if (!missing.empty()) {
    std::string list;
    for (size_t i = 0; i < missing.size() && i < 12; ++i)
      list += (i ? ", " : "") + std::to_string(missing[i]);
    if (missing.size() > 12) list += ", ...";
    fprintf(log, "%zu of %d segments are not finished (%s): render them with --segment I/%d, or "
                 "run the capture again to resume.\n",
            missing.size(), f->plan.count, list.c_str(), f->plan.count);
    return 1;
  }
  std::string error;
  const double start = WallSeconds();
  if (!o.videoPath.empty()) {
    std::string list;
    for (int i = 1; i <= f->plan.count; ++i) list += "file '" + SegmentVideo(*f, i) + "'\n";
    const std::string listPath = InFolder(*f, "join.txt");
    if (!WriteFileAtomically(listPath, list, &error)) {
      fprintf(log, "%s\n", error.c_str());
      return 1;
    }
    EncoderSettings s = CaptureEncoderSettings(o, screenWidth, screenHeight);
    s.outputPath = TempName(o.videoPath) + f->videoExt;
    s.frameCount = f->plan.totalFrames;
    AddCaptureMusic(o, &s, log);
    const int status = RunProgram(JoinCommand(s, listPath), nullptr);
    const int64_t frames = status == 0 ? CountVideoPackets(s.outputPath) : -1;
    if (status != 0 || frames != f->plan.totalFrames) {
      fprintf(log, "Joining the segments failed (%s); they are kept in %s.\n",
              status != 0 ? ("ffmpeg ended with status " + std::to_string(status)).c_str()
                          : (std::to_string(frames) + " frames joined").c_str(),
              f->dir.c_str());
      unlink(s.outputPath.c_str());
      return 1;
    }
    if (!CommitFile(s.outputPath, o.videoPath, &error)) {
      fprintf(log, "%s\n", error.c_str());
      return 1;
    }
  }
  if (!o.statsPath.empty() || !o.curvePath.empty()) {
    // The rows in time order under one header, as a one-piece capture writes them.
    const std::string joined = o.statsPath.empty() ? InFolder(*f, "looks.csv") : o.statsPath;
    FILE* out = fopen(TempName(joined).c_str(), "w");
    bool ok = out != nullptr;
    if (ok) WriteLookHeader(out);
    for (int i = 1; i <= f->plan.count && ok; ++i) {
      std::string part;
      ok = ReadWholeFile(InFolder(*f, SegmentStem(i) + ".csv"), &part) &&
           fwrite(part.data(), 1, part.size(), out) == part.size();
    }
    if (out) ok = fclose(out) == 0 && ok;
    if (!ok || !FlushFile(TempName(joined)) || !CommitFile(TempName(joined), joined, &error)) {
      fprintf(log, "Can't join the statistics into %s: %s\n", joined.c_str(),
              error.empty() ? strerror(errno) : error.c_str());
      unlink(TempName(joined).c_str());
      return 1;
    }
    if (!o.curvePath.empty() && looks && !ReadLookCsv(joined, looks, &error)) {
      fprintf(log, "%s\n", error.c_str());
      return 1;
    }
  }
  if (!f->sheetFrames.empty()) {
    ContactSheet sheet;
    BeginSheet(&sheet, screenWidth, screenHeight, int(f->sheetFrames.size()));
    const size_t bytes = size_t(sheet.frameWidth / sheet.shrink) * (sheet.frameHeight / sheet.shrink) * 3;
    for (size_t c = 0; c < f->sheetFrames.size(); ++c) {
      std::string thumb;
      if (!ReadWholeFile(InFolder(*f, CellName(c)), &thumb) || thumb.size() != bytes) {
        fprintf(log, "Contact sheet cell %zu is missing.\n", c);
        return 1;
      }
      PlaceSheetCell(&sheet, reinterpret_cast<const uint8_t*>(thumb.data()),
                     FrameTimeMs(o.fromMs, f->sheetFrames[c], o.fps));
    }
    if (!WriteSheet(sheet, o.sheetPath)) return 1;
  }
  fprintf(log, "Joined %d segment%s (%" PRId64 " frames) in %.1f s.\n", f->plan.count,
          f->plan.count == 1 ? "" : "s", f->plan.totalFrames, WallSeconds() - start);
  CloseWorkFolder(f);
  if (!RemoveWorkFolder(f->dir, &error)) fprintf(log, "%s\n", error.c_str());
  return 0;
}
