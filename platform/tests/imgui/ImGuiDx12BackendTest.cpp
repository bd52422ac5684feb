// The stand-in's Dear ImGui Direct3D 12 back end: what it accepts at start, its font texture and its draw
// log.
#include <imgui.h>
#include <imgui_impl_dx12.h>

#include "standin/ImGuiBackend.h"
#include "support/FakeD3D12.h"
#include "support/ImGuiTestContext.h"

#include <gtest/gtest.h>

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
    // The back end records the list it is given but never calls it.
    ID3D12GraphicsCommandList* commandList = reinterpret_cast<ID3D12GraphicsCommandList*>(&gpu.heap);
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
    ASSERT_TRUE(init(&gpu.heap, cpuStart + increment, gpuStart + increment));
    EXPECT_FALSE(standin::imguiDx12State().deviceObjectsCreated);
    frame();
    EXPECT_TRUE(ImGui::GetIO().Fonts->IsBuilt());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ImGui::GetIO().Fonts->TexID), gpuStart + increment);

    ImGui_ImplDX12_InvalidateDeviceObjects();
    EXPECT_EQ(ImGui::GetIO().Fonts->TexID, nullptr);
    EXPECT_TRUE(ImGui_ImplDX12_CreateDeviceObjects());
    EXPECT_TRUE(standin::imguiDx12State().deviceObjectsCreated);
}

TEST_F(ImGuiDx12BackendTest, RenderDrawDataRecordsTheFramesDrawLists) {
    ASSERT_TRUE(init(&gpu.heap, cpuStart, gpuStart));
    frame(); // a new window shows from its second frame on
    ImDrawData* drawData = frame();
    ImGui_ImplDX12_RenderDrawData(drawData, commandList);

    ASSERT_EQ(standin::imguiDx12Draws().size(), 1u);
    standin::ImGuiDx12DrawRecord draw = standin::imguiDx12Draws()[0];
    int commands = 0;
    for (int i = 0; i < drawData->CmdListsCount; ++i)
        commands += drawData->CmdLists[i]->CmdBuffer.Size;
    EXPECT_EQ(draw.commandList, commandList);
    EXPECT_GE(draw.commandLists, 1);
    EXPECT_EQ(draw.commandLists, drawData->CmdListsCount);
    EXPECT_EQ(draw.commands, commands);
    EXPECT_GT(draw.vertices, 0);
    EXPECT_EQ(draw.vertices, drawData->TotalVtxCount);
    EXPECT_EQ(draw.indices, drawData->TotalIdxCount);

    // A minimised display has nothing to draw.
    ImGui::GetIO().DisplaySize = ImVec2(0, 0);
    ImGui_ImplDX12_RenderDrawData(frame(), commandList);
    EXPECT_EQ(standin::imguiDx12Draws().size(), 1u);
}

} // namespace
