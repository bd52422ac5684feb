#include "camera/LookAt.h"

#include "camera/Vector.h"

namespace {

// Below this the side axis has no usable direction and its normalisation would divide by (nearly) zero.
constexpr float PARALLEL_LIMIT = 1e-6f;

} // namespace

Mat4 lookAt(Vec3 eye, Vec3 target, Vec3 up) {
    const Vec3 f = normalize(target - eye);
    Vec3 side = cross(up, f);
    // Looking straight along up (or against it): fall back to +z as up, or +x when f lies along z too.
    if (length(side) < PARALLEL_LIMIT) {
        side = cross(Vec3{0.0f, 0.0f, 1.0f}, f);
        if (length(side) < PARALLEL_LIMIT)
            side = cross(Vec3{1.0f, 0.0f, 0.0f}, f);
    }
    const Vec3 s = normalize(side);
    const Vec3 u = cross(f, s);
    return Mat4{{
        s.x, u.x, f.x, 0.0f,                            //
        s.y, u.y, f.y, 0.0f,                            //
        s.z, u.z, f.z, 0.0f,                            //
        -dot(s, eye), -dot(u, eye), -dot(f, eye), 1.0f, //
    }};
}
