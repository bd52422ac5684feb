// The device: creation through D3D12CreateDevice, committed resources, footprints, feature support and the
// methods the program never calls.
#include "d3d12/Device.h"

#include "dxgi/DxgiObjects.h"
#include "d3d12/GpuState.h"
#include "d3d12/Resource.h"

namespace standin {

Device::Device(bool isWarp) : warp(isWarp) {}

void* Device::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12Device, ID3D12Device1, ID3D12Device2, ID3D12Device3,
                ID3D12Device4, ID3D12Device5>(riid))
        return static_cast<ID3D12Device5*>(this);
    return nullptr;
}

HRESULT Device::CreateCommittedResource(const D3D12_HEAP_PROPERTIES* heap, D3D12_HEAP_FLAGS flags,
                                        const D3D12_RESOURCE_DESC* desc, D3D12_RESOURCE_STATES initialState,
                                        const D3D12_CLEAR_VALUE* clearValue, REFIID riid, void** resource) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateCommittedResource"); failure != S_OK)
        return failure;
    std::string problem = "the heap properties or the resource description are missing";
    auto storage = heap && desc ? makeStorage(*heap, flags, *desc, initialState, &problem) : nullptr;
    const D3D12_RESOURCE_FLAGS targets =
        D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET | D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL;
    if (storage && clearValue && !(desc->Flags & targets)) {
        storage = nullptr;
        problem = "an optimized clear value is given for a resource that is no render or depth target";
    }
    if (!storage) {
        reportValidationError("CreateCommittedResource: " + problem);
        return problem == "out of host memory" ? E_OUTOFMEMORY : E_INVALIDARG;
    }
    return handOut(new Resource(this, storage), riid, resource);
}

HRESULT Device::CreateCommittedResource1(const D3D12_HEAP_PROPERTIES* heap, D3D12_HEAP_FLAGS flags,
                                         const D3D12_RESOURCE_DESC* desc, D3D12_RESOURCE_STATES initialState,
                                         const D3D12_CLEAR_VALUE* clear,
                                         ID3D12ProtectedResourceSession* session, REFIID riid,
                                         void** resource) {
    if (session)
        return notImplemented("ID3D12Device4::CreateCommittedResource1 with a protected session");
    return CreateCommittedResource(heap, flags, desc, initialState, clear, riid, resource);
}

void Device::GetCopyableFootprints(const D3D12_RESOURCE_DESC* desc, UINT first, UINT count, UINT64 baseOffset,
                                   D3D12_PLACED_SUBRESOURCE_FOOTPRINT* layouts, UINT* numRows,
                                   UINT64* rowSizes, UINT64* totalBytes) {
    if (desc)
        copyableFootprints(*desc, first, count, baseOffset, layouts, numRows, rowSizes, totalBytes);
}

D3D12_RESOURCE_ALLOCATION_INFO Device::GetResourceAllocationInfo(UINT, UINT count,
                                                                 const D3D12_RESOURCE_DESC* descs) {
    D3D12_RESOURCE_ALLOCATION_INFO info{0, D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT};
    for (UINT i = 0; i < count; ++i) {
        D3D12_RESOURCE_DESC desc = descs[i];
        std::string problem;
        if (!completeResourceDesc(desc, &problem))
            return {~0ull, D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT};
        uint64_t size = 0;
        tightLayouts(desc, &size);
        const uint64_t alignment = D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT;
        info.SizeInBytes = (info.SizeInBytes + size + alignment - 1) / alignment * alignment;
    }
    return info;
}

D3D12_RESOURCE_ALLOCATION_INFO Device::GetResourceAllocationInfo1(UINT mask, UINT count,
                                                                  const D3D12_RESOURCE_DESC* descs,
                                                                  D3D12_RESOURCE_ALLOCATION_INFO1* each) {
    if (each)
        for (UINT i = 0; i < count; ++i) {
            D3D12_RESOURCE_ALLOCATION_INFO one = GetResourceAllocationInfo(mask, 1, &descs[i]);
            each[i] = {0, one.Alignment, one.SizeInBytes};
        }
    return GetResourceAllocationInfo(mask, count, descs);
}

