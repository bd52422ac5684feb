#include "core/Buffers.h"

#include "core/DescriptorHeap.h"
#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/Report.h"

#include <dxguids/dxguids.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

// Buffer sizes are formed in 64 bits. Views count elements in 32 bits and the callers size their buffers in
// 32 bits, so a larger buffer would be made smaller than what the view and the copy assume: stop instead.
uint64_t checkedSize(uint64_t size, const char* what) {
    if (size <= UINT32_MAX)
        return size;
    char message[160];
    std::snprintf(message, sizeof message, "%s: a buffer of %" PRIu64 " bytes exceeds the 32-bit size limit",
                  what, size);
    reportFailure(message);
    return 0;
}

uint64_t alignTo256(uint64_t size) {
    return (size + 255) & ~uint64_t(255);
}

// Byte offset of the current frame's slot of a constant buffer.
uint64_t currentSlotOffset(const ConstantBuffer& buffer) {
    return (frameIndex & 1) * buffer.alignedSize * buffer.count;
}

} // namespace

D3D12_RESOURCE_DESC bufferDesc(uint64_t width, D3D12_RESOURCE_FLAGS flags) {
    D3D12_RESOURCE_DESC resourceDesc = {};
    resourceDesc.Dimension = D3D12_RESOURCE_DIMENSION_BUFFER;
    resourceDesc.Alignment = 0;
    resourceDesc.Width = width;
    resourceDesc.Height = 1;
    resourceDesc.DepthOrArraySize = 1;
    resourceDesc.MipLevels = 1;
    resourceDesc.Format = DXGI_FORMAT_UNKNOWN;
    resourceDesc.SampleDesc.Count = 1;
    resourceDesc.SampleDesc.Quality = 0;
    resourceDesc.Layout = D3D12_TEXTURE_LAYOUT_ROW_MAJOR;
    resourceDesc.Flags = flags;
    return resourceDesc;
}

D3D12_HEAP_PROPERTIES heapOfType(D3D12_HEAP_TYPE type) {
    D3D12_HEAP_PROPERTIES heapProperties = {};
    heapProperties.Type = type;
    heapProperties.CPUPageProperty = D3D12_CPU_PAGE_PROPERTY_UNKNOWN;
    heapProperties.MemoryPoolPreference = D3D12_MEMORY_POOL_UNKNOWN;
    heapProperties.CreationNodeMask = 0;
    heapProperties.VisibleNodeMask = 0;
    return heapProperties;
}

namespace {

// An upload-heap buffer of the given width, mapped for its whole life.
template <typename Buffer> void createMappedUploadBuffer(Buffer& buffer, uint64_t width) {
    const D3D12_HEAP_PROPERTIES heapProperties = heapOfType(D3D12_HEAP_TYPE_UPLOAD);
    const D3D12_RESOURCE_DESC resourceDesc = bufferDesc(width, D3D12_RESOURCE_FLAG_NONE);
    CHECK_AS(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc,
                                             D3D12_RESOURCE_STATE_GENERIC_READ, 0,
                                             IID_PPV_ARGS(&buffer.resource)),
             "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc, "
             "D3D12_RESOURCE_STATE_GENERIC_READ, 0, IID_PPV_ARGS(&buffer.resource))");
    // Every frame writes through this mapping, so a failed map must not leave a null pointer behind.
    CHECK(buffer.resource->Map(0, nullptr, reinterpret_cast<void**>(&buffer.mapped)));
}

// Copies the data into a fresh default-heap buffer on the GPU and waits until the copy has executed, leaving
// the buffer in its shader-read (or unordered-access) state.
void uploadInitialData(ID3D12Resource* buffer, const uint8_t* data, uint64_t size, bool unorderedAccess) {
    D3D12_HEAP_PROPERTIES heapProperties = heapOfType(D3D12_HEAP_TYPE_UPLOAD);
    // The staging buffer is only a copy source; an upload heap takes no unordered-access buffers.
    const D3D12_RESOURCE_DESC resourceDesc = bufferDesc(size, D3D12_RESOURCE_FLAG_NONE);
    ID3D12Resource* uploadBuffer = nullptr;
    CHECK_AS(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc,
                                             D3D12_RESOURCE_STATE_GENERIC_READ, 0,
                                             IID_PPV_ARGS(&uploadBuffer)),
             "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc, "
             "D3D12_RESOURCE_STATE_GENERIC_READ, 0, IID_PPV_ARGS(&uploadBuffer))");

    void* mappedData = nullptr;
    D3D12_RANGE readRange = {0, 0};
    CHECK(uploadBuffer->Map(0, &readRange, &mappedData));
    std::memcpy(mappedData, data, size);
    uploadBuffer->Unmap(0, nullptr);

    // Only the list is reset: the allocator may hold an earlier upload's commands, which have all executed.
    commandList->Reset(commandAllocators[frameIndex], nullptr);
    commandList->CopyBufferRegion(buffer, 0, uploadBuffer, 0, size);
    // The copy promotes the buffer from COMMON to COPY_DEST implicitly.
    D3D12_RESOURCE_BARRIER barrier;
    transitionBarrier(&barrier, buffer, D3D12_RESOURCE_STATE_COPY_DEST,
                      unorderedAccess ? D3D12_RESOURCE_STATE_UNORDERED_ACCESS
                                      : D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE |
                                            D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    commandList->ResourceBarrier(1, &barrier);
    commandList->Close();
    ID3D12CommandList* lists[] = {commandList};
    commandQueue->ExecuteCommandLists(1, lists);
    waitForUpload();

    uploadBuffer->Release();
}

} // namespace

