// Acceleration structures: prebuild sizes, builds that check their inputs and write a deterministic result,
// and the registry of built structures that top-level builds and tests read.
#include "d3d12/CommandList.h"

#include "d3d12/Device.h"
#include "d3d12/Formats.h"
#include "d3d12/GpuState.h"

namespace standin {

namespace {

// By destination address, under gpuMutex. Never destroyed: the queue worker, which reads it for top-level
// builds and dispatches, may outlive static destructors.
std::map<uint64_t, AccelerationStructureInfo>& built() {
    static auto* registry = new std::map<uint64_t, AccelerationStructureInfo>;
    return *registry;
}

constexpr uint64_t ALIGNMENT = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BYTE_ALIGNMENT;

uint64_t align256(uint64_t value) {
    return (value + ALIGNMENT - 1) / ALIGNMENT * ALIGNMENT;
}

const D3D12_RAYTRACING_GEOMETRY_DESC&
geometryAt(const D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS& inputs, UINT i) {
    return inputs.DescsLayout == D3D12_ELEMENTS_LAYOUT_ARRAY ? inputs.pGeometryDescs[i]
                                                             : *inputs.ppGeometryDescs[i];
}

uint64_t primitiveCount(const D3D12_RAYTRACING_GEOMETRY_DESC& geometry) {
    if (geometry.Type == D3D12_RAYTRACING_GEOMETRY_TYPE_PROCEDURAL_PRIMITIVE_AABBS)
        return geometry.AABBs.AABBCount;
    const auto& t = geometry.Triangles;
    return (t.IndexFormat == DXGI_FORMAT_UNKNOWN ? t.VertexCount : t.IndexCount) / 3;
}

PrebuildQuirks quirks; // under gpuMutex

// Sizes proportional to the primitives or instances, as a driver's would be.
D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO
prebuild(const D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS& inputs) {
    PrebuildQuirks active;
    {
        std::lock_guard lock(gpuMutex());
        active = quirks;
    }
    if (active.emptyBuildsHaveNoSize && inputs.NumDescs == 0)
        return {0, 0, 0};
    bool update = inputs.Flags & D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_ALLOW_UPDATE;
    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO sizes;
    if (inputs.Type == D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL) {
        uint64_t n = inputs.NumDescs;
        sizes = {align256(256 + 128 * n), align256(256 + 64 * n), update ? align256(256 + 32 * n) : 0};
    } else {
        uint64_t primitives = 0;
        for (UINT i = 0; i < inputs.NumDescs; ++i)
            primitives += primitiveCount(geometryAt(inputs, i));
        uint64_t geometries = inputs.NumDescs;
        sizes = {align256(256 + 64 * primitives + 32 * geometries), align256(256 + 32 * primitives),
                 update ? align256(256 + 16 * primitives) : 0};
    }
    if (active.noScratch)
        sizes.ScratchDataSizeInBytes = sizes.UpdateScratchDataSizeInBytes = 0;
    return sizes;
}

struct BuildHeader {
    char magic[8];
    uint32_t type, count;
    uint64_t primitives;
};

// Checks that [address, address + size) lies in one live buffer; returns it, or null with a problem.
std::shared_ptr<ResourceStorage> bufferRange(uint64_t address, uint64_t size, const std::string& what,
                                             std::vector<std::string>& problems) {
    auto buffer = findBuffer(address);
    if (!buffer || address + size > buffer->gpuAddress + buffer->desc.Width) {
        problems.push_back(what + " is not inside one live buffer");
        return nullptr;
    }
    return buffer;
}

// The size of one component of a vertex format that triangle geometry may use, 0 for any other format:
// vertex addresses and strides must be multiples of it.
uint32_t vertexComponentBytes(DXGI_FORMAT format) {
    switch (format) {
    case DXGI_FORMAT_R32G32_FLOAT:
    case DXGI_FORMAT_R32G32B32_FLOAT:
    case DXGI_FORMAT_R10G10B10A2_UNORM:
        return 4;
    case DXGI_FORMAT_R16G16_FLOAT:
    case DXGI_FORMAT_R16G16B16A16_FLOAT:
    case DXGI_FORMAT_R16G16_SNORM:
    case DXGI_FORMAT_R16G16B16A16_SNORM:
    case DXGI_FORMAT_R16G16_UNORM:
    case DXGI_FORMAT_R16G16B16A16_UNORM:
        return 2;
    case DXGI_FORMAT_R8G8_SNORM:
    case DXGI_FORMAT_R8G8B8A8_SNORM:
    case DXGI_FORMAT_R8G8_UNORM:
    case DXGI_FORMAT_R8G8B8A8_UNORM:
        return 1;
    default:
        return 0;
    }
}

// Checks one triangle geometry's description and collects the buffers the build reads. Caller holds
// gpuMutex.
void checkTriangles(const D3D12_RAYTRACING_GEOMETRY_TRIANGLES_DESC& t, const std::string& which,
                    std::vector<std::string>& problems,
                    std::vector<std::pair<std::shared_ptr<ResourceStorage>, std::string>>& inputsRead) {
    uint32_t component = vertexComponentBytes(t.VertexFormat);
    uint32_t vertexBytes = formatInfo(t.VertexFormat).bytesPerBlock;
    if (component == 0) {
        problems.push_back(which + ": the vertex format " + std::to_string(int(t.VertexFormat)) +
                           " is not one that triangle geometry may use");
    } else if (t.VertexBuffer.StartAddress % component || t.VertexBuffer.StrideInBytes % component) {
        problems.push_back(which + ": the vertex address and stride must be multiples of the format's " +
                           std::to_string(component) + "-byte component");
    } else if (t.VertexCount) {
        if (auto buffer =
                bufferRange(t.VertexBuffer.StartAddress,
                            uint64_t(t.VertexCount - 1) * t.VertexBuffer.StrideInBytes + vertexBytes,
                            which + ": the vertices", problems))
            inputsRead.emplace_back(buffer, which + " vertices");
    }
    if (t.IndexFormat == DXGI_FORMAT_UNKNOWN) {
        if (t.IndexCount || t.IndexBuffer)
            problems.push_back(which + ": an index count or buffer is given without an index format");
        else if (t.VertexCount % 3)
            problems.push_back(which + ": without indices the vertex count must be a multiple of 3");
    } else if (t.IndexFormat != DXGI_FORMAT_R32_UINT && t.IndexFormat != DXGI_FORMAT_R16_UINT) {
        problems.push_back(which + ": the index format must be R16_UINT or R32_UINT");
    } else {
        uint32_t indexBytes = t.IndexFormat == DXGI_FORMAT_R32_UINT ? 4 : 2;
        if (t.IndexCount % 3)
            problems.push_back(which + ": the index count is not a multiple of 3");
        if (t.IndexBuffer % indexBytes)
            problems.push_back(which + ": the index address must be a multiple of the " +
                               std::to_string(indexBytes) + "-byte index size");
        else if (t.IndexCount)
            if (auto buffer = bufferRange(t.IndexBuffer, uint64_t(t.IndexCount) * indexBytes,
                                          which + ": the indices", problems))
                inputsRead.emplace_back(buffer, which + " indices");
    }
    if (t.Transform3x4 % D3D12_RAYTRACING_TRANSFORM3X4_BYTE_ALIGNMENT)
        problems.push_back(which + ": the transform must start on 16 bytes");
    else if (t.Transform3x4)
        if (auto buffer = bufferRange(t.Transform3x4, 48, which + ": the transform", problems))
            inputsRead.emplace_back(buffer, which + " transform");
}

} // namespace

void setPrebuildQuirks(PrebuildQuirks active) {
    std::lock_guard lock(gpuMutex());
    quirks = active;
}

void resetPrebuildQuirks() {
    quirks = {};
}

void Device::GetRaytracingAccelerationStructurePrebuildInfo(
    const D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS* inputs,
    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO* info) {
    if (!info)
        return;
    *info = {};
    if (inputs)
        *info = prebuild(*inputs);
}

void CommandList::BuildRaytracingAccelerationStructure(
    const D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC* desc, UINT postbuildCount,
    const D3D12_RAYTRACING_ACCELERATION_STRUCTURE_POSTBUILD_INFO_DESC*) {
    if (!recording("BuildRaytracingAccelerationStructure"))
        return;
    if (!desc) {
        reportValidationError("BuildRaytracingAccelerationStructure: the description is missing");
        return;
    }
    const auto& inputs = desc->Inputs;
    bool topLevel = inputs.Type == D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL;
    RecordedCommand& entry = log(CommandKind::BuildRaytracingAccelerationStructure);
    entry.build = *desc;
    if (!topLevel) {
        for (UINT i = 0; i < inputs.NumDescs; ++i)
            entry.geometries.push_back(geometryAt(inputs, i));
        entry.build.Inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
        entry.build.Inputs.pGeometryDescs = nullptr; // the copies are in `geometries`
    }
    std::vector<D3D12_RAYTRACING_GEOMETRY_DESC> geometries = entry.geometries;
    auto sizes = prebuild(inputs);
    bool updating = inputs.Flags & D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_PERFORM_UPDATE;
    std::vector<std::string> problems;
    if (postbuildCount)
        problems.push_back("the stand-in writes no post-build information");
    std::shared_ptr<ResourceStorage> destination, scratch;
    std::vector<std::pair<std::shared_ptr<ResourceStorage>, std::string>> inputsRead;
    {
        std::lock_guard lock(gpuMutex());
        if (desc->DestAccelerationStructureData % ALIGNMENT ||
            desc->ScratchAccelerationStructureData % ALIGNMENT)
            problems.push_back("the destination and scratch addresses must be multiples of 256");
        destination = bufferRange(desc->DestAccelerationStructureData, sizes.ResultDataMaxSizeInBytes,
                                  "the destination (of the prebuild's ResultDataMaxSizeInBytes)", problems);
        scratch = bufferRange(desc->ScratchAccelerationStructureData,
                              updating ? sizes.UpdateScratchDataSizeInBytes : sizes.ScratchDataSizeInBytes,
                              "the scratch range (of the prebuild's scratch size)", problems);
        if (destination) {
            entry.destination = destination->object;
            entry.destinationName = destination->name;
        }
        if (topLevel) {
            if (inputs.NumDescs && inputs.InstanceDescs % D3D12_RAYTRACING_INSTANCE_DESCS_BYTE_ALIGNMENT)
                problems.push_back("the instance descriptions must start on 16 bytes");
            if (inputs.NumDescs)
                if (auto buffer = bufferRange(inputs.InstanceDescs, uint64_t(inputs.NumDescs) * 64,
                                              "the instance descriptions", problems))
                    inputsRead.emplace_back(buffer, "instance descriptions");
        }
        for (size_t i = 0; i < geometries.size(); ++i)
            if (geometries[i].Type == D3D12_RAYTRACING_GEOMETRY_TYPE_TRIANGLES)
                checkTriangles(geometries[i].Triangles, "geometry " + std::to_string(i), problems,
                               inputsRead);
        if (scratch && !(scratch->desc.Flags & D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS))
            problems.push_back("the scratch buffer lacks D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS");
    }
    for (const std::string& problem : problems)
        reportValidationError("BuildRaytracingAccelerationStructure: " + problem);
    if (!destination || !scratch)
        return;
    use(destination, 0, D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE,
        "BuildRaytracingAccelerationStructure (destination)");
    use(scratch, 0, D3D12_RESOURCE_STATE_UNORDERED_ACCESS, "BuildRaytracingAccelerationStructure (scratch)");
    for (const auto& [buffer, what] : inputsRead)
        use(buffer, 0, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
            "BuildRaytracingAccelerationStructure (" + what + ")");
    uint64_t address = desc->DestAccelerationStructureData;
    uint64_t instanceAddress = inputs.InstanceDescs;
    UINT count = inputs.NumDescs;
    work([destination, address, topLevel, count, instanceAddress, geometries] {
        AccelerationStructureInfo info;
        info.type = topLevel ? D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL
                             : D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL;
        uint64_t primitives = 0;
        for (const auto& geometry : geometries)
            primitives += primitiveCount(geometry);
        info.geometryCount = topLevel ? 0 : count;
        info.triangleCount = uint32_t(primitives);
        std::vector<std::string> problems;
        if (topLevel && count) {
            info.instances.resize(count);
            if (!readGpuMemory(instanceAddress, info.instances.data(), size_t(count) * 64))
                problems.push_back("the instance descriptions cannot be read at execution");
            std::lock_guard lock(gpuMutex());
            for (UINT i = 0; i < count && problems.empty(); ++i) {
                uint64_t bottom = info.instances[i].AccelerationStructure;
                auto found = built().find(bottom);
                if (found == built().end() ||
                    found->second.type != D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL ||
                    !findBuffer(bottom))
                    problems.push_back("instance " + std::to_string(i) +
                                       " does not point at a live bottom-level acceleration structure");
            }
        }
        BuildHeader header{{'S', 'T', 'D', 'A', 'C', 'C', topLevel ? 'T' : 'B', 'L'},
                           uint32_t(info.type),
                           count,
                           primitives};
        std::memcpy(destination->memory + (address - destination->gpuAddress), &header, sizeof header);
        {
            std::lock_guard lock(gpuMutex());
            built()[address] = std::move(info);
        }
        for (const std::string& problem : problems)
            reportValidationError("BuildRaytracingAccelerationStructure: " + problem);
    });
}

bool describeAccelerationStructure(D3D12_GPU_VIRTUAL_ADDRESS address, AccelerationStructureInfo* info) {
    std::lock_guard lock(gpuMutex());
    auto found = built().find(address);
    if (found == built().end())
        return false;
    if (info)
        *info = found->second;
    return true;
}

} // namespace standin
