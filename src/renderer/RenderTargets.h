// The GPU objects whose size follows the window's client size (the shadow textures aside): the back buffers,
// "Render Target", "G-Buffer 0", "G-Buffer 1" and "Depth Target", with their views in the slots taken at
// start.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include "core/Globals.h"

class Window;

extern ID3D12Resource* swapchainBuffers[FRAMES_IN_FLIGHT_COUNT];
extern D3D12_CPU_DESCRIPTOR_HANDLE swapchainRtvs[FRAMES_IN_FLIGHT_COUNT];
extern ID3D12Resource* renderTarget;
extern ID3D12Resource* gBuffer0;
extern ID3D12Resource* gBuffer1;
extern ID3D12Resource* depthTarget;

// Fetches the back buffers and creates the four textures at the window's client size, in the states every
// frame expects between frames, writing each view into its slot. Takes no slot and releases nothing: before
// a second call the GPU must be idle, the back buffers released, the swap chain resized and the four textures
// released (releaseRenderTargets).
void createRenderTargets(Window* window);

// Releases "Render Target", "G-Buffer 0", "G-Buffer 1" and "Depth Target", in that order, before they are
// made again at a new size. The pointers are left as they were.
void releaseRenderTargets();
