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
    chain->Release();
    DestroyWindow(window);
    resetWindowSystem();
}
