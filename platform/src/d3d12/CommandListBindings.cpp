// State setting on command lists: root signatures and arguments, pipelines, render targets, input assembly
// and rasteriser state; with the checks the debug layer makes on each.
#include "d3d12/CommandList.h"

#include "d3d12/GpuState.h"
#include "d3d12/PipelineState.h"
#include "d3d12/RootSignature.h"
#include "d3d12/StateObject.h"

#include <algorithm>
#include <cinttypes>

namespace standin {

namespace {

const char* parameterTypeName(D3D12_ROOT_PARAMETER_TYPE type) {
    switch (type) {
    case D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE:
        return "descriptor table";
    case D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS:
        return "32-bit constants";
    case D3D12_ROOT_PARAMETER_TYPE_CBV:
        return "root constant-buffer view";
    case D3D12_ROOT_PARAMETER_TYPE_SRV:
        return "root shader-resource view";
    case D3D12_ROOT_PARAMETER_TYPE_UAV:
        return "root unordered-access view";
    default:
        return "unknown parameter";
    }
}

std::string hex(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%" PRIx64, value);
    return text;
}

std::vector<RootArgument> argumentsFor(const RootSignature* rootSignature) {
    std::vector<RootArgument> arguments;
    if (rootSignature)
        arguments.resize(rootSignature->info.parameters.size());
    return arguments;
}

void forgetStaleTables(Bindings& bindings, bool compute) {
    std::erase_if(bindings.staleTables, [compute](const auto& table) { return table.first == compute; });
}

} // namespace

BoundState CommandList::boundState(bool compute) const {
    BoundState state;
    RootSignature* rootSignature = compute ? bindings.computeRootSignature : bindings.graphicsRootSignature;
    state.rootSignature = rootSignature;
    state.pipeline = bindings.pipeline;
    state.stateObject = bindings.stateObject;
    state.rootArguments = compute ? bindings.computeArguments : bindings.graphicsArguments;
    state.renderTargets = bindings.renderTargets;
    {
        std::lock_guard lock(gpuMutex());
        for (const Descriptor& view : bindings.renderTargetViews) {
            auto storage = view.storage.lock();
            state.renderTargetNames.push_back(storage ? storage->name : "");
        }
        if (auto storage = bindings.depthStencilView.storage.lock())
            state.depthStencilName = storage->name;
    }
    state.depthStencil = bindings.depthStencil;
    state.descriptorHeaps = bindings.heapObjects;
    state.topology = bindings.topology;
    state.viewports = bindings.viewports;
    state.scissorRects = bindings.scissorRects;
    state.vertexBuffers = bindings.vertexBuffers;
    state.indexBuffer = bindings.indexBuffer;
    return state;
}

void CommandList::setRootArgument(bool compute, UINT index, RootArgument argument, const char* method,
                                  D3D12_ROOT_PARAMETER_TYPE expected) {
    if (!recording(method))
        return;
    std::string where = std::string("ID3D12GraphicsCommandList::") + method + ": ";
    RootSignature* rootSignature = compute ? bindings.computeRootSignature : bindings.graphicsRootSignature;
    auto& arguments = compute ? bindings.computeArguments : bindings.graphicsArguments;
    RecordedCommand& entry = log(CommandKind::SetRootArgument);
    entry.rootIndex = index;
    entry.compute = compute;
    entry.rootArgument = argument;
    if (!rootSignature) {
        reportValidationError(where + "no " + (compute ? "compute" : "graphics") + " root signature is set");
        return;
    }
    const auto& parameters = rootSignature->info.parameters;
    if (index >= parameters.size()) {
        reportValidationError(where + "the root parameter index " + std::to_string(index) +
                              " is out of range: the root signature has " +
                              std::to_string(parameters.size()) + " parameters");
        return;
    }
    const RootParameterInfo& parameter = parameters[index];
    if (parameter.type != expected) {
        reportValidationError(where + "root parameter " + std::to_string(index) + " is a " +
                              parameterTypeName(parameter.type) + ", not a " + parameterTypeName(expected));
        return;
    }
    std::unique_lock lock(gpuMutex());
    std::string problem;
    if (expected == D3D12_ROOT_PARAMETER_TYPE_CBV || expected == D3D12_ROOT_PARAMETER_TYPE_SRV ||
        expected == D3D12_ROOT_PARAMETER_TYPE_UAV) {
        auto buffer = findBuffer(argument.address);
        if (!buffer)
            problem = "the GPU virtual address " + hex(argument.address) + " is outside every live buffer";
        reference(buffer);
    } else if (expected == D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) {
        uint32_t slot = 0;
        auto heap = findHeapByGpuHandle(argument.address, &slot);
        D3D12_DESCRIPTOR_HEAP_TYPE wanted =
            !parameter.ranges.empty() && parameter.ranges[0].RangeType == D3D12_DESCRIPTOR_RANGE_TYPE_SAMPLER
                ? D3D12_DESCRIPTOR_HEAP_TYPE_SAMPLER
                : D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
        if (!heap || heap->desc.Type != wanted)
            problem = "the GPU descriptor handle " + hex(argument.address) +
                      " is outside every live shader-visible " +
                      (wanted == D3D12_DESCRIPTOR_HEAP_TYPE_SAMPLER ? "sampler" : "CBV_SRV_UAV") + " heap";
        else if (std::find(bindings.heaps.begin(), bindings.heaps.end(), heap) == bindings.heaps.end())
            problem = "the GPU descriptor handle lies in a heap that is not set with SetDescriptorHeaps";
    }
    lock.unlock();
    if (!problem.empty()) {
        reportValidationError(where + problem);
        return;
    }
    if (expected == D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE)
        bindings.staleTables.erase({compute, index});
    if (expected == D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS) {
        RootArgument& stored = arguments[index];
        stored.kind = RootArgumentKind::Constants;
        stored.constants.resize(parameter.num32BitValues);
        // argument.constants holds the values, argument.address the destination offset.
        if (argument.address + argument.constants.size() > parameter.num32BitValues) {
            reportValidationError(where + "the constants reach past the " +
                                  std::to_string(parameter.num32BitValues) +
                                  " 32-bit values of root parameter " + std::to_string(index));
            return;
        }
        std::copy(argument.constants.begin(), argument.constants.end(),
                  stored.constants.begin() + argument.address);
        stored.address = 0;
        entry.rootArgument = stored;
        return;
    }
    arguments[index] = argument;
}

void CommandList::SetGraphicsRootSignature(ID3D12RootSignature* rootSignature) {
    if (!recording("SetGraphicsRootSignature"))
        return;
    RootSignature* ours = rootSignatureOf(rootSignature);
    log(CommandKind::SetGraphicsRootSignature).rootSignature = rootSignature;
    if (ours != bindings.graphicsRootSignature) {
        bindings.graphicsRootSignature = ours;
        bindings.graphicsArguments = argumentsFor(ours);
        forgetStaleTables(bindings, false);
    }
}

void CommandList::SetComputeRootSignature(ID3D12RootSignature* rootSignature) {
    if (!recording("SetComputeRootSignature"))
        return;
    RootSignature* ours = rootSignatureOf(rootSignature);
    auto& entry = log(CommandKind::SetComputeRootSignature);
    entry.rootSignature = rootSignature;
    entry.compute = true;
    if (ours != bindings.computeRootSignature) {
        bindings.computeRootSignature = ours;
        bindings.computeArguments = argumentsFor(ours);
        forgetStaleTables(bindings, true);
    }
}

#define ROOT_ADDRESS(Method, compute, Kind, Type)                                                            \
    void CommandList::Method(UINT index, D3D12_GPU_VIRTUAL_ADDRESS address) {                                \
        setRootArgument(compute, index, RootArgument{RootArgumentKind::Kind, address, {}}, #Method, Type);   \
    }
ROOT_ADDRESS(SetGraphicsRootConstantBufferView, false, ConstantBufferView, D3D12_ROOT_PARAMETER_TYPE_CBV)
ROOT_ADDRESS(SetComputeRootConstantBufferView, true, ConstantBufferView, D3D12_ROOT_PARAMETER_TYPE_CBV)
ROOT_ADDRESS(SetGraphicsRootShaderResourceView, false, ShaderResourceView, D3D12_ROOT_PARAMETER_TYPE_SRV)
ROOT_ADDRESS(SetComputeRootShaderResourceView, true, ShaderResourceView, D3D12_ROOT_PARAMETER_TYPE_SRV)
ROOT_ADDRESS(SetGraphicsRootUnorderedAccessView, false, UnorderedAccessView, D3D12_ROOT_PARAMETER_TYPE_UAV)
ROOT_ADDRESS(SetComputeRootUnorderedAccessView, true, UnorderedAccessView, D3D12_ROOT_PARAMETER_TYPE_UAV)
#undef ROOT_ADDRESS

void CommandList::SetGraphicsRootDescriptorTable(UINT index, D3D12_GPU_DESCRIPTOR_HANDLE handle) {
    setRootArgument(false, index, RootArgument{RootArgumentKind::DescriptorTable, handle.ptr, {}},
                    "SetGraphicsRootDescriptorTable", D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE);
}

void CommandList::SetComputeRootDescriptorTable(UINT index, D3D12_GPU_DESCRIPTOR_HANDLE handle) {
    setRootArgument(true, index, RootArgument{RootArgumentKind::DescriptorTable, handle.ptr, {}},
                    "SetComputeRootDescriptorTable", D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE);
}

void CommandList::SetGraphicsRoot32BitConstant(UINT index, UINT value, UINT offset) {
    setRootArgument(false, index, RootArgument{RootArgumentKind::Constants, offset, {value}},
                    "SetGraphicsRoot32BitConstant", D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS);
}

void CommandList::SetComputeRoot32BitConstant(UINT index, UINT value, UINT offset) {
    setRootArgument(true, index, RootArgument{RootArgumentKind::Constants, offset, {value}},
                    "SetComputeRoot32BitConstant", D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS);
}

void CommandList::SetGraphicsRoot32BitConstants(UINT index, UINT count, const void* data, UINT offset) {
    const auto* values = static_cast<const uint32_t*>(data);
    setRootArgument(false, index, RootArgument{RootArgumentKind::Constants, offset, {values, values + count}},
                    "SetGraphicsRoot32BitConstants", D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS);
}

void CommandList::SetComputeRoot32BitConstants(UINT index, UINT count, const void* data, UINT offset) {
    const auto* values = static_cast<const uint32_t*>(data);
    setRootArgument(true, index, RootArgument{RootArgumentKind::Constants, offset, {values, values + count}},
                    "SetComputeRoot32BitConstants", D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS);
}

void CommandList::SetPipelineState(ID3D12PipelineState* pipeline) {
    if (!recording("SetPipelineState"))
        return;
    log(CommandKind::SetPipelineState).pipeline = pipeline;
    bindings.pipeline = pipelineStateOf(pipeline);
    bindings.stateObject = nullptr;
    if (!bindings.pipeline)
        reportValidationError("ID3D12GraphicsCommandList::SetPipelineState: the pipeline state is missing");
}

void CommandList::SetPipelineState1(ID3D12StateObject* stateObject) {
    if (!recording("SetPipelineState1"))
        return;
    log(CommandKind::SetPipelineState1).stateObject = stateObject;
    bindings.stateObject = stateObjectOf(stateObject);
    bindings.pipeline = nullptr;
    if (!bindings.stateObject)
        reportValidationError("ID3D12GraphicsCommandList4::SetPipelineState1: the state object is missing");
    else if (bindings.stateObject->type != D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE)
        reportValidationError(
            "ID3D12GraphicsCommandList4::SetPipelineState1: only a ray-tracing pipeline state object can be "
            "set, not a collection");
}

void CommandList::OMSetRenderTargets(UINT count, const D3D12_CPU_DESCRIPTOR_HANDLE* handles, BOOL singleRange,
                                     const D3D12_CPU_DESCRIPTOR_HANDLE* depthStencil) {
    if (!recording("OMSetRenderTargets"))
        return;
    log(CommandKind::OMSetRenderTargets);
    bindings.renderTargets.clear();
    bindings.renderTargetViews.clear();
    bindings.depthStencil = {0};
    bindings.depthStencilView = Descriptor{};
    std::vector<std::string> problems;
    {
        std::lock_guard lock(gpuMutex());
        for (UINT i = 0; i < count && i < D3D12_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
            D3D12_CPU_DESCRIPTOR_HANDLE handle =
                singleRange
                    ? D3D12_CPU_DESCRIPTOR_HANDLE{handles[0].ptr + i * SIZE_T(descriptorIncrement(
                                                                           D3D12_DESCRIPTOR_HEAP_TYPE_RTV))}
                    : handles[i];
            std::string problem;
            Descriptor* view = cpuDescriptor(handle.ptr, D3D12_DESCRIPTOR_HEAP_TYPE_RTV, &problem);
            if (view && view->contents.kind != DescriptorKind::RenderTargetView)
                problem = "render target " + std::to_string(i) + " is a slot without a render-target view";
            if (!problem.empty()) {
                problems.push_back(problem);
                continue;
            }
            bindings.renderTargets.push_back(handle);
            bindings.renderTargetViews.push_back(*view);
        }
        if (depthStencil) {
            std::string problem;
            Descriptor* view = cpuDescriptor(depthStencil->ptr, D3D12_DESCRIPTOR_HEAP_TYPE_DSV, &problem);
            if (view && view->contents.kind != DescriptorKind::DepthStencilView)
                problem = "the depth-stencil handle is a slot without a depth-stencil view";
            if (problem.empty()) {
                bindings.depthStencil = *depthStencil;
                bindings.depthStencilView = *view;
            } else {
                problems.push_back(problem);
            }
        }
    }
    if (count > D3D12_SIMULTANEOUS_RENDER_TARGET_COUNT)
        problems.push_back("more than 8 render targets");
    for (const std::string& problem : problems)
        reportValidationError("ID3D12GraphicsCommandList::OMSetRenderTargets: " + problem);
}

void CommandList::IASetPrimitiveTopology(D3D12_PRIMITIVE_TOPOLOGY topology) {
    if (!recording("IASetPrimitiveTopology"))
        return;
    log(CommandKind::IASetPrimitiveTopology);
    bindings.topology = topology;
}

void CommandList::RSSetViewports(UINT count, const D3D12_VIEWPORT* viewports) {
    if (!recording("RSSetViewports"))
        return;
    log(CommandKind::RSSetViewports);
    bindings.viewports.assign(viewports, viewports + count);
}

void CommandList::RSSetScissorRects(UINT count, const D3D12_RECT* rects) {
    if (!recording("RSSetScissorRects"))
        return;
    log(CommandKind::RSSetScissorRects);
    bindings.scissorRects.assign(rects, rects + count);
}

void CommandList::OMSetBlendFactor(const FLOAT[4]) {
    recording("OMSetBlendFactor");
}

void CommandList::OMSetStencilRef(UINT) {
    recording("OMSetStencilRef");
}

void CommandList::IASetVertexBuffers(UINT startSlot, UINT count, const D3D12_VERTEX_BUFFER_VIEW* views) {
    if (!recording("IASetVertexBuffers"))
        return;
    log(CommandKind::IASetVertexBuffers);
    if (bindings.vertexBuffers.size() < startSlot + count)
        bindings.vertexBuffers.resize(startSlot + count);
    std::vector<std::string> problems;
    {
        std::lock_guard lock(gpuMutex());
        for (UINT i = 0; i < count; ++i) {
            D3D12_VERTEX_BUFFER_VIEW view = views ? views[i] : D3D12_VERTEX_BUFFER_VIEW{};
            auto buffer = view.BufferLocation ? findBuffer(view.BufferLocation) : nullptr;
            if (view.BufferLocation &&
                (!buffer || view.BufferLocation + view.SizeInBytes > buffer->gpuAddress + buffer->desc.Width))
                problems.push_back("vertex buffer " + std::to_string(startSlot + i) +
                                   " is not inside one live buffer");
            reference(buffer);
            bindings.vertexBuffers[startSlot + i] = view;
        }
    }
    for (const std::string& problem : problems)
        reportValidationError("ID3D12GraphicsCommandList::IASetVertexBuffers: " + problem);
}

void CommandList::IASetIndexBuffer(const D3D12_INDEX_BUFFER_VIEW* view) {
    if (!recording("IASetIndexBuffer"))
        return;
    log(CommandKind::IASetIndexBuffer);
    bindings.indexBuffer = view ? *view : D3D12_INDEX_BUFFER_VIEW{};
    bool outside = false;
    if (view && view->BufferLocation) {
        std::lock_guard lock(gpuMutex());
        auto buffer = findBuffer(view->BufferLocation);
        outside =
            !buffer || view->BufferLocation + view->SizeInBytes > buffer->gpuAddress + buffer->desc.Width;
        reference(buffer);
    }
    if (outside)
        reportValidationError(
            "ID3D12GraphicsCommandList::IASetIndexBuffer: the index buffer is not inside one "
            "live buffer");
    if (view && view->Format != DXGI_FORMAT_R16_UINT && view->Format != DXGI_FORMAT_R32_UINT)
        reportValidationError(
            "ID3D12GraphicsCommandList::IASetIndexBuffer: the format must be R16_UINT or R32_UINT");
}

} // namespace standin
