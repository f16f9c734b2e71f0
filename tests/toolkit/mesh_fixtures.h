// Meshes built in code for the renderer and shadow tests and the mesh
// benchmark, filled the way the .3ds reader fills a loaded object except that
// vertex normals are stored negated (the renderer negates what it sends), so
// geometry 0 is lit from outside.
#pragma once
#include <vector>

#include "assets/scene.h"

// Appends an object from positions and corner indices (three a face, counter-
// clockwise seen from the side the face shows); returns its index.
int AddMesh(Scene& scene, const std::vector<Vector4>& positions, const std::vector<int>& faces);

// Axis-aligned box with 8 shared corners and 12 outward faces.
int AddBox(Scene& scene, Vector4 lo, Vector4 hi);

// Square of half size `half` in the plane y = `height`, facing -y, split into
// divisions × divisions cells of two faces (finer cells light more evenly).
int AddFloor(Scene& scene, float half, float height, int divisions = 1);

// UV sphere (2 × slices × (stacks − 1) faces) and torus (2 × rings × sides
// faces) around the origin, closed and outward.
int AddSphere(Scene& scene, int stacks, int slices, float radius);
int AddTorus(Scene& scene, int rings, int sides, float major, float minor);

// A camera at `eye` looking at `target` through the show's perspective set-up
// over the whole window (1024 x 768 in the tests), up = (0, -1, 0) as the
// modules aim theirs.
void LookAt(Scene& scene, Vector4 eye, Vector4 target);

// Window pixel of a world point under the current matrices and viewport;
// (-1, -1) for a point behind the eye.
struct Pixel {
  int x, y;
  float depth;  // window depth of the point
};
Pixel ScreenOf(Vector4 world);
