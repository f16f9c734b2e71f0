// The capture in segments: the plan and the work folder's files, then the real
// binary cut, resumed, spread over processes and joined, each compared frame
// by frame with a capture in one piece.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture_run.h"
#include "render_options.h"
#include "render_test_util.h"
#include "segments.h"

namespace {

TEST(SegmentPlan, CutsTheCaptureIntoWholeFramesWithoutAGap) {
  FrameRate fps;  // 60
  SegmentPlan plan = PlanSegments(18210, fps, 10.0);
  EXPECT_EQ(plan.framesPerSegment, 600);
  ASSERT_EQ(plan.count, 31);
  int64_t next = 0;
  for (int i = 1; i <= plan.count; ++i) {
    SegmentSpan s = SegmentOf(plan, i);
    EXPECT_EQ(s.firstFrame, next);
    next += s.frameCount;
  }
  EXPECT_EQ(next, 18210);
  EXPECT_EQ(SegmentOf(plan, 31).frameCount, 210);
  EXPECT_EQ(SegmentOf(plan, 32).frameCount, 0);

  // A fractional rate keeps whole frames: 3 s of 60000/1001 fps is 180 frames.
  FrameRate ntsc{60000, 1001};
  EXPECT_EQ(PlanSegments(1000, ntsc, 3.0).framesPerSegment, 180);
  // Segments shorter than a frame are one frame long.
  EXPECT_EQ(PlanSegments(5, fps, 0.001).count, 5);
}

TEST(SegmentPreroll, DrawsTheZoomIntoTheLensWindowForSegmentsInsideIt) {
  // What the zoom into module C leaves in the shared target shows to the window's end.
  for (int32_t target : {90500, 100000, 146999}) {
    EXPECT_FALSE(PrerollDrawsFrame(90000, target));
    EXPECT_TRUE(PrerollDrawsFrame(90001, target));
    EXPECT_TRUE(PrerollDrawsFrame(90799, target));
    EXPECT_FALSE(PrerollDrawsFrame(90800, target));
  }
  // Elsewhere the frame before a segment is enough.
  for (int32_t target : {45000, 147000, 250000}) EXPECT_FALSE(PrerollDrawsFrame(90400, target));
}

SegmentRecord SampleRecord() {
  SegmentRecord r;
  r.key = 0x0123456789abcdefull;
  r.number = 2;
  r.firstFrame = 600;
  r.frameCount = 3;
  r.file = "seg_0002.mp4";
  r.fileBytes = 4096;
  r.fileHash = 42;
  r.frameHashes = {1, 2, 0xffffffffffffffffull};
  return r;
}

TEST(SegmentRecord, ReadsBackWhatItWroteAndNothingLessThanWhole) {
  const std::string text = FormatSegmentRecord(SampleRecord());
  SegmentRecord back;
  std::string error;
  ASSERT_TRUE(ParseSegmentRecord(text, &back, &error)) << error;
  EXPECT_EQ(back.key, SampleRecord().key);
  EXPECT_EQ(back.firstFrame, 600);
  EXPECT_EQ(back.file, "seg_0002.mp4");
  EXPECT_EQ(back.frameHashes, SampleRecord().frameHashes);
  // Every cut short of the end line is refused, as a stop while writing would leave it.
  for (size_t n = 0; n + 1 < text.size(); n += 7)
    EXPECT_FALSE(ParseSegmentRecord(text.substr(0, n), &back, &error)) << n;
  // A file name that leaves the work folder is not followed.
  SegmentRecord outside = SampleRecord();
  outside.file = "../seg_0002.mp4";
  EXPECT_FALSE(ParseSegmentRecord(FormatSegmentRecord(outside), &back, &error));
}

TEST(SegmentManifest, NamesTheOptionsThatDifferAndKnowsADamagedOne) {
  CaptureIdentity a;
  a.fields = {{"area", "256x128"}, {"fps", "10"}};
  CaptureIdentity b = a;
  b.fields[0].second = "512x256";
  FrameRate fps{10, 1};
  const SegmentPlan plan = PlanSegments(200, fps, 3.0);
  bool damaged = true;
  EXPECT_EQ(ManifestDifference(ManifestText(a, plan), ManifestText(a, plan), &damaged), "");
  EXPECT_FALSE(damaged);
  EXPECT_EQ(ManifestDifference(ManifestText(a, plan), ManifestText(b, plan), &damaged),
            "area 256x128 there, 512x256 here");
  // Another segment length is another capture.
  EXPECT_NE(ManifestDifference(ManifestText(a, PlanSegments(200, fps, 4.0)),
                               ManifestText(a, plan), &damaged), "");
  const std::string text = ManifestText(a, plan);
  ManifestDifference(text.substr(0, text.size() / 2), text, &damaged);
  EXPECT_TRUE(damaged);
  EXPECT_NE(IdentityKey(a), IdentityKey(b));
}

TEST(SegmentHash, ChunksGiveTheWholeAndOneByteChangesIt) {
  std::vector<uint8_t> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
  Hash64 h;
  HashUpdate(&h, bytes.data(), 512);
  HashUpdate(&h, bytes.data() + 512, bytes.size() - 512);
  EXPECT_EQ(HashFinish(h), HashBytes(bytes.data(), bytes.size()));
  const uint64_t before = HashBytes(bytes.data(), bytes.size());
  bytes[999] ^= 1;
  EXPECT_NE(HashBytes(bytes.data(), bytes.size()), before);
  // A zero byte more is another file.
  EXPECT_NE(HashBytes(bytes.data(), 999), HashBytes(bytes.data(), 998));
}

bool Parse(std::vector<std::string> args, RenderCommand* c, std::string* error) {
  args.insert(args.begin(), "marvoke-render");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  *c = RenderCommand();
  return ParseRenderCommand(int(args.size()), argv.data(), c, error);
}

TEST(SegmentOptions, AreCheckedAndTheChildrenGetTheRestOfTheLine) {
  RenderCommand c;
  std::string error;
  ASSERT_TRUE(Parse({"--video", "a.mp4", "--jobs", "2", "--scale", "0.5", "--restart",
                     "--segment-seconds", "3"}, &c, &error)) << error;
  EXPECT_EQ(c.capture.jobs, 2);
  EXPECT_EQ(c.segmentArgs, (std::vector<std::string>{"--video", "a.mp4", "--scale", "0.5",
                                                     "--segment-seconds", "3"}));
  ASSERT_TRUE(Parse({"--video", "a.mp4", "--jobs", "auto"}, &c, &error)) << error;
  EXPECT_EQ(c.capture.jobs, 0);
  ASSERT_TRUE(Parse({"--video", "a.mp4", "--segment", "3/7"}, &c, &error)) << error;
  EXPECT_EQ(c.capture.segmentNumber, 3);
  EXPECT_EQ(c.capture.segmentCount, 7);
  // Frames alone stay one piece unless a segment option asks.
  ASSERT_TRUE(Parse({"--png", "d"}, &c, &error)) << error;
  EXPECT_FALSE(IsSegmentedCapture(c.capture));
  ASSERT_TRUE(Parse({"--png", "d", "--jobs", "1"}, &c, &error)) << error;
  EXPECT_TRUE(IsSegmentedCapture(c.capture));
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--video", "a.mp4", "--segment", "8/7"},
           {"--video", "a.mp4", "--segment", "0/7"},
           {"--video", "a.mp4", "--segment", "3"},
           {"--video", "a.mp4", "--jobs", "0"},
           {"--video", "a.mp4", "--segment-seconds", "0"},
           {"--video", "a.mp4", "--segment", "1/2", "--join"},
           {"--video", "a.mp4", "--join", "--jobs", "2"},
           {"--bench", "--jobs", "2"},
           {"--jobs", "2"},
           {"--at", "1000", "--png", "d", "--segment-seconds", "5"}})
    EXPECT_FALSE(Parse(bad, &c, &error)) << bad.back();
}

