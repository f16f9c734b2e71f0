// The pose a module animates each frame and hands to the perspective set-up.
#pragma once
#include "core/math.h"

struct CameraPose {
  Vector4 position;   // x, y, z used
  Vector4 direction;  // x, y, z used, as a rule unit length
  Vector4 up;         // handed to the look-at unchanged
  Vector4 side;       // kept orthonormal to the others by OrthonormalizeCamera
};
