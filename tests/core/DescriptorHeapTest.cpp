// Slot arithmetic of the descriptor heaps, checked against where the stand-in stores the views.
#include "core/DescriptorHeap.h"

#include "GpuFixture.h"

namespace {

class DescriptorHeapTest : public GpuFixture {
protected:
    // Writes a recognisable view into a CPU handle, so the stand-in tells which heap slot it landed in.
    void writeNullView(D3D12_CPU_DESCRIPTOR_HANDLE handle) {
        D3D12_SHADER_RESOURCE_VIEW_DESC srvDesc = {};
        srvDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        srvDesc.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2D;
        srvDesc.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
        srvDesc.Texture2D.MipLevels = 1;
        device->CreateShaderResourceView(nullptr, &srvDesc, handle);
    }
};

constexpr uint64_t UNTOUCHED = 0xDEADBEEF;

} // namespace

TEST_F(DescriptorHeapTest, SlotsAreHandedOutInOrderOneIncrementApart) {
    DescriptorHeap heap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 8, true);
    EXPECT_EQ(heap.count, 0u);
    EXPECT_EQ(heap.incrementSize,
              device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV));
    EXPECT_EQ(heap.cpuStart.ptr, heap.heap->GetCPUDescriptorHandleForHeapStart().ptr);
    EXPECT_EQ(heap.gpuStart.ptr, heap.heap->GetGPUDescriptorHandleForHeapStart().ptr);

    D3D12_CPU_DESCRIPTOR_HANDLE cpu[3];
    D3D12_GPU_DESCRIPTOR_HANDLE gpu[2];
    EXPECT_EQ(allocateDescriptor(heap, &cpu[0], &gpu[0]), 0u);
    EXPECT_EQ(allocateDescriptor(heap, &cpu[1], &gpu[1]), 1u);
    EXPECT_EQ(allocateDescriptor(heap, &cpu[2], nullptr), 2u); // no GPU handle asked for, a slot all the same
    EXPECT_EQ(heap.count, 3u);

    EXPECT_EQ(cpu[0].ptr, heap.cpuStart.ptr);
    EXPECT_EQ(gpu[0].ptr, heap.gpuStart.ptr);
    EXPECT_EQ(gpu[1].ptr, heap.gpuStart.ptr + heap.incrementSize);
    for (UINT slot = 0; slot < 3; ++slot) {
        writeNullView(cpu[slot]);
        EXPECT_EQ(standin::descriptorAt(heap.heap, slot).kind, standin::DescriptorKind::ShaderResourceView)
            << "slot " << slot;
    }
    EXPECT_EQ(standin::descriptorAt(heap.heap, 3).kind, standin::DescriptorKind::Empty);
    // The GPU handle names the same slot as the CPU handle.
    EXPECT_EQ(standin::descriptorAt(gpu[1]).kind, standin::DescriptorKind::ShaderResourceView);
    destroyDescriptorHeap(heap);
}

TEST_F(DescriptorHeapTest, HeapsThatAreNotShaderVisibleHaveNoGpuStart) {
    for (D3D12_DESCRIPTOR_HEAP_TYPE type : {D3D12_DESCRIPTOR_HEAP_TYPE_RTV, D3D12_DESCRIPTOR_HEAP_TYPE_DSV,
                                            D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV}) {
        DescriptorHeap heap = createDescriptorHeap(type, 4, false);
        EXPECT_EQ(heap.gpuStart.ptr, 0u) << "type " << type;
        EXPECT_EQ(heap.incrementSize, device->GetDescriptorHandleIncrementSize(type)) << "type " << type;
        destroyDescriptorHeap(heap);
    }
}

