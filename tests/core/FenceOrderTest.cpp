// The upload and frame waits on the one fence, and the one rising order of everything signalled on it.
#include "core/Buffers.h"
#include "core/GpuSync.h"

#include "GpuFixture.h"

#include <vector>

namespace {

using FenceOrderTest = GpuFixture;

void uploadOneBuffer() {
    const uint32_t values[4] = {1, 2, 3, 4};
    createStructuredBuffer(reinterpret_cast<const uint8_t*>(values), 4, 4, false, nullptr)
        .resource->Release();
}

// What the end of a frame does with the fence: signal the slot's value, move to the other slot, wait for it
// when the queue has not reached it yet, and give that slot the next value.
uint64_t endFrame() {
    const uint64_t current = fenceValues[frameIndex];
    commandQueue->Signal(fence, current);
    frameIndex = (frameIndex + 1) % FRAMES_IN_FLIGHT_COUNT;
    if (fence->GetCompletedValue() < fenceValues[frameIndex]) {
        fence->SetEventOnCompletion(fenceValues[frameIndex], fenceEvent);
        WaitForSingleObjectEx(fenceEvent, INFINITE, FALSE);
    }
    fenceValues[frameIndex] = current + 1;
    return current;
}

} // namespace

TEST_F(FenceOrderTest, TheFirstUploadsSignalOneTwoThree) {
    for (uint64_t expected = 1; expected <= 3; ++expected) {
        uploadOneBuffer();
        EXPECT_EQ(fence->GetCompletedValue(), expected); // the upload waited for its own value
        EXPECT_EQ(uploadFenceValue, expected + 1);
    }
    waitForUpload(); // the plain upload wait continues the same count
    EXPECT_EQ(fence->GetCompletedValue(), 4u);
    EXPECT_EQ(uploadFenceValue, 5u);
}

TEST_F(FenceOrderTest, WaitForGpuTwiceSignalsANewValueEachTime) {
    fenceValues[0] = 5;
    fenceValues[1] = 9;
    frameIndex = 1;
    waitForGpu();
    EXPECT_EQ(fence->GetCompletedValue(), 9u);
    EXPECT_EQ(fenceValues[1], 10u);
    waitForGpu();
    EXPECT_EQ(fence->GetCompletedValue(), 10u);
    EXPECT_EQ(fenceValues[1], 11u);
    EXPECT_EQ(fenceValues[0], 5u); // the other slot is left alone
}

TEST_F(FenceOrderTest, FramesContinueAboveEveryUploadValue) {
    for (int i = 0; i < 3; ++i)
        uploadOneBuffer();
    const uint64_t lastUploadValue = fence->GetCompletedValue();
    ASSERT_EQ(lastUploadValue, 3u);

    continueFenceAfterUploads();
    // Neither slot's frame wait can be satisfied by what the uploads left on the fence.
    for (uint64_t value : fenceValues)
        EXPECT_GT(value, lastUploadValue);

    std::vector<uint64_t> signalled;
    for (int frame = 0; frame < 4; ++frame)
        signalled.push_back(endFrame());
    waitForGpu(); // a resize or shutdown in between
    signalled.push_back(fence->GetCompletedValue());
    for (int frame = 0; frame < 3; ++frame)
        signalled.push_back(endFrame());

    EXPECT_GT(signalled.front(), lastUploadValue);
    for (size_t i = 1; i < signalled.size(); ++i)
        EXPECT_GT(signalled[i], signalled[i - 1]) << "signal " << i;
    // The debug layer sees no signal that moves the fence back (checked in TearDown too).
    EXPECT_EQ(standin::validationErrorCount(), 0u) << joinedFindings();
}

TEST_F(FenceOrderTest, AFailedSignalOrRegistrationIsReportedWithItsCall) {
    standin::failCall("Signal");
    EXPECT_EQ(outputOfStop([] { waitForGpu(); }),
              "Error: commandQueue->Signal(fence, fenceValues[frameIndex])\n");
    standin::failCall("SetEventOnCompletion");
    EXPECT_EQ(outputOfStop([] { waitForGpu(); }),
              "Error: fence->SetEventOnCompletion(fenceValues[frameIndex], fenceEvent)\n");
}
