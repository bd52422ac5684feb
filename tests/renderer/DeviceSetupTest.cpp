// The first half of start-up on the stand-in: adapter choice, the failure texts of its calls, the descriptor
// slots of the size-dependent targets and the targets themselves, at start and after a resize.
#include "core/GpuSync.h"
#include "renderer/DeviceSetup.h"
#include "renderer/RenderTargets.h"
#include "renderer/Renderer.h"
#include "support/ProgramStop.h"

#include <standin/Gpu.h>
#include <standin/WindowSystem.h>

#include <gtest/gtest.h>

#include <dxguids/dxguids.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

// The steps of start-up from the factory to the render targets, in the order initialize runs them.
const std::function<void()> SETUP_STEPS[] = {
    createFactoryAndDevice, createQueueAndFence,       createSwapchain,
    createDescriptorHeaps,  takeTargetDescriptorSlots, [] { createRenderTargets(window); },
};
enum Step {
    FactoryAndDevice,
    QueueAndFence,
    Swapchain,
    DescriptorHeaps,
    TargetSlots,
    RenderTargets,
    StepCount
};

template <typename T> void release(T*& object) {
    safeRelease(object);
    object = nullptr;
}

class DeviceSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetGpu();
        standin::resetWindowSystem();
        window = new Window();
    }

    void TearDown() override {
        standin::waitForGpuIdle();
        EXPECT_EQ(standin::validationErrorCount(), 0u) << findings();
        for (auto& buffer : swapchainBuffers)
            release(buffer);
        releaseRenderTargets();
        renderTarget = gBuffer0 = gBuffer1 = depthTarget = nullptr;
        for (DescriptorHeap* heap : {&srvHeap, &rtvHeap, &dsvHeap}) {
            destroyDescriptorHeap(*heap);
            *heap = {};
        }
        descriptorIndices = {};
        release(swapchain);
        release(fence);
        CloseHandle(fenceEvent);
        fenceEvent = nullptr;
        release(commandQueue);
        release(device);
        release(factory);
        frameIndex = 0;
        delete window;
        window = nullptr;
        standin::resetGpu();
        standin::resetWindowSystem();
    }

    static void runSteps(int count) {
        for (int step = 0; step < count; ++step)
            SETUP_STEPS[step]();
    }

    static std::string findings() {
        std::string text;
        for (const std::string& finding : standin::validationErrors())
            text += finding + "\n";
        return text;
    }

    static LUID warpLuid() {
        IDXGIAdapter* warp = nullptr;
        EXPECT_TRUE(SUCCEEDED(factory->EnumWarpAdapter(IID_PPV_ARGS(&warp))));
        DXGI_ADAPTER_DESC desc = {};
        warp->GetDesc(&desc);
        warp->Release();
        return desc.AdapterLuid;
    }

    ProgramEndGuard programEndGuard;
};

bool operator==(const LUID& a, const LUID& b) {
    return a.LowPart == b.LowPart && a.HighPart == b.HighPart;
}

struct ExpectedView {
    const char* resourceName;
    standin::DescriptorKind kind;
    DXGI_FORMAT format;
};

void expectView(const standin::DescriptorContents& view, const ExpectedView& expected, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(view.resourceName, expected.resourceName);
    EXPECT_TRUE(view.resourceAlive);
    ASSERT_EQ(view.kind, expected.kind);
    switch (expected.kind) {
    case standin::DescriptorKind::ShaderResourceView:
        EXPECT_EQ(view.shaderResourceView.Format, expected.format);
        EXPECT_EQ(view.shaderResourceView.ViewDimension, D3D12_SRV_DIMENSION_TEXTURE2D);
        EXPECT_EQ(view.shaderResourceView.Shader4ComponentMapping, D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING);
        EXPECT_EQ(view.shaderResourceView.Texture2D.MostDetailedMip, 0u);
        EXPECT_EQ(view.shaderResourceView.Texture2D.MipLevels, 1u);
        break;
    case standin::DescriptorKind::UnorderedAccessView:
        EXPECT_EQ(view.unorderedAccessView.Format, expected.format);
        EXPECT_EQ(view.unorderedAccessView.ViewDimension, D3D12_UAV_DIMENSION_TEXTURE2D);
        EXPECT_EQ(view.counterResource, nullptr);
        break;
    case standin::DescriptorKind::RenderTargetView:
        EXPECT_EQ(view.renderTargetView.Format, expected.format);
        EXPECT_EQ(view.renderTargetView.ViewDimension, D3D12_RTV_DIMENSION_TEXTURE2D);
        break;
    case standin::DescriptorKind::DepthStencilView:
        EXPECT_EQ(view.depthStencilView.Format, expected.format);
        EXPECT_EQ(view.depthStencilView.ViewDimension, D3D12_DSV_DIMENSION_TEXTURE2D);
        EXPECT_EQ(view.depthStencilView.Flags, D3D12_DSV_FLAG_NONE);
        break;
    default:
        break;
    }
}

