// Frame pacing and the GPU queries across frames: at most two frames in flight, nothing a frame slot owns
// reused before its last frame has completed, the first frames resolving and reading only what exists, and
// the CPU frame time taken once the frame is presented.
#include "frame/FrameFixture.h"

#include "core/Globals.h"
#include "renderer/FrameConstants.h"
#include "renderer/FrameQueries.h"
#include "renderer/MainLoop.h"

#include <standin/Session.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>

using namespace standin;

namespace {

std::vector<const RecordedCommand*> resolvesOf(const Submission& submission) {
    std::vector<const RecordedCommand*> resolves;
    for (const RecordedCommand& command : submission.commands)
        if (command.kind == CommandKind::ResolveQueryData)
            resolves.push_back(&command);
    return resolves;
}

} // namespace

TEST_F(FrameTest, StartUpAndTheFirstFramesLeaveNoFinding) {
    EXPECT_TRUE(startRenderer().findings.empty()) << joined(startRenderer().findings);
}

TEST_F(FrameTest, TheFirstFramesResolveOnlyIssuedQueriesAndReadOnlyResolvedRegions) {
    const std::vector<FirstFrame>& frames = startRenderer().firstFrames;
    ASSERT_EQ(frames.size(), 4u);
    // Frame 0 (slot 0): slot 1 has issued nothing yet, so nothing is resolved.
    EXPECT_TRUE(resolvesOf(frames[0].submission).empty());
    // Frames 1 and 2 resolve the slot the frame before issued: its ten timestamps and its statistics.
    for (uint32_t frame = 1; frame <= 2; ++frame) {
        const uint32_t other = frame % 2 == 1 ? 0 : 1;
        const auto resolves = resolvesOf(frames[frame].submission);
        ASSERT_EQ(resolves.size(), 2u) << "frame " << frame;
        EXPECT_EQ(resolves[0]->queryType, D3D12_QUERY_TYPE_TIMESTAMP);
        EXPECT_EQ(resolves[0]->queryIndex, 10 * other);
        EXPECT_EQ(resolves[0]->queryCount, 10u);
        EXPECT_EQ(resolves[0]->destinationOffset, 80u * other);
        EXPECT_EQ(resolves[1]->queryType, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1);
        EXPECT_EQ(resolves[1]->queryIndex, other);
        EXPECT_EQ(resolves[1]->queryCount, 1u);
        EXPECT_EQ(resolves[1]->destinationOffset, 320u + 112u * other);
    }
    // Until a resolve has completed into the region a frame reads (frame 3 reads what frame 1 resolved), the
    // stale values the read-back buffer started with are never read.
    for (uint32_t frame = 0; frame <= 2; ++frame) {
        EXPECT_EQ(frames[frame].asInvocations, 0u) << "frame " << frame;
        EXPECT_EQ(frames[frame].geomTimeMs, 0.0) << "frame " << frame;
    }
    // Frame 3 reads real values: the stand-in counts no shader work, and the geometry pass takes far less
    // than the 1000 s between the stale timestamps.
    EXPECT_EQ(frames[3].asInvocations, 0u);
    EXPECT_LT(frames[3].geomTimeMs, 1000.0);
}

TEST_F(FrameTest, WithASlowGpuNoFrameSlotIsReusedBeforeItsLastFrameHasCompleted) {
    // Each command list takes the stand-in's queue 20 ms, far longer than the CPU needs to record the next.
    setGpuDelay(20);
    std::vector<uint64_t> signalled;
    for (int frame = 0; frame < 8; ++frame) {
        renderFrames(1);
        // The frame just submitted signalled one below the value its successor slot now holds.
        signalled.push_back(fenceValues[frameIndex] - 1);
        if (signalled.size() >= 2) {
            const uint64_t lastOfNextSlot = signalled[signalled.size() - 2];
            // The next frame records into the allocator, constant-buffer slot and query slot of the frame
            // before this one: that frame has completed.
            EXPECT_GE(fence->GetCompletedValue(), lastOfNextSlot) << "frame " << frame;
            EXPECT_GT(signalled.back(), lastOfNextSlot) << "the fence only rises";
        }
    }
    setGpuDelay(0);
    // The stand-in reports an allocator reset, a resolve into a region or a release the GPU still uses.
}

// The CPU frame time covers the whole pass, presentation and the frame-fence wait included. On the stand-in's
// emulated clock time moves only at a present, by one vertical blank of 1/60 s, so a pass measured before its
// present would take no time. The clock is switched on in a child process of its own.
TEST_F(FrameTest, TheCpuFrameTimeIsTakenAfterThePresentation) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setEmulatedClock(true);
            // What the main loop does at the start of a pass.
            LARGE_INTEGER counter;
            QueryPerformanceCounter(&counter);
            frameStartMicros = countsToMicroseconds(uint64_t(counter.QuadPart), uint64_t(qpcFrequency));
            cpuTimeMs = 0.0;
            renderFrames(1);
            std::fprintf(stderr, "pass of %.3f ms\n", cpuTimeMs / 0.05);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "pass of 16.666 ms\n");
}
