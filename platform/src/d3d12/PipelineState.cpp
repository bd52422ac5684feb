// Pipeline states from graphics and compute descriptions, and from pipeline-state streams parsed subobject by
// subobject as the runtime does: each subobject starts on a pointer-size boundary with its type word, its
// value follows at the value's own alignment, and the next subobject starts after the value, rounded up to 8
// bytes.
#include "d3d12/PipelineState.h"

#include "d3d12/Device.h"
#include "d3d12/GpuState.h"
#include "d3d12/RootSignature.h"
#include "d3d12/ShaderBindings.h"
#include "d3d12/ShaderBytecode.h"

#include <cstddef>

namespace standin {

namespace {

uint64_t alignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

std::vector<uint8_t> copyBytecode(const D3D12_SHADER_BYTECODE& code) {
    if (!code.pShaderBytecode || code.BytecodeLength == 0)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(code.pShaderBytecode);
    return {bytes, bytes + code.BytecodeLength};
}

D3D12_DEPTH_STENCIL_DESC1 widen(const D3D12_DEPTH_STENCIL_DESC& d) {
    return {d.DepthEnable,   d.DepthWriteMask,  d.DepthFunc,
            d.StencilEnable, d.StencilReadMask, d.StencilWriteMask,
            d.FrontFace,     d.BackFace,        FALSE};
}

void setInputLayout(PipelineInfo& info, const D3D12_INPUT_LAYOUT_DESC& layout) {
    for (UINT i = 0; layout.pInputElementDescs && i < layout.NumElements; ++i) {
        const D3D12_INPUT_ELEMENT_DESC& e = layout.pInputElementDescs[i];
        info.inputLayout.push_back({e.SemanticName ? e.SemanticName : "", e.SemanticIndex, e.Format,
                                    e.InputSlot, e.AlignedByteOffset, e.InputSlotClass,
                                    e.InstanceDataStepRate});
    }
}

// The defaults of a stream that leaves subobjects out (the runtime's defaults for each).
PipelineInfo streamDefaults() {
    PipelineInfo info;
    info.sampleMask = UINT_MAX;
    info.rasterizer = {D3D12_FILL_MODE_SOLID,
                       D3D12_CULL_MODE_BACK,
                       FALSE,
                       0,
                       0.0f,
                       0.0f,
                       TRUE,
                       FALSE,
                       FALSE,
                       0,
                       D3D12_CONSERVATIVE_RASTERIZATION_MODE_OFF};
    for (auto& target : info.blend.RenderTarget)
        target.RenderTargetWriteMask = D3D12_COLOR_WRITE_ENABLE_ALL;
    const D3D12_DEPTH_STENCILOP_DESC keep{D3D12_STENCIL_OP_KEEP, D3D12_STENCIL_OP_KEEP, D3D12_STENCIL_OP_KEEP,
                                          D3D12_COMPARISON_FUNC_ALWAYS};
    info.depthStencil = {
        TRUE, D3D12_DEPTH_WRITE_MASK_ALL, D3D12_COMPARISON_FUNC_LESS, FALSE, 0xff, 0xff, keep, keep, FALSE};
    info.sampleDesc = {1, 0};
    return info;
}

// Checks what every pipeline needs; "" when it is fine.
std::string checkPipeline(const PipelineInfo& info) {
    if (!info.rootSignature)
        return "the pipeline state names no root signature (the stand-in's shaders embed none)";
    if (!rootSignatureOf(info.rootSignature))
        return "the root signature was not made by this device";
    struct Stage {
        const std::vector<uint8_t>& code;
        const char* name;
    };
    for (const Stage& stage :
         {Stage{info.vs, "vs"}, Stage{info.ps, "ps"}, Stage{info.as, "as"}, Stage{info.ms, "ms"},
          Stage{info.cs, "cs"}, Stage{info.ds, "ds"}, Stage{info.hs, "hs"}, Stage{info.gs, "gs"}}) {
        std::string problem = checkShaderStage(stage.code, stage.name);
        if (!problem.empty())
            return problem;
    }
    if (info.kind == PipelineKind::Compute) {
        if (info.cs.empty())
            return "a compute pipeline needs a compute shader";
        return checkPipelineShaders(info, rootSignatureOf(info.rootSignature)->info);
    }
    if (info.kind == PipelineKind::Mesh) {
        if (!info.vs.empty() || !info.gs.empty() || !info.hs.empty() || !info.ds.empty())
            return "a mesh-shader pipeline cannot have vertex, hull, domain or geometry shaders";
        if (!info.inputLayout.empty())
            return "a mesh-shader pipeline has no input layout";
    } else {
        if (info.vs.empty())
            return "a graphics pipeline needs a vertex shader (or a mesh shader)";
        if (info.topologyType == D3D12_PRIMITIVE_TOPOLOGY_TYPE_UNDEFINED)
            return "the primitive topology type is UNDEFINED";
        for (const InputElementInfo& element : info.inputLayout)
            if (element.semanticName.empty())
                return "an input element has no semantic name";
    }
    if (info.numRenderTargets > D3D12_SIMULTANEOUS_RENDER_TARGET_COUNT)
        return "NumRenderTargets is above 8";
    for (UINT i = info.numRenderTargets; i < D3D12_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i)
        if (info.rtvFormats[i] != DXGI_FORMAT_UNKNOWN)
            return "render-target format " + std::to_string(i) + " is set but NumRenderTargets is " +
                   std::to_string(info.numRenderTargets);
    if (info.sampleDesc.Count != 1)
        return "the stand-in supports single-sample pipelines only";
    return checkPipelineShaders(info, rootSignatureOf(info.rootSignature)->info);
}

HRESULT finish(Device* device, PipelineInfo info, const char* call, REFIID riid, void** out) {
    std::string problem = checkPipeline(info);
    if (!problem.empty()) {
        reportValidationError(std::string(call) + ": " + problem);
        return E_INVALIDARG;
    }
    info.valid = true;
    return handOut(new PipelineState(device, std::move(info)), riid, out);
}

template <class T> bool readValue(const uint8_t* stream, size_t size, size_t* position, T* value) {
    size_t at = alignUp(*position + sizeof(D3D12_PIPELINE_STATE_SUBOBJECT_TYPE), alignof(T));
    if (at + sizeof(T) > size)
        return false;
    std::memcpy(value, stream + at, sizeof(T));
    *position = alignUp(at + sizeof(T), sizeof(void*));
    return true;
}

} // namespace

PipelineState::PipelineState(Device* owner, PipelineInfo pipelineInfo)
    : DeviceChild(owner), info(std::move(pipelineInfo)), rootSignature(rootSignatureOf(info.rootSignature)) {
    if (rootSignature)
        rootSignature->AddRef();
}

PipelineState::~PipelineState() {
    if (rootSignature)
        rootSignature->Release();
}

void* PipelineState::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12Pageable, ID3D12PipelineState>(riid))
        return static_cast<ID3D12PipelineState*>(this);
    return nullptr;
}