D3D12_HEAP_PROPERTIES Device::GetCustomHeapProperties(UINT, D3D12_HEAP_TYPE type) {
    D3D12_HEAP_PROPERTIES properties{D3D12_HEAP_TYPE_CUSTOM, D3D12_CPU_PAGE_PROPERTY_NOT_AVAILABLE,
                                     D3D12_MEMORY_POOL_L0, 0, 0};
    if (type == D3D12_HEAP_TYPE_UPLOAD)
        properties.CPUPageProperty = D3D12_CPU_PAGE_PROPERTY_WRITE_COMBINE;
    if (type == D3D12_HEAP_TYPE_READBACK)
        properties.CPUPageProperty = D3D12_CPU_PAGE_PROPERTY_WRITE_BACK;
    return properties;
}

HRESULT Device::CheckFeatureSupport(D3D12_FEATURE feature, void* data, UINT size) {
    if (!data)
        return E_INVALIDARG;
    switch (feature) {
    case D3D12_FEATURE_D3D12_OPTIONS5:
        if (size != sizeof(D3D12_FEATURE_DATA_D3D12_OPTIONS5))
            return E_INVALIDARG;
        *static_cast<D3D12_FEATURE_DATA_D3D12_OPTIONS5*>(data) = {TRUE, D3D12_RENDER_PASS_TIER_0,
                                                                  D3D12_RAYTRACING_TIER_1_1};
        return S_OK;
    case D3D12_FEATURE_D3D12_OPTIONS7:
        if (size != sizeof(D3D12_FEATURE_DATA_D3D12_OPTIONS7))
            return E_INVALIDARG;
        *static_cast<D3D12_FEATURE_DATA_D3D12_OPTIONS7*>(data) = {D3D12_MESH_SHADER_TIER_1,
                                                                  D3D12_SAMPLER_FEEDBACK_TIER_NOT_SUPPORTED};
        return S_OK;
    case D3D12_FEATURE_SHADER_MODEL: {
        if (size != sizeof(D3D12_FEATURE_DATA_SHADER_MODEL))
            return E_INVALIDARG;
        auto* model = static_cast<D3D12_FEATURE_DATA_SHADER_MODEL*>(data);
        if (model->HighestShaderModel > D3D_SHADER_MODEL_6_7)
            model->HighestShaderModel = D3D_SHADER_MODEL_6_7;
        return S_OK;
    }
    case D3D12_FEATURE_ROOT_SIGNATURE: {
        if (size != sizeof(D3D12_FEATURE_DATA_ROOT_SIGNATURE))
            return E_INVALIDARG;
        auto* root = static_cast<D3D12_FEATURE_DATA_ROOT_SIGNATURE*>(data);
        if (root->HighestVersion > D3D_ROOT_SIGNATURE_VERSION_1_1)
            root->HighestVersion = D3D_ROOT_SIGNATURE_VERSION_1_1;
        return S_OK;
    }
    default:
        return notImplemented("ID3D12Device::CheckFeatureSupport for this feature");
    }
}

LUID Device::GetAdapterLuid() {
    return adapterLuid(warp);
}