TEST_F(DescriptorHeapTest, SeveralSlotsAtOnceFollowTheSlotsAlreadyTaken) {
    DescriptorHeap heap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 8, false);
    D3D12_CPU_DESCRIPTOR_HANDLE handles[3] = {{UNTOUCHED}, {UNTOUCHED}, {UNTOUCHED}};
    allocateDescriptors(heap, handles, 0);
    EXPECT_EQ(heap.count, 0u);
    EXPECT_EQ(handles[0].ptr, UNTOUCHED);

    allocateDescriptors(heap, handles, 2);
    EXPECT_EQ(heap.count, 2u);
    EXPECT_EQ(handles[0].ptr, heap.cpuStart.ptr);
    EXPECT_EQ(handles[1].ptr, heap.cpuStart.ptr + heap.incrementSize);
    EXPECT_EQ(handles[2].ptr, UNTOUCHED);

    D3D12_CPU_DESCRIPTOR_HANDLE next;
    EXPECT_EQ(allocateDescriptor(heap, &next, nullptr), 2u);
    EXPECT_EQ(next.ptr, heap.cpuStart.ptr + 2 * heap.incrementSize);

    // On a heap with slots taken, the new ones come after them.
    allocateDescriptors(heap, handles, 2);
    EXPECT_EQ(heap.count, 5u);
    EXPECT_EQ(handles[0].ptr, heap.cpuStart.ptr + 3 * heap.incrementSize);
    EXPECT_EQ(handles[1].ptr, heap.cpuStart.ptr + 4 * heap.incrementSize);
    destroyDescriptorHeap(heap);
}

TEST_F(DescriptorHeapTest, ASlotBeyondTheCapacityStopsBeforeAnyHandleIsHandedOut) {
    DescriptorHeap heap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 2, true);
    D3D12_CPU_DESCRIPTOR_HANDLE cpu;
    allocateDescriptor(heap, &cpu, nullptr);
    allocateDescriptor(heap, &cpu, nullptr);

    D3D12_CPU_DESCRIPTOR_HANDLE beyond = {UNTOUCHED};
    D3D12_GPU_DESCRIPTOR_HANDLE beyondGpu = {UNTOUCHED};
    EXPECT_EQ(outputOfStop([&] { allocateDescriptor(heap, &beyond, &beyondGpu); }),
              "Error: descriptor heap exhausted: 2 of 2 slots taken, 1 more asked for\n");
    EXPECT_EQ(beyond.ptr, UNTOUCHED);
    EXPECT_EQ(beyondGpu.ptr, UNTOUCHED);
    EXPECT_EQ(heap.count, 2u);
    destroyDescriptorHeap(heap);
}

TEST_F(DescriptorHeapTest, SeveralSlotsBeyondTheCapacityStopBeforeAnyHandleIsHandedOut) {
    DescriptorHeap heap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 3, false);
    D3D12_CPU_DESCRIPTOR_HANDLE first;
    allocateDescriptor(heap, &first, nullptr);

    D3D12_CPU_DESCRIPTOR_HANDLE handles[3] = {{UNTOUCHED}, {UNTOUCHED}, {UNTOUCHED}};
    EXPECT_EQ(outputOfStop([&] { allocateDescriptors(heap, handles, 3); }),
              "Error: descriptor heap exhausted: 1 of 3 slots taken, 3 more asked for\n");
    for (const auto& handle : handles)
        EXPECT_EQ(handle.ptr, UNTOUCHED);
    EXPECT_EQ(heap.count, 1u);

    allocateDescriptors(heap, handles, 2); // exactly filling the heap is fine
    EXPECT_EQ(heap.count, 3u);
    destroyDescriptorHeap(heap);
}

TEST_F(DescriptorHeapTest, DestroyReleasesTheHeapOnceAndSkipsAnEmptyRecord) {
    DescriptorHeap heap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_DSV, 1, false);
    heap.heap->AddRef();
    destroyDescriptorHeap(heap);
    EXPECT_NE(heap.heap, nullptr); // the record is left as it was
    EXPECT_EQ(heap.heap->Release(), 0u);

    DescriptorHeap empty = {};
    destroyDescriptorHeap(empty);
}

TEST_F(DescriptorHeapTest, ARefusedHeapIsReportedWithItsCall) {
    standin::failCall("CreateDescriptorHeap");
    EXPECT_EQ(outputOfStop([] { createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 64, false); }),
              "Error: device->CreateDescriptorHeap(&desc, IID_PPV_ARGS(&heap.heap))\n");
}
