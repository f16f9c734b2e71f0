// Triangle meshes as the forge builds them, and the .3ds writer that stores
// them with the chunks the show's reader knows.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Vec3f {
  float x, y, z;
};

// File coordinates: z is up (the reader turns (x, y, z) into (x, -z, y)).
struct Mesh {
  std::string name;
  std::vector<Vec3f> vertices;
  std::vector<float> u, v;                // one pair a vertex
  std::vector<uint16_t> faces;            // three vertex indices a triangle
  std::string material;                   // material group name; empty: none
  int FaceCount() const { return int(faces.size() / 3); }
  int VertexCount() const { return int(vertices.size()); }
};

// Non-mesh content some files carry: a camera, lights and a material block,
// so the reader's skipping paths meet real data.
struct SceneExtras {
  bool camera = false;         // "Camera01" with a camera chunk
  bool omni = false;           // "Omni01" with a light chunk
  bool spot = false;           // "Light01" with a light chunk and a spotlight sub-chunk
  std::string materialName;    // a material block with this name, when not empty
  std::string textureFile;     // its texture map file name
};

// Writes one .3ds file holding the meshes in order. Fails (with a message)
// when a mesh passes the format's 16-bit counts or the file can't be written.
bool Write3ds(const std::string& path, const std::vector<Mesh>& meshes, const SceneExtras& extras);