// Every view of the targets sits in its fixed slot and describes the current resource.
void expectTargetViews() {
    using Kind = standin::DescriptorKind;
    const ExpectedView srvSlots[] = {
        {"G-Buffer 0", Kind::ShaderResourceView, DXGI_FORMAT_R32G32B32A32_UINT},
        {"G-Buffer 1", Kind::ShaderResourceView, DXGI_FORMAT_R32G32_UINT},
        {"Render Target", Kind::ShaderResourceView, DXGI_FORMAT_R16G16B16A16_FLOAT},
        {"Render Target", Kind::UnorderedAccessView, DXGI_FORMAT_R16G16B16A16_FLOAT},
        {"Depth Target", Kind::ShaderResourceView, DXGI_FORMAT_R32_FLOAT},
    };
    const ExpectedView rtvSlots[] = {
        {"Swapchain Buffer", Kind::RenderTargetView, DXGI_FORMAT_R8G8B8A8_UNORM},
        {"Swapchain Buffer", Kind::RenderTargetView, DXGI_FORMAT_R8G8B8A8_UNORM},
        {"G-Buffer 0", Kind::RenderTargetView, DXGI_FORMAT_R32G32B32A32_UINT},
        {"G-Buffer 1", Kind::RenderTargetView, DXGI_FORMAT_R32G32_UINT},
    };
    for (UINT slot = 0; slot < 5; ++slot)
        expectView(standin::descriptorAt(srvHeap.heap, slot), srvSlots[slot],
                   ("srvHeap slot " + std::to_string(slot)).c_str());
    for (UINT slot = 0; slot < 4; ++slot)
        expectView(standin::descriptorAt(rtvHeap.heap, slot), rtvSlots[slot],
                   ("rtvHeap slot " + std::to_string(slot)).c_str());
    expectView(standin::descriptorAt(dsvHeap.heap, 0),
               {"Depth Target", Kind::DepthStencilView, DXGI_FORMAT_D32_FLOAT}, "dsvHeap slot 0");

    EXPECT_EQ(standin::descriptorAt(srvHeap.heap, 0).resource, gBuffer0);
    EXPECT_EQ(standin::descriptorAt(srvHeap.heap, 3).resource, renderTarget);
    EXPECT_EQ(standin::descriptorAt(rtvHeap.heap, 1).resource, swapchainBuffers[1]);
    // The GPU handles kept for the passes name the same slots.
    EXPECT_EQ(standin::descriptorAt(renderTargetSrvGpu).resource, renderTarget);
    EXPECT_EQ(standin::descriptorAt(depthTargetSrvGpu).resource, depthTarget);
}

void expectTargets(uint32_t width, uint32_t height) {
    struct Target {
        ID3D12Resource* resource;
        const char* name;
        DXGI_FORMAT format;
        D3D12_RESOURCE_FLAGS flags;
        D3D12_RESOURCE_STATES state;
    };
    const Target targets[] = {
        {renderTarget, "Render Target", DXGI_FORMAT_R16G16B16A16_FLOAT,
         D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET | D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
         D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE},
        {gBuffer0, "G-Buffer 0", DXGI_FORMAT_R32G32B32A32_UINT, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
         D3D12_RESOURCE_STATE_COMMON},
        {gBuffer1, "G-Buffer 1", DXGI_FORMAT_R32G32_UINT, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
         D3D12_RESOURCE_STATE_COMMON},
        {depthTarget, "Depth Target", DXGI_FORMAT_R32_TYPELESS, D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL,
         D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE},
    };
    for (const Target& target : targets) {
        SCOPED_TRACE(target.name);
        ASSERT_NE(target.resource, nullptr);
        const D3D12_RESOURCE_DESC desc = target.resource->GetDesc();
        EXPECT_EQ(desc.Dimension, D3D12_RESOURCE_DIMENSION_TEXTURE2D);
        EXPECT_EQ(desc.Width, width);
        EXPECT_EQ(desc.Height, height);
        EXPECT_EQ(desc.MipLevels, 1u);
        EXPECT_EQ(desc.Format, target.format);
        EXPECT_EQ(desc.Flags, target.flags);
        EXPECT_EQ(standin::resourceName(target.resource), target.name);
        EXPECT_EQ(standin::resourceState(target.resource), target.state);
    }
    for (ID3D12Resource* buffer : swapchainBuffers) {
        const D3D12_RESOURCE_DESC desc = buffer->GetDesc();
        EXPECT_EQ(desc.Width, width);
        EXPECT_EQ(desc.Height, height);
        EXPECT_EQ(standin::resourceState(buffer), D3D12_RESOURCE_STATE_PRESENT);
        EXPECT_EQ(standin::resourceName(buffer), "Swapchain Buffer");
    }
}

} // namespace

