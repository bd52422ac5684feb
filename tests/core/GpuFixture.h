// A device, queue, fence, allocators, a closed command list and srvHeap on the stand-in GPU, set up as
// start-up leaves them before its uploads; the shared globals are restored afterwards.
#pragma once

#include "core/DescriptorHeap.h"
#include "core/Globals.h"
#include "core/GpuSync.h"
#include "support/ProgramStop.h"

#include <standin/Gpu.h>

#include <gtest/gtest.h>

#include <dxguids/dxguids.h>

#include <functional>
#include <string>

class GpuFixture : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetGpu();
        ASSERT_TRUE(SUCCEEDED(D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device))));
        D3D12_COMMAND_QUEUE_DESC queueDesc = {};
        ASSERT_TRUE(SUCCEEDED(device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&commandQueue))));
        ASSERT_TRUE(SUCCEEDED(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence))));
        fenceValues[0] = fenceValues[1] = 0;
        fenceEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        for (auto& allocator : commandAllocators)
            ASSERT_TRUE(SUCCEEDED(
                device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&allocator))));
        ASSERT_TRUE(SUCCEEDED(device->CreateCommandList(
            0, D3D12_COMMAND_LIST_TYPE_DIRECT, commandAllocators[0], nullptr, IID_PPV_ARGS(&commandList))));
        commandList->Close();
        srvHeap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 512, true);
        frameIndex = 0;
        uploadFenceValue = 1;
        standin::clearSubmissions();
    }

    void TearDown() override {
        standin::waitForGpuIdle();
        EXPECT_EQ(standin::validationErrorCount(), expectedValidationErrors) << joinedFindings();
        destroyDescriptorHeap(srvHeap);
        srvHeap = {};
        safeRelease(commandList);
        commandList = nullptr;
        for (auto& allocator : commandAllocators) {
            safeRelease(allocator);
            allocator = nullptr;
        }
        safeRelease(fence);
        fence = nullptr;
        CloseHandle(fenceEvent);
        fenceEvent = nullptr;
        safeRelease(commandQueue);
        commandQueue = nullptr;
        safeRelease(device);
        device = nullptr;
        standin::resetGpu();
    }

    static std::string joinedFindings() {
        std::string text;
        for (const std::string& finding : standin::validationErrors())
            text += finding + "\n";
        return text;
    }

    // Runs `body` once with each frame slot current while another list records into the other slot's
    // allocator, which a reset of that allocator would collide with.
    void withTheOtherSlotsAllocatorRecording(const std::function<void()>& body) {
        for (uint32_t slot : {0u, 1u}) {
            SCOPED_TRACE("frame slot " + std::to_string(slot));
            frameIndex = slot;
            ID3D12GraphicsCommandList* otherList = nullptr;
            if (device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, commandAllocators[1 - slot],
                                          nullptr, IID_PPV_ARGS(&otherList)) != S_OK) {
                ADD_FAILURE() << "no list on the other slot's allocator";
                return;
            }
            body();
            otherList->Close();
            otherList->Release();
        }
    }

    // Tests that provoke a finding on purpose raise this.
    size_t expectedValidationErrors = 0;
    ProgramEndGuard programEndGuard;
};
