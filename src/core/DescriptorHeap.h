// Descriptor heaps with a bump allocator: slots are handed out in order and never returned.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <cstdint>

struct DescriptorHeap {
    ID3D12DescriptorHeap* heap;
    uint32_t incrementSize;
    uint32_t count; // slots taken so far: the index of the next free slot
    D3D12_CPU_DESCRIPTOR_HANDLE cpuStart;
    D3D12_GPU_DESCRIPTOR_HANDLE gpuStart; // 0 for a heap that is not shader visible
};
