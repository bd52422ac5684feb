#include "core/Pipelines.h"

#include "core/Globals.h"
#include "core/MeshPipelineStream.h"
#include "core/Report.h"
#include "core/RootSignature.h"

#include <dxguids/dxguids.h>

#include <climits>

namespace {

D3D12_SHADER_BYTECODE bytecodeOf(IDxcBlob* blob) {
    if (!blob)
        return {nullptr, 0};
    return {blob->GetBufferPointer(), blob->GetBufferSize()};
}

// Independent blending is off, so render target 0's entry applies to every target.
D3D12_BLEND_DESC blendStateOf(const GraphicsPipelineDesc& desc) {
    D3D12_BLEND_DESC blend = {};
    D3D12_RENDER_TARGET_BLEND_DESC& target = blend.RenderTarget[0];
    if (desc.alphaBlending) {
        target.BlendEnable = TRUE;
        target.SrcBlend = D3D12_BLEND_SRC_ALPHA;
        target.DestBlend = D3D12_BLEND_INV_SRC_ALPHA;
        target.BlendOp = D3D12_BLEND_OP_ADD;
        target.SrcBlendAlpha = D3D12_BLEND_SRC_ALPHA;
        target.DestBlendAlpha = D3D12_BLEND_INV_SRC_ALPHA;
        target.BlendOpAlpha = D3D12_BLEND_OP_ADD;
    }
    target.LogicOp = D3D12_LOGIC_OP_CLEAR;
    target.RenderTargetWriteMask = D3D12_COLOR_WRITE_ENABLE_ALL;
    return blend;
}

D3D12_RASTERIZER_DESC rasterizerStateOf(const GraphicsPipelineDesc& desc) {
    D3D12_RASTERIZER_DESC rasterizer = {};
    rasterizer.FillMode = D3D12_FILL_MODE_SOLID;
    rasterizer.CullMode = desc.cullMode;
    rasterizer.FrontCounterClockwise = TRUE;
    rasterizer.DepthBias = 0;
    rasterizer.DepthBiasClamp = 0;
    rasterizer.SlopeScaledDepthBias = 0;
    rasterizer.DepthClipEnable = TRUE;
    rasterizer.MultisampleEnable = desc.multisampleEnable;
    rasterizer.AntialiasedLineEnable = FALSE;
    rasterizer.ForcedSampleCount = 0;
    rasterizer.ConservativeRaster = D3D12_CONSERVATIVE_RASTERIZATION_MODE_OFF;
    return rasterizer;
}

// Depth test and write as asked, stencil off with zero masks and zeroed face descriptions.
template <typename DepthStencilDesc>
DepthStencilDesc depthStencilStateOf(const GraphicsPipelineDesc& desc, D3D12_COMPARISON_FUNC depthFunc) {
    DepthStencilDesc depthStencil = {};
    depthStencil.DepthEnable = desc.depthEnable;
    depthStencil.DepthWriteMask = D3D12_DEPTH_WRITE_MASK_ALL;
    depthStencil.DepthFunc = depthFunc;
    depthStencil.StencilEnable = FALSE;
    depthStencil.StencilReadMask = 0;
    depthStencil.StencilWriteMask = 0;
    return depthStencil;
}

D3D12_RT_FORMAT_ARRAY renderTargetFormatsOf(const GraphicsPipelineDesc& desc) {
    D3D12_RT_FORMAT_ARRAY formats = {};
    for (uint32_t i = 0; i < desc.numRenderTargets; ++i)
        formats.RTFormats[i] = desc.rtvFormats[i];
    formats.NumRenderTargets = desc.numRenderTargets;
    return formats;
}

ID3D12PipelineState* createMeshPipeline(const GraphicsPipelineDesc& desc,
                                        ID3D12RootSignature* rootSignature) {
    MeshPipelineStream stream;
    stream.flags = D3D12_PIPELINE_STATE_FLAG_NONE;
    stream.nodeMask = 0;
    stream.rootSignature = rootSignature;
    stream.primitiveTopologyType = D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
    stream.ps = bytecodeOf(desc.shader.psBlob);
    stream.as = bytecodeOf(desc.shader.asBlob);
    stream.ms = bytecodeOf(desc.shader.msBlob);
    stream.blendState = CD3DX12_BLEND_DESC(blendStateOf(desc));
    // Reversed depth: the frame clears to 0 and nearer fragments have greater depth.
    D3D12_DEPTH_STENCIL_DESC1 depthStencil =
        depthStencilStateOf<D3D12_DEPTH_STENCIL_DESC1>(desc, D3D12_COMPARISON_FUNC_GREATER_EQUAL);
    depthStencil.DepthBoundsTestEnable = FALSE;
    stream.depthStencilState = CD3DX12_DEPTH_STENCIL_DESC1(depthStencil);
    stream.dsvFormat = DXGI_FORMAT_D32_FLOAT;
    stream.rasterizerState = CD3DX12_RASTERIZER_DESC(rasterizerStateOf(desc));
    stream.rtvFormats = renderTargetFormatsOf(desc);
    stream.sampleDesc = DXGI_SAMPLE_DESC{1, 0};
    stream.sampleMask = UINT_MAX;
    stream.cachedPso = D3D12_CACHED_PIPELINE_STATE{nullptr, 0};
    stream.viewInstancing = CD3DX12_VIEW_INSTANCING_DESC(0, nullptr, D3D12_VIEW_INSTANCING_FLAG_NONE);

    D3D12_PIPELINE_STATE_STREAM_DESC streamDesc = {sizeof(stream), &stream};
    ID3D12PipelineState* state = nullptr;
    CHECK(device->CreatePipelineState(&streamDesc, IID_PPV_ARGS(&state)));
    return state;
}

ID3D12PipelineState* createClassicPipeline(const GraphicsPipelineDesc& desc,
                                           ID3D12RootSignature* rootSignature) {
    static const D3D12_INPUT_ELEMENT_DESC inputElements[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D12_INPUT_CLASSIFICATION_PER_VERTEX_DATA, 0},
        {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 12, D3D12_INPUT_CLASSIFICATION_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 24, D3D12_INPUT_CLASSIFICATION_PER_VERTEX_DATA, 0},
    };

