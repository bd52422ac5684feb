// The steps of start-up that make platform calls, numbered as initialize's steps, with the calls each makes
// in the order the call trace records them (standin/CallTrace.h). The scene import (step 31), whose uploads
// follow the scene's contents, lies between the two lists; the steps without platform calls (the log line,
// the input handler, the event list, the path and the descriptor slots) cannot be seen in the trace.
#pragma once

#include <string>
#include <vector>

struct StartupStep {
    int number;
    const char* what;
    std::vector<std::string> calls;
};

inline const std::vector<StartupStep> STEPS_BEFORE_THE_SCENE = {
    {1, "music", {"PlaySoundW"}},
    {3, "window", {"RegisterClassExW", "CreateWindowExW", "ShowWindow"}},
    {7, "factory", {"CreateDXGIFactory2"}},
    {8, "device", {"D3D12CreateDevice"}},
    {10, "queue", {"ID3D12Device::CreateCommandQueue"}},
    {11, "fence and its event", {"ID3D12Device::CreateFence", "CreateEventW"}},
    {12, "swap chain", {"IDXGIFactory2::CreateSwapChainForHwnd"}},
    {13, "window association", {"IDXGIFactory::MakeWindowAssociation"}},
    {14,
     "depth-stencil, render-target and shader-visible heaps",
     {"ID3D12Device::CreateDescriptorHeap", "ID3D12Device::CreateDescriptorHeap",
      "ID3D12Device::CreateDescriptorHeap"}},
    {16,
     "back buffers, render target, G-buffers and depth target",
     {"IDXGISwapChain::GetBuffer", "IDXGISwapChain::GetBuffer", "ID3D12Device::CreateCommittedResource",
      "ID3D12Device::CreateCommittedResource", "ID3D12Device::CreateCommittedResource",
      "ID3D12Device::CreateCommittedResource"}},
    {17,
     "default root signature",
     {"D3D12SerializeVersionedRootSignature", "ID3D12Device::CreateRootSignature"}},
    {18, "shader compiler", {"DxcCreateInstance", "DxcCreateInstance", "IDxcLibrary::CreateIncludeHandler"}},
    {19,
     "geometry pipeline",
     {"IDxcCompiler::Compile", "IDxcCompiler::Compile", "IDxcCompiler::Compile",
      "ID3D12Device2::CreatePipelineState"}},
    {20, "shading pipeline", {"IDxcCompiler::Compile", "ID3D12Device::CreateComputePipelineState"}},
    {21,
     "post root signature",
     {"D3D12SerializeVersionedRootSignature", "ID3D12Device::CreateRootSignature"}},
    {22,
     "post pipeline",
     {"IDxcCompiler::Compile", "IDxcCompiler::Compile", "ID3D12Device::CreateGraphicsPipelineState"}},
    {23,
     "ray-traced shadows: root signature, library and state object, shader table, denoise pipeline, "
     "constants, shadow maps",
     {"D3D12SerializeRootSignature", "ID3D12Device::CreateRootSignature", "DxcCreateInstance",
      "DxcCreateInstance", "IDxcCompiler3::Compile", "ID3D12Device5::CreateStateObject",
      "ID3D12Device::CreateCommittedResource", "ID3D12Resource::Map",
      "ID3D12Device::CreateComputePipelineState", "ID3D12Device::CreateCommittedResource",
      "ID3D12Resource::Map", "ID3D12Device::CreateDescriptorHeap", "ID3D12Device::CreateCommittedResource",
      "ID3D12Device::CreateCommittedResource"}},
    {24,
     "command allocators",
     {"ID3D12Device::CreateCommandAllocator", "ID3D12Device::CreateCommandAllocator"}},
    {25, "command list", {"ID3D12Device::CreateCommandList"}},
    {26, "query heaps", {"ID3D12Device::CreateQueryHeap", "ID3D12Device::CreateQueryHeap"}},
    {27, "readback buffer", {"ID3D12Device::CreateCommittedResource", "ID3D12Resource::Map"}},
    {28, "timestamp frequency", {"ID3D12CommandQueue::GetTimestampFrequency"}},
    {29, "command list closed", {"ID3D12GraphicsCommandList::Close"}},
    {30,
     "four constant buffers",
     {"ID3D12Device::CreateCommittedResource", "ID3D12Resource::Map", "ID3D12Device::CreateCommittedResource",
      "ID3D12Resource::Map", "ID3D12Device::CreateCommittedResource", "ID3D12Resource::Map",
      "ID3D12Device::CreateCommittedResource", "ID3D12Resource::Map"}},
};

inline const std::vector<StartupStep> STEPS_AFTER_THE_SCENE = {
    {33, "debug panel's heap", {"ID3D12Device::CreateDescriptorHeap"}},
    {35, "debug panel's renderer back end", {"ImGui_ImplDX12_Init"}},
    // The back end reads the counter's frequency itself.
    {36, "debug panel's Win32 back end", {"ImGui_ImplWin32_Init", "QueryPerformanceFrequency"}},
    {37, "counter frequency", {"QueryPerformanceFrequency"}},
};

// One expected call, labelled with its step.
struct ExpectedCall {
    std::string call;
    std::string step;
};

inline std::vector<ExpectedCall> expectedCalls(const std::vector<StartupStep>& steps) {
    std::vector<ExpectedCall> calls;
    for (const StartupStep& step : steps)
        for (const std::string& call : step.calls)
            calls.push_back({call, "step " + std::to_string(step.number) + " (" + step.what + ")"});
    return calls;
}
