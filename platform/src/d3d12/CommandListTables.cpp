// Descriptor heaps set on a list, and the views that draws and dispatches read through descriptor tables. A
// table is only valid while the heap it was set in stays set. Bounded ranges are checked as GPU-based
// validation would: every view must be written, refer to a live resource, and that resource must be in a
// state the reading stage may use. Unbounded (bindless) ranges are not: the shader picks what it reads.
#include "d3d12/CommandList.h"

#include "d3d12/GpuState.h"
#include "d3d12/RootSignature.h"

#include <algorithm>
#include <climits>

namespace standin {

namespace {

// The states a shader-resource view must be in for the stages that see the parameter.
D3D12_RESOURCE_STATES shaderReadStates(bool compute, D3D12_SHADER_VISIBILITY visibility) {
    if (compute)
        return D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE;
    switch (visibility) {
    case D3D12_SHADER_VISIBILITY_PIXEL:
        return D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE;
    case D3D12_SHADER_VISIBILITY_ALL:
        return D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE | D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE;
    default:
        return D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE;
    }
}

bool isAccelerationStructureView(const DescriptorContents& view) {
    return view.hasDesc &&
           view.shaderResourceView.ViewDimension == D3D12_SRV_DIMENSION_RAYTRACING_ACCELERATION_STRUCTURE;
}

} // namespace

void CommandList::SetDescriptorHeaps(UINT count, ID3D12DescriptorHeap* const* heaps) {
    if (!recording("SetDescriptorHeaps"))
        return;
    log(CommandKind::SetDescriptorHeaps);
    std::vector<std::shared_ptr<HeapStorage>> previous = std::move(bindings.heaps);
    bindings.heaps.clear();
    bindings.heapObjects.assign(heaps, heaps + count);
    bool views = false, samplers = false;
    for (UINT i = 0; i < count; ++i) {
        auto storage = heapStorageOf(heaps[i]);
        if (!storage || !(storage->desc.Flags & D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE)) {
            reportValidationError("ID3D12GraphicsCommandList::SetDescriptorHeaps: heap " + std::to_string(i) +
                                  " is missing or not shader visible");
            continue;
        }
        bool& seen = storage->desc.Type == D3D12_DESCRIPTOR_HEAP_TYPE_SAMPLER ? samplers : views;
        if (seen)
            reportValidationError(
                "ID3D12GraphicsCommandList::SetDescriptorHeaps: more than one heap of type " +
                std::string(heapTypeName(storage->desc.Type)));
        seen = true;
        bindings.heaps.push_back(storage);
    }
    // A table refers to the heap that was set when it was set; once that heap is unset the table is
    // invalid, even if the heap is set again later.
    if (previous == bindings.heaps)
        return;
    std::lock_guard lock(gpuMutex());
    for (bool compute : {false, true}) {
        const auto& arguments = compute ? bindings.computeArguments : bindings.graphicsArguments;
        for (UINT index = 0; index < arguments.size(); ++index) {
            if (arguments[index].kind != RootArgumentKind::DescriptorTable)
                continue;
            auto heap = findHeapByGpuHandle(arguments[index].address, nullptr);
            if (std::find(bindings.heaps.begin(), bindings.heaps.end(), heap) == bindings.heaps.end())
                bindings.staleTables.insert({compute, index});
        }
    }
}

void CommandList::useTables(bool compute, const std::string& where) {
    RootSignature* rootSignature = compute ? bindings.computeRootSignature : bindings.graphicsRootSignature;
    if (!rootSignature)
        return;
    const auto& arguments = compute ? bindings.computeArguments : bindings.graphicsArguments;
    const auto& parameters = rootSignature->info.parameters;
    bool needsViewHeap =
        rootSignature->info.flags & D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED;
    for (const RootParameterInfo& parameter : parameters)
        if (parameter.type == D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE && !parameter.ranges.empty() &&
            parameter.ranges[0].RangeType != D3D12_DESCRIPTOR_RANGE_TYPE_SAMPLER)
            needsViewHeap = true;
    bool viewHeapSet = false;
    for (const auto& heap : bindings.heaps)
        viewHeapSet = viewHeapSet || heap->desc.Type == D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
    std::vector<std::string> problems;
    if (needsViewHeap && !viewHeapSet)
        problems.push_back("no CBV_SRV_UAV descriptor heap is set");
    for (const auto& [tableCompute, index] : bindings.staleTables)
        if (tableCompute == compute && index < parameters.size())
            problems.push_back(
                "the descriptor table at root parameter " + std::to_string(index) +
                " was set before SetDescriptorHeaps changed the descriptor heaps; set it again");
    std::unique_lock lock(gpuMutex());
    for (size_t p = 0; p < parameters.size() && p < arguments.size(); ++p) {
        const RootParameterInfo& parameter = parameters[p];
        if (parameter.type != D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE ||
            arguments[p].kind != RootArgumentKind::DescriptorTable ||
            bindings.staleTables.count({compute, UINT(p)}))
            continue;
        uint32_t base = 0;
        auto heap = findHeapByGpuHandle(arguments[p].address, &base);
        if (!heap)
            continue;
        UINT offset = 0;
        for (const D3D12_DESCRIPTOR_RANGE1& range : parameter.ranges) {
            UINT start = range.OffsetInDescriptorsFromTableStart == D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND
                             ? offset
                             : range.OffsetInDescriptorsFromTableStart;
            if (range.NumDescriptors == UINT_MAX)
                break;
            offset = start + range.NumDescriptors;
            if (range.RangeType == D3D12_DESCRIPTOR_RANGE_TYPE_SAMPLER ||
                range.RangeType == D3D12_DESCRIPTOR_RANGE_TYPE_CBV)
                continue;
            for (UINT i = 0; i < range.NumDescriptors; ++i) {
                std::string which = "descriptor " + std::to_string(start + i) +
                                    " of the table at root parameter " + std::to_string(p);
                uint64_t slot = uint64_t(base) + start + i;
                if (slot >= heap->slots.size()) {
                    problems.push_back(which + " lies past the end of the heap");
                    break;
                }
                const Descriptor& view = heap->slots[slot];
                auto storage = view.storage.lock();
                if (view.contents.kind == DescriptorKind::Empty) {
                    problems.push_back(which + " was never written");
                } else if (!storage) {
                    if (view.contents.resource)
                        problems.push_back(which + " refers to a released resource");
                } else if (!storage->object) {
                    problems.push_back(which + " refers to a released resource");
                } else if (range.RangeType == D3D12_DESCRIPTOR_RANGE_TYPE_UAV) {
                    use(storage, D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES,
                        D3D12_RESOURCE_STATE_UNORDERED_ACCESS, where + " (" + which + ")");
                } else if (!isAccelerationStructureView(view.contents)) {
                    use(storage, D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES,
                        shaderReadStates(compute, parameter.visibility), where + " (" + which + ")", true);
                }
            }
        }
    }
    lock.unlock();
    for (const std::string& problem : problems)
        reportValidationError(where + ": " + problem);
}

} // namespace standin
