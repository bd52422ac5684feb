// The Direct3D 12 objects that every subsystem shares. Initialisation creates them; they live for the run.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>
#include <dxgiformat.h>

#include "core/DescriptorHeap.h"

#include <cstdint>

constexpr uint32_t FRAMES_IN_FLIGHT_COUNT = 2;
constexpr DXGI_FORMAT SWAPCHAIN_FORMAT = DXGI_FORMAT_R8G8B8A8_UNORM;

extern ID3D12Device5* device;
extern ID3D12CommandQueue* commandQueue;
// The one command list, used for frames and for every upload.
extern ID3D12GraphicsCommandList6* commandList;
extern ID3D12CommandAllocator* commandAllocators[FRAMES_IN_FLIGHT_COUNT];
extern ID3D12Fence* fence;
extern uint64_t fenceValues[FRAMES_IN_FLIGHT_COUNT];
extern HANDLE fenceEvent;
// The current back buffer and frame slot.
extern uint32_t frameIndex;
// The shader-visible CBV/SRV/UAV heap that all shaders index.
extern DescriptorHeap srvHeap;
