// The Dear ImGui Direct3D 12 back end of the stand-in (the functions of imgui_impl_dx12.h, version 1.86).
// Nothing is drawn here: the back end builds the font atlas so that ImGui can lay out frames, hands the font
// descriptor to ImGui as its texture, and records each frame's draw lists for tests. A draw is logged in the
// command list as the real back end's draws would be, with the checks the debug layer would make of them:
// its descriptor heap set, one render target of its format, in the RENDER_TARGET state when the list runs
// and, for a back buffer, the swap chain's current one.
#include <windows.h>
#include <directx/d3d12.h>

#include <imgui_impl_dx12.h>
#include <imgui.h>

#include "d3d12/CommandList.h"
#include "d3d12/Formats.h"
#include "d3d12/GpuState.h"
#include "d3d12/Resource.h"
#include "common/CallTrace.h"
#include "standin/ImGuiBackend.h"

#include <algorithm>
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

// The subresource a render-target view of a single-level, single-slice texture writes (the back buffers).
UINT renderTargetSubresource(const standin::DescriptorContents& view) {
    if (view.hasDesc && view.renderTargetView.ViewDimension == D3D12_RTV_DIMENSION_TEXTURE2D)
        return view.renderTargetView.Texture2D.MipSlice;
    return 0;
}

void recordDraw(const BackendData& backend, ID3D12GraphicsCommandList* graphicsList, const ImDrawData& data,
                int commands) {
    using namespace standin;
    CommandList* list = commandListOf(graphicsList);
    if (!list) {
        refuse("draw data rendered into a command list that is not the stand-in's");
        return;
    }
    if (!list->recording("DrawIndexedInstanced (ImGui_ImplDX12_RenderDrawData)"))
        return;
    const std::string where = "ImGui_ImplDX12_RenderDrawData";
    const std::vector<ID3D12DescriptorHeap*>& heaps = list->bindings.heapObjects;
    if (std::find(heaps.begin(), heaps.end(), backend.heap) == heaps.end())
        reportValidationError(where +
                              ": the descriptor heap of the back end's font descriptor is not set on the "
                              "command list (SetDescriptorHeaps)");
    if (list->bindings.renderTargetViews.size() != 1) {
        reportValidationError(where + ": the back end draws into one render target, but " +
                              std::to_string(list->bindings.renderTargetViews.size()) + " are set");
    } else {
        const Descriptor& view = list->bindings.renderTargetViews[0];
        std::unique_lock lock(gpuMutex());
        std::shared_ptr<ResourceStorage> storage = view.storage.lock();
        if (!storage || !storage->object) {
            lock.unlock();
            reportValidationError(where + ": the render target refers to a released resource");
        } else {
            DXGI_FORMAT format =
                view.contents.hasDesc ? view.contents.renderTargetView.Format : DXGI_FORMAT_UNKNOWN;
            if (format == DXGI_FORMAT_UNKNOWN)
                format = storage->desc.Format;
            lock.unlock();
            if (format != backend.rtvFormat)
                reportValidationError(where + ": the render target has the format " + formatName(format) +
                                      " but the back end was initialised for " +
                                      formatName(backend.rtvFormat));
            list->use(storage, renderTargetSubresource(view.contents), D3D12_RESOURCE_STATE_RENDER_TARGET,
                      where + " (render target)");
            list->requireCurrentBackBuffer(storage, where + " (render target)");
        }
    }
    RecordedCommand& entry = list->log(CommandKind::UiDraw);
    entry.arguments[0] = uint32_t(data.CmdListsCount);
    entry.arguments[1] = uint32_t(commands);
    entry.arguments[2] = uint32_t(data.TotalVtxCount);
    entry.arguments[3] = uint32_t(data.TotalIdxCount);
    entry.state = list->boundState(false);
    // The back end leaves its own pipeline, root signature and input assembly bound; a later draw of the
    // program must set its own again.
    list->bindings.pipeline = nullptr;
    list->bindings.graphicsRootSignature = nullptr;
    list->bindings.graphicsArguments.clear();
    list->bindings.vertexBuffers.clear();
    list->bindings.indexBuffer = {};
    list->bindings.topology = D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
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
    standin::traceCall("ImGui_ImplDX12_Shutdown");
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
    standin::traceCall("ImGui_ImplDX12_NewFrame");
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
    BackendData* backend = backendData();
    if (!backend || !graphics_command_list) {
        refuse("draw data rendered without being initialised or without a command list");
        return;
    }
    int commands = 0;
    for (int i = 0; i < draw_data->CmdListsCount; ++i)
        commands += draw_data->CmdLists[i]->CmdBuffer.Size;
    recordDraw(*backend, graphics_command_list, *draw_data, commands);
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
