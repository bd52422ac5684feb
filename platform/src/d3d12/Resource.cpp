// Committed resources: creation rules, mapping, debug names and the registry of buffer addresses.
#include "d3d12/Resource.h"

#include "d3d12/Device.h"
#include "d3d12/GpuState.h"

#include <cstdlib>

namespace standin {

ResourceStorage::~ResourceStorage() {
    std::free(memory);
}

bool ResourceStorage::fixedState() const {
    return heapProperties.Type == D3D12_HEAP_TYPE_UPLOAD || heapProperties.Type == D3D12_HEAP_TYPE_READBACK;
}

bool ResourceStorage::promotesFreely() const {
    return isBuffer() || (desc.Flags & D3D12_RESOURCE_FLAG_ALLOW_SIMULTANEOUS_ACCESS);
}

std::string stateName(D3D12_RESOURCE_STATES state) {
    if (state == D3D12_RESOURCE_STATE_COMMON)
        return "COMMON";
    if (state == D3D12_RESOURCE_STATE_GENERIC_READ)
        return "GENERIC_READ";
    static const std::pair<D3D12_RESOURCE_STATES, const char*> NAMES[] = {
        {D3D12_RESOURCE_STATE_VERTEX_AND_CONSTANT_BUFFER, "VERTEX_AND_CONSTANT_BUFFER"},
        {D3D12_RESOURCE_STATE_INDEX_BUFFER, "INDEX_BUFFER"},
        {D3D12_RESOURCE_STATE_RENDER_TARGET, "RENDER_TARGET"},
        {D3D12_RESOURCE_STATE_UNORDERED_ACCESS, "UNORDERED_ACCESS"},
        {D3D12_RESOURCE_STATE_DEPTH_WRITE, "DEPTH_WRITE"},
        {D3D12_RESOURCE_STATE_DEPTH_READ, "DEPTH_READ"},
        {D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, "NON_PIXEL_SHADER_RESOURCE"},
        {D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE, "PIXEL_SHADER_RESOURCE"},
        {D3D12_RESOURCE_STATE_STREAM_OUT, "STREAM_OUT"},
        {D3D12_RESOURCE_STATE_INDIRECT_ARGUMENT, "INDIRECT_ARGUMENT"},
        {D3D12_RESOURCE_STATE_COPY_DEST, "COPY_DEST"},
        {D3D12_RESOURCE_STATE_COPY_SOURCE, "COPY_SOURCE"},
        {D3D12_RESOURCE_STATE_RESOLVE_DEST, "RESOLVE_DEST"},
        {D3D12_RESOURCE_STATE_RESOLVE_SOURCE, "RESOLVE_SOURCE"},
        {D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE, "RAYTRACING_ACCELERATION_STRUCTURE"},
        {D3D12_RESOURCE_STATE_SHADING_RATE_SOURCE, "SHADING_RATE_SOURCE"},
    };
    std::string name;
    unsigned rest = unsigned(state);
    for (const auto& [bit, text] : NAMES) {
        if (rest & unsigned(bit)) {
            name += (name.empty() ? "" : "|") + std::string(text);
            rest &= ~unsigned(bit);
        }
    }
    if (rest)
        name += (name.empty() ? "" : "|") + std::to_string(rest);
    return name;
}

std::string describe(const ResourceStorage& storage) {
    return storage.name.empty() ? std::string("an unnamed ") + (storage.isBuffer() ? "buffer" : "texture")
                                : "'" + storage.name + "'";
}

std::string statesProblem(const D3D12_RESOURCE_DESC& desc, D3D12_RESOURCE_STATES state) {
    // Read states may be combined; a write state stands alone.
    const D3D12_RESOURCE_STATES writeStates =
        D3D12_RESOURCE_STATE_RENDER_TARGET | D3D12_RESOURCE_STATE_UNORDERED_ACCESS |
        D3D12_RESOURCE_STATE_DEPTH_WRITE | D3D12_RESOURCE_STATE_STREAM_OUT | D3D12_RESOURCE_STATE_COPY_DEST |
        D3D12_RESOURCE_STATE_RESOLVE_DEST | D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE;
    D3D12_RESOURCE_STATES write = state & writeStates;
    if (write && state != write)
        return stateName(state) + " combines " + stateName(write) + " with other states";
    if (write & (write - 1))
        return stateName(state) + " combines write states";
    struct Needs {
        D3D12_RESOURCE_STATES states;
        D3D12_RESOURCE_FLAGS flag;
        const char* flagName;
    };
    const Needs needs[] = {
        {D3D12_RESOURCE_STATE_RENDER_TARGET, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
         "D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET"},
        {D3D12_RESOURCE_STATE_UNORDERED_ACCESS, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
         "D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS"},
        {D3D12_RESOURCE_STATE_DEPTH_WRITE | D3D12_RESOURCE_STATE_DEPTH_READ,
         D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL, "D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL"},
    };
    for (const Needs& need : needs)
        if ((state & need.states) && !(desc.Flags & need.flag))
            return stateName(state) + " needs " + need.flagName;
    return {};
}

std::shared_ptr<ResourceStorage> makeStorage(const D3D12_HEAP_PROPERTIES& heap, D3D12_HEAP_FLAGS flags,
                                             const D3D12_RESOURCE_DESC& given,
                                             D3D12_RESOURCE_STATES initialState, std::string* problem) {
    D3D12_RESOURCE_DESC desc = given;
    if (!completeResourceDesc(desc, problem))
        return nullptr;
    auto fail = [&](const char* text) {
        *problem = text;
        return nullptr;
    };
    bool buffer = desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER;
    const D3D12_RESOURCE_FLAGS gpuOnlyFlags = D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS |
                                              D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET |
                                              D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL;
    switch (heap.Type) {
    case D3D12_HEAP_TYPE_DEFAULT:
    case D3D12_HEAP_TYPE_CUSTOM:
        break;
    case D3D12_HEAP_TYPE_UPLOAD:
        if (initialState != D3D12_RESOURCE_STATE_GENERIC_READ)
            return fail("a resource in an UPLOAD heap must start in D3D12_RESOURCE_STATE_GENERIC_READ");
        [[fallthrough]];
    case D3D12_HEAP_TYPE_READBACK:
        if (heap.Type == D3D12_HEAP_TYPE_READBACK && initialState != D3D12_RESOURCE_STATE_COPY_DEST)
            return fail("a resource in a READBACK heap must start in D3D12_RESOURCE_STATE_COPY_DEST");
        if (!buffer)
            return fail("UPLOAD and READBACK heaps hold buffers only");
        if (desc.Flags & gpuOnlyFlags)
            return fail("a resource in an UPLOAD or READBACK heap cannot allow unordered access, render "
                        "targets or depth stencil");
        break;
    default:
        return fail("the heap type is not valid");
    }
    if ((desc.Flags & D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL) &&
        (desc.Flags & (D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS | D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET)))
        return fail(
            "ALLOW_DEPTH_STENCIL cannot be combined with ALLOW_RENDER_TARGET or ALLOW_UNORDERED_ACCESS");
    if (buffer &&
        (desc.Flags & (D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET | D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL)))
        return fail("a buffer cannot allow render targets or depth stencil");
    if (std::string stateProblem = statesProblem(desc, initialState); !stateProblem.empty()) {
        *problem = "the initial state " + stateProblem;
        return nullptr;
    }
    if (initialState & D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE) {
        if (!buffer || initialState != D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE)
            return fail(
                "only a buffer can be in RAYTRACING_ACCELERATION_STRUCTURE, and in no other state with it");
        if (!(desc.Flags & D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS))
            return fail("an acceleration-structure buffer needs D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS");
    }

    auto storage = std::make_shared<ResourceStorage>();
    storage->desc = desc;
    storage->heapProperties = heap;
    storage->heapFlags = flags;
    storage->layouts = tightLayouts(desc, &storage->size);
    if (storage->size > (uint64_t(1) << 34))
        return fail("the resource is larger than the stand-in's 16 GiB limit");
    storage->memory = static_cast<uint8_t*>(std::calloc(std::max<uint64_t>(storage->size, 1), 1));
    if (!storage->memory)
        return fail("out of host memory");
    storage->states.assign(storage->layouts.size(), initialState);
    if (buffer)
        storage->gpuAddress = reserveGpuAddresses(storage->size);
    return storage;
}

Resource::Resource(Device* owner, std::shared_ptr<ResourceStorage> memory)
    : DeviceChild(owner), storage(std::move(memory)) {
    std::lock_guard lock(gpuMutex());
    storage->object = this;
    if (storage->isBuffer())
        registerBuffer(storage);
}

Resource::~Resource() {
    std::string name;
    {
        std::lock_guard lock(gpuMutex());
        name = describe(*storage);
        storage->object = nullptr;
        if (storage->isBuffer())
            unregisterBuffer(storage->gpuAddress);
    }
    // The memory itself stays valid for the work that still holds it; the program's mistake is reported.
    if (storage->pendingUses.load() > 0)
        reportValidationError("ID3D12Resource::Release: " + name +
                              " is destroyed while work submitted to the GPU still uses it; wait for that "
                              "work to complete before the last release");
}

void* Resource::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12Pageable, ID3D12Resource>(riid))
        return static_cast<ID3D12Resource*>(this);
    return nullptr;
}

