#include "camera/FlyThrough.h"
#include "camera/LookAt.h"
#include "camera/Vector.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float EPSILON = 1e-5f;

void expectNear(Vec3 actual, Vec3 expected, float tolerance = EPSILON) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void expectEqual(Vec3 actual, Vec3 expected) {
    EXPECT_EQ(actual.x, expected.x);
    EXPECT_EQ(actual.y, expected.y);
    EXPECT_EQ(actual.z, expected.z);
}

void expectEqual(const Mat4& actual, const Mat4& expected) {
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(actual.m[i], expected.m[i]) << "element " << i;
}

Vec3 unit(Vec3 v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

// A bent leg of n points along x, curving in y, so that the curve and its tangent differ from straight lines.
std::vector<Vec3> bentLeg(int n, float z = 0.0f) {
    std::vector<Vec3> points;
    for (int i = 0; i < n; ++i)
        points.push_back({static_cast<float>(i), 0.1f * static_cast<float>(i * i), z});
    return points;
}

// Two-point legs 0 to 7 that each end in one frame of dt 1 at speed 2: points k * 10 + (0, 1) along x.
FlyThrough shortLegs() {
    FlyThrough f;
    for (uint32_t k = 0; k < FlyThrough::SEGMENT_COUNT; ++k) {
        const float x = static_cast<float>(k) * 10.0f;
        f.segments[k].points = {{x, 0, 0}, {x + 1, 0, 0}};
    }
    f.segments[2].showMeshlets = true;
    f.reset();
    return f;
}

// Updates until the current leg enters its hold.
void playToHold(FlyThrough& f, float dt, bool& showMeshlets) {
    for (int i = 0; i < 100000 && f.state != FlyThroughState::Holding; ++i)
        f.update(dt, showMeshlets);
    ASSERT_EQ(f.state, FlyThroughState::Holding);
}

} // namespace

TEST(FlyThroughTest, GlobalStartsFromStaticInitialValues) {
    for (const FlyThroughSegment& segment : flyThrough.segments) {
        EXPECT_TRUE(segment.points.empty());
        EXPECT_EQ(segment.speed, 2.0f);
        EXPECT_FALSE(segment.showMeshlets);
    }
    EXPECT_EQ(flyThrough.currentSegment, 0u);
    EXPECT_EQ(flyThrough.state, FlyThroughState::Moving);
    EXPECT_EQ(flyThrough.holdTime, 0.8f);
    EXPECT_EQ(flyThrough.slowDownStart, 0.8f);
    expectEqual(flyThrough.position, {0, 0, 0});
    expectEqual(flyThrough.direction, {0, 0, 0});
}

TEST(FlyThroughTest, CurvePassesThroughTheInnerControlPoints) {
    const Vec3 p0{-1.5f, 2.0f, 0.25f}, p1{0.3f, -0.7f, 4.0f}, p2{2.2f, 1.1f, 3.3f}, p3{5.0f, 0.0f, -1.0f};
    expectEqual(catmullRom(p0, p1, p2, p3, 0.0f), p1);
    expectNear(catmullRom(p0, p1, p2, p3, 1.0f), p2);
}

TEST(FlyThroughTest, FirstAndLastSpansRepeatTheirEndPoints) {
    FlyThrough f;
    f.segments[0].points = bentLeg(4);
    f.segments[0].speed = 1.0f;
    f.reset();
    const std::vector<Vec3>& p = f.segments[0].points;
    bool showMeshlets = true;

    f.update(0.25f, showMeshlets);
    EXPECT_FALSE(showMeshlets);
    EXPECT_EQ(f.pointIndex, 0u);
    expectNear(f.position, catmullRom(p[0], p[0], p[1], p[2], 0.25f));
    expectNear(f.direction, unit(catmullRom(p[0], p[0], p[1], p[2], 0.26f) - f.position), 1e-4f);

    f.pointIndex = 2;
    f.t = 0.0f;
    f.update(0.25f, showMeshlets);
    expectNear(f.position, catmullRom(p[1], p[2], p[3], p[3], 0.25f));
}

