#include "renderer/PassPipelines.h"

#include "core/Globals.h"
#include "core/Pipelines.h"
#include "core/Report.h"
#include "core/RootSignature.h"
#include "core/Shader.h"

#include <dxguids/dxguids.h>

ID3D12PipelineState* geometryPipeline = nullptr;
ID3D12PipelineState* shadingPipeline = nullptr;
ID3D12RootSignature* postRootSignature = nullptr;
ID3D12PipelineState* postPipeline = nullptr;

namespace {

// The compiled stages stay alive for the run, as the pipelines made from them do.
Shader geometryShader = {};
Shader shadingShader = {};
Shader postShader = {};

} // namespace

void createShaderCompiler() {
    CHECK(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&hlslCompiler)));
    CHECK(DxcCreateInstance(CLSID_DxcLibrary, IID_PPV_ARGS(&hlslLibrary)));
    CHECK(hlslLibrary->CreateIncludeHandler(&hlslIncludeHandler));
}

void createGeometryPipeline() {
    GraphicsPipelineDesc desc = {};
    geometryShader = compileShader(L"src/Shaders/Geometry.hlsl",
                                   SHADER_STAGE_AMPLIFICATION | SHADER_STAGE_MESH | SHADER_STAGE_PIXEL);
    desc.shader = geometryShader;
    desc.cullMode = D3D12_CULL_MODE_NONE;
    desc.rtvFormats[0] = DXGI_FORMAT_R32G32B32A32_UINT;
    desc.rtvFormats[1] = DXGI_FORMAT_R32G32_UINT;
    desc.numRenderTargets = 2;
    desc.multisampleEnable = false;
    desc.alphaBlending = false;
    desc.depthEnable = true;
    desc.meshShader = true;
    geometryPipeline = createGraphicsPipeline(desc, defaultRootSignature);
}

void createShadingPipeline() {
    shadingShader = compileShader(L"src/Shaders/Shading.hlsl", SHADER_STAGE_COMPUTE);
    shadingPipeline = createComputePipeline(shadingShader);
}

void createPostRootSignature() {
    D3D12_DESCRIPTOR_RANGE1 range = {};
    range.RangeType = D3D12_DESCRIPTOR_RANGE_TYPE_SRV;
    range.NumDescriptors = 1;
    range.BaseShaderRegister = 0;
    range.RegisterSpace = 0;
    range.Flags = D3D12_DESCRIPTOR_RANGE_FLAG_NONE;
    range.OffsetInDescriptorsFromTableStart = D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND;

    D3D12_ROOT_PARAMETER1 parameters[2] = {};
    parameters[0].ParameterType = D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE;
    parameters[0].DescriptorTable = {1, &range};
    parameters[0].ShaderVisibility = D3D12_SHADER_VISIBILITY_PIXEL;
    // The four post settings.
    parameters[1].ParameterType = D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS;
    parameters[1].Constants = {0, 0, 4};
    parameters[1].ShaderVisibility = D3D12_SHADER_VISIBILITY_PIXEL;

    // Point sampling of the colour target's one mip level.
    D3D12_STATIC_SAMPLER_DESC sampler =
        topMipSampler(D3D12_FILTER_MIN_MAG_MIP_POINT, D3D12_TEXTURE_ADDRESS_MODE_CLAMP, 0);
    postRootSignature = createRootSignature(
        parameters, 2, sampler,
        "device->CreateRootSignature(0, signature->GetBufferPointer(), signature->GetBufferSize(), "
        "IID_PPV_ARGS(&rootSignature))");
}

void createPostPipeline() {
    GraphicsPipelineDesc desc = {};
    postShader = compileShader(L"src/Shaders/Post.hlsl", SHADER_STAGE_VERTEX | SHADER_STAGE_PIXEL);
    desc.shader = postShader;
    desc.cullMode = D3D12_CULL_MODE_NONE;
    desc.rtvFormats[0] = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.numRenderTargets = 1;
    desc.multisampleEnable = false;
    desc.alphaBlending = false;
    // The post pass binds no depth view, so nothing is depth tested although this is set.
    desc.depthEnable = true;
    desc.meshShader = false;
    postPipeline = createGraphicsPipeline(desc, postRootSignature);
}
