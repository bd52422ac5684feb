// DispatchRays: the shader tables are checked for alignment, stride, placement and state when recorded, and
// the records' shader identifiers against the bound state object's exports when the dispatch executes (the
// program may write its tables after recording). The views it reads through its root parameters and tables
// are checked as a compute dispatch's are.
#include "d3d12/CommandList.h"

#include "d3d12/GpuState.h"
#include "d3d12/RootSignature.h"
#include "d3d12/StateObject.h"

#include <set>

namespace standin {

void CommandList::DispatchRays(const D3D12_DISPATCH_RAYS_DESC* desc) {
    if (!recording("DispatchRays"))
        return;
    const std::string where = "ID3D12GraphicsCommandList4::DispatchRays: ";
    if (!desc) {
        reportValidationError(where + "the description is missing");
        return;
    }
    StateObject* stateObject = bindings.stateObject;
    if (!stateObject)
        reportValidationError(where + "no ray-tracing state object is set (SetPipelineState1)");
    if (!bindings.computeRootSignature)
        reportValidationError(where + "no compute root signature is set");
    else if (stateObject && stateObject->globalRootSignature &&
             !sameLayout(stateObject->globalRootSignature, bindings.computeRootSignature))
        reportValidationError(
            where + "the compute root signature set is not the state object's global root signature");
    if (uint64_t(desc->Width) * desc->Height * desc->Depth > (1u << 30))
        reportValidationError(where + "more than 2^30 rays");

    struct Table {
        const char* name;
        uint64_t start, size, stride;
        bool required;
    };
    // The ray-generation record is one record and has no stride; its size need not be a multiple of 32.
    const Table tables[] = {
        {"the ray-generation record", desc->RayGenerationShaderRecord.StartAddress,
         desc->RayGenerationShaderRecord.SizeInBytes, 0, true},
        {"the miss table", desc->MissShaderTable.StartAddress, desc->MissShaderTable.SizeInBytes,
         desc->MissShaderTable.StrideInBytes, false},
        {"the hit-group table", desc->HitGroupTable.StartAddress, desc->HitGroupTable.SizeInBytes,
         desc->HitGroupTable.StrideInBytes, false},
        {"the callable table", desc->CallableShaderTable.StartAddress, desc->CallableShaderTable.SizeInBytes,
         desc->CallableShaderTable.StrideInBytes, false},
    };
    std::vector<std::string> problems;
    std::vector<std::pair<std::shared_ptr<ResourceStorage>, std::string>> tableBuffers;
    {
        std::lock_guard lock(gpuMutex());
        for (const Table& table : tables) {
            if (table.size == 0 && !table.required)
                continue;
            std::string name = table.name;
            if (table.size < D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES)
                problems.push_back(name + " is smaller than one shader identifier");
            if (table.start % D3D12_RAYTRACING_SHADER_TABLE_BYTE_ALIGNMENT)
                problems.push_back(name + " must start on 64 bytes");
            if (table.stride % D3D12_RAYTRACING_SHADER_RECORD_BYTE_ALIGNMENT)
                problems.push_back(name + "'s stride must be a multiple of 32 bytes");
            if (table.stride > D3D12_RAYTRACING_MAX_SHADER_RECORD_STRIDE)
                problems.push_back(name + "'s stride is above 4096 bytes");
            auto buffer = findBuffer(table.start);
            if (!buffer || table.start + table.size > buffer->gpuAddress + buffer->desc.Width)
                problems.push_back(name + " is not inside one live buffer");
            else
                tableBuffers.emplace_back(buffer, name);
            reference(buffer);
        }
    }
    // The dispatch reads its tables as shader resources: an upload buffer always can, a default-heap buffer
    // once it is in (or promoted to) NON_PIXEL_SHADER_RESOURCE.
    for (const auto& [buffer, name] : tableBuffers)
        use(buffer, 0, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
            "ID3D12GraphicsCommandList4::DispatchRays (" + name + ")");
    for (const std::string& problem : problems)
        reportValidationError(where + problem);
    useTables(true, "ID3D12GraphicsCommandList4::DispatchRays");
    useRootDescriptors(true, "ID3D12GraphicsCommandList4::DispatchRays");
    RecordedCommand& entry = log(CommandKind::DispatchRays);
    entry.rays = *desc;
    entry.arguments[0] = desc->Width;
    entry.arguments[1] = desc->Height;
    entry.arguments[2] = desc->Depth;
    entry.state = boundState(true);
    if (!stateObject || !problems.empty())
        return;
    std::set<ShaderIdentifier> known;
    for (const auto& [name, identifier] : stateObject->exports)
        known.insert(identifier);
    std::vector<Table> checked(std::begin(tables), std::begin(tables) + 2);
    work([checked, known, where] {
        for (const Table& table : checked) {
            for (uint64_t offset = 0;
                 table.size && offset + D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES <= table.size;
                 offset += table.stride ? table.stride : table.size) {
                ShaderIdentifier identifier{};
                readGpuMemory(table.start + offset, identifier.data(), identifier.size());
                bool empty = identifier == ShaderIdentifier{};
                if (!known.count(identifier) && !(empty && !table.required))
                    reportValidationError(where + std::string(table.name) +
                                          " holds a shader identifier that the "
                                          "bound state object does not export");
            }
        }
    });
}

} // namespace standin
