// The flip-model swap chain: host-memory back buffers, Present paced to an emulated 60 Hz vertical blank on
// the queue, and ResizeBuffers, which fails while the program still holds a back buffer or the GPU may still
// use one.
#include "dxgi/DxgiObjects.h"

#include "d3d12/CommandQueue.h"
#include "d3d12/Device.h"
#include "d3d12/GpuState.h"
#include "d3d12/Resource.h"
#include "session/FrameTrace.h"
#include "standin/Session.h"

#include <thread>

namespace standin {

namespace {

constexpr auto VBLANK_PERIOD = std::chrono::nanoseconds(1'000'000'000 / 60);

// A size of 0 means the window's client size, as on Windows.
void windowSize(HWND window, UINT* width, UINT* height) {
    RECT rect{};
    if ((*width == 0 || *height == 0) && GetClientRect(window, &rect)) {
        if (*width == 0)
            *width = UINT(rect.right - rect.left);
        if (*height == 0)
            *height = UINT(rect.bottom - rect.top);
    }
}

} // namespace

SwapChain::SwapChain(IDXGIFactory* owner, CommandQueue* presentQueue, HWND hwnd,
                     const DXGI_SWAP_CHAIN_DESC1& chainDesc)
    : factory(owner), queue(presentQueue), window(hwnd), desc(chainDesc),
      epoch(std::chrono::steady_clock::now()) {
    factory->AddRef();
    queue->AddRef();
    windowSize(window, &desc.Width, &desc.Height);
}

SwapChain::~SwapChain() {
    releaseBuffers();
    queue->Release();
    factory->Release();
}

void* SwapChain::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, IDXGIObject, IDXGIDeviceSubObject, IDXGISwapChain, IDXGISwapChain1, IDXGISwapChain2,
                IDXGISwapChain3>(riid))
        return static_cast<IDXGISwapChain3*>(this);
    return nullptr;
}

HRESULT SwapChain::makeBuffers() {
    if (desc.Width == 0 || desc.Height == 0) {
        reportValidationError("IDXGISwapChain: the swap chain's size is 0 and the window gives none");
        return DXGI_ERROR_INVALID_CALL;
    }
    D3D12_RESOURCE_DESC bufferDesc{D3D12_RESOURCE_DIMENSION_TEXTURE2D,
                                   0,
                                   desc.Width,
                                   desc.Height,
                                   1,
                                   1,
                                   desc.Format,
                                   {1, 0},
                                   D3D12_TEXTURE_LAYOUT_UNKNOWN,
                                   D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET};
    D3D12_HEAP_PROPERTIES heap{D3D12_HEAP_TYPE_DEFAULT, D3D12_CPU_PAGE_PROPERTY_UNKNOWN,
                               D3D12_MEMORY_POOL_UNKNOWN, 0, 0};
    for (UINT i = 0; i < desc.BufferCount; ++i) {
        std::string problem;
        auto storage =
            makeStorage(heap, D3D12_HEAP_FLAG_NONE, bufferDesc, D3D12_RESOURCE_STATE_PRESENT, &problem);
        if (!storage) {
            reportValidationError("IDXGISwapChain: the back buffers cannot be made: " + problem);
            releaseBuffers();
            return DXGI_ERROR_INVALID_CALL;
        }
        storage->backBuffer = BackBufferLink{currentIndex, i};
        buffers.push_back(new Resource(queue->device, storage));
    }
    currentIndex->store(0);
    return S_OK;
}

void SwapChain::releaseBuffers() {
    for (Resource* buffer : buffers)
        buffer->Release();
    buffers.clear();
}

HRESULT SwapChain::GetParent(REFIID riid, void** parent) {
    return factory->QueryInterface(riid, parent);
}

HRESULT SwapChain::GetDevice(REFIID riid, void** device) {
    return queue->QueryInterface(riid, device);
}

HRESULT SwapChain::GetBuffer(UINT index, REFIID riid, void** surface) {
    if (HRESULT failure = injectedFailure("IDXGISwapChain::GetBuffer"); failure != S_OK)
        return failure;
    if (!surface || index >= buffers.size())
        return DXGI_ERROR_INVALID_CALL;
    return buffers[index]->QueryInterface(riid, surface);
}