TEST(FlyThroughTest, StepSlowsDownOverTheLastFifthOfTheLeg) {
    FlyThrough f;
    f.segments[0].points = bentLeg(10);
    f.segments[0].speed = 1.0f;
    f.reset();
    bool showMeshlets = false;
    float lastStep = 0.0f;
    int frames = 0;
    while (f.state == FlyThroughState::Moving) {
        const float progressBefore = (static_cast<float>(f.pointIndex) + f.t) / 9.0f;
        const float before = static_cast<float>(f.pointIndex) + f.t;
        f.update(0.1f, showMeshlets);
        ++frames;
        if (f.state == FlyThroughState::Holding)
            break;
        const float step = static_cast<float>(f.pointIndex) + f.t - before;
        const float x = (progressBefore - 0.8f) / 0.2f;
        const float expected = progressBefore > 0.8f ? 0.1f * (1.0f - 0.8f * x) : 0.1f;
        ASSERT_NEAR(step, expected, 1e-5f) << "frame " << frames << ", progress " << progressBefore;
        lastStep = step;
    }
    EXPECT_NEAR(lastStep, 0.02f, 0.002f);
    // 7.2 spans at full speed, then about 3.6 s of slowing down.
    EXPECT_GE(frames, 72 + 34);
    EXPECT_LE(frames, 72 + 38);
}

TEST(FlyThroughTest, LongFrameCoversSeveralSpansAndMayEndTheLeg) {
    FlyThrough f;
    f.segments[0].points = bentLeg(10);
    f.reset();
    const std::vector<Vec3>& p = f.segments[0].points;
    bool showMeshlets = false;

    f.update(1.6f, showMeshlets); // 3.2 spans at speed 2
    EXPECT_EQ(f.pointIndex, 3u);
    EXPECT_NEAR(f.t, 0.2f, EPSILON);
    EXPECT_EQ(f.state, FlyThroughState::Moving);
    expectNear(f.position, catmullRom(p[2], p[3], p[4], p[5], f.t));

    const Vec3 restingAt = f.position;
    const Vec3 lookingAlong = f.direction;
    f.update(100.0f, showMeshlets);
    EXPECT_EQ(f.state, FlyThroughState::Holding);
    EXPECT_EQ(f.pointIndex, 9u);
    EXPECT_EQ(f.t, 0.0f);
    EXPECT_EQ(f.holdTimer, 0.8f);
    // The frame that ends the leg does not move the eye.
    expectEqual(f.position, restingAt);
    expectEqual(f.direction, lookingAlong);
}

TEST(FlyThroughTest, LookAheadStopsAtTheEndOfTheSpan) {
    FlyThrough f;
    f.segments[0].points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {-5, 1, 0}};
    f.reset();
    const std::vector<Vec3>& p = f.segments[0].points;
    f.pointIndex = 1;
    f.t = 0.985f;
    f.advance(0.005f); // t = 0.995: the look-ahead is the span's end point
    ASSERT_EQ(f.pointIndex, 1u);
    const Vec3 towardEnd = normalize(catmullRom(p[0], p[1], p[2], p[3], 1.0f) - f.position);
    const Vec3 pastEnd = normalize(catmullRom(p[0], p[1], p[2], p[3], 1.005f) - f.position);
    ASSERT_GT(length(pastEnd - towardEnd), 1e-3f);
    expectNear(f.direction, towardEnd, 1e-6f);
}

