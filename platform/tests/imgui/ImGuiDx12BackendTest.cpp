// The stand-in's Dear ImGui Direct3D 12 back end: what it accepts at start, its font texture, and its draws
// with the checks the debug layer makes of them.
#include <imgui.h>
#include <imgui_impl_dx12.h>

#include "d3d12/GpuFixture.h"

#include <dxgi1_6.h>
#include "standin/CallTrace.h"
#include "standin/ImGuiBackend.h"
#include "support/FakeD3D12.h"
#include "support/ImGuiTestContext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT increment = FakeShaderVisibleHeap::increment;
constexpr UINT64 cpuStart = FakeShaderVisibleHeap::cpuStart;
constexpr UINT64 gpuStart = FakeShaderVisibleHeap::gpuStart;

class ImGuiDx12BackendTest : public testing::Test {
protected:
    void SetUp() override { standin::clearImGuiDx12Draws(); }
    void TearDown() override {
        if (standin::imguiDx12State().initialized)
            ImGui_ImplDX12_Shutdown();
    }

    bool init(ID3D12DescriptorHeap* onHeap, UINT64 fontCpu, UINT64 fontGpu) {
        return ImGui_ImplDX12_Init(&gpu.device, 2, DXGI_FORMAT_R8G8B8A8_UNORM, onHeap,
                                   {static_cast<SIZE_T>(fontCpu)}, {fontGpu});
    }

    // Lays out one frame with a window of some text.
    ImDrawData* frame() {
        ImGui_ImplDX12_NewFrame();
        ImGui::NewFrame();
        ImGui::Begin("Stats");
        ImGui::Text("Frame: %.3fms", 16.6);
        ImGui::End();
        ImGui::Render();
        return ImGui::GetDrawData();
    }

    ImGuiTestContext context;
    FakeShaderVisibleHeap gpu;
};

TEST_F(ImGuiDx12BackendTest, StartRefusesAFontDescriptorOutsideTheShaderVisibleHeap) {
    FakeDescriptorHeap cpuOnly{
        {D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 64, D3D12_DESCRIPTOR_HEAP_FLAG_NONE, 0}, cpuStart, gpuStart};
    struct Case {
        const char* what;
        ID3D12DescriptorHeap* heap;
        UINT64 cpu, gpu;
    } refused[] = {
        {"past the last slot", &gpu.heap, cpuStart + 64 * increment, gpuStart + 64 * increment},
        {"between slots", &gpu.heap, cpuStart + 3, gpuStart + 3},
        {"GPU handle of another slot", &gpu.heap, cpuStart, gpuStart + increment},
        {"heap not shader visible", &cpuOnly, cpuStart, gpuStart},
    };
    for (const Case& c : refused) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(init(c.heap, c.cpu, c.gpu)) << c.what;
        EXPECT_NE(testing::internal::GetCapturedStderr().find("stand-in: ImGui DX12 back end"),
                  std::string::npos);
        EXPECT_FALSE(standin::imguiDx12State().initialized);
    }
    EXPECT_TRUE(init(&gpu.heap, cpuStart + 63 * increment, gpuStart + 63 * increment));
}

TEST_F(ImGuiDx12BackendTest, FontAtlasIsBuiltWithTheFirstFrameAndUsesTheFontDescriptor) {
    standin::startCallTrace();
    ASSERT_TRUE(init(&gpu.heap, cpuStart + increment, gpuStart + increment));
    EXPECT_FALSE(standin::imguiDx12State().deviceObjectsCreated);
    frame();
    EXPECT_TRUE(ImGui::GetIO().Fonts->IsBuilt());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ImGui::GetIO().Fonts->TexID), gpuStart + increment);

    ImGui_ImplDX12_InvalidateDeviceObjects();
    EXPECT_EQ(ImGui::GetIO().Fonts->TexID, nullptr);
    EXPECT_TRUE(ImGui_ImplDX12_CreateDeviceObjects());
    EXPECT_TRUE(standin::imguiDx12State().deviceObjectsCreated);
    ImGui_ImplDX12_Shutdown();
    const std::vector<std::string> calls = {"ImGui_ImplDX12_Init", "ImGui_ImplDX12_NewFrame",
                                            "ImGui_ImplDX12_Shutdown"};
    std::vector<std::string> traced = standin::stopCallTrace();
    std::erase_if(traced, [](const std::string& call) { return call.rfind("ImGui_Impl", 0) != 0; });
    EXPECT_EQ(traced, calls);
}