HRESULT SwapChain::Present(UINT syncInterval, UINT flags) {
    if (HRESULT failure = injectedFailure("IDXGISwapChain::Present"); failure != S_OK)
        return failure;
    if (syncInterval > 4)
        return DXGI_ERROR_INVALID_CALL;
    if (flags & DXGI_PRESENT_TEST)
        return S_OK;
    // The back buffer must be in PRESENT once everything submitted before the present has run.
    UINT current = currentIndex->load();
    D3D12_RESOURCE_STATES state;
    {
        std::lock_guard lock(gpuMutex());
        state = buffers[current]->storage->states[0];
    }
    if (state != D3D12_RESOURCE_STATE_PRESENT)
        reportValidationError("IDXGISwapChain::Present: back buffer " + std::to_string(current) +
                              " is in the state " + stateName(state) + ", not PRESENT");
    // The emulated clock is the vertical blank itself: the present moves it instead of waiting for it.
    bool paced = syncInterval > 0 && vsyncEnabled() && !emulatedClock();
    advanceEmulatedClock(syncInterval);
    auto start = epoch;
    // The presented buffer is in use until the queue has reached the present.
    std::shared_ptr<ResourceStorage> presented = buffers[current]->storage;
    presented->pendingUses.fetch_add(1);
    queue->enqueue([paced, syncInterval, start, presented] {
        if (paced) {
            auto now = std::chrono::steady_clock::now();
            auto blanks = (now - start) / VBLANK_PERIOD + syncInterval;
            std::this_thread::sleep_until(start + blanks * VBLANK_PERIOD);
        }
        presented->pendingUses.fetch_sub(1);
    });
    currentIndex->store((current + 1) % UINT(buffers.size()));
    ++presents;
    session::notePresentedSize(desc.Width, desc.Height);
    notePresent();
    // A minimised window has no client area to show the frame in; the present is still made.
    RECT client{};
    if (GetClientRect(window, &client) && (client.right <= client.left || client.bottom <= client.top))
        return DXGI_STATUS_OCCLUDED;
    return S_OK;
}

HRESULT SwapChain::ResizeBuffers(UINT count, UINT width, UINT height, DXGI_FORMAT format, UINT flags) {
    if (HRESULT failure = injectedFailure("IDXGISwapChain::ResizeBuffers"); failure != S_OK)
        return failure;
    for (size_t i = 0; i < buffers.size(); ++i) {
        if (buffers[i]->referenceCount() > 1) {
            reportValidationError("IDXGISwapChain::ResizeBuffers: back buffer " + std::to_string(i) +
                                  " is still referenced by the program; release every back buffer first");
            return DXGI_ERROR_INVALID_CALL;
        }
    }
    // The queue is not drained here: the program must have waited until the GPU no longer uses the old
    // buffers (its submitted work and its presents).
    for (size_t i = 0; i < buffers.size(); ++i) {
        if (buffers[i]->storage->pendingUses.load() > 0) {
            reportValidationError("IDXGISwapChain::ResizeBuffers: back buffer " + std::to_string(i) +
                                  " may still be used by the GPU (submitted work or a present has not "
                                  "completed); wait for the GPU before resizing");
            return DXGI_ERROR_INVALID_CALL;
        }
    }
    if (count > DXGI_MAX_SWAP_CHAIN_BUFFERS || (count == 1))
        return DXGI_ERROR_INVALID_CALL;
    DXGI_SWAP_CHAIN_DESC1 previous = desc;
    windowSize(window, &width, &height);
    if (count)
        desc.BufferCount = count;
    if (width)
        desc.Width = width;
    if (height)
        desc.Height = height;
    if (format != DXGI_FORMAT_UNKNOWN)
        desc.Format = format;
    desc.Flags = flags;
    releaseBuffers();
    HRESULT result = makeBuffers();
    if (FAILED(result)) {
        desc = previous;
        makeBuffers();
    }
    return result;
}

HRESULT SwapChain::GetDesc1(DXGI_SWAP_CHAIN_DESC1* out) {
    if (!out)
        return DXGI_ERROR_INVALID_CALL;
    *out = desc;
    return S_OK;
}

HRESULT SwapChain::GetDesc(DXGI_SWAP_CHAIN_DESC* out) {
    if (!out)
        return DXGI_ERROR_INVALID_CALL;
    *out = DXGI_SWAP_CHAIN_DESC{};
    out->BufferDesc = {desc.Width,
                       desc.Height,
                       {60, 1},
                       desc.Format,
                       DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                       DXGI_MODE_SCALING_UNSPECIFIED};
    out->SampleDesc = desc.SampleDesc;
    out->BufferUsage = desc.BufferUsage;
    out->BufferCount = desc.BufferCount;
    out->OutputWindow = window;
    out->Windowed = TRUE;
    out->SwapEffect = desc.SwapEffect;
    out->Flags = desc.Flags;
    return S_OK;
}

HRESULT SwapChain::SetFullscreenState(BOOL fullscreen, IDXGIOutput*) {
    // The headless stand-in has no output to take over.
    return fullscreen ? DXGI_ERROR_NOT_CURRENTLY_AVAILABLE : S_OK;
}