// The view looks from the eye toward the curve a hundredth of a span further on.
TEST(FlyThroughTest, DirectionLooksAHundredthOfASpanAhead) {
    FlyThrough f;
    // A sharp turn, so that looking any other distance ahead gives a clearly different direction.
    f.segments[0].points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    f.reset();
    const std::vector<Vec3>& p = f.segments[0].points;
    f.pointIndex = 1;
    f.t = 0.5f;
    f.advance(0.0f);
    const Vec3 eye = catmullRom(p[0], p[1], p[2], p[3], 0.5f);
    expectEqual(f.position, eye);
    const Vec3 expected = normalize(catmullRom(p[0], p[1], p[2], p[3], 0.5f + 0.01f) - eye);
    for (float other : {0.505f, 0.52f})
        ASSERT_GT(length(normalize(catmullRom(p[0], p[1], p[2], p[3], other) - eye) - expected), 1e-3f);
    expectNear(f.direction, expected, 1e-6f);
}

// A look-ahead closer than a ten-thousandth gives no direction; the previous one is kept.
TEST(FlyThroughTest, DirectionFollowsOnlyALookAheadMoreThanATenThousandthAway) {
    struct Case {
        float spacing;
        Vec3 direction;
    };
    // On evenly spaced points along a line the curve is that line, so the look-ahead lies a hundredth of the
    // spacing ahead: just over 0.0001, then just under.
    for (const Case& c : {Case{0.0102f, {1, 0, 0}}, Case{0.0098f, {0, 1, 0}}}) {
        SCOPED_TRACE(c.spacing);
        FlyThrough f;
        for (int i = 0; i < 4; ++i)
            f.segments[0].points.push_back({c.spacing * static_cast<float>(i), 0, 0});
        f.reset();
        f.direction = {0, 1, 0};
        f.pointIndex = 1;
        f.t = 0.5f;
        f.advance(0.0f);
        expectNear(f.position, {1.5f * c.spacing, 0, 0}, 1e-7f);
        expectNear(f.direction, c.direction, 1e-6f);
    }
}

TEST(FlyThroughTest, DirectionIsKeptWhereTheCurveDoesNotMove) {
    FlyThrough f;
    f.segments[0].points = {{1, 2, 3}, {1, 2, 3}, {1, 2, 3}};
    f.reset();
    f.direction = {0, 0.6f, 0.8f};
    bool showMeshlets = false;
    f.update(0.1f, showMeshlets);
    expectEqual(f.position, {1, 2, 3});
    expectEqual(f.direction, {0, 0.6f, 0.8f});
}

TEST(FlyThroughTest, HoldEndsAtZeroAndCutsToTheNextLeg) {
    FlyThrough f = shortLegs();
    f.holdTime = 0.5f;
    bool showMeshlets = false;
    playToHold(f, 1.0f, showMeshlets);
    const Vec3 leg0Direction = f.direction;

    f.update(0.25f, showMeshlets);
    EXPECT_EQ(f.state, FlyThroughState::Holding);
    EXPECT_EQ(f.holdTimer, 0.25f);
    f.update(0.25f, showMeshlets); // exactly 0 ends the hold
    EXPECT_EQ(f.currentSegment, 1u);
    EXPECT_EQ(f.state, FlyThroughState::Moving);
    EXPECT_EQ(f.pointIndex, 0u);
    EXPECT_EQ(f.t, 0.0f);
    // Leg 0's cut places the eye on leg 1 at once, still looking along leg 0.
    expectEqual(f.position, f.segments[1].points[0]);
    expectEqual(f.direction, leg0Direction);
    EXPECT_FALSE(showMeshlets);

    playToHold(f, 1.0f, showMeshlets);
    const Vec3 leg1End = f.position;
    f.update(0.5f, showMeshlets);
    EXPECT_EQ(f.currentSegment, 2u);
    // Later cuts leave the eye at the end of the finished leg for this frame, but already report the new
    // flag.
    expectEqual(f.position, leg1End);
    EXPECT_TRUE(showMeshlets);
    f.update(0.1f, showMeshlets);
    EXPECT_NEAR(f.position.x, 20.0f, 1.0f);
}

