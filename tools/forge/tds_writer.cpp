#include "tds_writer.h"

#include <cstdio>
#include <cstring>

namespace {

// Chunks are written into one byte buffer; a chunk's length is patched in
// when it closes, so nesting needs no size pass.
struct ChunkBuffer {
  std::vector<uint8_t> bytes;
  std::vector<size_t> open;

  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    U8(uint8_t(v & 0xFF));
    U8(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(uint8_t((v >> (8 * i)) & 0xFF));
  }
  void F32(float f) {
    uint32_t v;
    memcpy(&v, &f, 4);
    U32(v);
  }
  void Str(const std::string& s) {
    for (char c : s) U8(uint8_t(c));
    U8(0);
  }
  void Begin(uint16_t id) {
    open.push_back(bytes.size());
    U16(id);
    U32(0);
  }
  void End() {
    size_t start = open.back();
    open.pop_back();
    uint32_t len = uint32_t(bytes.size() - start);
    for (int i = 0; i < 4; ++i) bytes[start + 2 + i] = uint8_t((len >> (8 * i)) & 0xFF);
  }
};

void WriteMesh(ChunkBuffer& b, const Mesh& m) {
  b.Begin(0x4000);
  b.Str(m.name);
  b.Begin(0x4100);

  b.Begin(0x4110);
  b.U16(uint16_t(m.vertices.size()));
  for (const Vec3f& p : m.vertices) {
    b.F32(p.x);
    b.F32(p.y);
    b.F32(p.z);
  }
  b.End();

  if (!m.u.empty()) {
    b.Begin(0x4140);
    b.U16(uint16_t(m.u.size()));
    for (size_t i = 0; i < m.u.size(); ++i) {
      b.F32(m.u[i]);
      b.F32(m.v[i]);
    }
    b.End();
  }

  b.Begin(0x4160);  // identity placement
  const float matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (float f : matrix) b.F32(f);
  b.End();

  b.Begin(0x4120);
  uint16_t faceCount = uint16_t(m.faces.size() / 3);
  b.U16(faceCount);
  for (size_t f = 0; f < m.faces.size(); f += 3) {
    b.U16(m.faces[f]);
    b.U16(m.faces[f + 1]);
    b.U16(m.faces[f + 2]);
    b.U16(0x0007);  // all three edges visible
  }
  if (!m.material.empty()) {
    b.Begin(0x4130);
    b.Str(m.material);
    b.U16(faceCount);
    for (uint16_t f = 0; f < faceCount; ++f) b.U16(f);
    b.End();
  }
  b.Begin(0x4150);  // one smoothing group for every face
  for (uint16_t f = 0; f < faceCount; ++f) b.U32(1);
  b.End();
  b.End();  // face list

  b.End();  // triangle mesh
  b.End();  // named object
}

}  // namespace

bool Write3ds(const std::string& path, const std::vector<Mesh>& meshes, const SceneExtras& extras) {
  for (const Mesh& m : meshes) {
    if (m.vertices.size() > 65535 || m.faces.size() / 3 > 65535 || m.vertices.empty() ||
        m.faces.size() % 3 != 0 || (!m.u.empty() && m.u.size() != m.vertices.size())) {
      fprintf(stderr, "marvoke-forge: mesh %s doesn't fit the .3ds limits\n", m.name.c_str());
      return false;
    }
  }
  ChunkBuffer b;
  b.Begin(0x4D4D);
  b.Begin(0x0002);  // file version: not read by the show, skipped whole
  b.U32(3);
  b.End();
  b.Begin(0x3D3D);
  b.Begin(0x3D3E);  // mesh version, also skipped
  b.U32(3);
  b.End();
  if (!extras.materialName.empty()) {
    b.Begin(0xAFFF);
    b.Begin(0xA000);
    b.Str(extras.materialName);
    b.End();
    b.Begin(0xA200);
    b.Begin(0xA300);
    b.Str(extras.textureFile);
    b.End();
    b.End();
    b.End();
  }
  for (const Mesh& m : meshes) WriteMesh(b, m);
  if (extras.camera) {
    b.Begin(0x4000);
    b.Str("Camera01");
    b.Begin(0x4700);
    const float cam[8] = {0, -120, 40, 0, 0, 0, 0, 45};  // eye, target, roll, lens
    for (float f : cam) b.F32(f);
    b.End();
    b.End();
  }
  if (extras.omni) {
    b.Begin(0x4000);
    b.Str("Omni01");
    b.Begin(0x4600);
    b.F32(10);
    b.F32(-20);
    b.F32(30);
    b.End();
    b.End();
  }
  if (extras.spot) {
    b.Begin(0x4000);
    b.Str("Light01");
    b.Begin(0x4600);
    b.F32(0);
    b.F32(0);
    b.F32(50);
    b.Begin(0x4610);
    const float spot[5] = {0, 0, 0, 30, 45};  // target, hotspot, falloff
    for (float f : spot) b.F32(f);
    b.End();
    b.End();
    b.End();
  }
  b.End();  // editor
  b.End();  // main

  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "marvoke-forge: can't write %s\n", path.c_str());
    return false;
  }
  bool ok = fwrite(b.bytes.data(), 1, b.bytes.size(), f) == b.bytes.size();
  ok = (fclose(f) == 0) && ok;
  if (!ok) fprintf(stderr, "marvoke-forge: write error on %s\n", path.c_str());
  return ok;
}
