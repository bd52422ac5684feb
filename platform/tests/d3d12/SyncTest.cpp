// Fences, events and the queue worker's ordering.
#include "d3d12/GpuFixture.h"

#include "standin/WindowSystem.h"

#include <cstring>

using namespace standin;

TEST_F(GpuTest, SignalAfterCopyCompletesOnlyAfterTheCopyHasRun) {
    const uint64_t size = 16 << 20;
    ID3D12Resource* upload = buffer(D3D12_HEAP_TYPE_UPLOAD, size, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12Resource* target = buffer(D3D12_HEAP_TYPE_DEFAULT, size, D3D12_RESOURCE_STATE_COMMON);
    uint8_t* mapped = nullptr;
    ASSERT_EQ(upload->Map(0, nullptr, reinterpret_cast<void**>(&mapped)), S_OK);
    for (uint64_t i = 0; i < size; ++i)
        mapped[i] = uint8_t(i * 7 + 3);
    upload->Unmap(0, nullptr);

    // Hold the worker behind a gate so the order is observable.
    ID3D12Fence* gate = this->gate();
    ASSERT_EQ(queue->Wait(gate, 1), S_OK);
    begin();
    list->CopyBufferRegion(target, 0, upload, 0, size);
    ASSERT_EQ(list->Close(), S_OK);
    ID3D12CommandList* lists[] = {list};
    queue->ExecuteCommandLists(1, lists);
    ASSERT_EQ(queue->Signal(fence, 1), S_OK);
    ASSERT_EQ(fence->SetEventOnCompletion(1, event), S_OK);

    EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
    EXPECT_EQ(fence->GetCompletedValue(), 0u);
    EXPECT_EQ(readResource(target)[size - 1], 0) << "the copy ran before the queue reached it";

    ASSERT_EQ(gate->Signal(1), S_OK);
    ASSERT_EQ(WaitForSingleObject(event, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(fence->GetCompletedValue(), 1u);
    std::vector<uint8_t> copied = readResource(target);
    ASSERT_EQ(copied.size(), size);
    EXPECT_EQ(std::memcmp(copied.data(), mapped, size), 0);
    EXPECT_EQ(errors(), 0u);
}

TEST_F(GpuTest, EventForAReachedValueIsSetAtOnce) {
    ASSERT_EQ(fence->Signal(5), S_OK);
    EXPECT_EQ(fence->GetCompletedValue(), 5u);
    ASSERT_EQ(fence->SetEventOnCompletion(3, event), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_EQ(fence->SetEventOnCompletion(5, event), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_EQ(fence->SetEventOnCompletion(6, event), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST_F(GpuTest, QueueSignalsCompleteInSubmissionOrder) {
    ID3D12Fence* gate = this->gate();
    HANDLE second = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(queue->Wait(gate, 1), S_OK);
    ASSERT_EQ(queue->Signal(fence, 1), S_OK);
    ASSERT_EQ(queue->Signal(fence, 2), S_OK);
    ASSERT_EQ(fence->SetEventOnCompletion(2, second), S_OK);
    ASSERT_EQ(fence->SetEventOnCompletion(1, event), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    ASSERT_EQ(gate->Signal(1), S_OK);
    EXPECT_EQ(WaitForSingleObject(second, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(fence->GetCompletedValue(), 2u);
    CloseHandle(second);
}

TEST_F(GpuTest, NullEventBlocksUntilTheValueIsReached) {
    ASSERT_EQ(queue->Signal(fence, 4), S_OK);
    ASSERT_EQ(fence->SetEventOnCompletion(4, nullptr), S_OK);
    EXPECT_GE(fence->GetCompletedValue(), 4u);
}

TEST_F(GpuTest, SignalThatMovesTheFenceBackIsReported) {
    ASSERT_EQ(queue->Signal(fence, 3), S_OK);
    ASSERT_EQ(queue->Signal(fence, 3), S_OK); // the same value again is fine
    EXPECT_EQ(errors(), 0u);
    ASSERT_EQ(queue->Signal(fence, 1), S_OK);
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("backwards"), std::string::npos);
    ASSERT_EQ(fence->Signal(0), S_OK);
    EXPECT_EQ(errors(), 2u);
}

TEST_F(GpuTest, AClosedEventCannotBeClosedOrWaitedOnAgainAndAFenceSettingItIsIgnored) {
    HANDLE closed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_TRUE(eventIsOpen(closed));
    ASSERT_EQ(fence->SetEventOnCompletion(7, closed), S_OK);
    EXPECT_TRUE(CloseHandle(closed));
    EXPECT_FALSE(eventIsOpen(closed));
    EXPECT_EQ(errors(), 0u);
    ASSERT_EQ(fence->Signal(7), S_OK); // sets the closed event, as a fence may after a close
    EXPECT_EQ(errors(), 0u);

    EXPECT_FALSE(CloseHandle(closed));
    EXPECT_EQ(WaitForSingleObjectEx(closed, INFINITE, FALSE), WAIT_FAILED);
    ASSERT_EQ(errors(), 2u);
    EXPECT_EQ(validationErrors()[0].rfind("CloseHandle: the handle is not open", 0), 0u)
        << validationErrors()[0];
    EXPECT_EQ(validationErrors()[1].rfind("WaitForSingleObjectEx: the handle is not open", 0), 0u)
        << validationErrors()[1];
    EXPECT_TRUE(eventIsOpen(event)) << "other events stay open";
}

TEST(GpuObjects, EveryObjectIsFreedByItsLastRelease) {
    size_t before = liveObjectCount();
    ID3D12Device5* device = nullptr;
    ASSERT_EQ(D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device)), S_OK);
    ID3D12Fence* fence = nullptr;
    ASSERT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence)), S_OK);
    EXPECT_EQ(liveObjectCount(), before + 2);
    // The fence keeps its device alive, as a device child does.
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(liveObjectCount(), before + 2);
    ID3D12Device* parent = nullptr;
    ASSERT_EQ(fence->GetDevice(IID_PPV_ARGS(&parent)), S_OK);
    EXPECT_EQ(parent->Release(), 1u);
    EXPECT_EQ(fence->Release(), 0u);
    EXPECT_EQ(liveObjectCount(), before);
}