StructuredBuffer createStructuredBuffer(const uint8_t* data, uint32_t elementCount, uint32_t stride,
                                        bool unorderedAccess, const wchar_t* name) {
    StructuredBuffer buffer = {};
    const uint64_t size = checkedSize(uint64_t(elementCount) * stride, "createStructuredBuffer");

    const D3D12_RESOURCE_DESC resourceDesc = bufferDesc(
        size, unorderedAccess ? D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS : D3D12_RESOURCE_FLAG_NONE);
    const D3D12_HEAP_PROPERTIES heapProperties = heapOfType(D3D12_HEAP_TYPE_DEFAULT);
    CHECK_AS(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc,
                                             D3D12_RESOURCE_STATE_COMMON, 0, IID_PPV_ARGS(&buffer.resource)),
             "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc, "
             "D3D12_RESOURCE_STATE_COMMON, 0, IID_PPV_ARGS(&buffer.resource))");
    if (name)
        buffer.resource->SetName(name);

    if (data)
        uploadInitialData(buffer.resource, data, size, unorderedAccess);

    D3D12_CPU_DESCRIPTOR_HANDLE view;
    buffer.descriptorIndex = allocateDescriptor(srvHeap, &view, nullptr);
    if (unorderedAccess) {
        D3D12_UNORDERED_ACCESS_VIEW_DESC uavDesc = {};
        uavDesc.Format = DXGI_FORMAT_UNKNOWN;
        uavDesc.ViewDimension = D3D12_UAV_DIMENSION_BUFFER;
        uavDesc.Buffer.FirstElement = 0;
        uavDesc.Buffer.NumElements = elementCount;
        uavDesc.Buffer.StructureByteStride = stride;
        uavDesc.Buffer.CounterOffsetInBytes = 0;
        uavDesc.Buffer.Flags = D3D12_BUFFER_UAV_FLAG_NONE;
        device->CreateUnorderedAccessView(buffer.resource, nullptr, &uavDesc, view);
    } else {
        D3D12_SHADER_RESOURCE_VIEW_DESC srvDesc = {};
        srvDesc.Format = DXGI_FORMAT_UNKNOWN;
        srvDesc.ViewDimension = D3D12_SRV_DIMENSION_BUFFER;
        srvDesc.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
        srvDesc.Buffer.FirstElement = 0;
        srvDesc.Buffer.NumElements = elementCount;
        srvDesc.Buffer.StructureByteStride = stride;
        srvDesc.Buffer.Flags = D3D12_BUFFER_SRV_FLAG_NONE;
        device->CreateShaderResourceView(buffer.resource, &srvDesc, view);
    }
    return buffer;
}

UploadBuffer createUploadBuffer(uint32_t elementSize, uint32_t elementCount) {
    UploadBuffer buffer = {};
    const uint64_t size = checkedSize(alignTo256(uint64_t(elementSize) * elementCount), "createUploadBuffer");
    createMappedUploadBuffer(buffer, size);
    return buffer;
}

ConstantBuffer createConstantBuffer(uint32_t elementSize, uint32_t elementCount) {
    ConstantBuffer buffer = {};
    buffer.alignedSize = alignTo256(elementSize);
    buffer.count = elementCount;
    const uint64_t width =
        checkedSize(buffer.alignedSize * buffer.count * FRAMES_IN_FLIGHT_COUNT, "createConstantBuffer");
    createMappedUploadBuffer(buffer, width);
    return buffer;
}

void writeConstantBuffer(ConstantBuffer& buffer, const void* data, size_t size) {
    std::memcpy(buffer.mapped + currentSlotOffset(buffer), data, size);
}

D3D12_GPU_VIRTUAL_ADDRESS getConstantBufferAddress(ConstantBuffer& buffer) {
    return buffer.resource->GetGPUVirtualAddress() + currentSlotOffset(buffer);
}
