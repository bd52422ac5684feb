// The ray-tracing acceleration structures of the scene: one bottom-level structure per glTF mesh and one
// top-level structure over the mesh instances of the default scene. Built once during the scene import, kept
// until the process ends.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <cgltf.h>

#include <cstdint>
#include <vector>

// One entry per glTF mesh, in mesh order; null for a mesh whose prebuild sizes are 0 (no structure is built
// for it, and its nodes get no instance).
extern std::vector<ID3D12Resource*> blasList;
// Empty when the default scene yields no instance; the shadow pass then traces nothing.
extern ID3D12Resource* tlas;
extern ID3D12Resource* instanceDescBuffer;
extern uint8_t* mappedInstanceDescs;
extern uint32_t instanceDescCount;
extern ID3D12Resource* tlasUpdateScratch;

// The first step of the scene import, before any geometry is made. Per mesh, every accepted triangle
// primitive gets an index buffer and a position buffer (two srvHeap slots, the index buffer's first) and a
// geometry of the mesh's bottom-level structure; then the default scene's mesh nodes become the instances of
// the top-level structure. Without a default scene or an instance it prints "No instances gefunden!" and
// leaves tlas empty. Every build has completed on the GPU when it returns; the list must be closed.
void buildAccelerationStructures(const cgltf_data* data);

// Builds one structure from the inputs: records, submits and waits. Returns the result buffer (in the
// RAYTRACING_ACCELERATION_STRUCTURE state), or null when the prebuild sizes are 0. When updateScratchSize
// is given it receives the prebuild's update-scratch size.
ID3D12Resource* buildAccelerationStructure(const D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS* inputs,
                                           uint64_t* updateScratchSize = nullptr);

// A top-level structure, built to allow updates, over `count` instance descriptions at the start of
// instanceBuffer.
ID3D12Resource* buildTopLevelAccelerationStructure(ID3D12Resource* instanceBuffer, uint32_t count,
                                                   uint64_t* updateScratchSize = nullptr);

// Appends an instance for every node of the subtree at `node` whose mesh has a structure in meshTable, in
// depth-first pre-order (each node before its children); the instance ID is the number of instances before
// it. parentWorld is the world matrix of node's parent, in cgltf's order (column after column). The walk
// keeps its own stack, so a deep node chain cannot overflow the thread's.
void collectInstances(const cgltf_node* node, const float parentWorld[16], const cgltf_data* data,
                      const std::vector<ID3D12Resource*>& meshTable,
                      std::vector<D3D12_RAYTRACING_INSTANCE_DESC>& instances);

// The 3 x 4 row-major instance transform of a world matrix in cgltf's order: element 4r + c is world[4c + r].
void toInstanceTransform(const float world[16], float transform[12]);
