// Writers of small image and model files for the asset tests and the fuzz
// seed corpus: JPEG through libjpeg, PCX and .3ds byte by byte.
#pragma once
#include <jpeglib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace samples {

using Bytes = std::vector<uint8_t>;

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

inline Bytes ReadFile(const std::string& path) {
  Bytes bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return bytes;
}

// A JPEG of `components` 1 (grey), 3 (RGB) or 4 (CMYK, stored inverted as
// Adobe applications write it), top row first, no chroma subsampling.
inline Bytes EncodeJpeg(int width, int height, int components, const Bytes& samples,
                        int quality = 100, bool progressive = false) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  if (components == 4) jpeg_set_colorspace(&cinfo, JCS_CMYK);
  jpeg_set_quality(&cinfo, quality, TRUE);
  for (int i = 0; i < cinfo.num_components; ++i)
    cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(samples.data()) +
                   size_t(cinfo.next_scanline) * width * components;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// A PCX header for version 5 run-length data.
inline Bytes PcxHeader(int bytesPerLine, int ymin, int ymax, int planes, int bitsPerPixel,
                       int xmax = -1) {
  Bytes h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = 1;
  h[3] = static_cast<uint8_t>(bitsPerPixel);
  if (xmax < 0) xmax = bytesPerLine - 1;
  h[8] = static_cast<uint8_t>(xmax & 0xFF);
  h[9] = static_cast<uint8_t>(xmax >> 8);
  h[6] = static_cast<uint8_t>(ymin & 0xFF);
  h[7] = static_cast<uint8_t>(ymin >> 8);
  h[10] = static_cast<uint8_t>(ymax & 0xFF);
  h[11] = static_cast<uint8_t>(ymax >> 8);
  h[65] = static_cast<uint8_t>(planes);
  h[66] = static_cast<uint8_t>(bytesPerLine & 0xFF);
  h[67] = static_cast<uint8_t>(bytesPerLine >> 8);
  return h;
}

// Run-length encodes a byte stream the way PCX writers do (runs up to 63,
// values of 0xC0 and above always as runs). Runs may cross lines.
inline Bytes PcxRuns(const Bytes& data) {
  Bytes out;
  for (size_t i = 0; i < data.size();) {
    size_t run = 1;
    while (i + run < data.size() && data[i + run] == data[i] && run < 63) ++run;
    if (run > 1 || data[i] >= 0xC0) {
      out.push_back(static_cast<uint8_t>(0xC0 + run));
      out.push_back(data[i]);
    } else {
      out.push_back(data[i]);
    }
    i += run;
  }
  return out;
}

// A 256-colour PCX: indices top row first, palette of 256 RGB triples.
inline Bytes PalettedPcx(int width, int height, const Bytes& indices, const Bytes& palette) {
  Bytes f = PcxHeader(width, 0, height - 1, 1, 8);
  Bytes runs = PcxRuns(indices);
  f.insert(f.end(), runs.begin(), runs.end());
  f.push_back(0x0C);
  f.insert(f.end(), palette.begin(), palette.end());
  return f;
}

// A 24-bit PCX: RGB top row first, written as red, green and blue lines.
inline Bytes PlanarPcx(int width, int height, const Bytes& rgb) {
  Bytes lines;
  for (int y = 0; y < height; ++y)
    for (int c = 0; c < 3; ++c)
      for (int x = 0; x < width; ++x) lines.push_back(rgb[(size_t(y) * width + x) * 3 + c]);
  Bytes f = PcxHeader(width, 0, height - 1, 3, 8);
  Bytes runs = PcxRuns(lines);
  f.insert(f.end(), runs.begin(), runs.end());
  return f;
}

// .3ds building blocks: little-endian values and chunks (id, length with header).
inline void PutU16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v & 0xFF));
  b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
inline void PutU32(Bytes& b, uint32_t v) {
  PutU16(b, v & 0xFFFF);
  PutU16(b, v >> 16);
}
inline void PutF32(Bytes& b, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  PutU32(b, v);
}
inline void PutString(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}
inline Bytes Chunk(uint16_t id, const Bytes& body) {
  Bytes c;
  PutU16(c, id);
  PutU32(c, static_cast<uint32_t>(body.size() + 6));
  c.insert(c.end(), body.begin(), body.end());
  return c;
}
inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct Face3ds {
  uint16_t a, b, c;
};

