// The debug panel's Direct3D 12 back end started through the version switch, against the stand-in back end.
#include "renderer/UiBackend.h"

#include "renderer/UiDescriptorAllocator.h"
#include "standin/ImGuiBackend.h"
#include "support/FakeD3D12.h"
#include "support/ImGuiTestContext.h"

#include <imgui.h>
#include <imgui_impl_dx12.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT64 cpuStart = FakeShaderVisibleHeap::cpuStart;
constexpr UINT64 gpuStart = FakeShaderVisibleHeap::gpuStart;

class UiBackendTest : public testing::Test {
protected:
    void SetUp() override {
        createUiDescriptorAllocator(&uiDescriptorAllocator, &gpu.device, &gpu.heap);
        standin::clearImGuiDx12Draws();
    }
    void TearDown() override {
        if (standin::imguiDx12State().initialized)
            ImGui_ImplDX12_Shutdown();
        teardownUiDescriptorAllocator(&uiDescriptorAllocator);
    }

    ImGuiTestContext context;
    FakeShaderVisibleHeap gpu;
};

TEST_F(UiBackendTest, FontDescriptorComesFromTheAllocatorAndGoesBackAtShutdown) {
    ASSERT_TRUE(initUiRendererBackend(&gpu.device, nullptr, 2, DXGI_FORMAT_R8G8B8A8_UNORM, &gpu.heap));
    standin::ImGuiDx12State state = standin::imguiDx12State();
    EXPECT_EQ(state.framesInFlight, 2);
    EXPECT_EQ(state.rtvFormat, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(state.heap, &gpu.heap);
    EXPECT_EQ(state.fontCpuHandle.ptr, cpuStart); // slot 0, the first one handed out
    EXPECT_EQ(state.fontGpuHandle.ptr, gpuStart);
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.Size, 63);

    // The font atlas is built with the first frame and drawn through the font descriptor.
    ImGui_ImplDX12_NewFrame();
    ImGui::NewFrame();
    ImGui::Begin("Panel");
    ImGui::Text("%d", 42);
    ImGui::End();
    ImGui::Render();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ImGui::GetIO().Fonts->TexID), gpuStart);

    // Shutdown order: the allocator is cleared before the back end goes, which then returns its descriptor.
    teardownUiDescriptorAllocator(&uiDescriptorAllocator);
    shutdownUiRendererBackend();
    EXPECT_FALSE(standin::imguiDx12State().initialized);
    EXPECT_EQ(
        std::vector<int>(uiDescriptorAllocator.freeIndices.begin(), uiDescriptorAllocator.freeIndices.end()),
        std::vector<int>{0});
}

TEST_F(UiBackendTest, RefusedStartReturnsTheFontDescriptor) {
    FakeDescriptorHeap cpuOnly{
        {D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 64, D3D12_DESCRIPTOR_HEAP_FLAG_NONE, 0}, cpuStart, gpuStart};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(initUiRendererBackend(&gpu.device, nullptr, 2, DXGI_FORMAT_R8G8B8A8_UNORM, &cpuOnly));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.Size, 64);
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.back(), 0);
}

} // namespace
