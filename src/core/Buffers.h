// The buffers the shaders read: structured buffers filled once through a staging copy, with a shader view in
// the next srvHeap slot, and constant buffers that stay mapped and hold one slot per frame in flight.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <cstddef>
#include <cstdint>

struct StructuredBuffer {
    ID3D12Resource* resource; // default heap; never released
    uint32_t descriptorIndex; // srvHeap slot of its shader-resource (or unordered-access) view
};

struct UploadBuffer {
    ID3D12Resource* resource;
    uint8_t* mapped; // kept for the buffer's life
};

// FRAMES_IN_FLIGHT_COUNT slots laid end to end, each of alignedSize x count bytes; the current frame uses
// slot frameIndex AND 1. alignedSize is a multiple of 256, so every slot can be bound as a root constant
// buffer.
struct ConstantBuffer {
    ID3D12Resource* resource;
    uint8_t* mapped; // mapped for the whole run
    uint64_t alignedSize;
    uint32_t count; // elements per frame slot
};

// A buffer of the given width: one row-major, unformatted, single-sample element.
D3D12_RESOURCE_DESC bufferDesc(uint64_t width, D3D12_RESOURCE_FLAGS flags);
// Heap properties of a heap type; page property and memory pool left to the type, node masks 0.
D3D12_HEAP_PROPERTIES heapOfType(D3D12_HEAP_TYPE type);

// With initial data this records and submits an upload on the shared command list and waits for it, so the
// list must be closed when it is called. Without data the buffer stays in the common state. A size
// (elementCount x stride) beyond 32 bits is reported and ends the program.
StructuredBuffer createStructuredBuffer(const uint8_t* data, uint32_t elementCount, uint32_t stride,
                                        bool unorderedAccess, const wchar_t* name);

UploadBuffer createUploadBuffer(uint32_t elementSize, uint32_t elementCount);

ConstantBuffer createConstantBuffer(uint32_t elementSize, uint32_t elementCount);

// Copies size bytes to the start of the current frame's slot; callers pass no more than one slot.
void writeConstantBuffer(ConstantBuffer& buffer, const void* data, size_t size);

// The GPU address of the current frame's slot.
D3D12_GPU_VIRTUAL_ADDRESS getConstantBufferAddress(ConstantBuffer& buffer);
