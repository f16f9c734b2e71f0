#include "assets/load_3ds.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "assets/file_error.h"

namespace {

// Chunk ids of the .3ds format that the reader knows.
enum : uint16_t {
  kMain = 0x4D4D,
  kEditor = 0x3D3D,
  kNamedObject = 0x4000,
  kTriangleMesh = 0x4100,
  kVertexList = 0x4110,
  kFaceList = 0x4120,
  kMaterialGroup = 0x4130,
  kTexCoords = 0x4140,
  kSmoothingGroups = 0x4150,
  kMeshMatrix = 0x4160,
  kLight = 0x4600,
  kSpotlight = 0x4610,
  kCamera = 0x4700,
  kMaterialBlock = 0xAFFF,
  kMaterialName = 0xA000,
  kTextureMap = 0xA200,
  kTextureFile = 0xA300,
};

// Sub-chunk walks nest only a few levels in real files; deeper nesting is
// refused so a crafted file cannot exhaust the stack.
constexpr int kMaxDepth = 32;

struct Reader {
  Scene& scene;
  FILE* file;
  // The mesh object the lists go to: set while a mesh's named-object chunk is
  // walked, so lists outside one (or inside a camera or light) are skipped
  // and objects of an earlier file are never touched.
  SceneObject* mesh = nullptr;
};

long Tell(Reader& r) { return std::ftell(r.file); }

// Reads `n` bytes that must lie before `end`.
bool ReadBytes(Reader& r, void* out, size_t n, long end) {
  long pos = Tell(r);
  if (pos < 0 || static_cast<long>(n) > end - pos) return false;
  return std::fread(out, 1, n, r.file) == n;
}

bool ReadU16(Reader& r, long end, uint16_t& v) {
  uint8_t b[2];
  if (!ReadBytes(r, b, 2, end)) return false;
  v = static_cast<uint16_t>(b[0] | (b[1] << 8));
  return true;
}

bool ReadU32(Reader& r, long end, uint32_t& v) {
  uint8_t b[4];
  if (!ReadBytes(r, b, 4, end)) return false;
  v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

bool ReadFloats(Reader& r, long end, float* out, int n) {
  for (int i = 0; i < n; ++i) {
    uint32_t bits;
    if (!ReadU32(r, end, bits)) return false;
    std::memcpy(&out[i], &bits, 4);
  }
  return true;
}

// Zero, 0xFF or the end of the data ends a string; 63 characters are kept.
void ReadString(Reader& r, long end, char (&out)[64]) {
  size_t length = 0;
  while (Tell(r) < end) {
    int c = std::fgetc(r.file);
    if (c == EOF || c == 0 || c == 0xFF) break;
    if (length < sizeof out - 1) out[length++] = static_cast<char>(c);
  }
  out[length] = 0;
}

// Whether `count` records of `size` bytes fit between here and `end`.
bool Fits(Reader& r, long end, uint32_t count, uint32_t size) {
  long pos = Tell(r);
  return pos >= 0 && uint64_t(count) * size <= uint64_t(end - pos);
}

bool Walk(Reader& r, long end, int depth);

bool ReadNamedObject(Reader& r, long end, int depth) {
  char name[64];
  ReadString(r, end, name);
  int32_t kind = 0;
  if (std::strncmp(name, "Camera", 6) == 0)
    kind = 1;
  else if (std::strncmp(name, "Light", 5) == 0)
    kind = 2;
  else if (std::strncmp(name, "Omni", 4) == 0)
    kind = 3;
  r.scene.objectKind = kind;

  SceneObject* previous = r.mesh;
  r.mesh = nullptr;
  if (kind == 0) {
    SceneObject* object = AppendObject(r.scene);
    if (!object) return false;  // the scene is full: the rest of the load is refused
    std::memcpy(object->name, name, sizeof object->name);  // zero-padded, 8 bytes
    r.mesh = object;
  }
  bool ok = Walk(r, end, depth + 1);
  r.mesh = previous;
  return ok;
}

bool ReadVertexList(Reader& r, long end) {
  uint16_t n;
  if (!ReadU16(r, end, n) || !Fits(r, end, n, 12)) return false;
  if (!r.mesh) return true;
  SceneObject& o = *r.mesh;
  // A second vertex list would orphan the faces that index the first.
  if (o.vertices || o.faces) return false;
  std::vector<float> xyz(size_t(n) * 3);
  if (!ReadFloats(r, end, xyz.data(), int(xyz.size()))) return false;
  o.vertices = AllocateArray<Vector4>(o, n);
  o.vertexNormals = AllocateArray<Vector4>(o, n);
  o.texU = AllocateArray<float>(o, n);
  o.texV = AllocateArray<float>(o, n);
  o.vertexCount = n;
  o.baseBuffersReady = 0;
  const float s = r.scene.vertexScale;
  for (size_t i = 0; i < n; ++i) {
    // The file's z is up; the engine's y points down.
    const float x = xyz[i * 3], y = xyz[i * 3 + 1], z = xyz[i * 3 + 2];
    o.vertices[i].set(s * x, -(s * z), s * y);
  }
  return true;
}

bool ReadFaceList(Reader& r, long end, int depth) {
  uint16_t m;
  if (!ReadU16(r, end, m) || !Fits(r, end, m, 8)) return false;
  std::vector<uint16_t> words(size_t(m) * 4);
  for (uint16_t& w : words)
    if (!ReadU16(r, end, w)) return false;
  if (r.mesh) {
    SceneObject& o = *r.mesh;
    if (o.faces) return false;  // one face list a mesh
    // A face naming a vertex that does not exist is dropped: everything that
    // draws the mesh indexes the vertex arrays with these numbers.
    std::vector<int32_t> kept;
    kept.reserve(size_t(m) * 3);
    for (size_t f = 0; f < m; ++f) {
      const uint16_t* w = &words[f * 4];
      if (w[0] >= o.vertexCount || w[1] >= o.vertexCount || w[2] >= o.vertexCount) continue;
      kept.insert(kept.end(), {w[0], w[1], w[2]});  // w[3], the flags word, is ignored
    }
    const int32_t faceCount = static_cast<int32_t>(kept.size() / 3);
    o.faceCount = faceCount;
    o.cameraTest = 0;
    o.faces = AllocateArray<int32_t>(o, kept.size());
    std::copy(kept.begin(), kept.end(), o.faces);
    o.cornerFlags = AllocateArray<uint8_t>(o, size_t(faceCount) * 6);
    o.cornerNormals = AllocateArray<Vector4>(o, size_t(faceCount) * 6);
    o.faceNormals = AllocateArray<Vector4>(o, faceCount);
    o.baseFaceNormals = AllocateArray<Vector4>(o, faceCount);
    o.edges = nullptr;
    o.edgeCount = 0;
    o.edgeCountSource = nullptr;
    o.renderMode = 5;
    o.blendMode = 0;

    for (int32_t f = 0; f < faceCount; ++f) {
      const Vector4& a = o.vertices[o.faces[f * 3]];
      Vector4 ab = o.vertices[o.faces[f * 3 + 1]];
      Vector4 ac = o.vertices[o.faces[f * 3 + 2]];
      ab.subtract(a);
      ac.subtract(a);
      Vector4& n = o.faceNormals[f];
      n.cross(ab, ac);
      if (r.scene.flipNormals) n.scale(-1.0f);
    }
    // Vertex-to-face lists in face order, then area-weighted vertex normals.
    o.vertexFaces = AllocateArray<PointerArray>(o, size_t(o.vertexCount));
    for (int32_t f = 0; f < faceCount; ++f)
      for (int c = 0; c < 3; ++c) PushIndex(o.vertexFaces[o.faces[f * 3 + c]], f);
    for (int32_t v = 0; v < o.vertexCount; ++v) {
      const PointerArray& list = o.vertexFaces[v];
      Vector4 sum;
      for (int32_t i = 0; i < list.count; ++i) sum.add(o.faceNormals[IndexAt(list, i)]);
      if (sum.lengthSquared() > 0.0f) sum.normalize();  // unused vertices keep a zero normal
      o.vertexNormals[v].set(sum.x, sum.y, sum.z);
    }
  }
  return Walk(r, end, depth + 1);  // material and smoothing groups
}

bool ReadTexCoords(Reader& r, long end) {
  uint16_t k;
  if (!ReadU16(r, end, k) || !Fits(r, end, k, 8)) return false;
  std::vector<float> uv(size_t(k) * 2);
  if (!ReadFloats(r, end, uv.data(), int(uv.size()))) return false;
  if (!r.mesh) return true;
  SceneObject& o = *r.mesh;
  const float t = r.scene.uvScale;
  // Pairs beyond the vertex count are dropped; v is not flipped.
  for (int32_t i = 0; i < k && i < o.vertexCount; ++i) {
    o.texU[i] = t * uv[size_t(i) * 2];
    o.texV[i] = t * uv[size_t(i) * 2 + 1];
  }
  return true;
}

bool ReadMeshMatrix(Reader& r, long end) {
  float m[12];
  if (!ReadFloats(r, end, m, 12)) return false;
  if (!r.mesh) return true;
  const float stored[16] = {m[0], m[1], m[2], m[9],  m[3], m[4], m[5], m[10],
                            m[6], m[7], m[8], m[11], 1.0f, 1.0f, 1.0f, 1.0f};
  std::memcpy(r.mesh->meshMatrix, stored, sizeof stored);
  return true;
}

bool ReadMaterialGroup(Reader& r, long end) {
  char name[64];
  ReadString(r, end, name);
  uint16_t count;
  return ReadU16(r, end, count) && Fits(r, end, count, 2);
}

bool ReadLight(Reader& r, long end, int depth) {
  float position[3];
  if (!ReadFloats(r, end, position, 3)) return false;
  return Walk(r, end, depth + 1);
}

// Walks the chunks in [here, end). Entered chunks continue the same walk with
// their first sub-chunk; handled ones run their reader up to their end.
bool Walk(Reader& r, long end, int depth) {
  if (depth > kMaxDepth) return false;
  for (;;) {
    const long start = Tell(r);
    if (start < 0) return false;
    if (start >= end) return true;
    r.scene.chunkPosition = static_cast<int32_t>(start);
    uint16_t id;
    uint32_t length;
    if (!ReadU16(r, end, id) || !ReadU32(r, end, length)) return false;
    // A length inside the header would never move on; one past the enclosing
    // chunk (or the file) is cut at its end.
    if (length < 6) return false;
    const long chunkEnd = uint64_t(length) > uint64_t(end - start) ? end : start + long(length);

    bool handled = true, ok = true;
    switch (id) {
      case kMain:
      case kEditor:
      case kTriangleMesh:
      case kMaterialBlock:
      case kTextureMap:
        r.scene.chunkPosition = static_cast<int32_t>(chunkEnd);
        continue;  // sub-chunks follow right here
      case kNamedObject: ok = ReadNamedObject(r, chunkEnd, depth); break;
      case kVertexList: ok = ReadVertexList(r, chunkEnd); break;
      case kFaceList: ok = ReadFaceList(r, chunkEnd, depth); break;
      case kMaterialGroup: ok = ReadMaterialGroup(r, chunkEnd); break;
      case kTexCoords: ok = ReadTexCoords(r, chunkEnd); break;
      case kMeshMatrix: ok = ReadMeshMatrix(r, chunkEnd); break;
      case kLight: ok = ReadLight(r, chunkEnd, depth); break;
      case kSmoothingGroups:  // 32-bit entries to the end: nothing to keep
      case kSpotlight:        // 20 bytes
      case kCamera:           // 32 bytes
        ok = chunkEnd - start - 6 >= (id == kSpotlight ? 20 : id == kCamera ? 32 : 0);
        break;
      case kMaterialName:
      case kTextureFile: {
        char ignored[64];
        ReadString(r, chunkEnd, ignored);
        break;
      }
      default: handled = false;
    }
    if (!ok) return false;
    if (handled) r.scene.chunkPosition = static_cast<int32_t>(chunkEnd);
    if (std::fseek(r.file, chunkEnd, SEEK_SET) != 0) return false;
    if (std::ferror(r.file)) return true;
  }
}

}  // namespace

int32_t ReadScene(Scene& scene, FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(file);
  if (size < 0 || size > INT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) return 0;
  scene.file = file;
  scene.fileSize = static_cast<int32_t>(size);
  Reader reader{scene, file};
  const bool ok = Walk(reader, size, 0);
  scene.file = nullptr;
  return ok ? 1 : 0;
}

int32_t LoadScene(Scene& scene, const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    ReportFileReadError(path);
    return 0;
  }
  int32_t result = ReadScene(scene, file);
  std::fclose(file);
  if (!result) std::fprintf(stderr, "Model file %s is malformed or does not fit its scene\n", path);
  return result;
}
