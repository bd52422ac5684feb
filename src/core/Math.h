// The CPU-side matrix work: products, inverses and the reversed-depth projection, all in single precision.
#pragma once

#include "core/MathTypes.h"

// Element (r, c) of the result is the sum over k of b(r, k) * a(k, c): row vectors transformed by b, then by
// a. The view-projection matrix is therefore multiply(projection, view).
Mat4 multiply(const Mat4& a, const Mat4& b);

// The adjugate divided by the determinant. A singular matrix is not detected: its result is not finite.
Mat4 inverse(const Mat4& m);

// Reversed depth and no far plane: a view-space point at z maps to depth nearPlane / z, 1 at the near plane
// and falling toward 0 with distance. The camera looks along +z.
Mat4 perspective(float fovY, float width, float height, float nearPlane);
