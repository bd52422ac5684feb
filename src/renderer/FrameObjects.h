// The objects every frame records with and reads back from: the command allocators and list, the query heaps
// with their read-back buffer, the four per-frame constant buffers, and the client size seen last.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include "core/Buffers.h"

#include <cstdint>

// Ten timestamps per frame slot from 10 x frameIndex; the heap holds room for four slots.
inline constexpr UINT TIMESTAMP_QUERY_COUNT = 40;
// One pipeline-statistics query per frame slot, of the kind that counts amplification and mesh work.
inline constexpr UINT STATISTICS_QUERY_COUNT = 2;
// The resolved timestamps (8 bytes each) followed by the pipeline-statistics records.
inline constexpr UINT64 READBACK_SIZE =
    TIMESTAMP_QUERY_COUNT * sizeof(UINT64) +
    STATISTICS_QUERY_COUNT * sizeof(D3D12_QUERY_DATA_PIPELINE_STATISTICS1);
static_assert(READBACK_SIZE == 544);

extern ID3D12QueryHeap* timingQueryHeap;
extern ID3D12QueryHeap* statisticsQueryHeap;
// In a readback heap and mapped from creation until shutdown.
extern ID3D12Resource* readbackHeap;
extern uint64_t* mappedReadback;
// Timestamp ticks per second of commandQueue.
extern uint64_t timestampFrequency;

extern ConstantBuffer frameConstantsBuffer;
extern ConstantBuffer sceneInfoBuffer;
extern ConstantBuffer debugFlagsBuffer;
extern ConstantBuffer descriptorIndicesBuffer;

// The client size the frame saw last; a frame that finds another size resizes.
extern uint32_t lastWidth;
extern uint32_t lastHeight;

// One direct allocator per frame in flight, and the one command list on allocator 0, left recording.
void createCommandAllocatorsAndList();
// The timestamp and pipeline-statistics heaps, the mapped read-back buffer and the timestamp frequency.
void createQueryObjects();
// The FrameConstants, SceneInfo, DebugFlags and DescriptorIndices blocks, one element each.
void createFrameConstantBuffers();
