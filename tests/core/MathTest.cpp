#include "core/Math.h"
#include "core/Report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr Mat4 IDENTITY{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// A rotation about y by 30 degrees, a non-uniform scale and a translation: no symmetry to hide a
// transposition.
const Mat4 TRANSFORM{{1.7320508f, 0.0f, -1.0f, 0.0f, 0.0f, 3.0f, 0.0f, 0.0f, 0.25f, 0.0f, 0.4330127f, 0.0f,
                      5.0f, -2.0f, 7.5f, 1.0f}};

Vec4 transform(Vec4 p, const Mat4& m) {
    float in[4] = {p.x, p.y, p.z, p.w};
    float out[4] = {};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            out[c] += in[r] * m.m[4 * r + c];
    return {out[0], out[1], out[2], out[3]};
}

void expectNear(const Mat4& actual, const Mat4& expected, float tolerance) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "element " << i;
}

void expectEqual(const Mat4& actual, const Mat4& expected) {
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(actual.m[i], expected.m[i]) << "element " << i;
}

} // namespace

TEST(MultiplyTest, IdentityOnEitherSideReturnsTheOther) {
    expectEqual(multiply(IDENTITY, TRANSFORM), TRANSFORM);
    expectEqual(multiply(TRANSFORM, IDENTITY), TRANSFORM);
}

TEST(MultiplyTest, TranslationTimesScaleScalesFirstThenTranslates) {
    const Mat4 translation{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1}};
    const Mat4 scale{{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}};
    expectEqual(multiply(translation, scale), Mat4{{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 4, 5, 6, 1}});
    const Vec4 p = transform({1, 1, 1, 1}, multiply(translation, scale));
    EXPECT_EQ(p.x, 6.0f);
    EXPECT_EQ(p.y, 8.0f);
    EXPECT_EQ(p.z, 10.0f);
}

TEST(MultiplyTest, RowVectorIsTransformedBySecondArgumentThenByFirst) {
    const Mat4 projection = perspective(1.2f, 16.0f, 9.0f, 0.1f);
    const Vec4 p{1.5f, -2.0f, 3.0f, 1.0f};
    const Vec4 viaProduct = transform(p, multiply(projection, TRANSFORM));
    const Vec4 stepwise = transform(transform(p, TRANSFORM), projection);
    EXPECT_NEAR(viaProduct.x, stepwise.x, 1e-5f);
    EXPECT_NEAR(viaProduct.y, stepwise.y, 1e-5f);
    EXPECT_NEAR(viaProduct.z, stepwise.z, 1e-5f);
    EXPECT_NEAR(viaProduct.w, stepwise.w, 1e-5f);
}

TEST(InverseTest, IdentityIsItsOwnInverse) {
    expectEqual(inverse(IDENTITY), IDENTITY);
}

TEST(InverseTest, ProductWithInverseIsIdentityInEitherOrder) {
    for (const Mat4& m : {TRANSFORM, perspective(std::numbers::pi_v<float> / 3.0f, 1920.0f, 1080.0f, 0.1f)}) {
        const Mat4 inv = inverse(m);
        expectNear(multiply(m, inv), IDENTITY, 1e-5f);
        expectNear(multiply(inv, m), IDENTITY, 1e-5f);
    }
}

TEST(InverseTest, SingularMatrixGivesNonFiniteElementsWithoutReport) {
    setProgramEnd([](int) { throw 0; });
    const Mat4 twoEqualRows{{1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 0, 1, 0, 1}};
    Mat4 result{};
    EXPECT_NO_THROW(result = inverse(twoEqualRows));
    setProgramEnd(nullptr);
    for (int i = 0; i < 16; ++i)
        EXPECT_FALSE(std::isfinite(result.m[i])) << "element " << i;
}

TEST(PerspectiveTest, SquareRightAngleViewHasUnitScale) {
    const Mat4 m = perspective(std::numbers::pi_v<float> / 2.0f, 1.0f, 1.0f, 0.1f);
    Mat4 expected{};
    expected.m[0] = 1.0f;
    expected.m[5] = 1.0f;
    expected.m[11] = 1.0f;
    expected.m[14] = 0.1f;
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(m.m[i], expected.m[i]) << "element " << i;
}

TEST(PerspectiveTest, WideViewScalesXByAspect) {
    const Mat4 m = perspective(0.8f, 1920.0f, 1080.0f, 0.1f);
    EXPECT_FLOAT_EQ(m.m[0], m.m[5] * 0.5625f);
    EXPECT_FLOAT_EQ(m.m[5], std::tan(std::numbers::pi_v<float> / 2.0f - 0.4f));
}

TEST(PerspectiveTest, DepthIsReversedWithoutFarPlane) {
    const Mat4 m = perspective(std::numbers::pi_v<float> / 2.0f, 1.0f, 1.0f, 0.1f);
    struct Case {
        float z;
        float depth;
    };
    for (const Case& c : {Case{0.1f, 1.0f}, Case{1.0f, 0.1f}, Case{1000.0f, 0.0001f}}) {
        const Vec4 clip = transform({0.0f, 0.0f, c.z, 1.0f}, m);
        EXPECT_EQ(clip.w, c.z);
        EXPECT_FLOAT_EQ(clip.z / clip.w, c.depth) << "z = " << c.z;
    }
}
