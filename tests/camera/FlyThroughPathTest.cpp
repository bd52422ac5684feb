#include "camera/FlyThrough.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

// Every point is the nearest float of its recorded six-decimal position, in its leg's order.
TEST(FlyThroughPathTest, EveryPointIsItsRecordedPosition) {
    const FlyThrough f = builtPath();
    std::vector<std::vector<Vec3>> expected = {
        {{-10.132254f, 7.171009f, 13.977175f},
         {-9.573582f, 7.143394f, 13.233090f},
         {-9.038570f, 7.116949f, 12.520523f},
         {-8.456113f, 7.088158f, 11.744761f},
         {-7.866326f, 7.059002f, 10.959235f},
         {-7.283807f, 7.030208f, 10.183389f},
         {-6.650186f, 6.998885f, 9.339486f},
         {-6.018102f, 6.967640f, 8.497624f},
         {-5.310082f, 6.932642f, 7.554629f},
         {-4.708742f, 6.902916f, 6.753721f}},
        {{-5.132426f, 4.455907f, 9.495705f},
         {-4.308340f, 4.388196f, 9.742947f},
         {-3.360887f, 4.310346f, 10.027201f},
         {-2.356989f, 4.227859f, 10.328386f},
         {-1.296234f, 4.140698f, 10.646631f},
         {-0.244112f, 4.054248f, 10.962277f},
         {0.867352f, 3.962924f, 11.295733f},
         {2.018657f, 3.868324f, 11.641146f},
         {3.144959f, 3.775779f, 11.979051f},
         {4.335822f, 3.677930f, 12.336327f}},
        {{7.771717f, 2.350734f, 17.105738f},
         {8.350833f, 2.379360f, 16.334431f},
         {8.951601f, 2.409056f, 15.534284f},
         {9.567100f, 2.439482f, 14.714513f},
         {10.256956f, 2.473582f, 13.795711f},
         {10.855564f, 2.503172f, 12.998434f},
         {11.571966f, 2.538582f, 12.044280f}},
        {{8.751935f, 2.064437f, 13.204192f},
         {8.256370f, 2.074144f, 13.456695f},
         {7.762759f, 2.083814f, 13.708202f},
         {7.213220f, 2.094579f, 13.988205f},
         {6.621722f, 2.106166f, 14.289588f},
         {5.991659f, 2.118510f, 14.610622f},
         {5.412361f, 2.129858f, 14.905788f},
         {4.806910f, 2.141718f, 15.214280f},
         {4.229472f, 2.153029f, 15.508498f},
         {3.653786f, 2.164307f, 15.801826f},
         {3.073201f, 2.175681f, 16.097647f},
         {2.477344f, 2.187354f, 16.401245f}},
        {{17.546963f, 4.293008f, 21.399023f},
         {16.438303f, 4.203571f, 20.025040f},
         {15.325425f, 4.113794f, 18.645842f},
         {13.981316f, 4.005365f, 16.980064f},
         {12.630916f, 3.896429f, 15.306499f},
         {11.338536f, 3.792173f, 13.704836f},
         {9.933582f, 3.678835f, 11.963658f},
         {8.265805f, 3.544296f, 9.896766f},
         {7.084648f, 3.449013f, 8.432947f}},
        {{4.281285f, 2.129308f, 0.632951f},
         {4.284943f, 2.138463f, -0.416025f},
         {4.289784f, 2.150577f, -1.804319f},
         {4.294273f, 2.161813f, -3.091752f},
         {4.298234f, 2.171727f, -4.227770f},
         {4.302535f, 2.182491f, -5.461179f},
         {4.307124f, 2.193974f, -6.777007f},
         {4.310842f, 2.203278f, -7.843139f},
         {4.315606f, 2.215200f, -9.209325f},
         {4.320067f, 2.226362f, -10.488346f},
         {4.324985f, 2.238668f, -11.898554f},
         {4.329342f, 2.249575f, -13.148451f},
         {4.332717f, 2.258021f, -14.116385f},
         {4.337884f, 2.270951f, -15.597927f},
         {4.343609f, 2.285278f, -17.239634f}},
        {{-9.300818f, 3.661520f, -0.431882f},
         {-9.282809f, 3.646501f, -1.292163f},
         {-9.261165f, 3.628453f, -2.325933f},
         {-9.241306f, 3.611893f, -3.274409f},
         {-9.224113f, 3.597557f, -4.095516f},
         {-9.204058f, 3.580834f, -5.053351f},
         {-9.184139f, 3.564225f, -6.004646f},
         {-9.162382f, 3.546084f, -7.043711f},
         {-9.140750f, 3.528044f, -8.076984f}},
    };
    expected.push_back(expected[4]); // leg 7 replays leg 4
    for (uint32_t k = 0; k < FlyThrough::SEGMENT_COUNT; ++k) {
        SCOPED_TRACE(k);
        const std::vector<Vec3>& points = f.segments[k].points;
        ASSERT_EQ(points.size(), expected[k].size());
        for (size_t i = 0; i < points.size(); ++i)
            EXPECT_EQ(std::memcmp(&points[i], &expected[k][i], sizeof(Vec3)), 0)
                << "point " << i << ": " << points[i].x << ", " << points[i].y << ", " << points[i].z;
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