// Draws into a stand-in command list, over a back buffer with its render-target view.
class ImGuiDx12DrawTest : public GpuTest {
protected:
    void SetUp() override {
        GpuTest::SetUp();
        standin::clearImGuiDx12Draws();
        uiHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 64, true);
        rtvHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 2, false);
        backBuffer = texture(DXGI_FORMAT_R8G8B8A8_UNORM, 64, 32, 1, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                             D3D12_RESOURCE_STATE_RENDER_TARGET);
        backBuffer->SetName(L"Back Buffer");
        backBufferRtv = rtvHeap->GetCPUDescriptorHandleForHeapStart();
        device->CreateRenderTargetView(backBuffer, nullptr, backBufferRtv);
        ASSERT_TRUE(ImGui_ImplDX12_Init(device, 2, DXGI_FORMAT_R8G8B8A8_UNORM, uiHeap,
                                        uiHeap->GetCPUDescriptorHandleForHeapStart(),
                                        uiHeap->GetGPUDescriptorHandleForHeapStart()));
        frame(); // a new window shows from its second frame on
    }
    void TearDown() override {
        ImGui_ImplDX12_Shutdown();
        GpuTest::TearDown();
    }

    ImDrawData* frame() {
        ImGui_ImplDX12_NewFrame();
        ImGui::NewFrame();
        ImGui::Begin("Stats");
        ImGui::Text("Frame: %.3fms", 16.6);
        ImGui::End();
        ImGui::Render();
        return ImGui::GetDrawData();
    }

    // The UI draws of the last submission.
    static std::vector<standin::RecordedCommand> uiDraws() {
        std::vector<standin::RecordedCommand> found;
        const std::vector<standin::Submission> submissions = standin::submissions();
        for (const standin::RecordedCommand& command : submissions.back().commands)
            if (command.kind == standin::CommandKind::UiDraw)
                found.push_back(command);
        return found;
    }

    ImGuiTestContext context;
    ID3D12DescriptorHeap* uiHeap = nullptr;
    ID3D12DescriptorHeap* rtvHeap = nullptr;
    ID3D12Resource* backBuffer = nullptr;
    D3D12_CPU_DESCRIPTOR_HANDLE backBufferRtv{};
};

TEST_F(ImGuiDx12DrawTest, ADrawIsLoggedInTheCommandListWithTheStateBoundAndKeptWithItsDrawLists) {
    begin();
    list->OMSetRenderTargets(1, &backBufferRtv, FALSE, nullptr);
    list->SetDescriptorHeaps(1, &uiHeap);
    ImDrawData* drawData = frame();
    ImGui_ImplDX12_RenderDrawData(drawData, list);
    submit();
    EXPECT_EQ(errors(), 0u);

    int commands = 0;
    for (int i = 0; i < drawData->CmdListsCount; ++i)
        commands += drawData->CmdLists[i]->CmdBuffer.Size;
    std::vector<standin::RecordedCommand> draws = uiDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].state.descriptorHeaps, std::vector<ID3D12DescriptorHeap*>{uiHeap});
    EXPECT_EQ(draws[0].state.renderTargetNames, std::vector<std::string>{"Back Buffer"});
    EXPECT_GE(drawData->CmdListsCount, 1);
    EXPECT_EQ(draws[0].arguments[0], uint32_t(drawData->CmdListsCount));
    EXPECT_EQ(draws[0].arguments[1], uint32_t(commands));
    EXPECT_GT(drawData->TotalVtxCount, 0);
    EXPECT_EQ(draws[0].arguments[2], uint32_t(drawData->TotalVtxCount));
    EXPECT_EQ(draws[0].arguments[3], uint32_t(drawData->TotalIdxCount));

    ASSERT_EQ(standin::imguiDx12Draws().size(), 1u);
    standin::ImGuiDx12DrawRecord record = standin::imguiDx12Draws()[0];
    EXPECT_EQ(record.commandList, list);
    EXPECT_EQ(record.commandLists, drawData->CmdListsCount);
    EXPECT_EQ(record.commands, commands);
    EXPECT_EQ(record.vertices, drawData->TotalVtxCount);
    EXPECT_EQ(record.indices, drawData->TotalIdxCount);
}