    D3D12_GRAPHICS_PIPELINE_STATE_DESC stateDesc = {};
    stateDesc.pRootSignature = rootSignature;
    stateDesc.VS = bytecodeOf(desc.shader.vsBlob);
    stateDesc.PS = bytecodeOf(desc.shader.psBlob);
    stateDesc.BlendState = blendStateOf(desc);
    stateDesc.SampleMask = UINT_MAX;
    stateDesc.RasterizerState = rasterizerStateOf(desc);
    stateDesc.DepthStencilState =
        depthStencilStateOf<D3D12_DEPTH_STENCIL_DESC>(desc, D3D12_COMPARISON_FUNC_LESS);
    stateDesc.InputLayout = {inputElements, 3};
    stateDesc.IBStripCutValue = D3D12_INDEX_BUFFER_STRIP_CUT_VALUE_DISABLED;
    stateDesc.PrimitiveTopologyType = D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
    D3D12_RT_FORMAT_ARRAY formats = renderTargetFormatsOf(desc);
    stateDesc.NumRenderTargets = formats.NumRenderTargets;
    for (uint32_t i = 0; i < 8; ++i)
        stateDesc.RTVFormats[i] = formats.RTFormats[i];
    // No depth-stencil format, although the description enables depth: the post pass binds no depth view.
    stateDesc.DSVFormat = DXGI_FORMAT_UNKNOWN;
    stateDesc.SampleDesc = {1, 0};
    stateDesc.NodeMask = 0;
    stateDesc.Flags = D3D12_PIPELINE_STATE_FLAG_NONE;

    ID3D12PipelineState* state = nullptr;
    CHECK(device->CreateGraphicsPipelineState(&stateDesc, IID_PPV_ARGS(&state)));
    return state;
}

} // namespace

ID3D12PipelineState* createGraphicsPipeline(GraphicsPipelineDesc desc, ID3D12RootSignature* rootSignature) {
    if (desc.meshShader)
        return createMeshPipeline(desc, rootSignature);
    return createClassicPipeline(desc, rootSignature);
}

ID3D12PipelineState* createComputePipeline(Shader shader) {
    D3D12_COMPUTE_PIPELINE_STATE_DESC stateDesc = {};
    stateDesc.pRootSignature = defaultRootSignature;
    stateDesc.CS = bytecodeOf(shader.csBlob);
    stateDesc.NodeMask = 0;
    stateDesc.Flags = D3D12_PIPELINE_STATE_FLAG_NONE;

    // A refused compute pipeline would be bound by every frame, so it is reported like the graphics ones.
    ID3D12PipelineState* state = nullptr;
    CHECK(device->CreateComputePipelineState(&stateDesc, IID_PPV_ARGS(&state)));
    return state;
}