HRESULT PipelineState::GetCachedBlob(ID3DBlob**) {
    return notImplemented("ID3D12PipelineState::GetCachedBlob");
}

PipelineState* pipelineStateOf(ID3D12PipelineState* pipeline) {
    return dynamic_cast<PipelineState*>(pipeline);
}

HRESULT Device::CreateGraphicsPipelineState(const D3D12_GRAPHICS_PIPELINE_STATE_DESC* desc, REFIID riid,
                                            void** out) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateGraphicsPipelineState"); failure != S_OK)
        return failure;
    if (!desc)
        return E_INVALIDARG;
    PipelineInfo info;
    info.kind = PipelineKind::Graphics;
    info.rootSignature = desc->pRootSignature;
    info.vs = copyBytecode(desc->VS);
    info.ps = copyBytecode(desc->PS);
    info.ds = copyBytecode(desc->DS);
    info.hs = copyBytecode(desc->HS);
    info.gs = copyBytecode(desc->GS);
    info.blend = desc->BlendState;
    info.sampleMask = desc->SampleMask;
    info.rasterizer = desc->RasterizerState;
    info.depthStencil = widen(desc->DepthStencilState);
    setInputLayout(info, desc->InputLayout);
    info.stripCutValue = desc->IBStripCutValue;
    info.topologyType = desc->PrimitiveTopologyType;
    info.numRenderTargets = desc->NumRenderTargets;
    std::copy(desc->RTVFormats, desc->RTVFormats + 8, info.rtvFormats);
    info.dsvFormat = desc->DSVFormat;
    info.sampleDesc = desc->SampleDesc;
    info.nodeMask = desc->NodeMask;
    info.flags = desc->Flags;
    return finish(this, std::move(info), "CreateGraphicsPipelineState", riid, out);
}

HRESULT Device::CreateComputePipelineState(const D3D12_COMPUTE_PIPELINE_STATE_DESC* desc, REFIID riid,
                                           void** out) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateComputePipelineState"); failure != S_OK)
        return failure;
    if (!desc)
        return E_INVALIDARG;
    PipelineInfo info;
    info.kind = PipelineKind::Compute;
    info.rootSignature = desc->pRootSignature;
    info.cs = copyBytecode(desc->CS);
    info.nodeMask = desc->NodeMask;
    info.flags = desc->Flags;
    return finish(this, std::move(info), "CreateComputePipelineState", riid, out);
}

