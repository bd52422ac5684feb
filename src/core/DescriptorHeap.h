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

// Creates a heap of the given type and size; the record starts with no slot taken. A refused heap is reported
// and ends the program.
DescriptorHeap createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE type, uint32_t numDescriptors,
                                    bool shaderVisible);

// Releases the heap when there is one; the record's fields are left as they were.
void destroyDescriptorHeap(DescriptorHeap& heap);

// Takes the next slot: stores its CPU handle, and its GPU handle when gpuHandle is not null; returns its
// index. A slot beyond the heap's capacity is reported and ends the program before any handle is handed out.
uint32_t allocateDescriptor(DescriptorHeap& heap, D3D12_CPU_DESCRIPTOR_HANDLE* cpuHandle,
                            D3D12_GPU_DESCRIPTOR_HANDLE* gpuHandle);

// Takes the next n slots and stores their CPU handles in order (no GPU handles, no index).
void allocateDescriptors(DescriptorHeap& heap, D3D12_CPU_DESCRIPTOR_HANDLE* cpuHandles, uint32_t n);
