// The two window-sized shadow textures with their views in srvHeap, and the per-frame RaytracingConstants.
// "Shadow Map Noisy" is what the ray dispatch writes, "Shadow Map" the denoised result that shading reads.
// Both are made at start and again on every resize, always into the same three slots; between frames both
// are in UNORDERED_ACCESS.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include "Shaders/Shared.hlsli"
#include "core/Buffers.h"
#include "core/DescriptorHeap.h"

#include <cstdint>

class Camera;
class FlyThrough;

extern ID3D12Resource* shadowMap;      // "Shadow Map", R8G8B8A8_UNORM
extern ID3D12Resource* shadowMapNoisy; // "Shadow Map Noisy", R32G32B32A32_FLOAT
extern D3D12_CPU_DESCRIPTOR_HANDLE shadowMapUav, shadowMapNoisyUav, shadowMapNoisySrv;
extern D3D12_GPU_DESCRIPTOR_HANDLE shadowMapUavGpu, shadowMapNoisyUavGpu, shadowMapNoisySrvGpu;
// A second UAV of "Shadow Map" in a heap of one slot that shaders do not see, which a UAV clear needs besides
// the shader-visible one.
extern DescriptorHeap shadowMapClearHeap;
extern D3D12_CPU_DESCRIPTOR_HANDLE shadowMapClearUav;

// One RaytracingConstants per frame slot.
extern ConstantBuffer rtConstantsBuffer;

void createRaytracingConstants();

// Takes the three srvHeap slots (the UAV of "Shadow Map", then the UAV and SRV of "Shadow Map Noisy") and
// makes both textures at the given size. Returns the slot of the "Shadow Map" UAV.
uint32_t initShadowMaps(uint32_t width, uint32_t height);

// Releases the textures (the GPU must be done with them) and makes them again at the given size, writing
// their views into the slots that initShadowMaps took. A refused creation takes the reporting path.
void createShadowMaps(uint32_t width, uint32_t height);

// Writes this frame's RaytracingConstants: position and direction of the view that drives the frame, the
// free camera's field of view, up and right vectors, and the frame's light and inverse view-projection.
void updateRaytracingConstants(const Camera& camera, const FlyThrough& flyThrough, bool flyThroughActive,
                               const FrameConstants& frameConstants);
