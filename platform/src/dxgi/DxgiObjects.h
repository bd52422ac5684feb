// The stand-in DXGI objects: factory, adapters and the flip-model swap chain.
#pragma once

#include "common/ComObject.h"

#include <dxgi1_6.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

namespace standin {

class CommandQueue;
class Resource;

// IDXGIObject's methods over one interface chain.
template <class Interface> class DxgiObject : public ComObject<Interface> {
public:
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, UINT, const void*) override {
        return notImplemented("IDXGIObject::SetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID, const IUnknown*) override {
        return notImplemented("IDXGIObject::SetPrivateDataInterface");
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, UINT*, void*) override {
        return notImplemented("IDXGIObject::GetPrivateData");
    }
};

enum class AdapterKind { Hardware, ListedSoftware, Warp };

class Adapter final : public DxgiObject<IDXGIAdapter1> {
public:
    Adapter(IDXGIFactory* factory, AdapterKind kind);
    ~Adapter() override;
    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override;
    HRESULT STDMETHODCALLTYPE EnumOutputs(UINT, IDXGIOutput** output) override;
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_ADAPTER_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE CheckInterfaceSupport(REFGUID, LARGE_INTEGER*) override;
    HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_ADAPTER_DESC1* desc) override;
    AdapterKind kind;

protected:
    void* queryFor(REFIID riid) override;

private:
    IDXGIFactory* factory;
};

// Whether an adapter given to D3D12CreateDevice is a software adapter (null means the default hardware one).
bool adapterIsSoftware(IUnknown* adapter);
LUID adapterLuid(bool software);

class Factory final : public DxgiObject<IDXGIFactory6> {
public:
    explicit Factory(UINT flags) : flags(flags) {}
    HRESULT STDMETHODCALLTYPE GetParent(REFIID, void**) override;
    // IDXGIFactory
    HRESULT STDMETHODCALLTYPE EnumAdapters(UINT index, IDXGIAdapter** adapter) override;
    HRESULT STDMETHODCALLTYPE MakeWindowAssociation(HWND window, UINT flags) override;
    HRESULT STDMETHODCALLTYPE GetWindowAssociation(HWND* window) override;
    HRESULT STDMETHODCALLTYPE CreateSwapChain(IUnknown*, DXGI_SWAP_CHAIN_DESC*, IDXGISwapChain**) override;
    HRESULT STDMETHODCALLTYPE CreateSoftwareAdapter(HMODULE, IDXGIAdapter**) override;
    // IDXGIFactory1
    HRESULT STDMETHODCALLTYPE EnumAdapters1(UINT index, IDXGIAdapter1** adapter) override;
    BOOL STDMETHODCALLTYPE IsCurrent() override { return TRUE; }
    // IDXGIFactory2
    BOOL STDMETHODCALLTYPE IsWindowedStereoEnabled() override { return FALSE; }
    HRESULT STDMETHODCALLTYPE CreateSwapChainForHwnd(IUnknown* device, HWND window,
                                                     const DXGI_SWAP_CHAIN_DESC1* desc,
                                                     const DXGI_SWAP_CHAIN_FULLSCREEN_DESC* fullscreen,
                                                     IDXGIOutput* output,
                                                     IDXGISwapChain1** swapChain) override;
    HRESULT STDMETHODCALLTYPE CreateSwapChainForCoreWindow(IUnknown*, IUnknown*, const DXGI_SWAP_CHAIN_DESC1*,
                                                           IDXGIOutput*, IDXGISwapChain1**) override;
    HRESULT STDMETHODCALLTYPE GetSharedResourceAdapterLuid(HANDLE, LUID*) override;
    HRESULT STDMETHODCALLTYPE RegisterStereoStatusWindow(HWND, UINT, DWORD*) override;
    HRESULT STDMETHODCALLTYPE RegisterStereoStatusEvent(HANDLE, DWORD*) override;
    void STDMETHODCALLTYPE UnregisterStereoStatus(DWORD) override {}
    HRESULT STDMETHODCALLTYPE RegisterOcclusionStatusWindow(HWND, UINT, DWORD*) override;
    HRESULT STDMETHODCALLTYPE RegisterOcclusionStatusEvent(HANDLE, DWORD*) override;
    void STDMETHODCALLTYPE UnregisterOcclusionStatus(DWORD) override {}
    HRESULT STDMETHODCALLTYPE CreateSwapChainForComposition(IUnknown*, const DXGI_SWAP_CHAIN_DESC1*,
                                                            IDXGIOutput*, IDXGISwapChain1**) override;
    // IDXGIFactory3
    UINT STDMETHODCALLTYPE GetCreationFlags() override { return flags; }
    // IDXGIFactory4
    HRESULT STDMETHODCALLTYPE EnumAdapterByLuid(LUID luid, REFIID riid, void** adapter) override;
    HRESULT STDMETHODCALLTYPE EnumWarpAdapter(REFIID riid, void** adapter) override;
    // IDXGIFactory5
    HRESULT STDMETHODCALLTYPE CheckFeatureSupport(DXGI_FEATURE feature, void* data, UINT size) override;
    // IDXGIFactory6
    HRESULT STDMETHODCALLTYPE EnumAdapterByGpuPreference(UINT index, DXGI_GPU_PREFERENCE, REFIID riid,
                                                         void** adapter) override;

protected:
    void* queryFor(REFIID riid) override;

private:
    UINT flags;
};

