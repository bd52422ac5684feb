// The ray-tracing acceleration structures of the scene: one bottom-level structure per glTF mesh and one
// top-level structure over the mesh instances of the default scene. Built once during the scene import, kept
// until the process ends.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <cstdint>
#include <vector>

extern std::vector<ID3D12Resource*> blasList;
// Empty when the default scene yields no instance; the shadow pass then traces nothing.
extern ID3D12Resource* tlas;
extern ID3D12Resource* instanceDescBuffer;
extern uint8_t* mappedInstanceDescs;
extern uint32_t instanceDescCount;
extern ID3D12Resource* tlasUpdateScratch;
