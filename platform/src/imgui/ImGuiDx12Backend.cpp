// The Dear ImGui Direct3D 12 back end of the stand-in (the functions of imgui_impl_dx12.h, version 1.86).
// Nothing is drawn here: the back end builds the font atlas so that ImGui can lay out frames, hands the font
// descriptor to ImGui as its texture, and records each frame's draw lists for tests.
#include <windows.h>
#include <directx/d3d12.h>

#include <imgui_impl_dx12.h>
#include <imgui.h>

#include "common/CallTrace.h"
#include "standin/ImGuiBackend.h"

#include <cstdint>
#include <cstdio>
#include <mutex>

namespace {

// The back end's data is the state that tests inspect.
using BackendData = standin::ImGuiDx12State;

std::mutex drawsMutex;
std::vector<standin::ImGuiDx12DrawRecord> draws;

BackendData* backendData() {
    return ImGui::GetCurrentContext() ? static_cast<BackendData*>(ImGui::GetIO().BackendRendererUserData)
                                      : nullptr;
}

bool refuse(const char* what) {
    std::fprintf(stderr, "stand-in: ImGui DX12 back end: %s\n", what);
    return false;
}

// The font descriptor must be a slot of the shader-visible heap that the program binds when it draws.
bool fontDescriptorInHeap(ID3D12Device* device, ID3D12DescriptorHeap* heap, D3D12_CPU_DESCRIPTOR_HANDLE cpu,
                          D3D12_GPU_DESCRIPTOR_HANDLE gpu) {
    D3D12_DESCRIPTOR_HEAP_DESC desc = heap->GetDesc();
    if (desc.Type != D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV ||
        !(desc.Flags & D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE))
        return refuse("the descriptor heap is not a shader-visible CBV/SRV/UAV heap");
    uint64_t increment = device->GetDescriptorHandleIncrementSize(desc.Type);
    uint64_t cpuStart = heap->GetCPUDescriptorHandleForHeapStart().ptr;
    uint64_t gpuStart = heap->GetGPUDescriptorHandleForHeapStart().ptr;
    uint64_t offset = cpu.ptr - cpuStart;
    if (cpu.ptr < cpuStart || increment == 0 || offset % increment != 0 ||
        offset / increment >= desc.NumDescriptors || gpu.ptr != gpuStart + offset)
        return refuse("the font descriptor is not a slot of the descriptor heap");
    return true;
}

} // namespace

bool ImGui_ImplDX12_Init(ID3D12Device* device, int num_frames_in_flight, DXGI_FORMAT rtv_format,
                         ID3D12DescriptorHeap* cbv_srv_heap,
                         D3D12_CPU_DESCRIPTOR_HANDLE font_srv_cpu_desc_handle,
                         D3D12_GPU_DESCRIPTOR_HANDLE font_srv_gpu_desc_handle) {
    standin::traceCall("ImGui_ImplDX12_Init");
    ImGuiIO& io = ImGui::GetIO();
    if (io.BackendRendererUserData)
        return refuse("initialised twice");
    if (!device || !cbv_srv_heap || num_frames_in_flight < 1)
        return refuse("initialised without a device, a descriptor heap or frames in flight");
    if (!fontDescriptorInHeap(device, cbv_srv_heap, font_srv_cpu_desc_handle, font_srv_gpu_desc_handle))
        return false;
    io.BackendRendererUserData = IM_NEW(BackendData){true,
                                                     false,
                                                     device,
                                                     num_frames_in_flight,
                                                     rtv_format,
                                                     cbv_srv_heap,
                                                     font_srv_cpu_desc_handle,
                                                     font_srv_gpu_desc_handle};
    io.BackendRendererName = "imgui_impl_dx12 (stand-in)";
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
    return true;
}

void ImGui_ImplDX12_Shutdown() {
    BackendData* backend = backendData();
    if (!backend) {
        refuse("shut down without being initialised");
        return;
    }
    ImGui_ImplDX12_InvalidateDeviceObjects();
    ImGuiIO& io = ImGui::GetIO();
    io.BackendRendererName = nullptr;
    io.BackendRendererUserData = nullptr;
    io.BackendFlags &= ~ImGuiBackendFlags_RendererHasVtxOffset;
    IM_DELETE(backend);
}

void ImGui_ImplDX12_NewFrame() {
    BackendData* backend = backendData();
    if (!backend) {
        refuse("new frame without being initialised");
        return;
    }
    if (!backend->deviceObjectsCreated)
        ImGui_ImplDX12_CreateDeviceObjects();
}

void ImGui_ImplDX12_RenderDrawData(ImDrawData* draw_data, ID3D12GraphicsCommandList* graphics_command_list) {
    // As the real back end: nothing to draw while the display is minimised.
    if (!draw_data || draw_data->DisplaySize.x <= 0.0f || draw_data->DisplaySize.y <= 0.0f)
        return;
    if (!backendData() || !graphics_command_list) {
        refuse("draw data rendered without being initialised or without a command list");
        return;
    }
    int commands = 0;
    for (int i = 0; i < draw_data->CmdListsCount; ++i)
        commands += draw_data->CmdLists[i]->CmdBuffer.Size;
    std::lock_guard lock(drawsMutex);
    draws.push_back({graphics_command_list, draw_data->CmdListsCount, commands, draw_data->TotalVtxCount,
                     draw_data->TotalIdxCount});
}

void ImGui_ImplDX12_InvalidateDeviceObjects() {
    BackendData* backend = backendData();
    if (!backend)
        return;
    ImGui::GetIO().Fonts->SetTexID(nullptr);
    backend->deviceObjectsCreated = false;
}

// The font atlas is built (so that ImGui can lay out text) and its texture is the font descriptor, as the
// real back end gives it; no texture is uploaded, since nothing is drawn.
bool ImGui_ImplDX12_CreateDeviceObjects() {
    BackendData* backend = backendData();
    if (!backend)
        return false;
    if (backend->deviceObjectsCreated)
        ImGui_ImplDX12_InvalidateDeviceObjects();
    ImGuiIO& io = ImGui::GetIO();
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    io.Fonts->SetTexID(reinterpret_cast<ImTextureID>(static_cast<uintptr_t>(backend->fontGpuHandle.ptr)));
    backend->deviceObjectsCreated = true;
    return true;
}

namespace standin {

ImGuiDx12State imguiDx12State() {
    BackendData* backend = backendData();
    return backend ? *backend : ImGuiDx12State{};
}

std::vector<ImGuiDx12DrawRecord> imguiDx12Draws() {
    std::lock_guard lock(drawsMutex);
    return draws;
}

void clearImGuiDx12Draws() {
    std::lock_guard lock(drawsMutex);
    draws.clear();
}

} // namespace standin
