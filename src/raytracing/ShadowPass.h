// The frame's shadow stage: the ray dispatch into "Shadow Map Noisy" and the denoise dispatch into
// "Shadow Map", between the geometry and the shading pass.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <cstdint>

// Records into the open commandList: one ray per pixel of width x height against the scene's top-level
// structure, then the denoise dispatch, with timestamps timestampBase + 6 to + 9 around them. Expects the
// depth target (read through depthSrv) in NON_PIXEL_SHADER_RESOURCE and this frame's RaytracingConstants
// written. Leaves both shadow textures in UNORDERED_ACCESS with "Shadow Map" ready for the shading pass.
// While the shadow stage is off, only the timestamps are written and "Shadow Map" is cleared to fully lit.
void recordShadowPass(uint32_t width, uint32_t height, D3D12_GPU_DESCRIPTOR_HANDLE depthSrv,
                      uint32_t timestampBase, ID3D12QueryHeap* queryHeap);
