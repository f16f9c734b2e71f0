// A capture cut into segments: the plan (whole frames on the capture's own
// grid), the work folder's manifest and per-segment records, and the hashes
// that let a later run trust what an earlier one left. No GL and no processes
// here; capture_segments.h drives them.
//
// The work folder, beside the first output (FILE.parts/):
//   manifest.txt     what made the capture (build, data, picture and encoder
//                    options) and its segment list; written once
//   seg_NNNN.EXT     segment N's video, a file of its own starting on a keyframe
//   seg_NNNN.txt     its record, written last: frame count, the file's size and
//                    checksum, the hash of every raw frame
//   seg_NNNN.csv     its frame statistics (--stats, --curve)
//   cell_NNNN.rgb    a contact sheet cell (--sheet)
//   lock             held while a capture, a segment or a join runs
// Every file is written under a temporary name and renamed, so a stop at any
// moment leaves whole files or none.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "frame_clock.h"

// Frames before a segment's first that are drawn in its pre-roll (the rest are
// stepped without drawing): the feedback passes read the frame before and no
// further back, found by comparing a boundary in every window of the show.
constexpr int kSegmentPrerollDrawn = 1;

struct SegmentPlan {
  int64_t totalFrames = 0;
  int64_t framesPerSegment = 1;
  int count = 0;
};

struct SegmentSpan {
  int number = 0;           // 1-based, as --segment I/N and the file names count
  int64_t firstFrame = 0;   // on the capture's grid: frame k is at FrameTimeMs(from, k)
  int64_t frameCount = 0;
};

// Segments of round(seconds * fps) frames (at least one), the last one shorter.
SegmentPlan PlanSegments(int64_t totalFrames, FrameRate fps, double segmentSeconds);
SegmentSpan SegmentOf(const SegmentPlan& plan, int number);

// A 64-bit hash, eight bytes at a step (frames are hashed as they are read
// back, so it must cost little beside the draw). Feed chunks whose sizes are
// multiples of 8 except the last.
struct Hash64 {
  uint64_t state = 0x9e3779b97f4a7c15ull;
  uint64_t length = 0;
};
void HashUpdate(Hash64* hash, const void* data, size_t bytes);
uint64_t HashFinish(const Hash64& hash);
uint64_t HashBytes(const void* data, size_t bytes);
std::string HashText(uint64_t hash);  // 16 lower-case hex digits
// Hash and size of a file's bytes; false when it cannot be read.
bool HashFile(const std::string& path, uint64_t* hash, int64_t* bytes);

// "seg_0007" and the work folder's other names.
std::string SegmentStem(int number);

// What makes a capture's frames and encoding: a manifest from other values is
// not mixed in. Fields in a fixed order, one "name value" line each.
struct CaptureIdentity {
  std::vector<std::pair<std::string, std::string>> fields;
};
std::string ManifestText(const CaptureIdentity& identity, const SegmentPlan& plan);
// The names of the fields where a manifest's text differs from this one's, as
// "scale 0.5 there, 1 here"; empty when they agree. *damaged when the text is
// not a manifest at all.
std::string ManifestDifference(const std::string& manifest, const std::string& expected,
                               bool* damaged);
uint64_t IdentityKey(const CaptureIdentity& identity);

struct SegmentRecord {
  uint64_t key = 0;  // IdentityKey of the capture it belongs to
  int number = 0;
  int64_t firstFrame = 0, frameCount = 0;
  std::string file;  // the segment's video, a name inside the work folder; "" without video
  int64_t fileBytes = 0;
  uint64_t fileHash = 0;
  std::vector<uint64_t> frameHashes;  // one a frame, in order
};
std::string FormatSegmentRecord(const SegmentRecord& record);
// False, with the reason, for anything but a whole record.
bool ParseSegmentRecord(const std::string& text, SegmentRecord* record, std::string* error);

// Writes text to path.tmp-PID, flushes it to the disk and renames it over path.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);
// Renames a finished file into place and flushes the folder, so a power cut
// after this keeps it.
bool CommitFile(const std::string& from, const std::string& to, std::string* error);
bool ReadWholeFile(const std::string& path, std::string* text);
