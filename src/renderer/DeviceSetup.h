// The Direct3D 12 foundation of the renderer: factory, device, queue, fence, swap chain, the three descriptor
// heaps and the descriptor slots of the size-dependent targets. Made once at start, in this order.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>
#include <dxgi1_6.h>

#include "Shaders/Shared.hlsli"
#include "core/DescriptorHeap.h"

extern IDXGIFactory6* factory;
extern IDXGISwapChain3* swapchain;
extern DescriptorHeap dsvHeap;
extern DescriptorHeap rtvHeap;
// The srvHeap slots the shading pass reads the targets through; uploaded every frame unchanged.
extern DescriptorIndices descriptorIndices;

// Views of the size-dependent targets. The slots are taken once; every (re)creation of the targets writes its
// views into the same slots, so the indices the shaders receive never change.
extern D3D12_CPU_DESCRIPTOR_HANDLE gBuffer0Rtv, gBuffer0Srv;
extern D3D12_CPU_DESCRIPTOR_HANDLE gBuffer1Rtv, gBuffer1Srv;
extern D3D12_CPU_DESCRIPTOR_HANDLE renderTargetSrv, renderTargetUav;
extern D3D12_GPU_DESCRIPTOR_HANDLE renderTargetSrvGpu;
extern D3D12_CPU_DESCRIPTOR_HANDLE depthTargetDsv, depthTargetSrv;
extern D3D12_GPU_DESCRIPTOR_HANDLE depthTargetSrvGpu;

// The DXGI factory and the device: the first hardware adapter that accepts feature level 12_1, else WARP.
void createFactoryAndDevice();
// The direct queue, the fence at 0 with both frame values at 0, and the auto-reset fence event.
void createQueueAndFence();
// The two-buffer flip swap chain at the window's client size, without the Alt+Enter full-screen switch.
void createSwapchain();
// dsvHeap (16), rtvHeap (64), srvHeap (512, shader visible).
void createDescriptorHeaps();
// The slots of the back buffers, G-buffers, colour and depth targets, and their indices in descriptorIndices.
void takeTargetDescriptorSlots();