class SwapChain final : public DxgiObject<IDXGISwapChain3> {
public:
    SwapChain(IDXGIFactory* factory, CommandQueue* queue, HWND window, const DXGI_SWAP_CHAIN_DESC1& desc);
    ~SwapChain() override;
    HRESULT makeBuffers();

    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override;
    HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) override;
    // IDXGISwapChain
    HRESULT STDMETHODCALLTYPE Present(UINT syncInterval, UINT flags) override;
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT index, REFIID riid, void** surface) override;
    HRESULT STDMETHODCALLTYPE SetFullscreenState(BOOL fullscreen, IDXGIOutput*) override;
    HRESULT STDMETHODCALLTYPE GetFullscreenState(BOOL* fullscreen, IDXGIOutput** target) override;
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_SWAP_CHAIN_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE ResizeBuffers(UINT count, UINT width, UINT height, DXGI_FORMAT format,
                                            UINT flags) override;
    HRESULT STDMETHODCALLTYPE ResizeTarget(const DXGI_MODE_DESC*) override;
    HRESULT STDMETHODCALLTYPE GetContainingOutput(IDXGIOutput** output) override;
    HRESULT STDMETHODCALLTYPE GetFrameStatistics(DXGI_FRAME_STATISTICS*) override;
    HRESULT STDMETHODCALLTYPE GetLastPresentCount(UINT* count) override;
    // IDXGISwapChain1
    HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_SWAP_CHAIN_DESC1* desc) override;
    HRESULT STDMETHODCALLTYPE GetFullscreenDesc(DXGI_SWAP_CHAIN_FULLSCREEN_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetHwnd(HWND* window) override;
    HRESULT STDMETHODCALLTYPE GetCoreWindow(REFIID, void**) override;
    HRESULT STDMETHODCALLTYPE Present1(UINT, UINT, const DXGI_PRESENT_PARAMETERS*) override;
    BOOL STDMETHODCALLTYPE IsTemporaryMonoSupported() override { return FALSE; }
    HRESULT STDMETHODCALLTYPE GetRestrictToOutput(IDXGIOutput** output) override;
    HRESULT STDMETHODCALLTYPE SetBackgroundColor(const DXGI_RGBA*) override;
    HRESULT STDMETHODCALLTYPE GetBackgroundColor(DXGI_RGBA*) override;
    HRESULT STDMETHODCALLTYPE SetRotation(DXGI_MODE_ROTATION) override;
    HRESULT STDMETHODCALLTYPE GetRotation(DXGI_MODE_ROTATION*) override;
    // IDXGISwapChain2
    HRESULT STDMETHODCALLTYPE SetSourceSize(UINT, UINT) override;
    HRESULT STDMETHODCALLTYPE GetSourceSize(UINT*, UINT*) override;
    HRESULT STDMETHODCALLTYPE SetMaximumFrameLatency(UINT latency) override;
    HRESULT STDMETHODCALLTYPE GetMaximumFrameLatency(UINT* latency) override;
    HANDLE STDMETHODCALLTYPE GetFrameLatencyWaitableObject() override;
    HRESULT STDMETHODCALLTYPE SetMatrixTransform(const DXGI_MATRIX_3X2_F*) override;
    HRESULT STDMETHODCALLTYPE GetMatrixTransform(DXGI_MATRIX_3X2_F*) override;
    // IDXGISwapChain3
    UINT STDMETHODCALLTYPE GetCurrentBackBufferIndex() override { return currentIndex->load(); }
    HRESULT STDMETHODCALLTYPE CheckColorSpaceSupport(DXGI_COLOR_SPACE_TYPE, UINT*) override;
    HRESULT STDMETHODCALLTYPE SetColorSpace1(DXGI_COLOR_SPACE_TYPE) override;
    HRESULT STDMETHODCALLTYPE ResizeBuffers1(UINT, UINT, UINT, DXGI_FORMAT, UINT, const UINT*,
                                             IUnknown* const*) override;

protected:
    void* queryFor(REFIID riid) override;

private:
    void releaseBuffers();

    IDXGIFactory* factory;
    CommandQueue* queue;
    HWND window;
    DXGI_SWAP_CHAIN_DESC1 desc;
    std::vector<Resource*> buffers; // one reference each, the swap chain's own
    // Shared with the back buffers' storage, so that submissions can check which buffer is current.
    std::shared_ptr<std::atomic<UINT>> currentIndex = std::make_shared<std::atomic<UINT>>(0);
    UINT presents = 0;
    UINT maximumLatency = 3;
    std::chrono::steady_clock::time_point epoch;
};

} // namespace standin
