// The four view set-ups every module draws through: two perspective ones for
// 3D objects (whole window or the reduced render-to-texture area) and two
// centred pixel orthographic ones for flat overlays and screen passes.
//
// The perspective has no far plane: the projection's depth row is replaced so
// eye distance 0.1 maps to depth 0, 10.1 to 0.5 and infinity to 0.505. The
// shadow volumes rely on this, as their extruded vertices have w = 0.
//
// All four leave the matrix mode at GL_MODELVIEW: the look-at matrix after a
// perspective set-up, the identity after an orthographic one.
#pragma once
#include <cstdint>

#include "core/camera_pose.h"

struct Scene;

// Viewport over the Scene's window size; stores the pose's position and
// direction in the Scene's cameraPosition and cameraDirection.
void SetPerspectiveView(Scene& scene, const CameraPose& pose);
// The same over the Scene's target size (what a screen effect will copy).
void SetPerspectiveViewTarget(Scene& scene, const CameraPose& pose);

// Origin at the centre, one unit a pixel, depth range 0..1; sizes halve by
// integer division (1023 wide spans -511 .. 511).
void SetOrthoTarget(const Scene& scene);
void SetOrthoWindow(int32_t width, int32_t height);
