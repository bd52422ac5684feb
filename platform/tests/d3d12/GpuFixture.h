// A device with one queue, allocator, list and fence, and helpers to make resources and run lists, for the
// stand-in GPU's own tests.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>
#include <directx/d3dx12.h>
#include <dxguids/dxguids.h>

#include "standin/Gpu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class GpuTest : public ::testing::Test {
protected:
    ID3D12Device5* device = nullptr;
    ID3D12CommandQueue* queue = nullptr;
    ID3D12CommandAllocator* allocator = nullptr;
    ID3D12GraphicsCommandList6* list = nullptr;
    ID3D12Fence* fence = nullptr;
    HANDLE event = nullptr;
    uint64_t fenceValue = 0;
    std::vector<IUnknown*> owned;
    std::vector<ID3D12Fence*> gates;

    void SetUp() override {
        standin::resetGpu();
        ASSERT_EQ(D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device)), S_OK);
        D3D12_COMMAND_QUEUE_DESC queueDesc{};
        ASSERT_EQ(device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&queue)), S_OK);
        ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&allocator)),
                  S_OK);
        ASSERT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, allocator, nullptr,
                                            IID_PPV_ARGS(&list)),
                  S_OK);
        ASSERT_EQ(list->Close(), S_OK);
        ASSERT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence)), S_OK);
        event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }

    void TearDown() override {
        // A test that stopped early (a failed ASSERT) may leave the queue waiting on a gate: open every gate
        // so that the queue drains instead of hanging the test run.
        for (ID3D12Fence* gate : gates)
            gate->Signal(UINT64_MAX);
        standin::waitForGpuIdle();
        for (auto it = owned.rbegin(); it != owned.rend(); ++it)
            (*it)->Release();
        for (IUnknown* object : std::initializer_list<IUnknown*>{list, allocator, fence, queue, device})
            if (object)
                object->Release();
        CloseHandle(event);
        standin::resetGpu();
    }

    template <class T> T* keep(T* object) {
        owned.push_back(object);
        return object;
    }

    // A fence that holds the queue's worker (queue->Wait(gate, 1)) until the test signals it; TearDown opens
    // it.
    ID3D12Fence* gate() {
        ID3D12Fence* made = nullptr;
        EXPECT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&made)), S_OK);
        gates.push_back(made);
        return keep(made);
    }

    ID3D12Resource* buffer(D3D12_HEAP_TYPE heap, uint64_t size, D3D12_RESOURCE_STATES state,
                           D3D12_RESOURCE_FLAGS flags = D3D12_RESOURCE_FLAG_NONE) {
        CD3DX12_HEAP_PROPERTIES properties(heap);
        CD3DX12_RESOURCE_DESC desc = CD3DX12_RESOURCE_DESC::Buffer(size, flags);
        ID3D12Resource* resource = nullptr;
        EXPECT_EQ(device->CreateCommittedResource(&properties, D3D12_HEAP_FLAG_NONE, &desc, state, nullptr,
                                                  IID_PPV_ARGS(&resource)),
                  S_OK);
        return keep(resource);
    }

    ID3D12Resource* texture(DXGI_FORMAT format, UINT width, UINT height, UINT16 mips,
                            D3D12_RESOURCE_FLAGS flags, D3D12_RESOURCE_STATES state, UINT16 arraySize = 1) {
        CD3DX12_HEAP_PROPERTIES properties(D3D12_HEAP_TYPE_DEFAULT);
        CD3DX12_RESOURCE_DESC desc =
            CD3DX12_RESOURCE_DESC::Tex2D(format, width, height, arraySize, mips, 1, 0, flags);
        ID3D12Resource* resource = nullptr;
        EXPECT_EQ(device->CreateCommittedResource(&properties, D3D12_HEAP_FLAG_NONE, &desc, state, nullptr,
                                                  IID_PPV_ARGS(&resource)),
                  S_OK);
        return keep(resource);
    }

    ID3D12DescriptorHeap* heap(D3D12_DESCRIPTOR_HEAP_TYPE type, UINT count, bool visible) {
        D3D12_DESCRIPTOR_HEAP_DESC desc{
            type, count,
            visible ? D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE : D3D12_DESCRIPTOR_HEAP_FLAG_NONE, 0};
        ID3D12DescriptorHeap* made = nullptr;
        EXPECT_EQ(device->CreateDescriptorHeap(&desc, IID_PPV_ARGS(&made)), S_OK);
        return keep(made);
    }

    void begin() { ASSERT_EQ(list->Reset(allocator, nullptr), S_OK); }

    // Closes, executes and waits for the list.
    void submit() {
        ASSERT_EQ(list->Close(), S_OK);
        ID3D12CommandList* lists[] = {list};
        queue->ExecuteCommandLists(1, lists);
        waitForQueue();
    }

    void waitForQueue() {
        ++fenceValue;
        ASSERT_EQ(queue->Signal(fence, fenceValue), S_OK);
        ASSERT_EQ(fence->SetEventOnCompletion(fenceValue, event), S_OK);
        // Bounded, so that a fence the queue never reaches fails the test instead of hanging it.
        ASSERT_EQ(WaitForSingleObject(event, 60'000), WAIT_OBJECT_0) << "the queue never reached the fence";
    }

    static size_t errors() { return standin::validationErrorCount(); }
    // The first finding, for a failure message; empty when there is none.
    static std::string firstFinding() {
        std::vector<std::string> findings = standin::validationErrors();
        return findings.empty() ? std::string() : findings[0];
    }
};
