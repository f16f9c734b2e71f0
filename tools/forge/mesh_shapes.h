// Mesh generators for the show's models. Every shape is welded (one vertex
// per position) and wound consistently, so closed shapes have every edge on
// exactly two faces; texture coordinates are continuous functions of the
// surface (mirrored around a revolution), never a seam of duplicates.
#pragma once
#include <functional>

#include "tds_writer.h"

// Surface of revolution about the file's z axis (or x axis when aboutX):
// profile points (radius, height) run from one pole (radius 0) to the other.
// u runs around the axis, mirrored (0 .. uRange .. 0) so it needs no seam;
// v runs along the profile from 0 to vRange. Segments start half a step off
// the axes so no vertex lies on a coordinate plane through the axis.
// outward: faces are seen from outside; otherwise from inside.
Mesh RevolveMesh(const std::vector<std::pair<float, float>>& profile, int segments, bool aboutX,
                 float uRange, float vRange, bool outward);

// Sphere profile with `rings` steps from pole to pole.
std::vector<std::pair<float, float>> SphereProfile(int rings, float radius);

// Box of half sizes (hx, hy, hz), nx x ny x nz cells, corners rounded with
// radius `round` (0: sharp), seen from outside.
Mesh RoundedBox(int nx, int ny, int nz, float hx, float hy, float hz, float round);

// Closed shell of a box: outer half size `outer`, cavity half size `inner`,
// each face pierced by a holes x holes grid of square holes running through
// the wall, so a light inside shines out in beams. holeWidth and gap (between
// neighbouring holes) are shares of `inner`. Seen from outside.
Mesh HoleBox(float outer, float inner, int holes, float holeWidth, float gap);

// Torus about the z axis, seen from outside.
Mesh Torus(int segments, int sides, float major, float minor);

// Flat disc in the z = 0 plane, facing +z, rings packed towards the centre.
Mesh Disc(int segments, int rings, float radius, float uvScale);

// Moves every vertex by f(position); topology is untouched.
void DisplaceVertices(Mesh& m, const std::function<Vec3f(const Vec3f&)>& f);

// Checks used by the forge and its tests.
// Every edge, by vertex index, is shared by exactly two faces with opposite
// directions (closed and consistently wound).
bool IsClosedManifold(const Mesh& m, std::string* why = nullptr);
// Six times the signed volume: positive when faces are seen from outside.
double SignedVolume6(const Mesh& m);