TEST(FlyThroughTest, PathEndsAfterTheLastHoldAndTheViewStaysPut) {
    FlyThrough f = shortLegs();
    f.segments[7].showMeshlets = true;
    bool showMeshlets = false;
    for (uint32_t k = 0; k < 7; ++k) {
        playToHold(f, 1.0f, showMeshlets);
        f.update(1.0f, showMeshlets);
    }
    playToHold(f, 1.0f, showMeshlets);
    EXPECT_TRUE(showMeshlets);
    const Mat4 lastView = f.update(0.1f, showMeshlets);
    const Mat4 ending = f.update(1.0f, showMeshlets);
    EXPECT_EQ(f.currentSegment, 8u);
    EXPECT_EQ(f.state, FlyThroughState::Moving);
    EXPECT_FALSE(showMeshlets);
    expectEqual(ending, lastView);
    for (int i = 0; i < 3; ++i) {
        showMeshlets = true;
        expectEqual(f.update(1.0f, showMeshlets), lastView);
        EXPECT_FALSE(showMeshlets);
        EXPECT_EQ(f.currentSegment, 8u);
    }
}

TEST(FlyThroughTest, ResetReplaysLegZeroFromAnyState) {
    FlyThrough f = shortLegs();
    bool showMeshlets = false;
    struct Case {
        const char* name;
        int legsPlayed;
        bool holding;
    };
    for (const Case& c : {Case{"moving", 0, false}, Case{"holding in leg 0", 0, true},
                          Case{"holding in leg 3", 3, true}, Case{"path over", 8, false}}) {
        SCOPED_TRACE(c.name);
        f.reset();
        f.update(0.25f, showMeshlets);
        for (int k = 0; k < c.legsPlayed; ++k) {
            playToHold(f, 1.0f, showMeshlets);
            f.update(1.0f, showMeshlets);
        }
        if (c.holding)
            playToHold(f, 1.0f, showMeshlets);
        f.reset();
        EXPECT_EQ(f.currentSegment, 0u);
        EXPECT_EQ(f.state, FlyThroughState::Moving);
        EXPECT_EQ(f.pointIndex, 0u);
        EXPECT_EQ(f.t, 0.0f);
        expectEqual(f.position, {0, 0, 0});
        expectEqual(f.direction, {1, 0, 0});
        f.update(0.25f, showMeshlets);
        EXPECT_EQ(f.currentSegment, 0u);
        EXPECT_GT(f.position.x, 0.0f);
    }
}

TEST(FlyThroughTest, ShortLegZero) {
    FlyThrough single;
    single.segments[0].points = {{4, 5, 6}};
    single.reset();
    expectEqual(single.position, {4, 5, 6});
    expectEqual(single.direction, {0, 0, -1});
    // A leg without a span does not play: it stays in Moving where it is.
    bool showMeshlets = false;
    const Mat4 first = single.update(1.0f, showMeshlets);
    expectEqual(single.update(10.0f, showMeshlets), first);
    EXPECT_EQ(single.state, FlyThroughState::Moving);
    EXPECT_EQ(single.currentSegment, 0u);
    expectEqual(first, lookAt({4, 5, 6}, {4, 5, 5}, {0, 1, 0}));

    FlyThrough empty;
    empty.position = {1, 2, 3};
    empty.direction = {0, 1, 0};
    empty.currentSegment = 5;
    empty.reset();
    EXPECT_EQ(empty.currentSegment, 0u);
    expectEqual(empty.position, {1, 2, 3});
    expectEqual(empty.direction, {0, 1, 0});
}

TEST(FlyThroughTest, CutFromLegZeroToAnEmptyLegOneLeavesTheEye) {
    FlyThrough f;
    f.segments[0].points = {{0, 0, 0}, {1, 0, 0}};
    f.reset();
    bool showMeshlets = false;
    playToHold(f, 1.0f, showMeshlets);
    const Vec3 restingAt = f.position;
    f.update(1.0f, showMeshlets);
    EXPECT_EQ(f.currentSegment, 1u);
    expectEqual(f.position, restingAt);
}