HRESULT Device::CreatePipelineState(const D3D12_PIPELINE_STATE_STREAM_DESC* desc, REFIID riid, void** out) {
    if (HRESULT failure = injectedFailure("ID3D12Device2::CreatePipelineState"); failure != S_OK)
        return failure;
    if (!desc || !desc->pPipelineStateSubobjectStream || desc->SizeInBytes == 0)
        return E_INVALIDARG;
    const auto* stream = static_cast<const uint8_t*>(desc->pPipelineStateSubobjectStream);
    size_t size = desc->SizeInBytes, position = 0;
    PipelineInfo info = streamDefaults();
    info.fromStream = true;
    std::string problem;
    bool seen[32] = {};
    while (problem.empty() && position < size) {
        D3D12_PIPELINE_STATE_SUBOBJECT_TYPE type;
        if (position + sizeof type > size) {
            problem = "the stream ends inside a subobject's type";
            break;
        }
        std::memcpy(&type, stream + position, sizeof type);
        if (unsigned(type) >= 32 || seen[type]) {
            problem = "subobject type " + std::to_string(type) +
                      (unsigned(type) < 32 ? " appears twice" : " is unknown");
            break;
        }
        seen[type] = true;
        info.streamSubobjects.push_back(type);
        bool ok = false;
        D3D12_SHADER_BYTECODE code{};
        switch (type) {
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_ROOT_SIGNATURE:
            ok = readValue(stream, size, &position, &info.rootSignature);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_VS:
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_PS:
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_DS:
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_HS:
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_GS:
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_CS:
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_AS:
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_MS: {
            ok = readValue(stream, size, &position, &code);
            std::vector<uint8_t>* slots[] = {&info.vs, &info.ps, &info.ds, &info.hs, &info.gs, &info.cs};
            std::vector<uint8_t>* slot = type == D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_AS   ? &info.as
                                         : type == D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_MS ? &info.ms
                                                                                          : slots[type - 1];
            *slot = copyBytecode(code);
            break;
        }
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_STREAM_OUTPUT: {
            D3D12_STREAM_OUTPUT_DESC output{};
            ok = readValue(stream, size, &position, &output);
            if (ok && output.NumEntries)
                problem = "the stand-in has no stream output";
            break;
        }
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_BLEND:
            ok = readValue(stream, size, &position, &info.blend);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_SAMPLE_MASK:
            ok = readValue(stream, size, &position, &info.sampleMask);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_RASTERIZER:
            ok = readValue(stream, size, &position, &info.rasterizer);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_DEPTH_STENCIL: {
            D3D12_DEPTH_STENCIL_DESC depth{};
            ok = readValue(stream, size, &position, &depth);
            info.depthStencil = widen(depth);
            break;
        }
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_INPUT_LAYOUT: {
            D3D12_INPUT_LAYOUT_DESC layout{};
            ok = readValue(stream, size, &position, &layout);
            if (ok)
                setInputLayout(info, layout);
            break;
        }
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_IB_STRIP_CUT_VALUE:
            ok = readValue(stream, size, &position, &info.stripCutValue);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_PRIMITIVE_TOPOLOGY:
            ok = readValue(stream, size, &position, &info.topologyType);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_RENDER_TARGET_FORMATS: {
            D3D12_RT_FORMAT_ARRAY formats{};
            ok = readValue(stream, size, &position, &formats);
            info.numRenderTargets = formats.NumRenderTargets;
            std::copy(formats.RTFormats, formats.RTFormats + 8, info.rtvFormats);
            break;
        }
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_DEPTH_STENCIL_FORMAT:
            ok = readValue(stream, size, &position, &info.dsvFormat);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_SAMPLE_DESC:
            ok = readValue(stream, size, &position, &info.sampleDesc);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_NODE_MASK:
            ok = readValue(stream, size, &position, &info.nodeMask);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_CACHED_PSO: {
            D3D12_CACHED_PIPELINE_STATE cached{};
            ok = readValue(stream, size, &position, &cached);
            if (ok && cached.CachedBlobSizeInBytes)
                problem = "the stand-in keeps no cached pipeline states";
            break;
        }
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_FLAGS:
            ok = readValue(stream, size, &position, &info.flags);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_DEPTH_STENCIL1:
            ok = readValue(stream, size, &position, &info.depthStencil);
            break;
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_VIEW_INSTANCING: {
            D3D12_VIEW_INSTANCING_DESC instancing{};
            ok = readValue(stream, size, &position, &instancing);
            info.viewInstanceCount = instancing.ViewInstanceCount;
            info.viewInstancingFlags = instancing.Flags;
            break;
        }
        case D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_DEPTH_STENCIL2: {
            D3D12_DEPTH_STENCIL_DESC2 depth{};
            ok = readValue(stream, size, &position, &depth);
            info.depthStencil.DepthEnable = depth.DepthEnable;
            info.depthStencil.DepthWriteMask = depth.DepthWriteMask;
            info.depthStencil.DepthFunc = depth.DepthFunc;
            info.depthStencil.StencilEnable = depth.StencilEnable;
            info.depthStencil.DepthBoundsTestEnable = depth.DepthBoundsTestEnable;
            break;
        }
        default:
            problem = "subobject type " + std::to_string(type) + " is unknown";
            break;
        }
        if (problem.empty() && !ok)
            problem = "the stream ends inside subobject " + std::to_string(info.streamSubobjects.size() - 1);
    }
    if (problem.empty() && position != size)
        problem = "the stream's size does not end on a subobject boundary";
    if (!problem.empty()) {
        reportValidationError("CreatePipelineState: " + problem);
        return E_INVALIDARG;
    }
    info.kind = !info.cs.empty()   ? PipelineKind::Compute
                : !info.ms.empty() ? PipelineKind::Mesh
                                   : PipelineKind::Graphics;
    return finish(this, std::move(info), "CreatePipelineState", riid, out);
}

} // namespace standin
