// The DXGI factory and its adapters: one hardware adapter (optionally after a listed software adapter), and
// the WARP adapter.
#include "dxgi/DxgiObjects.h"

#include "d3d12/CommandQueue.h"
#include "d3d12/GpuState.h"

#include <cwchar>

namespace standin {

namespace {

std::mutex associationMutex;
WindowAssociation lastAssociation;

} // namespace

WindowAssociation windowAssociation() {
    std::lock_guard lock(associationMutex);
    return lastAssociation;
}

LUID adapterLuid(bool software) {
    return LUID{software ? 3u : 1u, 0};
}

static LUID luidOf(AdapterKind kind) {
    return LUID{kind == AdapterKind::Hardware ? 1u : kind == AdapterKind::ListedSoftware ? 2u : 3u, 0};
}

Adapter::Adapter(IDXGIFactory* owner, AdapterKind adapterKind) : kind(adapterKind), factory(owner) {
    if (factory)
        factory->AddRef();
}

Adapter::~Adapter() {
    if (factory)
        factory->Release();
}

void* Adapter::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, IDXGIObject, IDXGIAdapter, IDXGIAdapter1>(riid))
        return static_cast<IDXGIAdapter1*>(this);
    return nullptr;
}

HRESULT Adapter::GetParent(REFIID riid, void** parent) {
    return factory ? factory->QueryInterface(riid, parent) : E_FAIL;
}

HRESULT Adapter::EnumOutputs(UINT, IDXGIOutput** output) {
    // A headless machine has no monitor attached to the adapter.
    if (output)
        *output = nullptr;
    return DXGI_ERROR_NOT_FOUND;
}

HRESULT Adapter::GetDesc1(DXGI_ADAPTER_DESC1* desc) {
    if (!desc)
        return E_INVALIDARG;
    *desc = DXGI_ADAPTER_DESC1{};
    const wchar_t* name =
        kind == AdapterKind::Hardware ? L"Stand-in hardware adapter" : L"Stand-in software adapter";
    std::wcsncpy(desc->Description, name, 127);
    desc->VendorId = kind == AdapterKind::Hardware ? 0x5354 : 0x1414;
    desc->DeviceId = kind == AdapterKind::Hardware ? 0x0001 : 0x008c;
    desc->DedicatedVideoMemory = kind == AdapterKind::Hardware ? SIZE_T(8) << 30 : 0;
    desc->SharedSystemMemory = SIZE_T(16) << 30;
    desc->AdapterLuid = luidOf(kind);
    desc->Flags = kind == AdapterKind::Hardware ? DXGI_ADAPTER_FLAG_NONE : DXGI_ADAPTER_FLAG_SOFTWARE;
    return S_OK;
}

HRESULT Adapter::GetDesc(DXGI_ADAPTER_DESC* desc) {
    if (!desc)
        return E_INVALIDARG;
    DXGI_ADAPTER_DESC1 full;
    GetDesc1(&full);
    std::memcpy(desc, &full, sizeof *desc);
    return S_OK;
}

HRESULT Adapter::CheckInterfaceSupport(REFGUID, LARGE_INTEGER*) {
    return notImplemented("IDXGIAdapter::CheckInterfaceSupport");
}

bool adapterIsSoftware(IUnknown* adapter) {
    auto* ours = dynamic_cast<Adapter*>(adapter);
    return ours && ours->kind != AdapterKind::Hardware;
}

void* Factory::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, IDXGIObject, IDXGIFactory, IDXGIFactory1, IDXGIFactory2, IDXGIFactory3,
                IDXGIFactory4, IDXGIFactory5, IDXGIFactory6>(riid))
        return static_cast<IDXGIFactory6*>(this);
    return nullptr;
}

HRESULT Factory::GetParent(REFIID, void** parent) {
    if (parent)
        *parent = nullptr;
    return E_NOINTERFACE;
}