TEST_F(ImGuiDx12DrawTest, ADrawWithoutItsHeapOrRenderTargetOrInTheWrongStateIsReported) {
    ID3D12DescriptorHeap* otherHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 8, true);
    ID3D12Resource* floatTarget =
        texture(DXGI_FORMAT_R16G16B16A16_FLOAT, 64, 32, 1, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                D3D12_RESOURCE_STATE_RENDER_TARGET);
    D3D12_CPU_DESCRIPTOR_HANDLE floatRtv = {
        backBufferRtv.ptr + device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_RTV)};
    device->CreateRenderTargetView(floatTarget, nullptr, floatRtv);
    struct Case {
        const char* name;
        ID3D12DescriptorHeap* heap;      // null: none set
        D3D12_CPU_DESCRIPTOR_HANDLE rtv; // 0: none set
        D3D12_RESOURCE_STATES state;     // the back buffer's while the list runs
        const char* finding;
    };
    const Case cases[] = {
        {"no heap set", nullptr, backBufferRtv, D3D12_RESOURCE_STATE_RENDER_TARGET,
         "is not set on the command list"},
        {"another heap set", otherHeap, backBufferRtv, D3D12_RESOURCE_STATE_RENDER_TARGET,
         "is not set on the command list"},
        {"no render target",
         uiHeap,
         {0},
         D3D12_RESOURCE_STATE_RENDER_TARGET,
         "one render target, but 0 are set"},
        {"another format", uiHeap, floatRtv, D3D12_RESOURCE_STATE_RENDER_TARGET,
         "has the format R16G16B16A16_FLOAT but the back end was initialised for R8G8B8A8_UNORM"},
        {"back buffer still presentable", uiHeap, backBufferRtv, D3D12_RESOURCE_STATE_PRESENT,
         "(render target)"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        standin::clearValidationErrors();
        testing::internal::CaptureStderr();
        begin();
        D3D12_RESOURCE_BARRIER barrier =
            CD3DX12_RESOURCE_BARRIER::Transition(backBuffer, D3D12_RESOURCE_STATE_RENDER_TARGET, each.state);
        if (each.state != D3D12_RESOURCE_STATE_RENDER_TARGET)
            list->ResourceBarrier(1, &barrier);
        if (each.rtv.ptr)
            list->OMSetRenderTargets(1, &each.rtv, FALSE, nullptr);
        if (each.heap)
            list->SetDescriptorHeaps(1, &each.heap);
        ImGui_ImplDX12_RenderDrawData(frame(), list);
        std::swap(barrier.Transition.StateBefore, barrier.Transition.StateAfter);
        if (each.state != D3D12_RESOURCE_STATE_RENDER_TARGET)
            list->ResourceBarrier(1, &barrier);
        submit();
        testing::internal::GetCapturedStderr();
        std::vector<std::string> findings = standin::validationErrors();
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_NE(findings[0].find("ImGui_ImplDX12_RenderDrawData"), std::string::npos) << findings[0];
        EXPECT_NE(findings[0].find(each.finding), std::string::npos) << findings[0];
    }
    standin::clearValidationErrors();
}

