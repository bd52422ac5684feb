#include "raytracing/ShadowPass.h"

#include "core/Globals.h"
#include "core/GpuSync.h"
#include "raytracing/RaytracingPipeline.h"
#include "raytracing/ShadowMaps.h"
#include "raytracing/ShadowStage.h"
#include "scene/AccelerationStructures.h"

namespace {

void timestamp(ID3D12QueryHeap* queryHeap, uint32_t index) {
    commandList->EndQuery(queryHeap, D3D12_QUERY_TYPE_TIMESTAMP, index);
}

// One record of each table: ray generation at 0, miss at 64, the null hit group at 128.
D3D12_DISPATCH_RAYS_DESC dispatchRaysDesc(uint32_t width, uint32_t height) {
    const D3D12_GPU_VIRTUAL_ADDRESS table = shaderTable->GetGPUVirtualAddress();
    D3D12_DISPATCH_RAYS_DESC desc = {};
    desc.RayGenerationShaderRecord.StartAddress = table;
    desc.RayGenerationShaderRecord.SizeInBytes = D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES;
    desc.MissShaderTable.StartAddress = table + SHADER_RECORD_SIZE;
    desc.MissShaderTable.SizeInBytes = D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES;
    desc.MissShaderTable.StrideInBytes = D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES;
    desc.HitGroupTable.StartAddress = table + 2 * SHADER_RECORD_SIZE;
    desc.HitGroupTable.SizeInBytes = D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES;
    desc.HitGroupTable.StrideInBytes = D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES;
    desc.CallableShaderTable = {0, 0, 0};
    desc.Width = width;
    desc.Height = height;
    desc.Depth = 1;
    return desc;
}

// The shading pass reads "Shadow Map" right after: its writes must be done first.
void finishShadowMap(D3D12_RESOURCE_BARRIER* barrier) {
    barrier->Type = D3D12_RESOURCE_BARRIER_TYPE_UAV;
    barrier->Flags = D3D12_RESOURCE_BARRIER_FLAG_NONE;
    barrier->UAV.pResource = shadowMap;
}

// Without the stage the dispatches are skipped but their timestamps are still written, so that their times
// read 0, and "Shadow Map" is cleared to fully lit.
void recordLitShadowMap(uint32_t timestampBase, ID3D12QueryHeap* queryHeap) {
    for (uint32_t index = 6; index <= 9; ++index)
        timestamp(queryHeap, timestampBase + index);
    const FLOAT lit[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    commandList->ClearUnorderedAccessViewFloat(shadowMapUavGpu, shadowMapClearUav, shadowMap, lit, 0,
                                               nullptr);
    D3D12_RESOURCE_BARRIER barrier;
    finishShadowMap(&barrier);
    commandList->ResourceBarrier(1, &barrier);
}

} // namespace

void recordShadowPass(uint32_t width, uint32_t height, D3D12_GPU_DESCRIPTOR_HANDLE depthSrv,
                      uint32_t timestampBase, ID3D12QueryHeap* queryHeap) {
    ID3D12DescriptorHeap* heaps[] = {srvHeap.heap};
    commandList->SetDescriptorHeaps(1, heaps);
    if (!shadowStageReady()) {
        recordLitShadowMap(timestampBase, queryHeap);
        return;
    }

    timestamp(queryHeap, timestampBase + 6);
    commandList->SetPipelineState1(rtStateObject);
    commandList->SetComputeRootSignature(rtRootSignature);
    commandList->SetComputeRootDescriptorTable(0, shadowMapNoisyUavGpu);
    commandList->SetComputeRootShaderResourceView(1, tlas->GetGPUVirtualAddress());
    commandList->SetComputeRootConstantBufferView(3, getConstantBufferAddress(rtConstantsBuffer));
    commandList->SetComputeRootDescriptorTable(4, depthSrv);
    const D3D12_DISPATCH_RAYS_DESC rays = dispatchRaysDesc(width, height);
    commandList->DispatchRays(&rays);
    timestamp(queryHeap, timestampBase + 7);

    // The denoise dispatch reads the rays' result through its shader-resource view, which needs a
    // shader-resource state; the transition also orders the rays' writes before those reads.
    D3D12_RESOURCE_BARRIER barriers[2];
    transitionBarrier(&barriers[0], shadowMapNoisy, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                      D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    commandList->ResourceBarrier(1, barriers);
    timestamp(queryHeap, timestampBase + 8);

    commandList->SetPipelineState(denoisePipeline);
    // The same root signature again keeps parameters 1 and 3; the denoise program reads neither.
    commandList->SetComputeRootSignature(rtRootSignature);
    commandList->SetComputeRootDescriptorTable(0, shadowMapUavGpu);
    commandList->SetComputeRootDescriptorTable(4, shadowMapNoisySrvGpu);
    commandList->Dispatch((width + 15) / 16, (height + 15) / 16, 1);
    timestamp(queryHeap, timestampBase + 9);

    // Between frames both textures are in UNORDERED_ACCESS.
    transitionBarrier(&barriers[0], shadowMapNoisy, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
                      D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    finishShadowMap(&barriers[1]);
    commandList->ResourceBarrier(2, barriers);
}
