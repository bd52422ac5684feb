#include "camera/LookAt.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Vec3 toView(const Mat4& view, Vec3 p) {
    return {p.x * view.m[0] + p.y * view.m[4] + p.z * view.m[8] + view.m[12],
            p.x * view.m[1] + p.y * view.m[5] + p.z * view.m[9] + view.m[13],
            p.x * view.m[2] + p.y * view.m[6] + p.z * view.m[10] + view.m[14]};
}

float axisDot(const Mat4& m, int a, int b) {
    // The axes s, u, f are the columns 0 to 2 of the upper 3 x 3 block.
    return m.m[a] * m.m[b] + m.m[4 + a] * m.m[4 + b] + m.m[8 + a] * m.m[8 + b];
}

} // namespace

TEST(LookAtTest, LookingAlongZWithYUpIsIdentity) {
    const Mat4 view = lookAt({0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(view.m[i], i % 5 == 0 ? 1.0f : 0.0f) << "element " << i;
}

TEST(LookAtTest, EyeGoesToOriginAndTargetOntoPlusZWithOrthonormalAxes) {
    struct Case {
        const char* name;
        Vec3 eye, target, up;
    };
    const Case cases[] = {
        {"oblique", {-10.13f, 7.17f, 13.98f}, {-9.53f, 7.14f, 13.18f}, {0, 1, 0}},
        {"straight up", {1, 2, 3}, {1, 7, 3}, {0, 1, 0}},
        {"straight down", {1, 2, 3}, {1, -5, 3}, {0, 1, 0}},
        {"along z with z up", {0, 0, 0}, {0, 0, -2}, {0, 0, 1}},
        {"nearly up", {0, 0, 0}, {1e-8f, 1, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Mat4 view = lookAt(c.eye, c.target, c.up);
        for (float element : view.m)
            ASSERT_TRUE(std::isfinite(element));
        const Vec3 eye = toView(view, c.eye);
        EXPECT_NEAR(eye.x, 0.0f, 1e-5f);
        EXPECT_NEAR(eye.y, 0.0f, 1e-5f);
        EXPECT_NEAR(eye.z, 0.0f, 1e-5f);
        const Vec3 target = toView(view, c.target);
        const float distance = std::sqrt((c.target.x - c.eye.x) * (c.target.x - c.eye.x) +
                                         (c.target.y - c.eye.y) * (c.target.y - c.eye.y) +
                                         (c.target.z - c.eye.z) * (c.target.z - c.eye.z));
        EXPECT_NEAR(target.x, 0.0f, 1e-5f);
        EXPECT_NEAR(target.y, 0.0f, 1e-5f);
        EXPECT_NEAR(target.z, distance, 1e-5f);
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                EXPECT_NEAR(axisDot(view, a, b), a == b ? 1.0f : 0.0f, 1e-6f) << "axes " << a << ", " << b;
        EXPECT_EQ(view.m[3], 0.0f);
        EXPECT_EQ(view.m[7], 0.0f);
        EXPECT_EQ(view.m[11], 0.0f);
        EXPECT_EQ(view.m[15], 1.0f);
    }
}

TEST(LookAtTest, ViewIsLeftHandedWithUpOnScreenUp) {
    // Looking along +x with y up: +z of the world lies to the left, +y up.
    const Mat4 view = lookAt({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    const Vec3 left = toView(view, {0, 0, 1});
    const Vec3 above = toView(view, {0, 1, 0});
    EXPECT_FLOAT_EQ(left.x, -1.0f);
    EXPECT_FLOAT_EQ(above.y, 1.0f);
}
