// The start-up steps that report a refused call with its documented text and stop.
#include "core/GpuFixture.h"
#include "renderer/FrameObjects.h"
#include "renderer/PassPipelines.h"

#include "support/ProgramStop.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Refusal {
    const char* name;
    void (*step)();
    const char* failingCall;
    unsigned callsBefore; // calls of that name that still succeed
    const char* text;
};

class StartupReportTest : public GpuFixture, public testing::WithParamInterface<Refusal> {
protected:
    // The steps make their own allocators and list.
    void SetUp() override {
        GpuFixture::SetUp();
        safeRelease(commandList);
        commandList = nullptr;
        for (ID3D12CommandAllocator*& allocator : commandAllocators) {
            safeRelease(allocator);
            allocator = nullptr;
        }
    }
    void TearDown() override {
        for (ID3D12QueryHeap** heap : {&timingQueryHeap, &statisticsQueryHeap}) {
            safeRelease(*heap);
            *heap = nullptr;
        }
        safeRelease(readbackHeap);
        readbackHeap = nullptr;
        mappedReadback = nullptr;
        safeRelease(postRootSignature);
        postRootSignature = nullptr;
        GpuFixture::TearDown();
    }
};

TEST_P(StartupReportTest, ARefusedCallIsReportedWithItsTextAndStops) {
    const Refusal& refusal = GetParam();
    standin::failCall(refusal.failingCall, false, E_OUTOFMEMORY, refusal.callsBefore);
    EXPECT_EQ(outputOfStop(refusal.step), std::string("Error: ") + refusal.text + "\n");
}

constexpr const char* allocatorText =
    "device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&commandAllocators[i]))";
constexpr const char* readbackText =
    "device->CreateCommittedResource( &readbackHeapProps, D3D12_HEAP_FLAG_NONE, &readbackBufferDesc, "
    "D3D12_RESOURCE_STATE_COPY_DEST, 0, IID_PPV_ARGS(&readbackHeap)); readbackHeap->Map(0, 0, (void "
    "**)&mappedReadback)";

INSTANTIATE_TEST_SUITE_P(
    EachCall, StartupReportTest,
    testing::Values(
        Refusal{"PostRootSignature", createPostRootSignature, "CreateRootSignature", 0,
                "device->CreateRootSignature(0, signature->GetBufferPointer(), signature->GetBufferSize(), "
                "IID_PPV_ARGS(&rootSignature))"},
        Refusal{"FirstAllocator", createCommandAllocatorsAndList, "CreateCommandAllocator", 0, allocatorText},
        Refusal{"SecondAllocator", createCommandAllocatorsAndList, "CreateCommandAllocator", 1,
                allocatorText},
        Refusal{"CommandList", createCommandAllocatorsAndList, "CreateCommandList", 0,
                "device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, commandAllocators[0], 0, "
                "IID_PPV_ARGS(&commandList))"},
        Refusal{"TimestampHeap", createQueryObjects, "CreateQueryHeap", 0,
                "device->CreateQueryHeap(&queryHeapDesc, IID_PPV_ARGS(&timingQueryHeap))"},
        Refusal{"StatisticsHeap", createQueryObjects, "CreateQueryHeap", 1,
                "device->CreateQueryHeap(&queryHeapDesc, IID_PPV_ARGS(&statisticsQueryHeap))"},
        Refusal{"ReadbackBuffer", createQueryObjects, "CreateCommittedResource", 0, readbackText},
        // The frame reads the queries through the mapping, so a failed mapping stops as well.
        Refusal{"ReadbackMapping", createQueryObjects, "ID3D12Resource::Map", 0, readbackText}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