inline Bytes VertexList(const std::vector<float>& xyz) {
  Bytes b;
  PutU16(b, static_cast<uint32_t>(xyz.size() / 3));
  for (float f : xyz) PutF32(b, f);
  return Chunk(0x4110, b);
}
inline Bytes FaceList(const std::vector<Face3ds>& faces, const Bytes& subChunks = {}) {
  Bytes b;
  PutU16(b, static_cast<uint32_t>(faces.size()));
  for (const Face3ds& f : faces) {
    PutU16(b, f.a);
    PutU16(b, f.b);
    PutU16(b, f.c);
    PutU16(b, 7);  // flags word
  }
  b.insert(b.end(), subChunks.begin(), subChunks.end());
  return Chunk(0x4120, b);
}
inline Bytes TexCoords(const std::vector<float>& uv) {
  Bytes b;
  PutU16(b, static_cast<uint32_t>(uv.size() / 2));
  for (float f : uv) PutF32(b, f);
  return Chunk(0x4140, b);
}
inline Bytes MeshMatrix(const float (&m)[12]) {
  Bytes b;
  for (float f : m) PutF32(b, f);
  return Chunk(0x4160, b);
}
inline Bytes NamedObject(const std::string& name, const Bytes& subChunks) {
  Bytes b;
  PutString(b, name);
  b.insert(b.end(), subChunks.begin(), subChunks.end());
  return Chunk(0x4000, b);
}
inline Bytes Mesh(const Bytes& subChunks) { return Chunk(0x4100, subChunks); }
inline Bytes Editor(const Bytes& subChunks) { return Chunk(0x3D3D, subChunks); }
inline Bytes Main3ds(const Bytes& subChunks) { return Chunk(0x4D4D, subChunks); }

// A material block with a name and a texture map file name.
inline Bytes Material(const std::string& name, const std::string& texture) {
  Bytes n, t;
  PutString(n, name);
  PutString(t, texture);
  return Chunk(0xAFFF, Join({Chunk(0xA000, n), Chunk(0xA200, Chunk(0xA300, t))}));
}
inline Bytes Camera(const std::string& name) {
  return NamedObject(name, Chunk(0x4700, Bytes(32, 0)));
}
inline Bytes LightObject(const std::string& name, bool spot) {
  Bytes b;
  PutF32(b, 1.0f);
  PutF32(b, 2.0f);
  PutF32(b, 3.0f);
  if (spot) {
    Bytes s = Chunk(0x4610, Bytes(20, 0));
    b.insert(b.end(), s.begin(), s.end());
  }
  return NamedObject(name, Chunk(0x4600, b));
}

// One textured quad (two triangles) in the file's axes, with smoothing and
// material groups, a mesh matrix and an unknown chunk.
inline Bytes QuadMesh(const std::string& name, float z = 0.0f) {
  Bytes material;
  PutString(material, "Stone");
  PutU16(material, 2);
  PutU16(material, 0);
  PutU16(material, 1);
  Bytes smoothing;
  PutU32(smoothing, 1);
  PutU32(smoothing, 1);
  const float matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 6, 7};
  return NamedObject(
      name, Mesh(Join({VertexList({0, 0, z, 1, 0, z, 1, 1, z, 0, 1, z}),
                       TexCoords({0, 0, 1, 0, 1, 1, 0, 1}),
                       FaceList({{0, 1, 2}, {0, 2, 3}},
                                Join({Chunk(0x4130, material), Chunk(0x4150, smoothing)})),
                       MeshMatrix(matrix), Chunk(0x4165, Bytes(1, 0))})));
}

inline Bytes SampleScene() {
  return Main3ds(Join({Chunk(0x0002, Bytes{3, 0, 0, 0}),
                       Editor(Join({Material("Stone", "stone.jpg"), QuadMesh("Floor"),
                                    Camera("Camera01"), LightObject("Omni01", false),
                                    LightObject("Light01", true), QuadMesh("Wall", 2.0f)}))}));
}

}  // namespace samples
