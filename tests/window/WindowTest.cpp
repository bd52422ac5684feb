// The application window on the stand-in: creation, the key table of its window procedure, size
// bookkeeping, the quit message and the debug panel's library asked first.
#include "window/Window.h"

#include "standin/Session.h"
#include "standin/WindowSystem.h"

#include <imgui.h>
#include <backends/imgui_impl_win32.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Not the stand-in's default, so that a window sized 1920 x 1080 by mistake shows.
constexpr int SCREEN_WIDTH = 2560;
constexpr int SCREEN_HEIGHT = 1440;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetWindowSystem();
        standin::setScreenSize(SCREEN_WIDTH, SCREEN_HEIGHT);
    }
    void TearDown() override {
        if (ImGui::GetCurrentContext()) {
            ImGui_ImplWin32_Shutdown();
            ImGui::DestroyContext();
        }
        standin::resetWindowSystem();
        standin::setScreenSize(1920, 1080);
    }

    // Installs a callback that lists the events it receives.
    void listEvents(Window& window) {
        window.inputCallback = [this](InputEvent& event) { events.push_back(event); };
    }

    LRESULT send(Window& window, UINT message, WPARAM wParam, LPARAM lParam = 0) {
        return Window::windowProc(window.getHWND(), message, wParam, lParam);
    }

    // The messages that reach the thread's queue, up to and including WM_QUIT.
    std::vector<MSG> queued() {
        std::vector<MSG> messages;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            messages.push_back(msg);
        return messages;
    }

    std::vector<InputEvent> events;
};

