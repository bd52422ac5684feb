#include "core/DescriptorHeap.h"

#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/Report.h"

#include <dxguids/dxguids.h>

#include <cstdio>

namespace {

// These three methods return their structure through a hidden pointer in the Windows ABI of compilers other
// than MSVC, which is how DirectX-Headers declares them there.
D3D12_DESCRIPTOR_HEAP_DESC heapDesc(ID3D12DescriptorHeap* heap) {
#if defined(_MSC_VER) || !defined(_WIN32)
    return heap->GetDesc();
#else
    D3D12_DESCRIPTOR_HEAP_DESC desc;
    return *heap->GetDesc(&desc);
#endif
}

D3D12_CPU_DESCRIPTOR_HANDLE cpuHeapStart(ID3D12DescriptorHeap* heap) {
#if defined(_MSC_VER) || !defined(_WIN32)
    return heap->GetCPUDescriptorHandleForHeapStart();
#else
    D3D12_CPU_DESCRIPTOR_HANDLE start;
    return *heap->GetCPUDescriptorHandleForHeapStart(&start);
#endif
}

D3D12_GPU_DESCRIPTOR_HANDLE gpuHeapStart(ID3D12DescriptorHeap* heap) {
#if defined(_MSC_VER) || !defined(_WIN32)
    return heap->GetGPUDescriptorHandleForHeapStart();
#else
    D3D12_GPU_DESCRIPTOR_HANDLE start;
    return *heap->GetGPUDescriptorHandleForHeapStart(&start);
#endif
}

// The record does not carry the heap's capacity; the heap itself knows it. Taking slots past it would write
// descriptors outside the heap, so the program stops with a message instead.
void ensureRoom(const DescriptorHeap& heap, uint32_t n) {
    const uint32_t capacity = heapDesc(heap.heap).NumDescriptors;
    if (uint64_t(heap.count) + n <= capacity)
        return;
    char message[160];
    std::snprintf(message, sizeof message,
                  "descriptor heap exhausted: %u of %u slots taken, %u more asked for", heap.count, capacity,
                  n);
    reportFailure(message);
}

} // namespace

DescriptorHeap createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE type, uint32_t numDescriptors,
                                    bool shaderVisible) {
    DescriptorHeap heap = {};
    D3D12_DESCRIPTOR_HEAP_DESC desc = {};
    desc.Type = type;
    desc.NumDescriptors = numDescriptors;
    desc.Flags = shaderVisible ? D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE : D3D12_DESCRIPTOR_HEAP_FLAG_NONE;
    desc.NodeMask = 0;
    CHECK(device->CreateDescriptorHeap(&desc, IID_PPV_ARGS(&heap.heap)));
    heap.incrementSize = device->GetDescriptorHandleIncrementSize(type);
    heap.count = 0;
    heap.cpuStart = cpuHeapStart(heap.heap);
    if (shaderVisible)
        heap.gpuStart = gpuHeapStart(heap.heap);
    return heap;
}

void destroyDescriptorHeap(DescriptorHeap& heap) {
    safeRelease(heap.heap);
}

uint32_t allocateDescriptor(DescriptorHeap& heap, D3D12_CPU_DESCRIPTOR_HANDLE* cpuHandle,
                            D3D12_GPU_DESCRIPTOR_HANDLE* gpuHandle) {
    ensureRoom(heap, 1);
    const uint32_t index = heap.count;
    // The offset is a 32-bit product added to the 64-bit start; within a heap's capacity it never wraps.
    const uint32_t offset = index * heap.incrementSize;
    cpuHandle->ptr = heap.cpuStart.ptr + offset;
    if (gpuHandle)
        gpuHandle->ptr = heap.gpuStart.ptr + offset;
    ++heap.count;
    return index;
}

void allocateDescriptors(DescriptorHeap& heap, D3D12_CPU_DESCRIPTOR_HANDLE* cpuHandles, uint32_t n) {
    if (n == 0)
        return;
    ensureRoom(heap, n);
    for (uint32_t k = 0; k < n; ++k)
        cpuHandles[k].ptr = heap.cpuStart.ptr + (heap.count + k) * heap.incrementSize;
    heap.count += n;
}
