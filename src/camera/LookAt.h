// The view matrix of both cameras.
#pragma once

#include "core/MathTypes.h"

// The left-handed look-at for row vectors: the eye maps to the origin and the view direction to +z. When the
// direction is parallel to up, another up axis is taken so that the matrix stays finite.
Mat4 lookAt(Vec3 eye, Vec3 target, Vec3 up);
