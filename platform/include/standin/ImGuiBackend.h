// Inspection of the stand-in's Dear ImGui Direct3D 12 back end, for tests.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <vector>

namespace standin {

// What the back end was initialised with, and whether its device objects (the font atlas) exist.
struct ImGuiDx12State {
    bool initialized;
    bool deviceObjectsCreated;
    ID3D12Device* device;
    int framesInFlight;
    DXGI_FORMAT rtvFormat;
    ID3D12DescriptorHeap* heap;
    D3D12_CPU_DESCRIPTOR_HANDLE fontCpuHandle;
    D3D12_GPU_DESCRIPTOR_HANDLE fontGpuHandle;
};

ImGuiDx12State imguiDx12State();

// One ImGui_ImplDX12_RenderDrawData call (calls while the display has no size draw nothing and are not kept).
struct ImGuiDx12DrawRecord {
    ID3D12GraphicsCommandList* commandList;
    int commandLists;
    int commands;
    int vertices;
    int indices;
};

// Every recorded draw since the start or the last clear, in call order.
std::vector<ImGuiDx12DrawRecord> imguiDx12Draws();
void clearImGuiDx12Draws();

} // namespace standin