TEST_F(WindowTest, CoversTheScreenAndFindsItselfThroughItsUserData) {
    Window window;
    ASSERT_NE(window.getHWND(), nullptr);
    EXPECT_EQ(window.getWidth(), static_cast<uint32_t>(SCREEN_WIDTH));
    EXPECT_EQ(window.getHeight(), static_cast<uint32_t>(SCREEN_HEIGHT));
    EXPECT_EQ(window.title, L"Quiet Lantern Hour");
    EXPECT_FALSE(window.minimized);
    EXPECT_FALSE(window.inSizeMove);
    EXPECT_EQ(GetWindowLongPtrW(window.getHWND(), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
    RECT client;
    ASSERT_TRUE(GetClientRect(window.getHWND(), &client));
    EXPECT_EQ(client.right, SCREEN_WIDTH);
    EXPECT_TRUE(queued().empty()) << "creation posts nothing";
}

// The class: redrawn on resize, the standard arrow, no icon, brush or menu. The window: a visible pop-up at
// the screen's origin, covering it, shown once with the default show command.
TEST_F(WindowTest, IsAVisiblePopupOfTheDefaultClassAtTheOriginShownWithTheDefaultCommand) {
    Window window;
    const standin::WindowClassInfo windowClass = standin::windowClassInfo(L"DefaultWindow");
    ASSERT_TRUE(windowClass.registered);
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(windowClass.procedure, Window::windowProc);
    EXPECT_EQ(windowClass.classExtraBytes, 0);
    EXPECT_EQ(windowClass.windowExtraBytes, 0);
    EXPECT_EQ(windowClass.instance, GetModuleHandleW(nullptr));
    EXPECT_EQ(windowClass.cursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(windowClass.icon, nullptr);
    EXPECT_EQ(windowClass.smallIcon, nullptr);
    EXPECT_EQ(windowClass.background, nullptr);
    EXPECT_FALSE(windowClass.hasMenuName);

    const standin::WindowInfo info = standin::windowInfo(window.getHWND());
    ASSERT_TRUE(info.exists);
    EXPECT_EQ(info.exStyle, 0u);
    EXPECT_EQ(info.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(info.x, 0);
    EXPECT_EQ(info.y, 0);
    EXPECT_EQ(info.width, SCREEN_WIDTH);
    EXPECT_EQ(info.height, SCREEN_HEIGHT);
    EXPECT_EQ(info.parent, nullptr);
    EXPECT_EQ(info.menu, nullptr);
    EXPECT_EQ(info.instance, GetModuleHandleW(nullptr));
    EXPECT_EQ(info.showCommands, std::vector<int>{SW_SHOWDEFAULT});
}

TEST_F(WindowTest, FailedCreationThrows) {
    standin::setWindowCreationFails(true);
    try {
        Window window;
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Error during window creation");
    }
    standin::setWindowCreationFails(false);
}

TEST_F(WindowTest, TheElevenKeysRaiseTheirEvents) {
    Window window;
    listEvents(window);
    struct Case {
        WPARAM virtualKey;
        LPARAM lParam;
        KeyCode key;
    };
    const Case cases[] = {
        {'W', 0, KeyCode::W},
        {'A', 0, KeyCode::A},
        {'S', 0, KeyCode::S},
        {'D', 0, KeyCode::D},
        {VK_SHIFT, 1 | (0x2A << 16), KeyCode::Shift},
        {VK_SHIFT, 1 | (0x36 << 16), KeyCode::Shift},
        {VK_CONTROL, 1 | (0x1D << 16), KeyCode::Control},
        {VK_CONTROL, 1 | (0x1D << 16) | (KF_EXTENDED << 16), KeyCode::Control},
        {'Q', 0, KeyCode::Q},
        {'E', 0, KeyCode::E},
        {VK_F1, 0, KeyCode::F1},
        {VK_F2, 0, KeyCode::F2},
        {VK_F3, 0, KeyCode::F3},
        // An auto-repeated press (previous-state bit set) raises its event all the same.
        {VK_F1, 5 | (1L << 30), KeyCode::F1},
    };
    for (const Case& test : cases) {
        events.clear();
        EXPECT_EQ(send(window, WM_KEYDOWN, test.virtualKey, test.lParam), 0);
        ASSERT_EQ(events.size(), 1u) << test.virtualKey;
        EXPECT_EQ(events[0].type, 1u);
        EXPECT_EQ(events[0].reserved, 0u);
        EXPECT_EQ(events[0].state, 3u);
        EXPECT_EQ(events[0].key, test.key) << test.virtualKey;
    }
    EXPECT_EQ(static_cast<uint32_t>(KeyCode::F3), 10u);
    EXPECT_EQ(static_cast<uint32_t>(KeyCode::Shift), 4u);
}

// Typed keys reach only the window with the keyboard focus, which a new window takes from the default
// processing of its creation messages; during creation that processing needs the handle the window
// procedure received, since the window's own handle is not stored yet.
TEST_F(WindowTest, KeysTypedAfterCreationReachTheCallback) {
    Window window;
    listEvents(window);
    standin::SessionControls controls;
    std::string error;
    ASSERT_TRUE(standin::parseScript("0 key W; 0 key F1", controls.script, error)) << error;
    controls.frameLimit = 0;
    standin::startSession(controls);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    standin::endSession();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].key, KeyCode::W);
    EXPECT_EQ(events[1].key, KeyCode::F1);
}

TEST_F(WindowTest, OtherKeysReleasesSystemKeysAndPressesWithoutACallbackRaiseNothing) {
    Window window;
    EXPECT_EQ(send(window, WM_KEYDOWN, 'W'), 0) << "no callback yet";
    listEvents(window);
    struct Case {
        UINT message;
        WPARAM virtualKey;
    };
    for (Case test : {Case{WM_KEYDOWN, VK_F4}, Case{WM_KEYDOWN, VK_SPACE}, Case{WM_KEYDOWN, VK_LSHIFT},
                      Case{WM_KEYDOWN, 'Z'}, Case{WM_KEYUP, 'W'}, Case{WM_SYSKEYDOWN, VK_F1},
                      Case{WM_SYSKEYDOWN, 'E'}, Case{WM_CHAR, 'w'}}) {
        EXPECT_EQ(send(window, test.message, test.virtualKey), 0);
    }
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(IsWindow(window.getHWND()));
}

TEST_F(WindowTest, ACallbackMayReplaceItselfWhileItRuns) {
    Window window;
    int calls = 0;
    window.inputCallback = [&window, &calls](InputEvent&) {
        ++calls;
        window.inputCallback = nullptr;
    };
    send(window, WM_KEYDOWN, 'E');
    send(window, WM_KEYDOWN, 'E');
    EXPECT_EQ(calls, 1);
}

TEST_F(WindowTest, MinimisingEmptiesTheSizeAndRestoringBringsTheClientSizeBack) {
    Window window;
    ShowWindow(window.getHWND(), SW_MINIMIZE);
    EXPECT_TRUE(window.minimized);
    EXPECT_EQ(window.getWidth(), 0u);
    EXPECT_EQ(window.getHeight(), 0u);

    send(window, WM_SIZE, SIZE_MINIMIZED);
    EXPECT_TRUE(window.minimized) << "a repeated kind changes nothing";

    ShowWindow(window.getHWND(), SW_RESTORE);
    EXPECT_FALSE(window.minimized);
    EXPECT_EQ(window.getWidth(), static_cast<uint32_t>(SCREEN_WIDTH));
    EXPECT_EQ(window.getHeight(), static_cast<uint32_t>(SCREEN_HEIGHT));

    // The size comes from the client rectangle, not from the message.
    send(window, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(10, 10));
    EXPECT_FALSE(window.minimized);
    EXPECT_EQ(window.getWidth(), static_cast<uint32_t>(SCREEN_WIDTH));
}

TEST_F(WindowTest, SizeMoveIsBracketed) {
    Window window;
    send(window, WM_ENTERSIZEMOVE, 0);
    EXPECT_TRUE(window.inSizeMove);
    send(window, WM_EXITSIZEMOVE, 0);
    EXPECT_FALSE(window.inSizeMove);
}

TEST_F(WindowTest, ClosingDestroysTheWindowAndPostsOneQuitMessage) {
    Window window;
    HWND hwnd = window.getHWND();
    EXPECT_EQ(send(window, WM_SYSCOMMAND, SC_CLOSE), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(window.getHWND(), hwnd) << "the window keeps its stale handle";
    std::vector<MSG> messages = queued();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(messages[0].wParam, 0u);
}

TEST_F(WindowTest, TheDebugPanelLibraryIsAskedFirst) {
    Window window;
    listEvents(window);
    const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    EXPECT_EQ(send(window, WM_SETCURSOR, 0, overClient), 0) << "the library is not set up yet";

    ImGui::CreateContext();
    ASSERT_TRUE(ImGui_ImplWin32_Init(window.getHWND()));
    EXPECT_EQ(send(window, WM_SETCURSOR, 0, overClient), 1);
    send(window, WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
    ImGui_ImplWin32_NewFrame();
    EXPECT_EQ(ImGui::GetIO().MousePos.x, 30.0f);

    // The library never takes a key, so the window still raises its event.
    EXPECT_EQ(send(window, WM_KEYDOWN, VK_F1), 0);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_TRUE(ImGui::GetIO().KeysDown[VK_F1]);
}

} // namespace