TEST(SegmentFiles, AnAtomicWriteLeavesTheWholeFileAndNoTemporary) {
  const std::string dir = TestDir("segments-files");
  std::string error, text;
  ASSERT_TRUE(WriteFileAtomically(dir + "/a.txt", "first", &error)) << error;
  ASSERT_TRUE(WriteFileAtomically(dir + "/a.txt", std::string("sec\0ond", 7), &error)) << error;
  ASSERT_TRUE(ReadWholeFile(dir + "/a.txt", &text));
  EXPECT_EQ(text, std::string("sec\0ond", 7));
  EXPECT_EQ(RunCommand("ls '" + dir + "'"), "a.txt\n");
  uint64_t hash = 0;
  int64_t bytes = 0;
  ASSERT_TRUE(HashFile(dir + "/a.txt", &hash, &bytes));
  EXPECT_EQ(bytes, 7);
  EXPECT_EQ(hash, HashBytes(text.data(), text.size()));
  EXPECT_FALSE(HashFile(dir + "/none", &hash, &bytes));
  EXPECT_FALSE(WriteFileAtomically(dir + "/no/such/folder", "x", &error));
  EXPECT_NE(error.find("can't write"), std::string::npos) << error;
}

// --- The binary -------------------------------------------------------------

const std::string kRender = std::string(MARVOKE_BUILD_DIR) + "/marvoke-render";

