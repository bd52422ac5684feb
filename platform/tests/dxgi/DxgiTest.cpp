// DXGI: adapters and the WARP fallback control, the swap chain's presents and resizes, injected failures.
#include "d3d12/GpuFixture.h"

#include "standin/Session.h"
#include "standin/WindowSystem.h"

#include <dxgi1_6.h>

using namespace standin;

namespace {

HWND fakeWindow() {
    return reinterpret_cast<HWND>(uintptr_t(0x100));
}

DXGI_SWAP_CHAIN_DESC1 chainDesc(UINT width, UINT height) {
    DXGI_SWAP_CHAIN_DESC1 desc{};
    desc.Width = width;
    desc.Height = height;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc = {1, 0};
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
    return desc;
}

} // namespace

class DxgiTest : public GpuTest {
protected:
    IDXGIFactory6* factory = nullptr;
    IDXGISwapChain3* swapChain = nullptr;

    void SetUp() override {
        GpuTest::SetUp();
        ASSERT_EQ(CreateDXGIFactory2(0, IID_PPV_ARGS(&factory)), S_OK);
        keep(factory);
        DXGI_SWAP_CHAIN_DESC1 desc = chainDesc(64, 32);
        IDXGISwapChain1* first = nullptr;
        ASSERT_EQ(factory->CreateSwapChainForHwnd(queue, fakeWindow(), &desc, nullptr, nullptr, &first),
                  S_OK);
        ASSERT_EQ(first->QueryInterface(IID_PPV_ARGS(&swapChain)), S_OK);
        first->Release();
        keep(swapChain);
    }
};

TEST_F(DxgiTest, AdaptersListHardwareThenEndAndWarpIsSoftware) {
    IDXGIAdapter1* adapter = nullptr;
    DXGI_ADAPTER_DESC1 desc{};
    ASSERT_EQ(factory->EnumAdapters1(0, &adapter), S_OK);
    ASSERT_EQ(adapter->GetDesc1(&desc), S_OK);
    EXPECT_EQ(desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE, 0u);
    adapter->Release();
    EXPECT_EQ(factory->EnumAdapters1(1, &adapter), DXGI_ERROR_NOT_FOUND);
    EXPECT_EQ(adapter, nullptr);

    setSoftwareAdapterListedFirst(true);
    ASSERT_EQ(factory->EnumAdapters1(0, &adapter), S_OK);
    ASSERT_EQ(adapter->GetDesc1(&desc), S_OK);
    EXPECT_EQ(desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE, DXGI_ADAPTER_FLAG_SOFTWARE);
    adapter->Release();

    IDXGIAdapter* warp = nullptr;
    ASSERT_EQ(factory->EnumWarpAdapter(IID_PPV_ARGS(&warp)), S_OK);
    IDXGIAdapter1* warp1 = nullptr;
    ASSERT_EQ(warp->QueryInterface(IID_PPV_ARGS(&warp1)), S_OK);
    ASSERT_EQ(warp1->GetDesc1(&desc), S_OK);
    EXPECT_EQ(desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE, DXGI_ADAPTER_FLAG_SOFTWARE);
    warp1->Release();

    // The control makes the hardware adapter refuse; WARP still makes a device.
    setHardwareAdapterRefusesDevice(true);
    ID3D12Device5* made = nullptr;
    ASSERT_EQ(factory->EnumAdapters1(1, &adapter), S_OK);
    EXPECT_TRUE(FAILED(D3D12CreateDevice(adapter, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&made))));
    adapter->Release();
    ASSERT_EQ(D3D12CreateDevice(warp, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&made)), S_OK);
    made->Release();
    warp->Release();
}

TEST_F(DxgiTest, InjectedFailuresHitOnceOrUntilCleared) {
    ID3D12Fence* made = nullptr;
    failCall("CreateFence");
    EXPECT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&made)), E_FAIL);
    ASSERT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&made)), S_OK);
    made->Release();

    failCall("ID3D12CommandAllocator::Reset", true, E_OUTOFMEMORY);
    EXPECT_EQ(allocator->Reset(), E_OUTOFMEMORY);
    EXPECT_EQ(allocator->Reset(), E_OUTOFMEMORY);
    begin(); // the list's Reset is another call
    ASSERT_EQ(list->Close(), S_OK);
    clearFailures();
    EXPECT_EQ(allocator->Reset(), S_OK);

    failCall("CreateFence", false, E_FAIL, 1); // the second call fails
    ASSERT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&made)), S_OK);
    made->Release();
    EXPECT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&made)), E_FAIL);

    failCall("CreateDXGIFactory2");
    IDXGIFactory6* other = nullptr;
    EXPECT_EQ(CreateDXGIFactory2(0, IID_PPV_ARGS(&other)), E_FAIL);
    EXPECT_EQ(errors(), 0u);
}

