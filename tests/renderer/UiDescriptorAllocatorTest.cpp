// The free-list allocator over the debug panel's descriptor heap.
#include "renderer/UiDescriptorAllocator.h"

#include "support/FakeD3D12.h"
#include "support/ProgramEnd.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT increment = FakeShaderVisibleHeap::increment;
constexpr UINT64 cpuStart = FakeShaderVisibleHeap::cpuStart;
constexpr UINT64 gpuStart = FakeShaderVisibleHeap::gpuStart;

class UiDescriptorAllocatorTest : public testing::Test {
protected:
    void SetUp() override { createUiDescriptorAllocator(&uiDescriptorAllocator, &gpu.device, &gpu.heap); }
    void TearDown() override {
        teardownUiDescriptorAllocator(&uiDescriptorAllocator);
        uiDescriptorAllocator.heapType = {};
        uiDescriptorAllocator.cpuStart = {};
        uiDescriptorAllocator.gpuStart = {};
        uiDescriptorAllocator.incrementSize = 0;
    }

    // Allocates one descriptor and returns its slot, checking that both handles belong to that slot.
    int allocate() {
        D3D12_CPU_DESCRIPTOR_HANDLE cpu = {};
        D3D12_GPU_DESCRIPTOR_HANDLE gpu = {};
        allocUiSrvDescriptor(nullptr, &cpu, &gpu);
        int slot = static_cast<int>((cpu.ptr - cpuStart) / increment);
        EXPECT_EQ(cpu.ptr, cpuStart + slot * increment);
        EXPECT_EQ(gpu.ptr, gpuStart + slot * increment);
        return slot;
    }
    void free(int slot) {
        freeUiSrvDescriptor(nullptr, {static_cast<SIZE_T>(cpuStart + slot * increment)},
                            {gpuStart + slot * increment});
    }

    FakeShaderVisibleHeap gpu;
};

std::vector<int> contents(const ImVector<int>& list) {
    return std::vector<int>(list.begin(), list.end());
}

TEST_F(UiDescriptorAllocatorTest, SetUpTakesTheHeapsDescriptionStartsAndIncrement) {
    EXPECT_EQ(uiDescriptorAllocator.heap, &gpu.heap);
    EXPECT_EQ(uiDescriptorAllocator.heapType, D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV);
    EXPECT_EQ(uiDescriptorAllocator.cpuStart.ptr, cpuStart);
    EXPECT_EQ(uiDescriptorAllocator.gpuStart.ptr, gpuStart);
    EXPECT_EQ(uiDescriptorAllocator.incrementSize, increment);
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.Size, 64);
}

TEST_F(UiDescriptorAllocatorTest, SixtyFourAllocationsHandOutSlotsZeroToSixtyThreeInOrder) {
    for (int expected = 0; expected < 64; ++expected)
        EXPECT_EQ(allocate(), expected);
    EXPECT_TRUE(uiDescriptorAllocator.freeIndices.empty());
}

TEST_F(UiDescriptorAllocatorTest, FreedSlotsComeBackLastFreedFirst) {
    for (int i = 0; i < 5; ++i)
        allocate();
    free(3);
    EXPECT_EQ(allocate(), 3);
    free(1);
    free(4);
    EXPECT_EQ(allocate(), 4);
    EXPECT_EQ(allocate(), 1);
    EXPECT_EQ(allocate(), 5); // then the untouched slots again, in order
}

TEST_F(UiDescriptorAllocatorTest, AllocationFromAnEmptyListStopsWithAMessage) {
    for (int i = 0; i < 64; ++i)
        allocate();
    ProgramEndGuard guard;
    testing::internal::CaptureStdout();
    D3D12_CPU_DESCRIPTOR_HANDLE cpu = {7};
    D3D12_GPU_DESCRIPTOR_HANDLE gpu = {7};
    int exitCode = 0;
    try {
        allocUiSrvDescriptor(nullptr, &cpu, &gpu);
    } catch (const ProgramEnded& ended) {
        exitCode = ended.exitCode;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: UI descriptor heap exhausted\n");
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(cpu.ptr, 7u); // no handle was made up
    EXPECT_EQ(gpu.ptr, 7u);
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.Size, 0);
}

TEST_F(UiDescriptorAllocatorTest, FreesAfterTeardownStartAFreshList) {
    allocate();
    allocate();
    teardownUiDescriptorAllocator(&uiDescriptorAllocator);
    EXPECT_EQ(uiDescriptorAllocator.heap, nullptr);
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.Size, 0);
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.Capacity, 0);
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.Data, nullptr);
    EXPECT_EQ(uiDescriptorAllocator.cpuStart.ptr, cpuStart); // kept, so that late frees still find their slot
    EXPECT_EQ(uiDescriptorAllocator.incrementSize, increment);

    free(1);
    free(0);
    EXPECT_EQ(contents(uiDescriptorAllocator.freeIndices), (std::vector<int>{1, 0}));
}

} // namespace
