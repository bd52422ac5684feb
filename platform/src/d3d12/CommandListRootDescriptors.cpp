// The buffers that dispatches reach through root descriptors (root CBVs, SRVs and UAVs): their states, and
// for a shader-resource view into an acceleration-structure buffer, that a top-level structure was built
// there.
#include "d3d12/CommandList.h"

#include "d3d12/GpuState.h"
#include "d3d12/RootSignature.h"

#include <cinttypes>

namespace standin {

namespace {

std::string hexAddress(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%" PRIx64, value);
    return text;
}

} // namespace

void CommandList::useRootDescriptors(bool compute, const std::string& where) {
    RootSignature* rootSignature = compute ? bindings.computeRootSignature : bindings.graphicsRootSignature;
    if (!rootSignature)
        return;
    const auto& arguments = compute ? bindings.computeArguments : bindings.graphicsArguments;
    struct Structure {
        size_t parameter;
        uint64_t address;
    };
    std::vector<Structure> structures;
    {
        std::lock_guard lock(gpuMutex());
        for (size_t p = 0; p < arguments.size(); ++p) {
            const RootArgument& argument = arguments[p];
            if (argument.kind != RootArgumentKind::ConstantBufferView &&
                argument.kind != RootArgumentKind::ShaderResourceView &&
                argument.kind != RootArgumentKind::UnorderedAccessView)
                continue;
            // An address outside every live buffer was reported when it was set.
            auto buffer = findBuffer(argument.address);
            if (!buffer)
                continue;
            std::string which = where + " (root parameter " + std::to_string(p) + ")";
            if (argument.kind == RootArgumentKind::ConstantBufferView) {
                use(buffer, 0, D3D12_RESOURCE_STATE_VERTEX_AND_CONSTANT_BUFFER, which);
            } else if (argument.kind == RootArgumentKind::UnorderedAccessView) {
                use(buffer, 0, D3D12_RESOURCE_STATE_UNORDERED_ACCESS, which);
            } else if (buffer->states[0] == D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE) {
                // Such a buffer never leaves that state; what matters is what was built in it.
                structures.push_back({p, argument.address});
            } else {
                use(buffer, 0,
                    compute ? D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE
                            : D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE |
                                  D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE,
                    which, true);
            }
        }
    }
    if (structures.empty())
        return;
    // The structure may be built by earlier work of this same list, so it is looked up when the work runs.
    work([structures, where] {
        for (const Structure& structure : structures) {
            std::string which = where + ": root parameter " + std::to_string(structure.parameter) + " at " +
                                hexAddress(structure.address);
            AccelerationStructureInfo info;
            if (!describeAccelerationStructure(structure.address, &info))
                reportValidationError(which + " names no built acceleration structure");
            else if (info.type != D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL)
                reportValidationError(which + " names a bottom-level acceleration structure; shaders trace "
                                              "top-level ones");
        }
    });
}

} // namespace standin
