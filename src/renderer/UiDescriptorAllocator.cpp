#include "renderer/UiDescriptorAllocator.h"

#include "core/Report.h"

ID3D12DescriptorHeap* uiSrvHeap = nullptr;
UiDescriptorAllocator uiDescriptorAllocator = {};

void createUiDescriptorAllocator(UiDescriptorAllocator* allocator, ID3D12Device* device,
                                 ID3D12DescriptorHeap* heap) {
    allocator->heap = heap;
    // MinGW's headers declare these queries in the form that returns through a pointer.
#if defined(_MSC_VER) || !defined(_WIN32)
    D3D12_DESCRIPTOR_HEAP_DESC desc = heap->GetDesc();
    allocator->cpuStart = heap->GetCPUDescriptorHandleForHeapStart();
    allocator->gpuStart = heap->GetGPUDescriptorHandleForHeapStart();
#else
    D3D12_DESCRIPTOR_HEAP_DESC desc;
    heap->GetDesc(&desc);
    heap->GetCPUDescriptorHandleForHeapStart(&allocator->cpuStart);
    heap->GetGPUDescriptorHandleForHeapStart(&allocator->gpuStart);
#endif
    allocator->heapType = desc.Type;
    allocator->incrementSize = device->GetDescriptorHandleIncrementSize(allocator->heapType);
    int count = static_cast<int>(desc.NumDescriptors);
    allocator->freeIndices.reserve(count);
    for (int index = count - 1; index >= 0; --index)
        allocator->freeIndices.push_back(index);
}

void allocUiSrvDescriptor(ImGui_ImplDX12_InitInfo*, D3D12_CPU_DESCRIPTOR_HANDLE* outCpuHandle,
                          D3D12_GPU_DESCRIPTOR_HANDLE* outGpuHandle) {
    UiDescriptorAllocator& allocator = uiDescriptorAllocator;
    if (allocator.freeIndices.empty())
        reportFailure("UI descriptor heap exhausted");
    int index = allocator.freeIndices.back();
    allocator.freeIndices.pop_back();
    uint32_t offset = static_cast<uint32_t>(index) * allocator.incrementSize;
    outCpuHandle->ptr = allocator.cpuStart.ptr + offset;
    outGpuHandle->ptr = allocator.gpuStart.ptr + offset;
}

void freeUiSrvDescriptor(ImGui_ImplDX12_InitInfo*, D3D12_CPU_DESCRIPTOR_HANDLE cpuHandle,
                         D3D12_GPU_DESCRIPTOR_HANDLE) {
    UiDescriptorAllocator& allocator = uiDescriptorAllocator;
    if (allocator.incrementSize == 0)
        return; // never set up, so nothing was handed out
    int index = static_cast<int>((cpuHandle.ptr - allocator.cpuStart.ptr) / allocator.incrementSize);
    allocator.freeIndices.push_back(index);
}

void teardownUiDescriptorAllocator(UiDescriptorAllocator* allocator) {
    allocator->heap = nullptr;
    allocator->freeIndices.clear(); // clear() returns the storage through ImGui::MemFree
}
