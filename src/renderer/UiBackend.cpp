#include "renderer/UiBackend.h"

#include "renderer/UiDescriptorAllocator.h"

#include <imgui.h>
#include <imgui_impl_dx12.h>

// Libraries from 1.91.5 take an init-info record and ask for descriptors through its two callbacks. Older
// ones (Debian has 1.86) take one font descriptor at initialisation: it comes from the same allocator and
// goes back to it once the back end is shut down, as the newer back end's own free would return it.
#define UI_BACKEND_HAS_DESCRIPTOR_CALLBACKS (IMGUI_VERSION_NUM >= 19150)

#if !UI_BACKEND_HAS_DESCRIPTOR_CALLBACKS
namespace {

D3D12_CPU_DESCRIPTOR_HANDLE fontCpuHandle = {};
D3D12_GPU_DESCRIPTOR_HANDLE fontGpuHandle = {};
bool fontDescriptorHeld = false;

void returnFontDescriptor() {
    if (!fontDescriptorHeld)
        return;
    freeUiSrvDescriptor(nullptr, fontCpuHandle, fontGpuHandle);
    fontDescriptorHeld = false;
}

} // namespace
#endif

bool initUiRendererBackend(ID3D12Device* device, ID3D12CommandQueue* queue, int framesInFlight,
                           DXGI_FORMAT rtvFormat, ID3D12DescriptorHeap* heap) {
#if UI_BACKEND_HAS_DESCRIPTOR_CALLBACKS
    ImGui_ImplDX12_InitInfo info = {};
    info.Device = device;
    info.CommandQueue = queue;
    info.NumFramesInFlight = framesInFlight;
    info.RTVFormat = rtvFormat;
    info.DSVFormat = DXGI_FORMAT_UNKNOWN;
    info.UserData = nullptr;
    info.SrvDescriptorHeap = heap;
    info.SrvDescriptorAllocFn = allocUiSrvDescriptor;
    info.SrvDescriptorFreeFn = freeUiSrvDescriptor;
    return ImGui_ImplDX12_Init(&info);
#else
    (void)queue; // the old back end makes its own queue for the font upload
    allocUiSrvDescriptor(nullptr, &fontCpuHandle, &fontGpuHandle);
    fontDescriptorHeld = true;
    bool started = ImGui_ImplDX12_Init(device, framesInFlight, rtvFormat, heap, fontCpuHandle, fontGpuHandle);
    if (!started)
        returnFontDescriptor();
    return started;
#endif
}

void shutdownUiRendererBackend() {
    ImGui_ImplDX12_Shutdown();
#if !UI_BACKEND_HAS_DESCRIPTOR_CALLBACKS
    returnFontDescriptor();
#endif
}