HRESULT Resource::Map(UINT subresource, const D3D12_RANGE*, void** data) {
    if (HRESULT failure = injectedFailure("ID3D12Resource::Map"); failure != S_OK)
        return failure;
    std::string name;
    {
        std::lock_guard lock(gpuMutex());
        name = describe(*storage);
    }
    if (storage->heapProperties.Type == D3D12_HEAP_TYPE_DEFAULT) {
        reportValidationError("ID3D12Resource::Map: " + name +
                              " lies in a DEFAULT heap, which the CPU cannot map");
        return E_INVALIDARG;
    }
    if (subresource >= storage->subresourceCount()) {
        reportValidationError("ID3D12Resource::Map: subresource " + std::to_string(subresource) + " of " +
                              name + " does not exist");
        return E_INVALIDARG;
    }
    ++storage->mapCount;
    if (data)
        *data = storage->memory + storage->layouts[subresource].offset;
    return S_OK;
}

void Resource::Unmap(UINT subresource, const D3D12_RANGE*) {
    if (subresource < storage->subresourceCount() && storage->mapCount > 0)
        --storage->mapCount;
}

HRESULT Resource::WriteToSubresource(UINT, const D3D12_BOX*, const void*, UINT, UINT) {
    return notImplemented("ID3D12Resource::WriteToSubresource");
}

HRESULT Resource::ReadFromSubresource(void*, UINT, UINT, UINT, const D3D12_BOX*) {
    return notImplemented("ID3D12Resource::ReadFromSubresource");
}

HRESULT Resource::GetHeapProperties(D3D12_HEAP_PROPERTIES* properties, D3D12_HEAP_FLAGS* flags) {
    if (properties)
        *properties = storage->heapProperties;
    if (flags)
        *flags = storage->heapFlags;
    return S_OK;
}

void Resource::setDebugName(const std::string& name) {
    std::lock_guard lock(gpuMutex());
    storage->name = name;
}

std::shared_ptr<ResourceStorage> storageOf(ID3D12Resource* resource) {
    auto* ours = dynamic_cast<Resource*>(resource);
    return ours ? ours->storage : nullptr;
}

} // namespace standin