// A 20 s capture across the zoom into the lens at 90.5 s (segments starting
// inside its window pre-roll from the fade), small and slow enough for a test,
// lossless.
std::vector<std::string> Capture(const std::string& video) {
  return {"--window", "320x240", "--scale", "0.25", "--fps", "10", "--from", "82000",
          "--to", "102000", "--crf", "0", "--video", video};
}

std::string Line(const std::vector<std::string>& args) {
  std::string line = "'" + kRender + "'";
  for (const std::string& a : args) line += " '" + a + "'";
  return line;
}

// Runs the binary to its end; its standard error in *log.
int Render(const std::vector<std::string>& args, std::string* log) {
  int status = 0;
  *log = RunCommand(Line(args) + " 2>&1 >/dev/null", &status);
  return status;
}

// Every decoded frame of the video, with its timestamps.
std::string FrameMd5(const std::string& video) {
  return RunCommand("ffmpeg -v error -i '" + video + "' -map 0:v -f framemd5 - | grep -v '^#'");
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Starts the binary in a process group of its own and kills the group with
// SIGKILL once `file` appears (polled), as a power cut would.
int RenderUntil(const std::vector<std::string>& args, const std::string& file) {
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    execl("/bin/sh", "sh", "-c", ("exec " + Line(args) + " >/dev/null 2>&1").c_str(), nullptr);
    _exit(127);
  }
  setpgid(pid, pid);
  int status = 0;
  for (int i = 0; i < 6000; ++i) {
    if (Exists(file)) {
      kill(-pid, SIGKILL);
      break;
    }
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    usleep(20000);
  }
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

std::vector<std::string> With(std::vector<std::string> args,
                              const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(SegmentCapture, JobsAndSegmentsDecodeToTheOnePieceFrames) {
  const std::string dir = TestDir("segments-jobs");
  std::string log;
  // The frames as the capture without segments draws them...
  ASSERT_EQ(Render({"--window", "320x240", "--scale", "0.25", "--fps", "10", "--from", "82000",
                    "--to", "102000", "--png", dir + "/whole"}, &log), 0) << log;
  // ... and the video in one segment, then in 3 s segments by two processes.
  ASSERT_EQ(Render(With(Capture(dir + "/one.mp4"), {"--segment-seconds", "100"}), &log), 0) << log;
  ASSERT_EQ(Render(With(Capture(dir + "/jobs.mp4"),
                        {"--segment-seconds", "3", "--jobs", "2", "--png", dir + "/parts"}),
                   &log), 0) << log;
  EXPECT_NE(log.find("Joined 7 segments (200 frames)"), std::string::npos) << log;
  EXPECT_FALSE(Exists(dir + "/jobs.mp4.parts")) << "the work folder goes once joined";

  // Every raw frame, as the segments' processes wrote them, is the whole capture's.
  EXPECT_EQ(RunCommand("ls '" + dir + "/parts' | wc -l"), "200\n");
  std::string sums = RunCommand("cd '" + dir + "' && for d in whole parts; do (cd $d && "
                                "cat * | sha256sum); done");
  EXPECT_EQ(sums.substr(0, 64), sums.substr(sums.find('\n') + 1, 64)) << sums;

  const std::string one = FrameMd5(dir + "/one.mp4");
  EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 200);
  EXPECT_EQ(FrameMd5(dir + "/jobs.mp4"), one);
  ProbedStream v1, a1, v2, a2;
  ProbeMedia(dir + "/one.mp4", &v1, &a1);
  ProbeMedia(dir + "/jobs.mp4", &v2, &a2);
  EXPECT_EQ(v2.frames, v1.frames);
  EXPECT_NEAR(v2.duration, v1.duration, 1e-6);
  ASSERT_TRUE(a2.present);
  EXPECT_NEAR(a2.duration, a1.duration, 1e-6);
  EXPECT_NEAR(a2.duration, 20.0, 0.03);
}

TEST(SegmentCapture, ResumesAfterAKillAndRedoesWhatIsDamaged) {
  const std::string dir = TestDir("segments-resume");
  const std::string video = dir + "/cut.mp4", parts = video + ".parts";
  const std::vector<std::string> args = With(Capture(video), {"--segment-seconds", "3"});
  std::string log;
  ASSERT_EQ(Render(With(Capture(dir + "/whole.mp4"), {"--segment-seconds", "3"}), &log), 0) << log;
  const std::string whole = FrameMd5(dir + "/whole.mp4");

  // Killed outright once its second segment is recorded.
  EXPECT_EQ(RenderUntil(args, parts + "/seg_0002.txt"), -SIGKILL);
  ASSERT_TRUE(Exists(parts + "/manifest.txt"));

  // Another scale is another capture: refused, the folder kept.
  EXPECT_EQ(Render(With(args, {"--scale", "0.5"}), &log), 2) << log;
  EXPECT_NE(log.find("holds another capture (area"), std::string::npos) << log;

  // A segment file cut short is rendered again, never joined.
  RunCommand("truncate -s 1000 '" + parts + "/seg_0001.mp4'");
  ASSERT_EQ(Render(args, &log), 0) << log;
  EXPECT_NE(log.find("Segment 1: seg_0001.mp4 is not the file recorded"), std::string::npos) << log;
  EXPECT_NE(log.find("Resuming: "), std::string::npos) << log;
  EXPECT_EQ(FrameMd5(video), whole);
  EXPECT_FALSE(Exists(parts));
}

TEST(SegmentCapture, AKilledChildCostsOnlyItsPiece) {
  const std::string dir = TestDir("segments-child");
  const std::string video = dir + "/cut.mp4", parts = video + ".parts";
  std::string log;
  ASSERT_EQ(Render(With(Capture(dir + "/whole.mp4"), {"--segment-seconds", "5"}), &log), 0) << log;

  // The child rendering segment 3 is killed once its log appears (the pattern
  // names this test's folder: other tests run farms of their own alongside).
  const std::string line = Line(With(Capture(video), {"--segment-seconds", "5", "--jobs", "2"}));
  log = RunCommand("(" + line + " 2>&1 >/dev/null & p=$!; "
                   "while [ ! -e '" + parts + "/seg_0003.log' ]; do sleep 0.05; done; sleep 0.5; "
                   "pkill -KILL -f -- 'segments-chil[d]/cut[.]mp4 .*--segment 3/4'; wait $p; echo exit $?)");
  EXPECT_NE(log.find("Segment 3's process was killed by signal 9; rendering it once more."),
            std::string::npos) << log;
  EXPECT_NE(log.find("exit 0"), std::string::npos) << log;
  EXPECT_EQ(FrameMd5(video), FrameMd5(dir + "/whole.mp4"));
}

TEST(SegmentCapture, AFarmRendersEachSegmentAndTheJoinAssemblesThem) {
  const std::string dir = TestDir("segments-farm");
  const std::string video = dir + "/farm.mp4";
  std::string log;
  ASSERT_EQ(Render(With(Capture(dir + "/whole.mp4"), {"--segment-seconds", "5"}), &log), 0) << log;
  const std::vector<std::string> args = With(Capture(video), {"--segment-seconds", "5"});

  // The count must be the capture's.
  EXPECT_EQ(Render(With(args, {"--segment", "1/5"}), &log), 2) << log;
  EXPECT_NE(log.find("This capture has 4 segments"), std::string::npos) << log;
  // A join of an incomplete set names what is missing.
  EXPECT_EQ(Render(With(args, {"--join"}), &log), 1) << log;
  EXPECT_NE(log.find("4 of 4 segments are not finished"), std::string::npos) << log;

  int status = 0;
  log = RunCommand("seq 1 4 | xargs -P 2 -I{} " + Line(args) + " --segment {}/4 2>&1", &status);
  ASSERT_EQ(status, 0) << log;
  // A batch system's rerun of a finished segment does nothing.
  EXPECT_EQ(Render(With(args, {"--segment", "2/4"}), &log), 0) << log;
  EXPECT_NE(log.find("Segment 2 of 4 is done already."), std::string::npos) << log;
  ASSERT_EQ(Render(With(args, {"--join"}), &log), 0) << log;
  EXPECT_EQ(FrameMd5(video), FrameMd5(dir + "/whole.mp4"));
}

TEST(SegmentCapture, StatisticsAndTheSheetAreJoinedAsOnePieceWritesThem) {
  const std::string dir = TestDir("segments-side");
  const std::vector<std::string> range = {"--window", "320x240", "--scale", "0.25", "--fps", "10",
                                          "--from", "28000", "--to", "36000", "--sheet-every",
                                          "1500"};
  std::string log;
  ASSERT_EQ(Render(With(range, {"--stats", dir + "/one.csv", "--sheet", dir + "/one.png"}), &log),
            0) << log;
  // The folder is locked while a capture runs: a second command on it is refused.
  const std::string parts = dir + "/jobs.csv.parts";
  RunCommand("mkdir -p '" + parts + "'");
  const std::vector<std::string> jobs =
      With(range, {"--stats", dir + "/jobs.csv", "--sheet", dir + "/jobs.png", "--jobs", "2",
                   "--segment-seconds", "2"});
  int status = 0;
  log = RunCommand("flock '" + parts + "/lock' " + Line(jobs) + " 2>&1", &status);
  EXPECT_EQ(status, 1) << log;
  EXPECT_NE(log.find("is in use by another capture"), std::string::npos) << log;

  ASSERT_EQ(Render(jobs, &log), 0) << log;
  EXPECT_EQ(RunCommand("cmp '" + dir + "/one.csv' '" + dir + "/jobs.csv' && echo same"), "same\n");
  EXPECT_EQ(RunCommand("cmp '" + dir + "/one.png' '" + dir + "/jobs.png' && echo same"), "same\n");
  EXPECT_EQ(RunCommand("wc -l < '" + dir + "/jobs.csv'"), "81\n");  // header and 80 frames
}

}  // namespace
