// The pipeline-state stream of the mesh-shader form: sixteen subobjects, each a subobject-type word followed
// by its value and aligned to 8 bytes. DirectX-Headers' own mesh stream lacks the primitive-topology
// subobject, so the stream is laid out here from its per-subobject wrappers.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>
#include <directx/d3dx12.h>

#include <cstddef>

struct MeshPipelineStream {
    CD3DX12_PIPELINE_STATE_STREAM_FLAGS flags;
    CD3DX12_PIPELINE_STATE_STREAM_NODE_MASK nodeMask;
    CD3DX12_PIPELINE_STATE_STREAM_ROOT_SIGNATURE rootSignature;
    CD3DX12_PIPELINE_STATE_STREAM_PRIMITIVE_TOPOLOGY primitiveTopologyType;
    CD3DX12_PIPELINE_STATE_STREAM_PS ps;
    CD3DX12_PIPELINE_STATE_STREAM_AS as;
    CD3DX12_PIPELINE_STATE_STREAM_MS ms;
    CD3DX12_PIPELINE_STATE_STREAM_BLEND_DESC blendState;
    CD3DX12_PIPELINE_STATE_STREAM_DEPTH_STENCIL1 depthStencilState;
    CD3DX12_PIPELINE_STATE_STREAM_DEPTH_STENCIL_FORMAT dsvFormat;
    CD3DX12_PIPELINE_STATE_STREAM_RASTERIZER rasterizerState;
    CD3DX12_PIPELINE_STATE_STREAM_RENDER_TARGET_FORMATS rtvFormats;
    CD3DX12_PIPELINE_STATE_STREAM_SAMPLE_DESC sampleDesc;
    CD3DX12_PIPELINE_STATE_STREAM_SAMPLE_MASK sampleMask;
    CD3DX12_PIPELINE_STATE_STREAM_CACHED_PSO cachedPso;
    CD3DX12_PIPELINE_STATE_STREAM_VIEW_INSTANCING viewInstancing;
};

static_assert(sizeof(MeshPipelineStream) == 688);
static_assert(offsetof(MeshPipelineStream, flags) == 0 && offsetof(MeshPipelineStream, nodeMask) == 8);
static_assert(offsetof(MeshPipelineStream, rootSignature) == 16);
static_assert(offsetof(MeshPipelineStream, primitiveTopologyType) == 32);
static_assert(offsetof(MeshPipelineStream, ps) == 40 && offsetof(MeshPipelineStream, as) == 64);
static_assert(offsetof(MeshPipelineStream, ms) == 88 && offsetof(MeshPipelineStream, blendState) == 112);
static_assert(offsetof(MeshPipelineStream, depthStencilState) == 448);
static_assert(offsetof(MeshPipelineStream, dsvFormat) == 512);
static_assert(offsetof(MeshPipelineStream, rasterizerState) == 520);
static_assert(offsetof(MeshPipelineStream, rtvFormats) == 568);
static_assert(offsetof(MeshPipelineStream, sampleDesc) == 608 &&
              offsetof(MeshPipelineStream, sampleMask) == 624);
static_assert(offsetof(MeshPipelineStream, cachedPso) == 632);
static_assert(offsetof(MeshPipelineStream, viewInstancing) == 656);
