// Stencil shadow volumes for the single point light of a module, counted with
// depth-fail (the far plane of the perspective set-up is at infinity, so the
// extruded w = 0 vertices are never clipped). The picture is drawn once as it
// looks in shadow, the volume is counted into the stencil buffer, and the lit
// version is drawn again only where the stencil still holds 127:
//
//   SetOrthoWindow(...); SetStencilMode(kStencilOff);
//   TransformObject(scene, i, source, kWithVertexNormals);  // identity modelview: world space
//   SetPerspectiveView(...); DrawObject(...);               // shadowed look
//   SetStencilMode(kStencilStartVolume);
//   SetOrthoWindow(...); BuildShadowVolume(scene, i, light);
//   SetPerspectiveView(...); DrawShadowVolume(scene, i);
//   SetStencilMode(kStencilOutsideShadow); DrawObject(...); // lit look, outside shadows only
//   SetStencilMode(kStencilOff);
//
// Also owns the world-space copies of an object's geometry. Nothing here
// allocates after load time.
#pragma once

#include "assets/scene.h"

// Once per object at load time: one record per distinct edge in order of first
// use, with the faces on either side; allocates the silhouette, quad and cap
// buffers and the world-space buffers. Does nothing when the list exists.
void BuildEdgeList(Scene& scene, int index);

// Zeroed world vertices, vertex normals and face normals, for an object that
// needs world-space data but casts no shadow. Does nothing when they exist.
void AllocateWorldBuffers(Scene& scene, int index);

// Which vertices TransformObject copies: `vertices`, `baseVertices`, or none
// (the current world vertices are kept and only the normals made again).
enum TransformSource : int { kFromVertices = 0, kFromBaseVertices = 1, kKeepWorldVertices = 2 };
// Whether it adds `worldVertexNormals` (negated, like the loaded ones).
enum TransformNormals : int { kFaceNormalsOnly = 0, kWithVertexNormals = 1 };

// World-space copy of the geometry under the current modelview times the
// object's placement and scale, from `source` (a TransformSource; any value
// other than 0 and 1 keeps the world vertices), with vertex normals when
// withVertexNormals (a TransformNormals) is set.
// Leaves the modelview and the matrix mode GL_MODELVIEW as found.
void TransformObject(Scene& scene, int index, int source, int withVertexNormals);

// Silhouette edges, side quads and front/back caps for the light's position,
// from the last TransformObject.
void BuildShadowVolume(Scene& scene, int index, const Light& light);

enum StencilMode : int {
  kStencilOff = 0,            // stencil test off, colour and depth writes on
  kStencilStartVolume = 1,    // stencil cleared to 127, test on
  kStencilOutsideShadow = 2,  // draw only where the stencil is 127 (depth test and writes on)
};
// One of the StencilModes; other values do nothing.
void SetStencilMode(int mode);

// Counts the volume into the stencil buffer under the current modelview
// (front faces increment, back faces decrement where the depth test fails).
// Leaves: stencil test off with func GL_EQUAL 127 and ops KEEP; depth test on,
// depth and colour writes on, GL_LEQUAL; GL_CULL_FACE on with GL_BACK culled;
// polygon offset fill, colour material and blending off; current colour
// (1, 0, 1, 0.5); client arrays disabled. Each batch is one client-array draw.
void DrawShadowVolume(Scene& scene, int index);

// Sends `vertexCount` staged vertices as `mode` (GL_QUADS or GL_TRIANGLES).
// Null (the default) uses a client array; tests put an immediate-mode
// reference here to compare the stencil counts.
using VolumeSender = void (*)(unsigned mode, const HomogeneousVertex* vertices, int vertexCount);
void SetVolumeSender(VolumeSender sender);
