#include "core/Math.h"

#include <cmath>

Mat4 multiply(const Mat4& a, const Mat4& b) {
    // Both arguments are copied first, so the caller may store the result over either of them.
    const Mat4 left = a;
    const Mat4 right = b;
    Mat4 result;
    for (int r = 0; r < 4; ++r) {
        const float* weights = &right.m[4 * r];
        for (int c = 0; c < 4; ++c)
            result.m[4 * r + c] = weights[0] * left.m[c] + weights[1] * left.m[4 + c] +
                                  weights[2] * left.m[8 + c] + weights[3] * left.m[12 + c];
    }
    return result;
}

namespace {

// The signed 3 x 3 minor of element (row, column): the determinant of m without that row and column.
float cofactor(const Mat4& m, int row, int column) {
    int rows[3];
    int columns[3];
    for (int i = 0, r = 0, c = 0; i < 4; ++i) {
        if (i != row)
            rows[r++] = i;
        if (i != column)
            columns[c++] = i;
    }
    auto at = [&](int r, int c) { return m.m[4 * rows[r] + columns[c]]; };
    const float minor = at(0, 0) * (at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1)) -
                        at(0, 1) * (at(1, 0) * at(2, 2) - at(1, 2) * at(2, 0)) +
                        at(0, 2) * (at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0));
    return (row + column) % 2 == 0 ? minor : -minor;
}

} // namespace

Mat4 inverse(const Mat4& m) {
    Mat4 cofactors;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            cofactors.m[4 * r + c] = cofactor(m, r, c);
    const float determinant =
        m.m[0] * cofactors.m[0] + m.m[1] * cofactors.m[1] + m.m[2] * cofactors.m[2] + m.m[3] * cofactors.m[3];
    const float reciprocal = 1.0f / determinant;
    Mat4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[4 * r + c] = cofactors.m[4 * c + r] * reciprocal;
    return result;
}

Mat4 perspective(float fovY, float width, float height, float nearPlane) {
    // tan(pi/2 - fovY/2), with pi/2 as its nearest float.
    const float f = std::tan(fovY * -0.5f + 1.5707964f);
    Mat4 result{};
    result.m[0] = f * height / width;
    result.m[5] = f;
    result.m[11] = 1.0f;
    result.m[14] = nearPlane;
    return result;
}