TEST_F(ImGuiDx12DrawTest, ADrawIntoAClosedListIsReportedAndNothingIsDrawnForAnEmptyDisplay) {
    testing::internal::CaptureStderr();
    ImGui_ImplDX12_RenderDrawData(frame(), list);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(standin::validationErrors()[0].find("the command list is closed"), std::string::npos);
    standin::clearValidationErrors();
    standin::clearImGuiDx12Draws();

    begin();
    list->OMSetRenderTargets(1, &backBufferRtv, FALSE, nullptr);
    list->SetDescriptorHeaps(1, &uiHeap);
    ImGui::GetIO().DisplaySize = ImVec2(0, 0);
    ImGui_ImplDX12_RenderDrawData(frame(), list);
    submit();
    EXPECT_EQ(errors(), 0u);
    EXPECT_TRUE(uiDraws().empty());
    EXPECT_TRUE(standin::imguiDx12Draws().empty());
}

TEST_F(ImGuiDx12DrawTest, ADrawIntoABackBufferThatIsNotTheCurrentOneIsReported) {
    IDXGIFactory6* factory = nullptr;
    ASSERT_EQ(CreateDXGIFactory2(0, IID_PPV_ARGS(&factory)), S_OK);
    keep(factory);
    DXGI_SWAP_CHAIN_DESC1 chainDesc = {};
    chainDesc.Width = 64;
    chainDesc.Height = 32;
    chainDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    chainDesc.SampleDesc = {1, 0};
    chainDesc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    chainDesc.BufferCount = 2;
    chainDesc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
    IDXGISwapChain1* chain = nullptr;
    ASSERT_EQ(factory->CreateSwapChainForHwnd(queue, reinterpret_cast<HWND>(uintptr_t(0x200)), &chainDesc,
                                              nullptr, nullptr, &chain),
              S_OK);
    keep(chain);
    ID3D12Resource* secondBuffer = nullptr;
    ASSERT_EQ(chain->GetBuffer(1, IID_PPV_ARGS(&secondBuffer)), S_OK);
    keep(secondBuffer);
    device->CreateRenderTargetView(secondBuffer, nullptr, backBufferRtv);

    begin();
    D3D12_RESOURCE_BARRIER barrier = CD3DX12_RESOURCE_BARRIER::Transition(
        secondBuffer, D3D12_RESOURCE_STATE_PRESENT, D3D12_RESOURCE_STATE_RENDER_TARGET);
    list->ResourceBarrier(1, &barrier);
    list->OMSetRenderTargets(1, &backBufferRtv, FALSE, nullptr);
    list->SetDescriptorHeaps(1, &uiHeap);
    ImGui_ImplDX12_RenderDrawData(frame(), list);
    std::swap(barrier.Transition.StateBefore, barrier.Transition.StateAfter);
    list->ResourceBarrier(1, &barrier);
    testing::internal::CaptureStderr();
    submit();
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(
        standin::validationErrors()[0].find("ImGui_ImplDX12_RenderDrawData (render target): an unnamed "
                                            "texture is back buffer 1 of its swap chain, but the current "
                                            "back buffer is 0"),
        std::string::npos)
        << standin::validationErrors()[0];
    standin::clearValidationErrors();
}

// The back end binds its own pipeline and root signature, so the program's next draw needs its own again.
TEST_F(ImGuiDx12DrawTest, TheProgramsPipelineIsNoLongerSetAfterADraw) {
    begin();
    list->OMSetRenderTargets(1, &backBufferRtv, FALSE, nullptr);
    list->SetDescriptorHeaps(1, &uiHeap);
    ImGui_ImplDX12_RenderDrawData(frame(), list);
    testing::internal::CaptureStderr();
    list->DrawInstanced(3, 1, 0, 0);
    testing::internal::GetCapturedStderr();
    submit();
    std::vector<std::string> findings = standin::validationErrors();
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_NE(findings[0].find("no pipeline state is set"), std::string::npos) << findings[0];
    EXPECT_NE(findings[1].find("no graphics root signature is set"), std::string::npos) << findings[1];
    standin::clearValidationErrors();
}

} // namespace
