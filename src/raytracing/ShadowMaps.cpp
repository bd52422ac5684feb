#include "raytracing/ShadowMaps.h"

#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/Report.h"
#include "raytracing/RaytracingPipeline.h"

#include <dxguids/dxguids.h>

ID3D12Resource* shadowMap = nullptr;
ID3D12Resource* shadowMapNoisy = nullptr;
D3D12_CPU_DESCRIPTOR_HANDLE shadowMapUav = {}, shadowMapNoisyUav = {}, shadowMapNoisySrv = {};
D3D12_GPU_DESCRIPTOR_HANDLE shadowMapUavGpu = {}, shadowMapNoisyUavGpu = {}, shadowMapNoisySrvGpu = {};
DescriptorHeap shadowMapClearHeap = {};
D3D12_CPU_DESCRIPTOR_HANDLE shadowMapClearUav = {};

namespace {

D3D12_UNORDERED_ACCESS_VIEW_DESC textureUavDesc(DXGI_FORMAT format) {
    D3D12_UNORDERED_ACCESS_VIEW_DESC uavDesc = {};
    uavDesc.Format = format;
    uavDesc.ViewDimension = D3D12_UAV_DIMENSION_TEXTURE2D;
    uavDesc.Texture2D.MipSlice = 0;
    uavDesc.Texture2D.PlaneSlice = 0;
    return uavDesc;
}

} // namespace

uint32_t initShadowMaps(uint32_t width, uint32_t height) {
    uint32_t shadowMapIndex = allocateDescriptor(srvHeap, &shadowMapUav, &shadowMapUavGpu);
    allocateDescriptor(srvHeap, &shadowMapNoisyUav, &shadowMapNoisyUavGpu);
    allocateDescriptor(srvHeap, &shadowMapNoisySrv, &shadowMapNoisySrvGpu);
    shadowMapClearHeap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 1, false);
    allocateDescriptor(shadowMapClearHeap, &shadowMapClearUav, nullptr);
    createShadowMaps(width, height);
    return shadowMapIndex;
}

void createShadowMaps(uint32_t width, uint32_t height) {
    safeRelease(shadowMapNoisy);
    safeRelease(shadowMap);
    shadowMapNoisy = nullptr;
    shadowMap = nullptr;

    D3D12_HEAP_PROPERTIES heapProperties = {};
    heapProperties.Type = D3D12_HEAP_TYPE_DEFAULT;
    D3D12_RESOURCE_DESC textureDesc = {};
    textureDesc.Dimension = D3D12_RESOURCE_DIMENSION_TEXTURE2D;
    textureDesc.Alignment = 0;
    textureDesc.Width = width;
    textureDesc.Height = height;
    textureDesc.DepthOrArraySize = 1;
    textureDesc.MipLevels = 1;
    textureDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    textureDesc.SampleDesc = singleSampleDesc;
    textureDesc.Layout = D3D12_TEXTURE_LAYOUT_UNKNOWN;
    textureDesc.Flags = D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS;

    CHECK(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &textureDesc,
                                          D3D12_RESOURCE_STATE_UNORDERED_ACCESS, nullptr,
                                          IID_PPV_ARGS(&shadowMap)));
    shadowMap->SetName(L"Shadow Map");
    D3D12_UNORDERED_ACCESS_VIEW_DESC uavDesc = textureUavDesc(DXGI_FORMAT_R8G8B8A8_UNORM);
    device->CreateUnorderedAccessView(shadowMap, nullptr, &uavDesc, shadowMapUav);
    device->CreateUnorderedAccessView(shadowMap, nullptr, &uavDesc, shadowMapClearUav);

    textureDesc.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    CHECK(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &textureDesc,
                                          D3D12_RESOURCE_STATE_UNORDERED_ACCESS, nullptr,
                                          IID_PPV_ARGS(&shadowMapNoisy)));
    shadowMapNoisy->SetName(L"Shadow Map Noisy");
    uavDesc = textureUavDesc(DXGI_FORMAT_R32G32B32A32_FLOAT);
    device->CreateUnorderedAccessView(shadowMapNoisy, nullptr, &uavDesc, shadowMapNoisyUav);

    D3D12_SHADER_RESOURCE_VIEW_DESC srvDesc = {};
    srvDesc.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    srvDesc.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2D;
    srvDesc.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    srvDesc.Texture2D.MostDetailedMip = 0;
    srvDesc.Texture2D.MipLevels = 1;
    srvDesc.Texture2D.PlaneSlice = 0;
    srvDesc.Texture2D.ResourceMinLODClamp = 0.0f;
    device->CreateShaderResourceView(shadowMapNoisy, &srvDesc, shadowMapNoisySrv);
}