HRESULT Factory::EnumAdapters1(UINT index, IDXGIAdapter1** adapter) {
    if (!adapter)
        return E_INVALIDARG;
    *adapter = nullptr;
    std::vector<AdapterKind> listed;
    if (softwareAdapterListedFirst())
        listed.push_back(AdapterKind::ListedSoftware);
    listed.push_back(AdapterKind::Hardware);
    if (index >= listed.size())
        return DXGI_ERROR_NOT_FOUND;
    *adapter = new Adapter(this, listed[index]);
    return S_OK;
}

HRESULT Factory::EnumAdapters(UINT index, IDXGIAdapter** adapter) {
    IDXGIAdapter1* one = nullptr;
    HRESULT result = EnumAdapters1(index, adapter ? &one : nullptr);
    if (adapter)
        *adapter = one;
    return result;
}

HRESULT Factory::EnumAdapterByGpuPreference(UINT index, DXGI_GPU_PREFERENCE, REFIID riid, void** adapter) {
    IDXGIAdapter1* one = nullptr;
    HRESULT result = EnumAdapters1(index, &one);
    if (FAILED(result))
        return result;
    result = one->QueryInterface(riid, adapter);
    one->Release();
    return result;
}

HRESULT Factory::EnumAdapterByLuid(LUID luid, REFIID riid, void** adapter) {
    for (AdapterKind kind : {AdapterKind::Hardware, AdapterKind::ListedSoftware, AdapterKind::Warp}) {
        if (luidOf(kind).LowPart == luid.LowPart && luid.HighPart == 0) {
            auto* one = new Adapter(this, kind);
            HRESULT result = one->QueryInterface(riid, adapter);
            one->Release();
            return result;
        }
    }
    return DXGI_ERROR_NOT_FOUND;
}

HRESULT Factory::EnumWarpAdapter(REFIID riid, void** adapter) {
    if (HRESULT failure = injectedFailure("IDXGIFactory4::EnumWarpAdapter"); failure != S_OK)
        return failure;
    auto* warp = new Adapter(this, AdapterKind::Warp);
    HRESULT result = warp->QueryInterface(riid, adapter);
    warp->Release();
    return result;
}

HRESULT Factory::MakeWindowAssociation(HWND window, UINT associationFlags) {
    if (HRESULT failure = injectedFailure("IDXGIFactory::MakeWindowAssociation"); failure != S_OK)
        return failure;
    if (associationFlags & ~UINT(DXGI_MWA_VALID))
        return DXGI_ERROR_INVALID_CALL;
    std::lock_guard lock(associationMutex);
    lastAssociation = {window, associationFlags};
    return S_OK;
}

HRESULT Factory::GetWindowAssociation(HWND* window) {
    if (!window)
        return DXGI_ERROR_INVALID_CALL;
    std::lock_guard lock(associationMutex);
    *window = lastAssociation.window;
    return S_OK;
}

HRESULT Factory::CheckFeatureSupport(DXGI_FEATURE feature, void* data, UINT size) {
    if (feature != DXGI_FEATURE_PRESENT_ALLOW_TEARING || !data || size != sizeof(BOOL))
        return DXGI_ERROR_INVALID_CALL;
    *static_cast<BOOL*>(data) = FALSE;
    return S_OK;
}

