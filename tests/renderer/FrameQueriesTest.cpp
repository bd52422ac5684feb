// The pass times and counters read from the read-back buffer: which region is read, the tick conversion, the
// smoothing of the times and the counters taken as read.
#include "renderer/FrameQueries.h"

#include "renderer/FrameObjects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

class FrameQueriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedReadback = mappedReadback;
        savedFrequency = timestampFrequency;
        mappedReadback = readback;
        std::memset(readback, 0, sizeof readback);
        timestampFrequency = 10'000'000; // 10 MHz: 10,000 ticks per millisecond
        resetValues();
    }
    void TearDown() override {
        mappedReadback = savedReadback;
        timestampFrequency = savedFrequency;
        resetValues();
    }
    static void resetValues() {
        geomTimeMs = shadingTimeMs = shadowsTimeMs = denoisingTimeMs = postTimeMs = 0.0;
        asInvocations = msInvocations = primitiveCount = 0;
    }

    // A slot's ten timestamps: each pass's start and end, the given milliseconds apart.
    void writeTimestamps(uint32_t slot, double geom, double shading, double post, double shadows,
                         double denoise) {
        const double durations[5] = {geom, shading, post, shadows, denoise};
        uint64_t* region = readback + timestampRegionOffset(slot) / 8;
        uint64_t clock = 5'000'000'000ull; // far from 0, so that only differences count
        for (int pass = 0; pass < 5; ++pass) {
            region[2 * pass] = clock;
            clock += uint64_t(std::llround(durations[pass] * 10'000.0));
            region[2 * pass + 1] = clock;
            clock += 123;
        }
    }
    void writeStatistics(uint32_t slot, uint64_t as, uint64_t ms, uint64_t primitives) {
        D3D12_QUERY_DATA_PIPELINE_STATISTICS1 statistics = {};
        statistics.ASInvocations = as;
        statistics.MSInvocations = ms;
        statistics.CPrimitives = primitives;
        statistics.IAVertices = 999; // fields the panel does not show
        std::memcpy(reinterpret_cast<uint8_t*>(readback) + statisticsRegionOffset(slot), &statistics,
                    sizeof statistics);
    }

    uint64_t readback[READBACK_SIZE / 8];
    uint64_t* savedReadback = nullptr;
    uint64_t savedFrequency = 0;
};

} // namespace

TEST_F(FrameQueriesTest, PassTimesAreSmoothedOverFramesAndCountersTakenAsRead) {
    // Entries 0-1 geometry, 2-3 shading, 4-5 post, 6-7 shadow rays, 8-9 denoise.
    writeTimestamps(1, 2.5, 1.0, 0.5, 4.0, 0.25);
    writeStatistics(1, 7, 224, 1000);
    struct After {
        int frames;
        double geom;
    };
    int read = 0;
    for (const After& after : {After{1, 0.125}, After{20, 1.6038}, After{60, 2.3848}}) {
        for (; read < after.frames; ++read)
            readQueryResults(1);
        EXPECT_NEAR(geomTimeMs, after.geom, 1e-4) << after.frames << " frames";
        const double reached = 1.0 - std::pow(0.95, after.frames);
        EXPECT_NEAR(shadingTimeMs, 1.0 * reached, 1e-9);
        EXPECT_NEAR(postTimeMs, 0.5 * reached, 1e-9);
        EXPECT_NEAR(shadowsTimeMs, 4.0 * reached, 1e-9);
        EXPECT_NEAR(denoisingTimeMs, 0.25 * reached, 1e-9);
        EXPECT_EQ(asInvocations, 7u);
        EXPECT_EQ(msInvocations, 224u);
        EXPECT_EQ(primitiveCount, 1000u);
    }
    // A new reading replaces the counters at once.
    writeStatistics(1, 8, 256, 1200);
    readQueryResults(1);
    EXPECT_EQ(asInvocations, 8u);
    EXPECT_EQ(msInvocations, 256u);
    EXPECT_EQ(primitiveCount, 1200u);
}

TEST_F(FrameQueriesTest, EachSlotIsReadFromItsOwnRegion) {
    writeTimestamps(0, 1.0, 1.0, 1.0, 1.0, 1.0);
    writeStatistics(0, 1, 2, 3);
    writeTimestamps(1, 3.0, 3.0, 3.0, 3.0, 3.0);
    writeStatistics(1, 4, 5, 6);
    readQueryResults(0);
    EXPECT_NEAR(geomTimeMs, 0.05, 1e-9);
    EXPECT_EQ(asInvocations, 1u);
    EXPECT_EQ(msInvocations, 2u);
    EXPECT_EQ(primitiveCount, 3u);
    resetValues();
    readQueryResults(1);
    EXPECT_NEAR(denoisingTimeMs, 0.15, 1e-9);
    EXPECT_EQ(asInvocations, 4u);
    EXPECT_EQ(msInvocations, 5u);
    EXPECT_EQ(primitiveCount, 6u);
}