HRESULT Device::CreateHeap(const D3D12_HEAP_DESC*, REFIID, void**) {
    return notImplemented("ID3D12Device::CreateHeap");
}
HRESULT Device::CreatePlacedResource(ID3D12Heap*, UINT64, const D3D12_RESOURCE_DESC*, D3D12_RESOURCE_STATES,
                                     const D3D12_CLEAR_VALUE*, REFIID, void**) {
    return notImplemented("ID3D12Device::CreatePlacedResource");
}
HRESULT Device::CreateReservedResource(const D3D12_RESOURCE_DESC*, D3D12_RESOURCE_STATES,
                                       const D3D12_CLEAR_VALUE*, REFIID, void**) {
    return notImplemented("ID3D12Device::CreateReservedResource");
}
HRESULT Device::CreateSharedHandle(ID3D12DeviceChild*, const SECURITY_ATTRIBUTES*, DWORD, LPCWSTR, HANDLE*) {
    return notImplemented("ID3D12Device::CreateSharedHandle");
}
HRESULT Device::OpenSharedHandle(HANDLE, REFIID, void**) {
    return notImplemented("ID3D12Device::OpenSharedHandle");
}
HRESULT Device::OpenSharedHandleByName(LPCWSTR, DWORD, HANDLE*) {
    return notImplemented("ID3D12Device::OpenSharedHandleByName");
}
HRESULT Device::CreateCommandSignature(const D3D12_COMMAND_SIGNATURE_DESC*, ID3D12RootSignature*, REFIID,
                                       void**) {
    return notImplemented("ID3D12Device::CreateCommandSignature");
}
void Device::GetResourceTiling(ID3D12Resource*, UINT*, D3D12_PACKED_MIP_INFO*, D3D12_TILE_SHAPE*, UINT*, UINT,
                               D3D12_SUBRESOURCE_TILING*) {
    notImplemented("ID3D12Device::GetResourceTiling");
}
HRESULT Device::CreatePipelineLibrary(const void*, SIZE_T, REFIID, void**) {
    return notImplemented("ID3D12Device1::CreatePipelineLibrary");
}
HRESULT Device::SetEventOnMultipleFenceCompletion(ID3D12Fence* const*, const UINT64*, UINT,
                                                  D3D12_MULTIPLE_FENCE_WAIT_FLAGS, HANDLE) {
    return notImplemented("ID3D12Device1::SetEventOnMultipleFenceCompletion");
}
HRESULT Device::OpenExistingHeapFromAddress(const void*, REFIID, void**) {
    return notImplemented("ID3D12Device3::OpenExistingHeapFromAddress");
}
HRESULT Device::OpenExistingHeapFromFileMapping(HANDLE, REFIID, void**) {
    return notImplemented("ID3D12Device3::OpenExistingHeapFromFileMapping");
}
HRESULT Device::EnqueueMakeResident(D3D12_RESIDENCY_FLAGS, UINT, ID3D12Pageable* const*, ID3D12Fence*,
                                    UINT64) {
    return notImplemented("ID3D12Device3::EnqueueMakeResident");
}
HRESULT Device::CreateProtectedResourceSession(const D3D12_PROTECTED_RESOURCE_SESSION_DESC*, REFIID, void**) {
    return notImplemented("ID3D12Device4::CreateProtectedResourceSession");
}
HRESULT Device::CreateHeap1(const D3D12_HEAP_DESC*, ID3D12ProtectedResourceSession*, REFIID, void**) {
    return notImplemented("ID3D12Device4::CreateHeap1");
}
HRESULT Device::CreateReservedResource1(const D3D12_RESOURCE_DESC*, D3D12_RESOURCE_STATES,
                                        const D3D12_CLEAR_VALUE*, ID3D12ProtectedResourceSession*, REFIID,
                                        void**) {
    return notImplemented("ID3D12Device4::CreateReservedResource1");
}
HRESULT Device::CreateLifetimeTracker(ID3D12LifetimeOwner*, REFIID, void**) {
    return notImplemented("ID3D12Device5::CreateLifetimeTracker");
}
HRESULT Device::EnumerateMetaCommands(UINT* count, D3D12_META_COMMAND_DESC*) {
    if (count)
        *count = 0;
    return S_OK;
}
HRESULT Device::EnumerateMetaCommandParameters(REFGUID, D3D12_META_COMMAND_PARAMETER_STAGE, UINT*, UINT*,
                                               D3D12_META_COMMAND_PARAMETER_DESC*) {
    return notImplemented("ID3D12Device5::EnumerateMetaCommandParameters");
}
HRESULT Device::CreateMetaCommand(REFGUID, UINT, const void*, SIZE_T, REFIID, void**) {
    return notImplemented("ID3D12Device5::CreateMetaCommand");
}
D3D12_DRIVER_MATCHING_IDENTIFIER_STATUS
Device::CheckDriverMatchingIdentifier(D3D12_SERIALIZED_DATA_TYPE,
                                      const D3D12_SERIALIZED_DATA_DRIVER_MATCHING_IDENTIFIER*) {
    return D3D12_DRIVER_MATCHING_IDENTIFIER_UNRECOGNIZED;
}

} // namespace standin

using namespace standin;

extern "C" HRESULT WINAPI D3D12CreateDevice(IUnknown* adapter, D3D_FEATURE_LEVEL minimumFeatureLevel,
                                            REFIID riid, void** device) {
    bool warp = adapterIsSoftware(adapter);
    if (!warp && hardwareAdapterRefuses())
        return DXGI_ERROR_UNSUPPORTED;
    if (HRESULT failure = injectedFailure("D3D12CreateDevice"); failure != S_OK)
        return failure;
    if (minimumFeatureLevel > D3D_FEATURE_LEVEL_12_2)
        return DXGI_ERROR_UNSUPPORTED;
    if (!device)
        return S_FALSE;
    return handOut(new Device(warp), riid, device);
}

extern "C" HRESULT WINAPI D3D12GetDebugInterface(REFIID, void** debug) {
    // The stand-in's checks are always on; there is no separate debug interface to enable.
    if (debug)
        *debug = nullptr;
    return E_NOINTERFACE;
}