TEST_F(DxgiTest, PresentRotatesTheBackBuffersAndCountsFrames) {
    uint64_t before = presentedFrames();
    EXPECT_EQ(swapChain->GetCurrentBackBufferIndex(), 0u);
    ASSERT_EQ(swapChain->Present(1, 0), S_OK);
    EXPECT_EQ(swapChain->GetCurrentBackBufferIndex(), 1u);
    ASSERT_EQ(swapChain->Present(1, 0), S_OK);
    EXPECT_EQ(swapChain->GetCurrentBackBufferIndex(), 0u);
    EXPECT_EQ(presentedFrames(), before + 2);
    EXPECT_EQ(errors(), 0u);
    ASSERT_EQ(factory->MakeWindowAssociation(fakeWindow(), DXGI_MWA_NO_ALT_ENTER), S_OK);
    EXPECT_EQ(windowAssociation().window, fakeWindow());
    EXPECT_EQ(windowAssociation().flags, UINT(DXGI_MWA_NO_ALT_ENTER));
}

TEST_F(DxgiTest, PresentNeedsTheBackBufferInPresentState) {
    ID3D12Resource* back = nullptr;
    ASSERT_EQ(swapChain->GetBuffer(0, IID_PPV_ARGS(&back)), S_OK);
    EXPECT_EQ(resourceState(back), D3D12_RESOURCE_STATE_PRESENT);
    begin();
    D3D12_RESOURCE_BARRIER toTarget = CD3DX12_RESOURCE_BARRIER::Transition(
        back, D3D12_RESOURCE_STATE_PRESENT, D3D12_RESOURCE_STATE_RENDER_TARGET);
    list->ResourceBarrier(1, &toTarget);
    submit();
    ASSERT_EQ(swapChain->Present(1, 0), S_OK);
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("not PRESENT"), std::string::npos);
    back->Release();
}

TEST_F(DxgiTest, ResizeBuffersFailsWhileABackBufferIsHeld) {
    ID3D12Resource* back = nullptr;
    ASSERT_EQ(swapChain->GetBuffer(1, IID_PPV_ARGS(&back)), S_OK);
    EXPECT_EQ(swapChain->ResizeBuffers(2, 128, 96, DXGI_FORMAT_R8G8B8A8_UNORM, 0), DXGI_ERROR_INVALID_CALL);
    back->Release();
    clearValidationErrors();
    ASSERT_EQ(swapChain->Present(1, 0), S_OK);
    waitForQueue(); // the resize waits for nothing itself
    ASSERT_EQ(swapChain->ResizeBuffers(2, 128, 96, DXGI_FORMAT_R8G8B8A8_UNORM, 0), S_OK);
    EXPECT_EQ(swapChain->GetCurrentBackBufferIndex(), 0u);
    DXGI_SWAP_CHAIN_DESC1 desc{};
    ASSERT_EQ(swapChain->GetDesc1(&desc), S_OK);
    EXPECT_EQ(desc.Width, 128u);
    EXPECT_EQ(desc.Height, 96u);
    ASSERT_EQ(swapChain->GetBuffer(0, IID_PPV_ARGS(&back)), S_OK);
    EXPECT_EQ(back->GetDesc().Width, 128u);
    EXPECT_EQ(back->GetDesc().Height, 96u);
    back->Release();
    EXPECT_EQ(errors(), 0u);
}

TEST_F(DxgiTest, ResizeBuffersRefusesWhileTheGpuMayStillUseABackBuffer) {
    for (bool presented : {false, true}) {
        SCOPED_TRACE(presented ? "a pending present" : "a pending submission");
        clearValidationErrors();
        ID3D12Fence* held = gate();
        ASSERT_EQ(queue->Wait(held, 1), S_OK);
        if (presented) {
            ASSERT_EQ(swapChain->Present(1, 0), S_OK);
        } else {
            ID3D12Resource* back = nullptr;
            ASSERT_EQ(swapChain->GetBuffer(0, IID_PPV_ARGS(&back)), S_OK);
            begin();
            D3D12_RESOURCE_BARRIER there = CD3DX12_RESOURCE_BARRIER::Transition(
                back, D3D12_RESOURCE_STATE_PRESENT, D3D12_RESOURCE_STATE_RENDER_TARGET);
            D3D12_RESOURCE_BARRIER toPresent = CD3DX12_RESOURCE_BARRIER::Transition(
                back, D3D12_RESOURCE_STATE_RENDER_TARGET, D3D12_RESOURCE_STATE_PRESENT);
            list->ResourceBarrier(1, &there);
            list->ResourceBarrier(1, &toPresent);
            ASSERT_EQ(list->Close(), S_OK);
            back->Release();
            ID3D12CommandList* lists[] = {list};
            queue->ExecuteCommandLists(1, lists);
        }
        EXPECT_EQ(swapChain->ResizeBuffers(2, 48, 24, DXGI_FORMAT_R8G8B8A8_UNORM, 0),
                  DXGI_ERROR_INVALID_CALL);
        ASSERT_EQ(errors(), 1u);
        EXPECT_NE(validationErrors()[0].find("ResizeBuffers: back buffer 0 may still be used by the GPU"),
                  std::string::npos)
            << validationErrors()[0];
        // Once the GPU is done, the same resize goes through.
        held->Signal(1);
        waitForQueue();
        EXPECT_EQ(swapChain->ResizeBuffers(2, 48, 24, DXGI_FORMAT_R8G8B8A8_UNORM, 0), S_OK);
        EXPECT_EQ(errors(), 1u);
    }
}

