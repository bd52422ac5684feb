// The stand-in's Dear ImGui Win32 back end: silent until initialised, then feeding io from the messages.
#include <windows.h>

#include "standin/CallTrace.h"
#include "standin/WindowSystem.h"
#include "support/TestWindow.h"

#include <imgui.h>
#include <backends/imgui_impl_win32.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hWnd, UINT msg, WPARAM wParam,
                                                             LPARAM lParam);

namespace {

LRESULT CALLBACK plainProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class ImGuiWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetWindowSystem();
        hwnd = createTestWindow(L"Plain", plainProcedure, 800, 600);
        ASSERT_NE(hwnd, nullptr);
    }
    void TearDown() override {
        if (ImGui::GetCurrentContext()) {
            if (ImGui::GetIO().BackendPlatformUserData)
                ImGui_ImplWin32_Shutdown();
            ImGui::DestroyContext();
        }
        standin::resetWindowSystem();
    }

    ImGuiIO& initialise() {
        ImGui::CreateContext();
        EXPECT_TRUE(ImGui_ImplWin32_Init(hwnd));
        return ImGui::GetIO();
    }

    // Posts a key message and lets it pass through the queue, which keeps the key states the back end reads.
    void key(UINT message, WPARAM virtualKey, unsigned scanCode) {
        LPARAM lParam = 1 | (static_cast<LPARAM>(scanCode) << 16) | (message == WM_KEYUP ? 3L << 30 : 0);
        PostMessageW(hwnd, message, virtualKey, lParam);
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(ImGui_ImplWin32_WndProcHandler(msg.hwnd, msg.message, msg.wParam, msg.lParam), 0)
            << "keys always go on to the program";
    }

    HWND hwnd = nullptr;
};

TEST_F(ImGuiWin32Test, AnswersZeroUntilInitialised) {
    const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    EXPECT_EQ(ImGui_ImplWin32_WndProcHandler(hwnd, WM_SETCURSOR, 0, overClient), 0) << "no context";
    ImGui::CreateContext();
    EXPECT_EQ(ImGui_ImplWin32_WndProcHandler(hwnd, WM_SETCURSOR, 0, overClient), 0) << "no back end";
    ImGui::GetIO().MouseWheel = 0.0f;
    ImGui_ImplWin32_WndProcHandler(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(ImGui::GetIO().MouseWheel, 0.0f);
    ASSERT_TRUE(ImGui_ImplWin32_Init(hwnd));
    EXPECT_EQ(ImGui_ImplWin32_WndProcHandler(hwnd, WM_SETCURSOR, 0, overClient), 1)
        << "the library sets the cursor over the client area";
}

TEST_F(ImGuiWin32Test, MouseMessagesFeedPositionButtonsAndWheel) {
    ImGuiIO& io = initialise();
    ImGui_ImplWin32_NewFrame();
    EXPECT_EQ(io.MousePos.x, -FLT_MAX) << "the cursor has not been over the window";

    ImGui_ImplWin32_WndProcHandler(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(120, 45));
    ImGui_ImplWin32_WndProcHandler(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 45));
    ImGui_ImplWin32_WndProcHandler(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(120, 45));
    ImGui_ImplWin32_WndProcHandler(hwnd, WM_RBUTTONUP, 0, MAKELPARAM(120, 45));
    ImGui_ImplWin32_WndProcHandler(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)),
                                   0);
    ImGui_ImplWin32_NewFrame();
    EXPECT_EQ(io.MousePos.x, 120.0f);
    EXPECT_EQ(io.MousePos.y, 45.0f);
    EXPECT_TRUE(io.MouseDown[0]);
    EXPECT_FALSE(io.MouseDown[1]);
    EXPECT_EQ(io.MouseWheel, -2.0f);

    ImGui_ImplWin32_WndProcHandler(hwnd, WM_MOUSELEAVE, 0, 0);
    ImGui_ImplWin32_NewFrame();
    EXPECT_EQ(io.MousePos.x, -FLT_MAX);
}

TEST_F(ImGuiWin32Test, KeysAreKeptByVirtualKeyWithTheSidesOfShift) {
    ImGuiIO& io = initialise();
    key(WM_KEYDOWN, 'W', 0x11);
    key(WM_KEYDOWN, VK_SHIFT, 0x2A);
    EXPECT_TRUE(io.KeysDown['W']);
    EXPECT_TRUE(io.KeysDown[VK_SHIFT]);
    EXPECT_TRUE(io.KeysDown[VK_LSHIFT]);
    EXPECT_FALSE(io.KeysDown[VK_RSHIFT]);
    EXPECT_TRUE(io.KeyShift);

    key(WM_KEYUP, VK_SHIFT, 0x2A);
    key(WM_KEYUP, 'W', 0x11);
    EXPECT_FALSE(io.KeysDown['W']);
    EXPECT_FALSE(io.KeysDown[VK_LSHIFT]);
    EXPECT_FALSE(io.KeyShift);

    key(WM_KEYDOWN, VK_CONTROL, 0x1D);
    EXPECT_TRUE(io.KeysDown[VK_LCONTROL]);
    EXPECT_TRUE(io.KeyCtrl);
}

TEST_F(ImGuiWin32Test, NewFrameTakesTheClientSizeAndAPositiveTimeStep) {
    ImGuiIO& io = initialise();
    ImGui_ImplWin32_NewFrame();
    EXPECT_EQ(io.DisplaySize.x, 800.0f);
    EXPECT_EQ(io.DisplaySize.y, 600.0f);
    EXPECT_GT(io.DeltaTime, 0.0f);
    ShowWindow(hwnd, SW_MINIMIZE);
    ImGui_ImplWin32_NewFrame();
    EXPECT_EQ(io.DisplaySize.x, 0.0f);
    EXPECT_GT(io.DeltaTime, 0.0f);
}

TEST_F(ImGuiWin32Test, InitNewFrameAndShutdownAreTraced) {
    standin::startCallTrace();
    initialise();
    ImGui_ImplWin32_NewFrame();
    ImGui_ImplWin32_Shutdown();
    const std::vector<std::string> expected = {"ImGui_ImplWin32_Init", "ImGui_ImplWin32_NewFrame",
                                               "ImGui_ImplWin32_Shutdown"};
    std::vector<std::string> calls = standin::stopCallTrace();
    std::erase_if(calls, [](const std::string& call) { return call.rfind("ImGui_Impl", 0) != 0; });
    EXPECT_EQ(calls, expected);
}

} // namespace
