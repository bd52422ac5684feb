// The debug panel's heap is the one start-up failure that is handed back to the caller.
#include "renderer/DebugPanelSetup.h"

#include "core/Globals.h"
#include "core/GpuSync.h"
#include "renderer/UiBackend.h"
#include "renderer/UiDescriptorAllocator.h"
#include "standin/Gpu.h"
#include "standin/ImGuiBackend.h"
#include "standin/WindowSystem.h"

#include <directx/d3d12.h>
#include <dxguids/dxguids.h>

#include <imgui.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class DebugPanelSetupFixture : public testing::Test {
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

class DebugPanelSetupTest : public DebugPanelSetupFixture, public testing::WithParamInterface<HRESULT> {};
using DebugPanelWin32BackEndTest = DebugPanelSetupFixture;

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

// Without a high-resolution counter the Win32 back end refuses to start, which fails the set-up like a
// missing heap; the Direct3D 12 back end has started before it.
TEST_F(DebugPanelWin32BackEndTest, RefusingToStartFailsTheSetUp) {
    standin::setPerformanceCounterFails(true);
    const bool started = initDebugPanel(nullptr);
    standin::setPerformanceCounterFails(false);
    EXPECT_FALSE(started);
    EXPECT_TRUE(standin::imguiDx12State().initialized);
    EXPECT_EQ(ImGui::GetIO().BackendPlatformUserData, nullptr);
    if (ImGui::GetIO().BackendRendererUserData)
        shutdownUiRendererBackend();
    teardownUiDescriptorAllocator(&uiDescriptorAllocator);
    safeRelease(uiSrvHeap);
    uiSrvHeap = nullptr;
}

// The dark style goes onto the current style. A context the library makes is dark already, so here a light
// context is current beforehand; the panel's own context, created beside it, then leaves that one current.
// The case runs in a child process of its own, which ends without tearing down what it cannot reach.
TEST(DebugPanelStyleDeathTest, TheCurrentStyleBecomesTheDarkOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device));
            D3D12_COMMAND_QUEUE_DESC queueDesc = {};
            device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&commandQueue));
            ImGui::CreateContext();
            ImGui::StyleColorsLight();
            bool started = initDebugPanel(nullptr);
            ImGuiStyle dark;
            ImGui::StyleColorsDark(&dark);
            bool isDark = std::memcmp(ImGui::GetStyle().Colors, dark.Colors, sizeof(dark.Colors)) == 0;
            std::fprintf(stderr, "started %d, dark %d\n", started, isDark);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "started 1, dark 1");
}

// The library's refusal of the Direct3D 12 back end counts like a missing heap, and the Win32 back end is
// then not started. The library refuses a second renderer back end on the current context; the panel's
// context, created beside a current one, leaves that one current, so the case runs in a child process of its
// own, which ends without tearing down what it cannot reach.
TEST(DebugPanelBackEndDeathTest, ARefusedRendererBackEndReturnsFalseBeforeTheWin32One) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device));
            D3D12_COMMAND_QUEUE_DESC queueDesc = {};
            device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&commandQueue));
            ImGui::CreateContext();
            int runningBackEnd = 0;
            ImGui::GetIO().BackendRendererUserData = &runningBackEnd;
            bool started = initDebugPanel(nullptr);
            std::fprintf(stderr, "started %d, win32 back end %d, free slots %d\n", started,
                         ImGui::GetIO().BackendPlatformUserData != nullptr,
                         uiDescriptorAllocator.freeIndices.Size);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0),
        testing::AllOf(testing::HasSubstr("initialised twice"),
                       testing::HasSubstr("started 0, win32 back end 0, free slots 64")));
}

INSTANTIATE_TEST_SUITE_P(Results, DebugPanelSetupTest, testing::Values(E_OUTOFMEMORY, S_FALSE),
                         [](const auto& info) { return info.param == S_FALSE ? "SFalse" : "EOutOfMemory"; });

} // namespace
