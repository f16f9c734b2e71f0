#include "segments.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

constexpr uint64_t kMul1 = 0xff51afd7ed558ccdull;
constexpr uint64_t kMul2 = 0xc4ceb9fe1a85ec53ull;

uint64_t Mix(uint64_t h, uint64_t word) {
  h ^= word * kMul1;
  h = (h << 31) | (h >> 33);
  return h * kMul2;
}

const char kManifestHead[] = "marvoke-render capture 1";
const char kRecordHead[] = "marvoke-render segment 1";

bool ParseHex(const std::string& text, uint64_t* value) {
  if (text.size() != 16) return false;
  uint64_t v = 0;
  for (char c : text) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v << 4 | uint64_t(d);
  }
  *value = v;
  return true;
}

bool ParseCount(const std::string& text, int64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0 || errno == EINVAL;
  close(fd);
  return ok;
}

}  // namespace

SegmentPlan PlanSegments(int64_t totalFrames, FrameRate fps, double segmentSeconds) {
  SegmentPlan plan;
  plan.totalFrames = totalFrames < 0 ? 0 : totalFrames;
  double frames = std::floor(segmentSeconds * FramesPerSecond(fps) + 0.5);
  plan.framesPerSegment = frames < 1 ? 1 : int64_t(frames);
  plan.count = int((plan.totalFrames + plan.framesPerSegment - 1) / plan.framesPerSegment);
  return plan;
}

SegmentSpan SegmentOf(const SegmentPlan& plan, int number) {
  SegmentSpan s;
  if (number < 1 || number > plan.count) return s;
  s.number = number;
  s.firstFrame = int64_t(number - 1) * plan.framesPerSegment;
  int64_t end = s.firstFrame + plan.framesPerSegment;
  if (end > plan.totalFrames) end = plan.totalFrames;
  s.frameCount = end - s.firstFrame;
  return s;
}

void HashUpdate(Hash64* h, const void* data, size_t bytes) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  h->length += bytes;
  for (; bytes >= 8; p += 8, bytes -= 8) {
    uint64_t word;
    memcpy(&word, p, 8);
    h->state = Mix(h->state, word);
  }
  if (bytes) {
    uint64_t word = 0;
    memcpy(&word, p, bytes);
    h->state = Mix(h->state, word ^ 0x80);
  }
}

uint64_t HashFinish(const Hash64& h) {
  uint64_t x = Mix(h.state, h.length);
  x ^= x >> 33;
  x *= kMul1;
  x ^= x >> 33;
  return x;
}

uint64_t HashBytes(const void* data, size_t bytes) {
  Hash64 h;
  HashUpdate(&h, data, bytes);
  return HashFinish(h);
}

std::string HashText(uint64_t hash) {
  char text[20];
  snprintf(text, sizeof text, "%016" PRIx64, hash);
  return text;
}

bool HashFile(const std::string& path, uint64_t* hash, int64_t* bytes) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  Hash64 h;
  std::vector<uint8_t> buffer(1 << 20);
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), f)) > 0) HashUpdate(&h, buffer.data(), n);
  bool ok = !ferror(f);
  fclose(f);
  if (!ok) return false;
  *hash = HashFinish(h);
  *bytes = int64_t(h.length);
  return true;
}

std::string SegmentStem(int number) {
  char name[32];
  snprintf(name, sizeof name, "seg_%04d", number);
  return name;
}

std::string ManifestText(const CaptureIdentity& identity, const SegmentPlan& plan) {
  std::string text = std::string(kManifestHead) + "\n";
  for (const auto& f : identity.fields) text += f.first + " " + f.second + "\n";
  text += "key " + HashText(IdentityKey(identity)) + "\n";
  text += "frames " + std::to_string(plan.totalFrames) + "\n";
  text += "segment-frames " + std::to_string(plan.framesPerSegment) + "\n";
  text += "segments " + std::to_string(plan.count) + "\n";
  for (int i = 1; i <= plan.count; ++i) {
    SegmentSpan s = SegmentOf(plan, i);
    text += "segment " + std::to_string(i) + " " + std::to_string(s.firstFrame) + " " +
            std::to_string(s.frameCount) + "\n";
  }
  return text + "end\n";
}

std::string ManifestDifference(const std::string& manifest, const std::string& expected,
                               bool* damaged) {
  // Field lines as name -> value, the segment list left out: it follows from the fields.
  auto read = [](const std::string& text, bool* whole) {
    std::vector<std::pair<std::string, std::string>> fields;
    std::istringstream in(text);
    std::string line;
    bool head = false, end = false;
    while (std::getline(in, line)) {
      if (!head) {
        head = line == kManifestHead;
        if (!head) break;
        continue;
      }
      if (line == "end") {
        end = true;
        break;
      }
      size_t space = line.find(' ');
      if (space == std::string::npos) break;
      std::string name = line.substr(0, space);
      if (name == "segment" || name == "key") continue;
      fields.push_back({name, line.substr(space + 1)});
    }
    *whole = head && end;
    return fields;
  };
  bool whole = false, mine = false;
  const auto there = read(manifest, &whole);
  const auto here = read(expected, &mine);
  *damaged = !whole;
  if (!whole) return "";
  std::string difference;
  for (const auto& h : here) {
    std::string value = "(none)";
    for (const auto& t : there)
      if (t.first == h.first) value = t.second;
    if (value == h.second) continue;
    if (!difference.empty()) difference += ", ";
    difference += h.first + " " + value + " there, " + h.second + " here";
  }
  return difference;
}

