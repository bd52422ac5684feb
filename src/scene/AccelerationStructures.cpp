#include "scene/AccelerationStructures.h"

#include "core/Buffers.h"
#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/Report.h"

#include <dxguids/dxguids.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

std::vector<ID3D12Resource*> blasList;
ID3D12Resource* tlas = nullptr;
ID3D12Resource* instanceDescBuffer = nullptr;
uint8_t* mappedInstanceDescs = nullptr;
uint32_t instanceDescCount = 0;
ID3D12Resource* tlasUpdateScratch = nullptr;

namespace {

// A driver may report a scratch size of 0; a buffer cannot be 0 bytes wide.
constexpr uint64_t MIN_SCRATCH_WIDTH = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BYTE_ALIGNMENT;
constexpr uint64_t MIN_UPDATE_SCRATCH_WIDTH = 8;

struct PrimitiveCounts {
    uint32_t vertexCount;
    uint32_t indexCount; // whole triangles only
};

// The vertex count comes from the first attribute, so a primitive without one has none; an index count that
// is not a multiple of 3 loses its partial triangle, and one left with no triangle is not used.
bool acceptPrimitive(const cgltf_primitive& primitive, PrimitiveCounts* counts) {
    if (primitive.type != cgltf_primitive_type_triangles || !primitive.indices ||
        primitive.attributes_count == 0 || !primitive.attributes[0].data)
        return false;
    const cgltf_size vertexCount = primitive.attributes[0].data->count;
    const cgltf_size indexCount = primitive.indices->count - primitive.indices->count % 3;
    if (vertexCount == 0 || indexCount == 0 || vertexCount > UINT32_MAX || indexCount > UINT32_MAX)
        return false;
    *counts = {uint32_t(vertexCount), uint32_t(indexCount)};
    return true;
}

// The primitive's indices and positions in buffers of their own (never released: the build reads them), and
// the geometry that describes them.
D3D12_RAYTRACING_GEOMETRY_DESC makeGeometry(const cgltf_primitive& primitive, PrimitiveCounts counts) {
    std::vector<float> positions(size_t(counts.vertexCount) * 3, 0.0f);
    if (const cgltf_accessor* accessor = cgltf_find_accessor(&primitive, cgltf_attribute_type_position, 0))
        cgltf_accessor_unpack_floats(accessor, positions.data(), positions.size());
    // A sparse index accessor, or one without a buffer view, is not unpacked and leaves the indices 0.
    std::vector<uint32_t> indices(counts.indexCount, 0);
    cgltf_accessor_unpack_indices(primitive.indices, indices.data(), sizeof(uint32_t), indices.size());

    const StructuredBuffer indexBuffer =
        createStructuredBuffer(reinterpret_cast<const uint8_t*>(indices.data()), counts.indexCount,
                               sizeof(uint32_t), false, nullptr);
    const StructuredBuffer positionBuffer =
        createStructuredBuffer(reinterpret_cast<const uint8_t*>(positions.data()), counts.vertexCount,
                               3 * sizeof(float), false, nullptr);

    D3D12_RAYTRACING_GEOMETRY_DESC geometry = {};
    geometry.Type = D3D12_RAYTRACING_GEOMETRY_TYPE_TRIANGLES;
    geometry.Flags = D3D12_RAYTRACING_GEOMETRY_FLAG_OPAQUE;
    geometry.Triangles.Transform3x4 = 0;
    geometry.Triangles.IndexFormat = DXGI_FORMAT_R32_UINT;
    geometry.Triangles.VertexFormat = DXGI_FORMAT_R32G32B32_FLOAT;
    geometry.Triangles.IndexCount = counts.indexCount;
    geometry.Triangles.VertexCount = counts.vertexCount;
    geometry.Triangles.IndexBuffer = indexBuffer.resource->GetGPUVirtualAddress();
    geometry.Triangles.VertexBuffer.StartAddress = positionBuffer.resource->GetGPUVirtualAddress();
    geometry.Triangles.VertexBuffer.StrideInBytes = 3 * sizeof(float);
    return geometry;
}

ID3D12Resource* buildBottomLevel(const cgltf_mesh& mesh) {
    std::vector<D3D12_RAYTRACING_GEOMETRY_DESC> geometries;
    for (cgltf_size p = 0; p < mesh.primitives_count; ++p) {
        PrimitiveCounts counts;
        if (acceptPrimitive(mesh.primitives[p], &counts))
            geometries.push_back(makeGeometry(mesh.primitives[p], counts));
        else
            std::printf("Invalid primitive type or no indices\n");
    }
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS inputs = {};
    inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL;
    inputs.Flags = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_PREFER_FAST_TRACE;
    inputs.NumDescs = UINT(geometries.size());
    inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
    inputs.pGeometryDescs = geometries.empty() ? nullptr : geometries.data();
    return buildAccelerationStructure(&inputs);
}

// Copies the instances into instanceDescBuffer, which stays mapped, and builds tlas over them.
void buildTopLevel(const std::vector<D3D12_RAYTRACING_INSTANCE_DESC>& instances) {
    instanceDescCount = uint32_t(instances.size());
    const D3D12_HEAP_PROPERTIES uploadHeap = heapOfType(D3D12_HEAP_TYPE_UPLOAD);
    const D3D12_RESOURCE_DESC instanceDesc = bufferDesc(
        uint64_t(instanceDescCount) * sizeof(D3D12_RAYTRACING_INSTANCE_DESC), D3D12_RESOURCE_FLAG_NONE);
    CHECK(device->CreateCommittedResource(&uploadHeap, D3D12_HEAP_FLAG_NONE, &instanceDesc,
                                          D3D12_RESOURCE_STATE_GENERIC_READ, nullptr,
                                          IID_PPV_ARGS(&instanceDescBuffer)));
    CHECK(instanceDescBuffer->Map(0, nullptr, reinterpret_cast<void**>(&mappedInstanceDescs)));
    std::memcpy(mappedInstanceDescs, instances.data(), instances.size() * sizeof(instances[0]));

    uint64_t updateScratchSize = 0;
    tlas = buildTopLevelAccelerationStructure(instanceDescBuffer, instanceDescCount, &updateScratchSize);

    const D3D12_HEAP_PROPERTIES defaultHeap = heapOfType(D3D12_HEAP_TYPE_DEFAULT);
    const D3D12_RESOURCE_DESC updateScratchDesc = bufferDesc(
        std::max(updateScratchSize, MIN_UPDATE_SCRATCH_WIDTH), D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    CHECK(device->CreateCommittedResource(&defaultHeap, D3D12_HEAP_FLAG_NONE, &updateScratchDesc,
                                          D3D12_RESOURCE_STATE_COMMON, nullptr,
                                          IID_PPV_ARGS(&tlasUpdateScratch)));
}

} // namespace

ID3D12Resource* buildAccelerationStructure(const D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS* inputs,
                                           uint64_t* updateScratchSize) {
    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO prebuildInfo = {};
    device->GetRaytracingAccelerationStructurePrebuildInfo(inputs, &prebuildInfo);
    if (updateScratchSize)
        *updateScratchSize = prebuildInfo.UpdateScratchDataSizeInBytes;
    // Nothing to build: no buffer of 0 bytes is made and nothing refers to a structure at address 0.
    if (prebuildInfo.ResultDataMaxSizeInBytes == 0)
        return nullptr;

    const D3D12_HEAP_PROPERTIES defaultHeap = heapOfType(D3D12_HEAP_TYPE_DEFAULT);
    const D3D12_RESOURCE_DESC scratchDesc =
        bufferDesc(std::max(prebuildInfo.ScratchDataSizeInBytes, MIN_SCRATCH_WIDTH),
                   D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    ID3D12Resource* scratch = nullptr;
    CHECK(device->CreateCommittedResource(&defaultHeap, D3D12_HEAP_FLAG_NONE, &scratchDesc,
                                          D3D12_RESOURCE_STATE_COMMON, nullptr, IID_PPV_ARGS(&scratch)));
    const D3D12_RESOURCE_DESC resultDesc =
        bufferDesc(prebuildInfo.ResultDataMaxSizeInBytes, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    ID3D12Resource* result = nullptr;
    CHECK(device->CreateCommittedResource(&defaultHeap, D3D12_HEAP_FLAG_NONE, &resultDesc,
                                          D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE, nullptr,
                                          IID_PPV_ARGS(&result)));

    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC buildDesc = {};
    buildDesc.DestAccelerationStructureData = result->GetGPUVirtualAddress();
    buildDesc.Inputs = *inputs;
    buildDesc.SourceAccelerationStructureData = 0;
    buildDesc.ScratchAccelerationStructureData = scratch->GetGPUVirtualAddress();

    // Only the list is reset: the allocator may hold earlier uploads' commands, which have all executed.
    CHECK(commandList->Reset(commandAllocators[frameIndex], nullptr));
    commandList->BuildRaytracingAccelerationStructure(&buildDesc, 0, nullptr);
    CHECK(commandList->Close());
    ID3D12CommandList* lists[] = {commandList};
    commandQueue->ExecuteCommandLists(1, lists);
    waitForUpload();

    scratch->Release();
    return result;
}

ID3D12Resource* buildTopLevelAccelerationStructure(ID3D12Resource* instanceBuffer, uint32_t count,
                                                   uint64_t* updateScratchSize) {
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS inputs = {};
    inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL;
    inputs.Flags = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_ALLOW_UPDATE;
    inputs.NumDescs = count;
    inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
    inputs.InstanceDescs = instanceBuffer->GetGPUVirtualAddress();
    return buildAccelerationStructure(&inputs, updateScratchSize);
}

void buildAccelerationStructures(const cgltf_data* data) {
    std::vector<ID3D12Resource*> meshTable(data->meshes_count, nullptr);
    for (cgltf_size m = 0; m < data->meshes_count; ++m) {
        meshTable[m] = buildBottomLevel(data->meshes[m]);
        blasList.push_back(meshTable[m]);
    }

    std::vector<D3D12_RAYTRACING_INSTANCE_DESC> instances;
    if (data->scene) {
        for (cgltf_size r = 0; r < data->scene->nodes_count; ++r) {
            const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            collectInstances(data->scene->nodes[r], identity, data, meshTable, instances);
        }
    }
    if (instances.empty()) {
        std::printf("No instances gefunden!\n");
        return;
    }
    buildTopLevel(instances);
}
