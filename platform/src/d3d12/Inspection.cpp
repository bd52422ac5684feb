// What tests can read of the stand-in GPU.
#include "d3d12/DescriptorHeap.h"
#include "d3d12/GpuState.h"
#include "d3d12/PipelineState.h"
#include "d3d12/RootSignature.h"
#include "d3d12/StateObject.h"

namespace standin {

bool readGpuMemory(D3D12_GPU_VIRTUAL_ADDRESS address, void* destination, size_t size) {
    std::lock_guard lock(gpuMutex());
    auto buffer = findBuffer(address);
    if (!buffer || address + size > buffer->gpuAddress + buffer->desc.Width)
        return false;
    std::memcpy(destination, buffer->memory + (address - buffer->gpuAddress), size);
    return true;
}

std::vector<uint8_t> readResource(ID3D12Resource* resource, UINT subresource) {
    auto storage = storageOf(resource);
    if (!storage || subresource >= storage->subresourceCount())
        return {};
    const SubresourceLayout& layout = storage->layouts[subresource];
    const uint8_t* start = storage->memory + layout.offset;
    return {start, start + uint64_t(layout.rowSize) * layout.numRows * layout.depth};
}

D3D12_RESOURCE_STATES resourceState(ID3D12Resource* resource, UINT subresource) {
    auto storage = storageOf(resource);
    std::lock_guard lock(gpuMutex());
    if (!storage || subresource >= storage->subresourceCount())
        return D3D12_RESOURCE_STATE_COMMON;
    return storage->states[subresource];
}

std::string resourceName(ID3D12Resource* resource) {
    auto storage = storageOf(resource);
    std::lock_guard lock(gpuMutex());
    return storage ? storage->name : "";
}

int mapCount(ID3D12Resource* resource) {
    auto storage = storageOf(resource);
    std::lock_guard lock(gpuMutex());
    return storage ? storage->mapCount : 0;
}

DescriptorContents descriptorAt(D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    std::lock_guard lock(gpuMutex());
    uint32_t slot = 0;
    auto heap = findHeapByCpuHandle(handle.ptr, &slot);
    return heap ? readDescriptor(heap->slots[slot]) : DescriptorContents{};
}

DescriptorContents descriptorAt(D3D12_GPU_DESCRIPTOR_HANDLE handle) {
    std::lock_guard lock(gpuMutex());
    uint32_t slot = 0;
    auto heap = findHeapByGpuHandle(handle.ptr, &slot);
    return heap ? readDescriptor(heap->slots[slot]) : DescriptorContents{};
}

DescriptorContents descriptorAt(ID3D12DescriptorHeap* heap, UINT slot) {
    auto storage = heapStorageOf(heap);
    std::lock_guard lock(gpuMutex());
    if (!storage || slot >= storage->slots.size())
        return {};
    return readDescriptor(storage->slots[slot]);
}

RootSignatureInfo describeRootSignature(ID3D12RootSignature* rootSignature) {
    RootSignature* ours = rootSignatureOf(rootSignature);
    return ours ? ours->info : RootSignatureInfo{};
}

PipelineInfo describePipeline(ID3D12PipelineState* pipeline) {
    PipelineState* ours = pipelineStateOf(pipeline);
    return ours ? ours->info : PipelineInfo{};
}

std::string shaderIdentifierExport(const void* identifier) {
    return exportOfIdentifier(identifier);
}

const char* commandKindName(CommandKind kind) {
    switch (kind) {
    case CommandKind::ResourceBarrier:
        return "ResourceBarrier";
    case CommandKind::CopyBufferRegion:
        return "CopyBufferRegion";
    case CommandKind::CopyTextureRegion:
        return "CopyTextureRegion";
    case CommandKind::CopyResource:
        return "CopyResource";
    case CommandKind::ClearRenderTargetView:
        return "ClearRenderTargetView";
    case CommandKind::ClearDepthStencilView:
        return "ClearDepthStencilView";
    case CommandKind::ClearUnorderedAccessView:
        return "ClearUnorderedAccessView";
    case CommandKind::DrawInstanced:
        return "DrawInstanced";
    case CommandKind::DrawIndexedInstanced:
        return "DrawIndexedInstanced";
    case CommandKind::Dispatch:
        return "Dispatch";
    case CommandKind::DispatchMesh:
        return "DispatchMesh";
    case CommandKind::DispatchRays:
        return "DispatchRays";
    case CommandKind::BeginQuery:
        return "BeginQuery";
    case CommandKind::EndQuery:
        return "EndQuery";
    case CommandKind::ResolveQueryData:
        return "ResolveQueryData";
    case CommandKind::BuildRaytracingAccelerationStructure:
        return "BuildRaytracingAccelerationStructure";
    case CommandKind::SetPipelineState:
        return "SetPipelineState";
    case CommandKind::SetPipelineState1:
        return "SetPipelineState1";
    case CommandKind::SetGraphicsRootSignature:
        return "SetGraphicsRootSignature";
    case CommandKind::SetComputeRootSignature:
        return "SetComputeRootSignature";
    case CommandKind::SetRootArgument:
        return "SetRootArgument";
    case CommandKind::SetDescriptorHeaps:
        return "SetDescriptorHeaps";
    case CommandKind::OMSetRenderTargets:
        return "OMSetRenderTargets";
    case CommandKind::RSSetViewports:
        return "RSSetViewports";
    case CommandKind::RSSetScissorRects:
        return "RSSetScissorRects";
    case CommandKind::IASetPrimitiveTopology:
        return "IASetPrimitiveTopology";
    case CommandKind::IASetVertexBuffers:
        return "IASetVertexBuffers";
    case CommandKind::IASetIndexBuffer:
        return "IASetIndexBuffer";
    case CommandKind::UiDraw:
        return "ImGui_ImplDX12_RenderDrawData";
    case CommandKind::Other:
        return "Other";
    }
    return "Other";
}

} // namespace standin