uint64_t IdentityKey(const CaptureIdentity& identity) {
  std::string text;
  for (const auto& f : identity.fields) text += f.first + "=" + f.second + "\n";
  return HashBytes(text.data(), text.size());
}

std::string FormatSegmentRecord(const SegmentRecord& r) {
  std::string text = std::string(kRecordHead) + "\n";
  text += "key " + HashText(r.key) + "\n";
  text += "segment " + std::to_string(r.number) + "\n";
  text += "first-frame " + std::to_string(r.firstFrame) + "\n";
  text += "frames " + std::to_string(r.frameCount) + "\n";
  text += "file " + (r.file.empty() ? std::string("-") : r.file) + "\n";
  text += "bytes " + std::to_string(r.fileBytes) + "\n";
  text += "checksum " + HashText(r.fileHash) + "\n";
  for (size_t i = 0; i < r.frameHashes.size(); ++i)
    text += "frame " + std::to_string(r.firstFrame + int64_t(i)) + " " +
            HashText(r.frameHashes[i]) + "\n";
  return text + "end\n";
}

bool ParseSegmentRecord(const std::string& text, SegmentRecord* r, std::string* error) {
  *r = SegmentRecord();
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kRecordHead) {
    *error = "not a segment record";
    return false;
  }
  // The fixed fields in their order, then one line a frame, then "end".
  const char* names[] = {"key", "segment", "first-frame", "frames", "file", "bytes", "checksum"};
  for (const char* name : names) {
    if (!std::getline(in, line) || line.compare(0, strlen(name) + 1, std::string(name) + " ")) {
      *error = std::string("no ") + name + " line";
      return false;
    }
    std::string value = line.substr(strlen(name) + 1);
    int64_t n = 0;
    bool ok = true;
    if (!strcmp(name, "key")) ok = ParseHex(value, &r->key);
    if (!strcmp(name, "checksum")) ok = ParseHex(value, &r->fileHash);
    if (!strcmp(name, "segment")) ok = ParseCount(value, &n) && n >= 1 && n < 1000000;
    if (!strcmp(name, "segment")) r->number = int(n);
    if (!strcmp(name, "first-frame")) ok = ParseCount(value, &r->firstFrame);
    if (!strcmp(name, "frames")) ok = ParseCount(value, &r->frameCount) && r->frameCount > 0;
    if (!strcmp(name, "bytes")) ok = ParseCount(value, &r->fileBytes);
    if (!strcmp(name, "file")) {
      // A plain name inside the work folder, never a path out of it.
      ok = !value.empty() && value.find('/') == std::string::npos && value != "." && value != "..";
      if (value != "-") r->file = value;
    }
    if (!ok) {
      *error = "bad " + std::string(name) + " \"" + value + "\"";
      return false;
    }
  }
  r->frameHashes.reserve(size_t(r->frameCount));
  for (int64_t i = 0; i < r->frameCount; ++i) {
    uint64_t h = 0;
    std::string expect = "frame " + std::to_string(r->firstFrame + i) + " ";
    if (!std::getline(in, line) || line.compare(0, expect.size(), expect) ||
        !ParseHex(line.substr(expect.size()), &h)) {
      *error = "frame " + std::to_string(r->firstFrame + i) + " is missing";
      return false;
    }
    r->frameHashes.push_back(h);
  }
  if (!std::getline(in, line) || line != "end") {
    *error = "no end line";
    return false;
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  const std::string temp = path + ".tmp-" + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = "can't write " + temp + ": " + strerror(errno);
    return false;
  }
  const char* p = text.data();
  size_t left = text.size();
  bool ok = true;
  while (left > 0 && ok) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) {
      p += n;
      left -= size_t(n);
    }
  }
  ok = ok && fsync(fd) == 0;
  int saved = errno;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    *error = "can't write " + temp + ": " + strerror(saved ? saved : errno);
    unlink(temp.c_str());
    return false;
  }
  return CommitFile(temp, path, error);
}

bool CommitFile(const std::string& from, const std::string& to, std::string* error) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    *error = "can't rename " + from + " to " + to + ": " + strerror(errno);
    unlink(from.c_str());
    return false;
  }
  if (!SyncFolder(Folder(to))) {
    *error = "can't flush the folder of " + to + ": " + strerror(errno);
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  text->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}
