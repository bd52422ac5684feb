// The debug panel's heap is the one start-up failure that is handed back to the caller.
#include "renderer/DebugPanelSetup.h"

#include "core/Globals.h"
#include "core/GpuSync.h"
#include "renderer/UiDescriptorAllocator.h"
#include "standin/Gpu.h"
#include "standin/ImGuiBackend.h"

#include <directx/d3d12.h>
#include <dxguids/dxguids.h>

#include <imgui.h>

#include <gtest/gtest.h>

namespace {

class DebugPanelSetupTest : public testing::TestWithParam<HRESULT> {
protected:
    void SetUp() override {
        standin::resetGpu();
        ASSERT_EQ(D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device)), S_OK);
        D3D12_COMMAND_QUEUE_DESC queueDesc = {};
        ASSERT_EQ(device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&commandQueue)), S_OK);
    }
    void TearDown() override {
        if (ImGui::GetCurrentContext())
            ImGui::DestroyContext();
        safeRelease(commandQueue);
        safeRelease(device);
        commandQueue = nullptr;
        device = nullptr;
        standin::resetGpu();
    }
};

// Any result but S_OK counts, success codes included: no heap means no panel.
TEST_P(DebugPanelSetupTest, AHeapThatIsNotMadeReturnsFalseBeforeTheAllocatorAndBackEnds) {
    standin::failCall("CreateDescriptorHeap", false, GetParam());
    EXPECT_FALSE(initDebugPanel(nullptr));
    EXPECT_EQ(uiSrvHeap, nullptr);
    EXPECT_EQ(uiDescriptorAllocator.heap, nullptr);
    EXPECT_EQ(uiDescriptorAllocator.freeIndices.Size, 0);
    EXPECT_FALSE(standin::imguiDx12State().initialized);
    ASSERT_NE(ImGui::GetCurrentContext(), nullptr);
    EXPECT_EQ(ImGui::GetIO().BackendPlatformUserData, nullptr);
    EXPECT_EQ(ImGui::GetIO().BackendRendererUserData, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Results, DebugPanelSetupTest, testing::Values(E_OUTOFMEMORY, S_FALSE),
                         [](const auto& info) { return info.param == S_FALSE ? "SFalse" : "EOutOfMemory"; });

} // namespace