HRESULT Factory::CreateSwapChainForHwnd(IUnknown* device, HWND window, const DXGI_SWAP_CHAIN_DESC1* desc,
                                        const DXGI_SWAP_CHAIN_FULLSCREEN_DESC*, IDXGIOutput*,
                                        IDXGISwapChain1** swapChain) {
    if (HRESULT failure = injectedFailure("IDXGIFactory2::CreateSwapChainForHwnd"); failure != S_OK)
        return failure;
    if (!swapChain || !desc)
        return DXGI_ERROR_INVALID_CALL;
    *swapChain = nullptr;
    CommandQueue* queue = queueOf(device);
    std::string problem;
    if (!queue)
        problem = "a Direct3D 12 swap chain needs the command queue as its device";
    else if (!window)
        problem = "the window handle is null";
    else if (desc->SwapEffect != DXGI_SWAP_EFFECT_FLIP_DISCARD &&
             desc->SwapEffect != DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL)
        problem = "Direct3D 12 needs a flip-model swap effect";
    else if (desc->BufferCount < 2 || desc->BufferCount > DXGI_MAX_SWAP_CHAIN_BUFFERS)
        problem = "a flip-model swap chain has 2 to 16 buffers";
    else if (desc->SampleDesc.Count != 1 || desc->SampleDesc.Quality != 0)
        problem = "a flip-model swap chain has single-sample buffers";
    else if (desc->Format != DXGI_FORMAT_R8G8B8A8_UNORM && desc->Format != DXGI_FORMAT_B8G8R8A8_UNORM &&
             desc->Format != DXGI_FORMAT_R16G16B16A16_FLOAT && desc->Format != DXGI_FORMAT_R10G10B10A2_UNORM)
        problem = "the format is not one a flip-model swap chain accepts";
    if (!problem.empty()) {
        reportValidationError("IDXGIFactory2::CreateSwapChainForHwnd: " + problem);
        return DXGI_ERROR_INVALID_CALL;
    }
    auto* chain = new SwapChain(this, queue, window, *desc);
    HRESULT result = chain->makeBuffers();
    if (FAILED(result)) {
        chain->Release();
        return result;
    }
    *swapChain = chain;
    return S_OK;
}

HRESULT Factory::CreateSwapChain(IUnknown*, DXGI_SWAP_CHAIN_DESC*, IDXGISwapChain**) {
    return notImplemented("IDXGIFactory::CreateSwapChain");
}
HRESULT Factory::CreateSoftwareAdapter(HMODULE, IDXGIAdapter**) {
    return notImplemented("IDXGIFactory::CreateSoftwareAdapter");
}
HRESULT Factory::CreateSwapChainForCoreWindow(IUnknown*, IUnknown*, const DXGI_SWAP_CHAIN_DESC1*,
                                              IDXGIOutput*, IDXGISwapChain1**) {
    return notImplemented("IDXGIFactory2::CreateSwapChainForCoreWindow");
}
HRESULT Factory::GetSharedResourceAdapterLuid(HANDLE, LUID*) {
    return notImplemented("IDXGIFactory2::GetSharedResourceAdapterLuid");
}
HRESULT Factory::RegisterStereoStatusWindow(HWND, UINT, DWORD*) {
    return notImplemented("IDXGIFactory2::RegisterStereoStatusWindow");
}
HRESULT Factory::RegisterStereoStatusEvent(HANDLE, DWORD*) {
    return notImplemented("IDXGIFactory2::RegisterStereoStatusEvent");
}
HRESULT Factory::RegisterOcclusionStatusWindow(HWND, UINT, DWORD*) {
    return notImplemented("IDXGIFactory2::RegisterOcclusionStatusWindow");
}
HRESULT Factory::RegisterOcclusionStatusEvent(HANDLE, DWORD*) {
    return notImplemented("IDXGIFactory2::RegisterOcclusionStatusEvent");
}
HRESULT Factory::CreateSwapChainForComposition(IUnknown*, const DXGI_SWAP_CHAIN_DESC1*, IDXGIOutput*,
                                               IDXGISwapChain1**) {
    return notImplemented("IDXGIFactory2::CreateSwapChainForComposition");
}

} // namespace standin

using namespace standin;

extern "C" {

HRESULT WINAPI CreateDXGIFactory2(UINT flags, REFIID riid, void** factory) {
    if (HRESULT failure = injectedFailure("CreateDXGIFactory2"); failure != S_OK)
        return failure;
    if (!factory)
        return DXGI_ERROR_INVALID_CALL;
    auto* made = new Factory(flags);
    HRESULT result = made->QueryInterface(riid, factory);
    made->Release();
    return result;
}

HRESULT WINAPI CreateDXGIFactory1(REFIID riid, void** factory) {
    return CreateDXGIFactory2(0, riid, factory);
}

HRESULT WINAPI CreateDXGIFactory(REFIID riid, void** factory) {
    return CreateDXGIFactory2(0, riid, factory);
}

} // extern "C"
