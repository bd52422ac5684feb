#include "renderer/DebugPanelSetup.h"

#include "core/Globals.h"
#include "renderer/UiBackend.h"
#include "renderer/UiDescriptorAllocator.h"

#include <directx/d3d12.h>
#include <dxguids/dxguids.h>

#include <imgui.h>
#include <imgui_impl_win32.h>

bool initDebugPanel(HWND hwnd) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext(nullptr);
    ImGui::GetIO().ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    ImGui::StyleColorsDark();

    D3D12_DESCRIPTOR_HEAP_DESC heapDesc = {};
    heapDesc.Type = D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
    heapDesc.NumDescriptors = 64;
    heapDesc.Flags = D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE;
    heapDesc.NodeMask = 0;
    if (device->CreateDescriptorHeap(&heapDesc, IID_PPV_ARGS(&uiSrvHeap)) != S_OK)
        return false;
    createUiDescriptorAllocator(&uiDescriptorAllocator, device, uiSrvHeap);

    // The Direct3D 12 back end comes first. A back end that refuses to start counts like a missing heap: the
    // frames would otherwise drive a panel that has no renderer or no window input.
    if (!initUiRendererBackend(device, commandQueue, FRAMES_IN_FLIGHT_COUNT, SWAPCHAIN_FORMAT, uiSrvHeap))
        return false;
    return ImGui_ImplWin32_Init(hwnd);
}
