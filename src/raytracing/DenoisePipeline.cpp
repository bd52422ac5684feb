#include "raytracing/RaytracingPipeline.h"

#include "core/Globals.h"
#include "core/Report.h"
#include "raytracing/DenoiseProgram.h"

#include <dxguids/dxguids.h>

#include <stdexcept>

ID3D12PipelineState* denoisePipeline = nullptr;

void createDenoisePipeline() {
    // The embedded program carries no root signature of its own, so without rtRootSignature no pipeline can
    // be made.
    if (!rtRootSignature)
        throw std::runtime_error("pipeline denoise creation failed");
    D3D12_COMPUTE_PIPELINE_STATE_DESC pipelineDesc = {};
    pipelineDesc.pRootSignature = rtRootSignature;
    pipelineDesc.CS = {DenoiseCS, DenoiseCSSize};
    pipelineDesc.NodeMask = 0;
    pipelineDesc.CachedPSO = {nullptr, 0};
    pipelineDesc.Flags = D3D12_PIPELINE_STATE_FLAG_NONE;
    if (failed(device->CreateComputePipelineState(&pipelineDesc, IID_PPV_ARGS(&denoisePipeline)))) {
        denoisePipeline = nullptr;
        throw std::runtime_error("pipeline denoise creation failed");
    }
}
