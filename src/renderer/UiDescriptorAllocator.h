// The debug panel's descriptor heap and the free-list allocator that serves its back end's textures.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <imgui.h>

#include <cstdint>

struct ImGui_ImplDX12_InitInfo;

// 64 shader-visible CBV/SRV/UAV descriptors for the debug panel only, apart from srvHeap. Initialisation
// makes it; shutdown releases it last.
extern ID3D12DescriptorHeap* uiSrvHeap;

struct UiDescriptorAllocator {
    ID3D12DescriptorHeap* heap; // not owned
    D3D12_DESCRIPTOR_HEAP_TYPE heapType;
    D3D12_CPU_DESCRIPTOR_HANDLE cpuStart;
    D3D12_GPU_DESCRIPTOR_HANDLE gpuStart;
    uint32_t incrementSize;
    ImVector<int> freeIndices; // a stack: its last element is the next slot handed out
};

extern UiDescriptorAllocator uiDescriptorAllocator;

// Serves every slot of the heap, lowest first.
void createUiDescriptorAllocator(UiDescriptorAllocator* allocator, ID3D12Device* device,
                                 ID3D12DescriptorHeap* heap);

// The back end's descriptor callbacks, over uiDescriptorAllocator. An allocation when every slot is in use
// stops the program with a message: the back end cannot be told that there is none.
void allocUiSrvDescriptor(ImGui_ImplDX12_InitInfo* info, D3D12_CPU_DESCRIPTOR_HANDLE* outCpuHandle,
                          D3D12_GPU_DESCRIPTOR_HANDLE* outGpuHandle);
void freeUiSrvDescriptor(ImGui_ImplDX12_InitInfo* info, D3D12_CPU_DESCRIPTOR_HANDLE cpuHandle,
                         D3D12_GPU_DESCRIPTOR_HANDLE gpuHandle);

// Shutdown's teardown: forgets the heap and returns the list's storage. The callbacks stay callable, since
// the back end frees its last descriptors during its own shutdown; those frees start a fresh list.
void teardownUiDescriptorAllocator(UiDescriptorAllocator* allocator);
