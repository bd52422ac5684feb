#include "raytracing/ShadowMaps.h"

#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/Report.h"
#include "core/TextureViews.h"
#include "raytracing/RaytracingPipeline.h"

#include <dxguids/dxguids.h>

ID3D12Resource* shadowMap = nullptr;
ID3D12Resource* shadowMapNoisy = nullptr;
D3D12_CPU_DESCRIPTOR_HANDLE shadowMapUav = {}, shadowMapNoisyUav = {}, shadowMapNoisySrv = {};
D3D12_GPU_DESCRIPTOR_HANDLE shadowMapUavGpu = {}, shadowMapNoisyUavGpu = {}, shadowMapNoisySrvGpu = {};
DescriptorHeap shadowMapClearHeap = {};
D3D12_CPU_DESCRIPTOR_HANDLE shadowMapClearUav = {};

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
    writeUnorderedAccessView(shadowMap, DXGI_FORMAT_R8G8B8A8_UNORM, shadowMapUav);
    writeUnorderedAccessView(shadowMap, DXGI_FORMAT_R8G8B8A8_UNORM, shadowMapClearUav);

    textureDesc.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    CHECK(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &textureDesc,
                                          D3D12_RESOURCE_STATE_UNORDERED_ACCESS, nullptr,
                                          IID_PPV_ARGS(&shadowMapNoisy)));
    shadowMapNoisy->SetName(L"Shadow Map Noisy");
    writeUnorderedAccessView(shadowMapNoisy, DXGI_FORMAT_R32G32B32A32_FLOAT, shadowMapNoisyUav);
    writeShaderResourceView(shadowMapNoisy, DXGI_FORMAT_R32G32B32A32_FLOAT, shadowMapNoisySrv);
}
