#include "renderer/DeviceSetup.h"

#include "core/Globals.h"
#include "core/Report.h"
#include "renderer/RenderTargets.h"
#include "renderer/Renderer.h"

#include <dxguids/dxguids.h>

IDXGIFactory6* factory = nullptr;
IDXGISwapChain3* swapchain = nullptr;
DescriptorHeap dsvHeap = {};
DescriptorHeap rtvHeap = {};
DescriptorIndices descriptorIndices = {};

D3D12_CPU_DESCRIPTOR_HANDLE gBuffer0Rtv = {}, gBuffer0Srv = {};
D3D12_CPU_DESCRIPTOR_HANDLE gBuffer1Rtv = {}, gBuffer1Srv = {};
D3D12_CPU_DESCRIPTOR_HANDLE renderTargetSrv = {}, renderTargetUav = {};
D3D12_GPU_DESCRIPTOR_HANDLE renderTargetSrvGpu = {};
D3D12_CPU_DESCRIPTOR_HANDLE depthTargetDsv = {}, depthTargetSrv = {};
D3D12_GPU_DESCRIPTOR_HANDLE depthTargetSrvGpu = {};

void createFactoryAndDevice() {
    UINT factoryFlags = 0;
    CHECK(CreateDXGIFactory2(factoryFlags, IID_PPV_ARGS(&factory)));

    // Software adapters are skipped and an adapter that refuses the device is passed over silently; the
    // device keeps its own reference to the adapter it was made on.
    for (UINT i = 0; !device; ++i) {
        IDXGIAdapter1* adapter = nullptr;
        if (failed(factory->EnumAdapters1(i, &adapter)))
            break; // DXGI_ERROR_NOT_FOUND: no adapter left
        DXGI_ADAPTER_DESC1 desc = {};
        adapter->GetDesc1(&desc);
        if (!(desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) &&
            failed(D3D12CreateDevice(adapter, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device))))
            device = nullptr;
        adapter->Release();
    }

    if (!device) {
        IDXGIAdapter* warpAdapter = nullptr;
        CHECK(factory->EnumWarpAdapter(IID_PPV_ARGS(&warpAdapter)));
        // The adapter is let go before a failure is reported, so that nothing outlives the report.
        const HRESULT created = D3D12CreateDevice(warpAdapter, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device));
        warpAdapter->Release();
        CHECK_AS(created, "D3D12CreateDevice(warpAdapter, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device))");
    }
}

void createQueueAndFence() {
    D3D12_COMMAND_QUEUE_DESC queueDesc = {}; // direct, normal priority, no flags
    CHECK(device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&commandQueue)));

    CHECK(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence)));
    // The frame values start at 0 while the uploads of start-up use the fence; the end of start-up moves them
    // past every upload value (continueFenceAfterUploads).
    fenceValues[0] = 0;
    fenceValues[1] = 0;
    fenceEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

void createSwapchain() {
    DXGI_SWAP_CHAIN_DESC1 swapchainDesc = {};
    swapchainDesc.Width = window->getWidth();
    swapchainDesc.Height = window->getHeight();
    swapchainDesc.Format = SWAPCHAIN_FORMAT;
    swapchainDesc.Stereo = FALSE;
    swapchainDesc.SampleDesc.Count = 1;
    swapchainDesc.SampleDesc.Quality = 0;
    swapchainDesc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    swapchainDesc.BufferCount = FRAMES_IN_FLIGHT_COUNT;
    swapchainDesc.Scaling = DXGI_SCALING_STRETCH;
    swapchainDesc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
    swapchainDesc.AlphaMode = DXGI_ALPHA_MODE_UNSPECIFIED;
    swapchainDesc.Flags = 0;

    IDXGISwapChain1* swapchain1 = nullptr;
    CHECK(
        factory->CreateSwapChainForHwnd(commandQueue, window->getHWND(), &swapchainDesc, 0, 0, &swapchain1));
    // The swap chain is used right away, so a missing interface must not leave it null.
    CHECK(swapchain1->QueryInterface(IID_PPV_ARGS(&swapchain)));
    swapchain1->Release();
    frameIndex = swapchain->GetCurrentBackBufferIndex();

    factory->MakeWindowAssociation(window->getHWND(), DXGI_MWA_NO_ALT_ENTER);
}

void createDescriptorHeaps() {
    dsvHeap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_DSV, 16, false);
    rtvHeap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 64, false);
    srvHeap = createDescriptorHeap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 512, true);
}

void takeTargetDescriptorSlots() {
    allocateDescriptors(rtvHeap, swapchainRtvs, FRAMES_IN_FLIGHT_COUNT);
    allocateDescriptor(rtvHeap, &gBuffer0Rtv, nullptr);
    descriptorIndices.gBuffer0Index = allocateDescriptor(srvHeap, &gBuffer0Srv, nullptr);
    allocateDescriptor(rtvHeap, &gBuffer1Rtv, nullptr);
    descriptorIndices.gBuffer1Index = allocateDescriptor(srvHeap, &gBuffer1Srv, nullptr);
    allocateDescriptor(srvHeap, &renderTargetSrv, &renderTargetSrvGpu);
    descriptorIndices.renderTargetIndex = allocateDescriptor(srvHeap, &renderTargetUav, nullptr);
    allocateDescriptor(dsvHeap, &depthTargetDsv, nullptr);
    descriptorIndices.depthIndex = allocateDescriptor(srvHeap, &depthTargetSrv, &depthTargetSrvGpu);
}
