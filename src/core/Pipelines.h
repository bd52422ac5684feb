// Pipeline states of the passes: the mesh-shader and classic graphics forms, and compute.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include "core/Shader.h"

#include <cstdint>

struct GraphicsPipelineDesc {
    Shader
        shader; // the mesh form reads asBlob (may be null), msBlob, psBlob; the classic form vsBlob, psBlob
    D3D12_CULL_MODE cullMode;
    DXGI_FORMAT rtvFormats[4];
    uint32_t numRenderTargets; // at most 4
    bool multisampleEnable;
    bool alphaBlending; // source-alpha blending on render target 0
    bool depthEnable;   // depth test and write
    bool meshShader;    // mesh form when true, classic vertex-and-pixel form when false
};

// Creates a graphics pipeline state on the given root signature; a refusal takes the reporting path.
// The caller owns the one reference.
ID3D12PipelineState* createGraphicsPipeline(GraphicsPipelineDesc desc, ID3D12RootSignature* rootSignature);

// Creates a compute pipeline state from csBlob on defaultRootSignature; a refusal takes the reporting path.
ID3D12PipelineState* createComputePipeline(Shader shader);
