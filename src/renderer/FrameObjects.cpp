#include "renderer/FrameObjects.h"

#include "Shaders/Shared.hlsli"
#include "core/Globals.h"
#include "core/Report.h"

#include <dxguids/dxguids.h>

ID3D12QueryHeap* timingQueryHeap = nullptr;
ID3D12QueryHeap* statisticsQueryHeap = nullptr;
ID3D12Resource* readbackHeap = nullptr;
uint64_t* mappedReadback = nullptr;
uint64_t timestampFrequency = 0;

ConstantBuffer frameConstantsBuffer = {};
ConstantBuffer sceneInfoBuffer = {};
ConstantBuffer debugFlagsBuffer = {};
ConstantBuffer descriptorIndicesBuffer = {};

uint32_t lastWidth = 0;
uint32_t lastHeight = 0;

void createCommandAllocatorsAndList() {
    for (UINT i = 0; i < FRAMES_IN_FLIGHT_COUNT; ++i)
        CHECK(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT,
                                             IID_PPV_ARGS(&commandAllocators[i])));
    CHECK(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, commandAllocators[0], 0,
                                    IID_PPV_ARGS(&commandList)));
}

void createQueryObjects() {
    D3D12_QUERY_HEAP_DESC queryHeapDesc = {};
    queryHeapDesc.Type = D3D12_QUERY_HEAP_TYPE_TIMESTAMP;
    queryHeapDesc.Count = TIMESTAMP_QUERY_COUNT;
    queryHeapDesc.NodeMask = 0;
    CHECK(device->CreateQueryHeap(&queryHeapDesc, IID_PPV_ARGS(&timingQueryHeap)));
    queryHeapDesc.Type = D3D12_QUERY_HEAP_TYPE_PIPELINE_STATISTICS1;
    queryHeapDesc.Count = STATISTICS_QUERY_COUNT;
    CHECK(device->CreateQueryHeap(&queryHeapDesc, IID_PPV_ARGS(&statisticsQueryHeap)));

    const D3D12_HEAP_PROPERTIES readbackHeapProps = heapOfType(D3D12_HEAP_TYPE_READBACK);
    const D3D12_RESOURCE_DESC readbackBufferDesc = bufferDesc(READBACK_SIZE, D3D12_RESOURCE_FLAG_NONE);
    // One text for the creation and the mapping; the frame reads through the mapping, so it is checked too.
    const char* readbackCallText =
        "device->CreateCommittedResource( &readbackHeapProps, D3D12_HEAP_FLAG_NONE, &readbackBufferDesc, "
        "D3D12_RESOURCE_STATE_COPY_DEST, 0, IID_PPV_ARGS(&readbackHeap)); readbackHeap->Map(0, 0, (void "
        "**)&mappedReadback)";
    CHECK_AS(device->CreateCommittedResource(&readbackHeapProps, D3D12_HEAP_FLAG_NONE, &readbackBufferDesc,
                                             D3D12_RESOURCE_STATE_COPY_DEST, nullptr,
                                             IID_PPV_ARGS(&readbackHeap)),
             readbackCallText);
    CHECK_AS(readbackHeap->Map(0, nullptr, reinterpret_cast<void**>(&mappedReadback)), readbackCallText);

    commandQueue->GetTimestampFrequency(&timestampFrequency);
}

void createFrameConstantBuffers() {
    frameConstantsBuffer = createConstantBuffer(sizeof(FrameConstants), 1);
    sceneInfoBuffer = createConstantBuffer(sizeof(SceneInfo), 1);
    debugFlagsBuffer = createConstantBuffer(sizeof(DebugFlags), 1);
    descriptorIndicesBuffer = createConstantBuffer(sizeof(DescriptorIndices), 1);
}