TEST_F(DxgiTest, RenderingIntoABackBufferThatIsNotCurrentIsReportedAtSubmission) {
    ID3D12DescriptorHeap* rtvHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 2, false);
    ID3D12Resource* back[2] = {};
    D3D12_CPU_DESCRIPTOR_HANDLE views[2];
    for (UINT i = 0; i < 2; ++i) {
        ASSERT_EQ(swapChain->GetBuffer(i, IID_PPV_ARGS(&back[i])), S_OK);
        keep(back[i])->SetName(L"Swapchain Buffer");
        views[i] = {rtvHeap->GetCPUDescriptorHandleForHeapStart().ptr + i * 32};
        device->CreateRenderTargetView(back[i], nullptr, views[i]);
    }
    // Clears into buffer 1, recorded while buffer 0 is current: what counts is the current buffer at
    // submission.
    auto clearBufferOne = [&] {
        begin();
        D3D12_RESOURCE_BARRIER there = CD3DX12_RESOURCE_BARRIER::Transition(
            back[1], D3D12_RESOURCE_STATE_PRESENT, D3D12_RESOURCE_STATE_RENDER_TARGET);
        list->ResourceBarrier(1, &there);
        const float black[4] = {0, 0, 0, 1};
        list->ClearRenderTargetView(views[1], black, 0, nullptr);
        D3D12_RESOURCE_BARRIER home = CD3DX12_RESOURCE_BARRIER::Transition(
            back[1], D3D12_RESOURCE_STATE_RENDER_TARGET, D3D12_RESOURCE_STATE_PRESENT);
        list->ResourceBarrier(1, &home);
        ASSERT_EQ(list->Close(), S_OK);
    };
    ASSERT_EQ(swapChain->GetCurrentBackBufferIndex(), 0u);
    clearBufferOne();
    ASSERT_EQ(swapChain->Present(1, 0), S_OK);
    ID3D12CommandList* lists[] = {list};
    queue->ExecuteCommandLists(1, lists); // buffer 1 is current now
    waitForQueue();
    EXPECT_EQ(errors(), 0u) << firstFinding();
    ASSERT_EQ(swapChain->Present(1, 0), S_OK); // buffer 0 is current again
    ASSERT_EQ(allocator->Reset(), S_OK);
    clearBufferOne();
    queue->ExecuteCommandLists(1, lists);
    waitForQueue();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(
        validationErrors()[0].find("ClearRenderTargetView: 'Swapchain Buffer' is back buffer 1 of its swap "
                                   "chain, but the current back buffer is 0"),
        std::string::npos)
        << validationErrors()[0];
}

TEST_F(DxgiTest, PresentToAMinimisedWindowSucceedsAsOccluded) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"PresentTest";
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
    HWND window = CreateWindowExW(0, L"PresentTest", L"", WS_POPUP | WS_VISIBLE, 0, 0, 320, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    DXGI_SWAP_CHAIN_DESC1 desc = chainDesc(0, 0); // the window's size
    IDXGISwapChain1* chain = nullptr;
    ASSERT_EQ(factory->CreateSwapChainForHwnd(queue, window, &desc, nullptr, nullptr, &chain), S_OK);
    ASSERT_EQ(chain->GetDesc1(&desc), S_OK);
    EXPECT_EQ(desc.Width, 320u);
    EXPECT_EQ(desc.Height, 200u);
    EXPECT_EQ(chain->Present(1, 0), S_OK);
    ShowWindow(window, SW_MINIMIZE);
    HRESULT occluded = chain->Present(1, 0);
    EXPECT_EQ(occluded, DXGI_STATUS_OCCLUDED);
    EXPECT_TRUE(SUCCEEDED(occluded));
    waitForQueue();
    chain->Release();
    DestroyWindow(window);
    resetWindowSystem();
}