HRESULT SwapChain::GetFullscreenState(BOOL* fullscreen, IDXGIOutput** target) {
    if (fullscreen)
        *fullscreen = FALSE;
    if (target)
        *target = nullptr;
    return S_OK;
}

HRESULT SwapChain::GetFullscreenDesc(DXGI_SWAP_CHAIN_FULLSCREEN_DESC* out) {
    if (!out)
        return DXGI_ERROR_INVALID_CALL;
    *out = {{60, 1}, DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED, DXGI_MODE_SCALING_UNSPECIFIED, TRUE};
    return S_OK;
}

HRESULT SwapChain::GetHwnd(HWND* out) {
    if (!out)
        return DXGI_ERROR_INVALID_CALL;
    *out = window;
    return S_OK;
}

HRESULT SwapChain::GetLastPresentCount(UINT* count) {
    if (!count)
        return DXGI_ERROR_INVALID_CALL;
    *count = presents;
    return S_OK;
}

HRESULT SwapChain::SetMaximumFrameLatency(UINT latency) {
    if (latency == 0 || latency > 16)
        return DXGI_ERROR_INVALID_CALL;
    maximumLatency = latency;
    return S_OK;
}

HRESULT SwapChain::GetMaximumFrameLatency(UINT* latency) {
    if (!latency)
        return DXGI_ERROR_INVALID_CALL;
    *latency = maximumLatency;
    return S_OK;
}

HRESULT SwapChain::GetRestrictToOutput(IDXGIOutput** output) {
    if (output)
        *output = nullptr;
    return S_OK;
}

HRESULT SwapChain::ResizeTarget(const DXGI_MODE_DESC*) {
    return notImplemented("IDXGISwapChain::ResizeTarget");
}
HRESULT SwapChain::GetContainingOutput(IDXGIOutput** output) {
    if (output)
        *output = nullptr;
    return DXGI_ERROR_NOT_FOUND;
}
HRESULT SwapChain::GetFrameStatistics(DXGI_FRAME_STATISTICS*) {
    return notImplemented("IDXGISwapChain::GetFrameStatistics");
}
HRESULT SwapChain::GetCoreWindow(REFIID, void**) {
    return notImplemented("IDXGISwapChain1::GetCoreWindow");
}
HRESULT SwapChain::Present1(UINT, UINT, const DXGI_PRESENT_PARAMETERS*) {
    return notImplemented("IDXGISwapChain1::Present1");
}
HRESULT SwapChain::SetBackgroundColor(const DXGI_RGBA*) {
    return notImplemented("IDXGISwapChain1::SetBackgroundColor");
}
HRESULT SwapChain::GetBackgroundColor(DXGI_RGBA*) {
    return notImplemented("IDXGISwapChain1::GetBackgroundColor");
}
HRESULT SwapChain::SetRotation(DXGI_MODE_ROTATION) {
    return notImplemented("IDXGISwapChain1::SetRotation");
}
HRESULT SwapChain::GetRotation(DXGI_MODE_ROTATION*) {
    return notImplemented("IDXGISwapChain1::GetRotation");
}
HRESULT SwapChain::SetSourceSize(UINT, UINT) {
    return notImplemented("IDXGISwapChain2::SetSourceSize");
}
HRESULT SwapChain::GetSourceSize(UINT*, UINT*) {
    return notImplemented("IDXGISwapChain2::GetSourceSize");
}
HANDLE SwapChain::GetFrameLatencyWaitableObject() {
    notImplemented("IDXGISwapChain2::GetFrameLatencyWaitableObject");
    return nullptr;
}
HRESULT SwapChain::SetMatrixTransform(const DXGI_MATRIX_3X2_F*) {
    return notImplemented("IDXGISwapChain2::SetMatrixTransform");
}
HRESULT SwapChain::GetMatrixTransform(DXGI_MATRIX_3X2_F*) {
    return notImplemented("IDXGISwapChain2::GetMatrixTransform");
}
HRESULT SwapChain::CheckColorSpaceSupport(DXGI_COLOR_SPACE_TYPE, UINT*) {
    return notImplemented("IDXGISwapChain3::CheckColorSpaceSupport");
}
HRESULT SwapChain::SetColorSpace1(DXGI_COLOR_SPACE_TYPE) {
    return notImplemented("IDXGISwapChain3::SetColorSpace1");
}
HRESULT SwapChain::ResizeBuffers1(UINT, UINT, UINT, DXGI_FORMAT, UINT, const UINT*, IUnknown* const*) {
    return notImplemented("IDXGISwapChain3::ResizeBuffers1");
}

} // namespace standin
