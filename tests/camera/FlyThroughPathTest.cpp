#include "camera/FlyThrough.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

FlyThrough builtPath() {
    FlyThrough f;
    f.setupPath();
    return f;
}

} // namespace

TEST(FlyThroughPathTest, LegsHoldTheirPointsSpeedsAndMeshletFlag) {
    const FlyThrough f = builtPath();
    struct Leg {
        size_t points;
        float speed;
        bool showMeshlets;
    };
    const Leg expected[FlyThrough::SEGMENT_COUNT] = {{10, 1.0f, false}, {10, 2.0f, false}, {7, 2.0f, false},
                                                     {12, 2.0f, false}, {9, 1.0f, true},   {15, 2.0f, false},
                                                     {9, 2.0f, false},  {9, 1.0f, false}};
    size_t total = 0;
    for (uint32_t k = 0; k < FlyThrough::SEGMENT_COUNT; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(f.segments[k].points.size(), expected[k].points);
        EXPECT_EQ(f.segments[k].speed, expected[k].speed);
        EXPECT_EQ(f.segments[k].showMeshlets, expected[k].showMeshlets);
        total += f.segments[k].points.size();
    }
    EXPECT_EQ(total, 81u);
    // Leg 7 replays leg 4's points bit for bit.
    ASSERT_EQ(f.segments[7].points.size(), f.segments[4].points.size());
    EXPECT_EQ(std::memcmp(f.segments[7].points.data(), f.segments[4].points.data(), 9 * sizeof(Vec3)), 0);
}

TEST(FlyThroughPathTest, PlaybackStartsAtTheFirstPointOfLegZero) {
    const FlyThrough f = builtPath();
    EXPECT_EQ(f.currentSegment, 0u);
    EXPECT_EQ(f.state, FlyThroughState::Moving);
    EXPECT_EQ(f.pointIndex, 0u);
    EXPECT_EQ(f.t, 0.0f);
    EXPECT_EQ(f.position.x, -10.132254f);
    EXPECT_EQ(f.position.y, 7.171009f);
    EXPECT_EQ(f.position.z, 13.977175f);
    EXPECT_NEAR(f.direction.x, 0.600154f, 1e-6f);
    EXPECT_NEAR(f.direction.y, -0.029666f, 1e-6f);
    EXPECT_NEAR(f.direction.z, -0.799334f, 1e-6f);
}

TEST(FlyThroughPathTest, LegsStartAndEndAtTheirRecordedPoints) {
    const FlyThrough f = builtPath();
    struct Ends {
        Vec3 first, last;
    };
    const Ends expected[FlyThrough::SEGMENT_COUNT] = {
        {{-10.132254f, 7.171009f, 13.977175f}, {-4.708742f, 6.902916f, 6.753721f}},
        {{-5.132426f, 4.455907f, 9.495705f}, {4.335822f, 3.677930f, 12.336327f}},
        {{7.771717f, 2.350734f, 17.105738f}, {11.571966f, 2.538582f, 12.044280f}},
        {{8.751935f, 2.064437f, 13.204192f}, {2.477344f, 2.187354f, 16.401245f}},
        {{17.546963f, 4.293008f, 21.399023f}, {7.084648f, 3.449013f, 8.432947f}},
        {{4.281285f, 2.129308f, 0.632951f}, {4.343609f, 2.285278f, -17.239634f}},
        {{-9.300818f, 3.661520f, -0.431882f}, {-9.140750f, 3.528044f, -8.076984f}},
        {{17.546963f, 4.293008f, 21.399023f}, {7.084648f, 3.449013f, 8.432947f}},
    };
    for (uint32_t k = 0; k < FlyThrough::SEGMENT_COUNT; ++k) {
        SCOPED_TRACE(k);
        const std::vector<Vec3>& points = f.segments[k].points;
        ASSERT_GE(points.size(), 2u);
        EXPECT_EQ(std::memcmp(&points.front(), &expected[k].first, sizeof(Vec3)), 0);
        EXPECT_EQ(std::memcmp(&points.back(), &expected[k].last, sizeof(Vec3)), 0);
    }
}

TEST(FlyThroughPathTest, WholePathPlaysInAboutSixtyFiveSecondsAtSixtyFramesPerSecond) {
    FlyThrough f = builtPath();
    const float dt = 1.0f / 60.0f;
    const double legSeconds[FlyThrough::SEGMENT_COUNT] = {11.6, 6.2, 4.4, 7.4, 10.4, 9.2, 5.6, 10.4};
    int frames = 0;
    int legFrames = 0;
    bool showMeshlets = false;
    Mat4 view{};
    while (f.currentSegment < FlyThrough::SEGMENT_COUNT && frames < 60 * 100) {
        const uint32_t leg = f.currentSegment;
        view = f.update(dt, showMeshlets);
        ++frames;
        ++legFrames;
        // The meshlet view is on exactly while leg 4 (and its hold) plays.
        ASSERT_EQ(showMeshlets, f.currentSegment == 4) << "frame " << frames;
        if (f.currentSegment != leg) {
            EXPECT_NEAR(legFrames * dt, legSeconds[leg], 0.1) << "leg " << leg;
            legFrames = 0;
        }
    }
    EXPECT_EQ(f.currentSegment, FlyThrough::SEGMENT_COUNT);
    EXPECT_NEAR(frames * dt, 65.3, 0.2);

    // The view then rests at the end of leg 7.
    const Vec3 end = f.segments[7].points.back();
    EXPECT_NEAR(f.position.x, end.x, 0.05f);
    EXPECT_NEAR(f.position.y, end.y, 0.05f);
    EXPECT_NEAR(f.position.z, end.z, 0.05f);
    for (int i = 0; i < 60; ++i) {
        const Mat4 later = f.update(dt, showMeshlets);
        ASSERT_EQ(std::memcmp(&later, &view, sizeof(Mat4)), 0);
        ASSERT_FALSE(showMeshlets);
    }
}