TEST_F(DeviceSetupTest, TargetViewsSitInTheirFixedSlots) {
    runSteps(StepCount);
    expectTargetViews();
    EXPECT_EQ(descriptorIndices.gBuffer0Index, 0u);
    EXPECT_EQ(descriptorIndices.gBuffer1Index, 1u);
    EXPECT_EQ(descriptorIndices.depthIndex, 4u);
    EXPECT_EQ(descriptorIndices.renderTargetIndex, 3u);
    EXPECT_EQ(srvHeap.count, 5u);
    EXPECT_EQ(rtvHeap.count, 4u);
    EXPECT_EQ(dsvHeap.count, 1u);
}

TEST_F(DeviceSetupTest, SwapchainAndTargetsFollowTheClientSize) {
    runSteps(StepCount);
    DXGI_SWAP_CHAIN_DESC1 desc = {};
    swapchain->GetDesc1(&desc);
    EXPECT_EQ(desc.Width, 1920u);
    EXPECT_EQ(desc.Height, 1080u);
    EXPECT_EQ(desc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(desc.BufferCount, 2u);
    EXPECT_EQ(desc.SwapEffect, DXGI_SWAP_EFFECT_FLIP_DISCARD);
    EXPECT_EQ(desc.BufferUsage, DXGI_USAGE_RENDER_TARGET_OUTPUT);
    EXPECT_EQ(desc.Scaling, DXGI_SCALING_STRETCH);
    EXPECT_EQ(desc.AlphaMode, DXGI_ALPHA_MODE_UNSPECIFIED);
    EXPECT_EQ(desc.SampleDesc.Count, 1u);
    EXPECT_FALSE(desc.Stereo);
    EXPECT_EQ(desc.Flags, 0u);
    // Alt+Enter must not switch the window to full screen.
    const standin::WindowAssociation association = standin::windowAssociation();
    EXPECT_EQ(association.window, window->getHWND());
    EXPECT_EQ(association.flags, UINT(DXGI_MWA_NO_ALT_ENTER));
    EXPECT_EQ(frameIndex, swapchain->GetCurrentBackBufferIndex());
    EXPECT_EQ(fence->GetCompletedValue(), 0u);
    EXPECT_EQ(fenceValues[0], 0u);
    EXPECT_EQ(fenceValues[1], 0u);
    expectTargets(1920, 1080);
}

// Each wait on the fence event consumes one signal: the event resets itself, starts unsignalled, and a wait
// never returns early on a signal an earlier wait already took.
TEST_F(DeviceSetupTest, TheFenceEventStartsUnsignalledAndResetsItselfAfterEachWait) {
    runSteps(QueueAndFence + 1);
    ASSERT_NE(fenceEvent, nullptr);
    EXPECT_EQ(WaitForSingleObjectEx(fenceEvent, 0, FALSE), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(SetEvent(fenceEvent));
    EXPECT_EQ(WaitForSingleObjectEx(fenceEvent, 0, FALSE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObjectEx(fenceEvent, 0, FALSE), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(DeviceSetupTest, ResizeRemakesTheTargetsWithTheirViewsInTheSameSlots) {
    runSteps(StepCount);
    const DescriptorIndices before = descriptorIndices;

    waitForGpu();
    for (auto& buffer : swapchainBuffers)
        safeRelease(buffer);
    // Fails while any back buffer is still referenced, so this also shows nothing kept one.
    ASSERT_TRUE(SUCCEEDED(swapchain->ResizeBuffers(FRAMES_IN_FLIGHT_COUNT, 800, 600, SWAPCHAIN_FORMAT, 0)));
    frameIndex = swapchain->GetCurrentBackBufferIndex();
    releaseRenderTargets();
    window->width = 800;
    window->height = 600;
    createRenderTargets(window);

    expectTargets(800, 600);
    expectTargetViews();
    EXPECT_EQ(srvHeap.count, 5u);
    EXPECT_EQ(rtvHeap.count, 4u);
    EXPECT_EQ(dsvHeap.count, 1u);
    EXPECT_EQ(std::memcmp(&descriptorIndices, &before, sizeof before), 0);
}

TEST_F(DeviceSetupTest, TheFirstCapableHardwareAdapterIsChosenElseWarpSilently) {
    struct Case {
        bool hardwareRefuses, softwareListedFirst, expectWarp;
    };
    for (const Case& c : {Case{false, false, false}, Case{false, true, false}, Case{true, false, true},
                          Case{true, true, true}}) {
        SCOPED_TRACE(testing::Message() << "hardware refuses " << c.hardwareRefuses << ", software first "
                                        << c.softwareListedFirst);
        standin::setHardwareAdapterRefusesDevice(c.hardwareRefuses);
        standin::setSoftwareAdapterListedFirst(c.softwareListedFirst);
        testing::internal::CaptureStdout();
        createFactoryAndDevice();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(device->GetAdapterLuid() == warpLuid(), c.expectWarp);
        release(device);
        // Every adapter holds the factory, so the last reference to it shows that none was kept.
        EXPECT_EQ(factory->Release(), 0u);
        factory = nullptr;
        standin::resetGpu();
    }
}

TEST_F(DeviceSetupTest, EachFailedCallIsReportedWithItsText) {
    struct Case {
        Step failingStep;
        std::function<void()> arrange;
        const char* text;
    };
    const Case cases[] = {
        {FactoryAndDevice, [] { standin::failCall("CreateDXGIFactory2"); },
         "CreateDXGIFactory2(factoryFlags, IID_PPV_ARGS(&factory))"},
        {FactoryAndDevice,
         [] {
             standin::setHardwareAdapterRefusesDevice(true);
             standin::failCall("EnumWarpAdapter");
         },
         "factory->EnumWarpAdapter(IID_PPV_ARGS(&warpAdapter))"},
        {FactoryAndDevice, [] { standin::failCall("D3D12CreateDevice", true); },
         "D3D12CreateDevice(warpAdapter, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device))"},
        {QueueAndFence, [] { standin::failCall("CreateCommandQueue"); },
         "device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&commandQueue))"},
        {QueueAndFence, [] { standin::failCall("CreateFence"); },
         "device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence))"},
        {Swapchain, [] { standin::failCall("CreateSwapChainForHwnd"); },
         "factory->CreateSwapChainForHwnd(commandQueue, window->getHWND(), &swapchainDesc, 0, 0, "
         "&swapchain1)"},
        {DescriptorHeaps, [] { standin::failCall("CreateDescriptorHeap"); },
         "device->CreateDescriptorHeap(&desc, IID_PPV_ARGS(&heap.heap))"},
        {RenderTargets, [] { standin::failCall("GetBuffer"); },
         "swapchain->GetBuffer(i, IID_PPV_ARGS(&swapchainBuffers[i]))"},
        {RenderTargets, [] { standin::failCall("CreateCommittedResource"); },
         "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, "
         "D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE, &clearValue, IID_PPV_ARGS(&renderTarget))"},
        // The G-buffers are checked too, so that no frame uses a target that was not made.
        {RenderTargets, [] { standin::failCall("CreateCommittedResource", false, E_OUTOFMEMORY, 1); },
         "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, "
         "D3D12_RESOURCE_STATE_COMMON, &clearValue, IID_PPV_ARGS(&gBuffer0))"},
        {RenderTargets, [] { standin::failCall("CreateCommittedResource", false, E_OUTOFMEMORY, 2); },
         "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, "
         "D3D12_RESOURCE_STATE_COMMON, &clearValue, IID_PPV_ARGS(&gBuffer1))"},
        {RenderTargets, [] { standin::failCall("CreateCommittedResource", false, E_OUTOFMEMORY, 3); },
         "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, "
         "D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, &depth_clear, IID_PPV_ARGS(&depthTarget))"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        runSteps(c.failingStep);
        c.arrange();
        EXPECT_EQ(outputOfStop(SETUP_STEPS[c.failingStep]), std::string("Error: ") + c.text + "\n");
        TearDown();
        SetUp();
    }
}
