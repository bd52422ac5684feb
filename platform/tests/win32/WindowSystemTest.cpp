// The stand-in's windows: the messages of creation, showing, minimising, restoring and destruction, default
// processing, window data, client sizes and screen metrics.
#include <windows.h>

#include "standin/WindowSystem.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received> received;
void* createParameter = nullptr;
LRESULT ncCreateResult = TRUE;
LRESULT createResult = 0;

// Records every message and leaves the rest to the default processing, with overrides for the two creation
// messages whose answers decide whether the window is made.
LRESULT CALLBACK recordingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({message, wParam, lParam});
    if (message == WM_NCCREATE) {
        createParameter = reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams;
        if (ncCreateResult != TRUE)
            return ncCreateResult;
    }
    if (message == WM_CREATE && createResult != 0)
        return createResult;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::vector<UINT> messagesOf(const std::vector<Received>& list) {
    std::vector<UINT> messages;
    for (const Received& entry : list)
        messages.push_back(entry.message);
    return messages;
}

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetWindowSystem();
        received.clear();
        createParameter = nullptr;
        ncCreateResult = TRUE;
        createResult = 0;
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = recordingProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Recording";
        ASSERT_NE(RegisterClassExW(&windowClass), 0);
    }
    void TearDown() override { standin::resetWindowSystem(); }

    HWND create(DWORD style, int width = 640, int height = 480) {
        return CreateWindowExW(0, L"Recording", L"Test", style, 10, 20, width, height, nullptr, nullptr,
                               GetModuleHandleW(nullptr), &received);
    }
};

TEST_F(WindowSystemTest, VisiblePopupReceivesTheCreationShowActivationAndSizeMessagesInOrder) {
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(messagesOf(received),
              (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SHOWWINDOW,
                                 WM_WINDOWPOSCHANGING, WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE,
                                 WM_SETFOCUS, WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(createParameter, &received);
    const Received& size = received[11];
    EXPECT_EQ(size.wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(size.lParam, MAKELPARAM(640, 480));
    EXPECT_EQ(received[12].lParam, MAKELPARAM(10, 20));
    EXPECT_EQ(LOWORD(received[8].wParam), WA_ACTIVE);
}

TEST_F(WindowSystemTest, HiddenWindowIsToldItsSizeAtCreationAndNotAgainWhenShown) {
    HWND hwnd = create(WS_POPUP);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(messagesOf(received),
              (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}));
    received.clear();
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOWDEFAULT));
    EXPECT_EQ(messagesOf(received),
              (std::vector<UINT>{WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_ACTIVATEAPP, WM_NCACTIVATE,
                                 WM_ACTIVATE, WM_SETFOCUS, WM_WINDOWPOSCHANGED}));
    received.clear();
    EXPECT_TRUE(ShowWindow(hwnd, SW_SHOWDEFAULT)) << "a visible window reports that it was visible";
    EXPECT_TRUE(received.empty());
}

TEST_F(WindowSystemTest, CreationFailsWhenTheProcedureRefusesOrTheControlIsSet) {
    ncCreateResult = FALSE;
    EXPECT_EQ(create(WS_POPUP | WS_VISIBLE), nullptr);
    EXPECT_EQ(messagesOf(received), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCDESTROY}));

    received.clear();
    ncCreateResult = TRUE;
    createResult = -1;
    EXPECT_EQ(create(WS_POPUP | WS_VISIBLE), nullptr);
    EXPECT_EQ(messagesOf(received), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
                                                       WM_CREATE, WM_DESTROY, WM_NCDESTROY}));

    received.clear();
    createResult = 0;
    standin::setWindowCreationFails(true);
    EXPECT_EQ(create(WS_POPUP | WS_VISIBLE), nullptr);
    standin::setWindowCreationFails(false);
    EXPECT_TRUE(received.empty());

    EXPECT_EQ(
        CreateWindowExW(0, L"NoSuchClass", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST_F(WindowSystemTest, ClassNamesAreRegisteredOnceIgnoringCase) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = recordingProcedure;
    windowClass.lpszClassName = L"RECORDING";
    EXPECT_EQ(RegisterClassExW(&windowClass), 0);
    windowClass.lpszClassName = L"Other";
    windowClass.cbSize = 0;
    EXPECT_EQ(RegisterClassExW(&windowClass), 0) << "the structure's size must be given";
    windowClass.cbSize = sizeof(windowClass);
    EXPECT_NE(RegisterClassExW(&windowClass), 0);
    EXPECT_NE(CreateWindowExW(0, L"recording", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowSystemTest, CloseDestroysTheWindowWhoseHandleThenNamesNothing) {
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    received.clear();
    EXPECT_EQ(DefWindowProcW(hwnd, WM_CLOSE, 0, 0), 0);
    std::vector<UINT> messages = messagesOf(received);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(messages.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_FALSE(IsWindow(hwnd));

    RECT rect = {1, 2, 3, 4};
    EXPECT_FALSE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect.right, 3) << "a failed call leaves the rectangle alone";
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
}

TEST_F(WindowSystemTest, DefaultProcessingWithoutAWindowAnswersZero) {
    HWND hwnd = create(WS_POPUP);
    for (UINT message : {WM_NCCREATE, WM_NCACTIVATE, WM_CLOSE, WM_SIZE}) {
        EXPECT_EQ(DefWindowProcW(nullptr, message, 0, 0), 0) << message;
        EXPECT_EQ(DefWindowProcW(reinterpret_cast<HWND>(0x1234), message, 0, 0), 0) << message;
    }
    EXPECT_EQ(DefWindowProcW(hwnd, WM_NCCREATE, 0, 0), TRUE);
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowSystemTest, MinimisingEmptiesTheClientAreaAndRestoringBringsItBack) {
    HWND hwnd = create(WS_POPUP | WS_VISIBLE, 800, 600);
    received.clear();
    DefWindowProcW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    RECT rect;
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect.right - rect.left, 0);
    EXPECT_EQ(rect.bottom - rect.top, 0);
    ASSERT_GE(received.size(), 3u);
    EXPECT_EQ(received[2].message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(received[2].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));

    received.clear();
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(received.empty()) << "minimising a minimised window changes nothing";

    DefWindowProcW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect.right, 800);
    EXPECT_EQ(rect.bottom, 600);
    bool restoredSize = false;
    for (const Received& entry : received)
        if (entry.message == WM_SIZE && entry.wParam == SIZE_RESTORED && entry.lParam == MAKELPARAM(800, 600))
            restoredSize = true;
    EXPECT_TRUE(restoredSize);
}

TEST_F(WindowSystemTest, UserDataKeepsItsValue) {
    HWND hwnd = create(WS_POPUP);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
    EXPECT_EQ(SetWindowLongPtrW(hwnd, GWLP_USERDATA, 42), 0);
    EXPECT_EQ(SetWindowLongPtrW(hwnd, GWLP_USERDATA, 7), 42);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 7);
}

TEST_F(WindowSystemTest, ClassesAndWindowsKeepWhatTheyWereMadeWithAndTheShowCommandsSince) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = recordingProcedure;
    windowClass.cbWndExtra = 8;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = arrow;
    windowClass.lpszClassName = L"Described";
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
    standin::WindowClassInfo described = standin::windowClassInfo(L"described"); // names ignore case
    EXPECT_TRUE(described.registered);
    EXPECT_EQ(described.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(described.procedure, recordingProcedure);
    EXPECT_EQ(described.classExtraBytes, 0);
    EXPECT_EQ(described.windowExtraBytes, 8);
    EXPECT_EQ(described.instance, GetModuleHandleW(nullptr));
    EXPECT_EQ(described.cursor, arrow);
    EXPECT_EQ(described.icon, nullptr);
    EXPECT_EQ(described.background, nullptr);
    EXPECT_FALSE(described.hasMenuName);
    EXPECT_EQ(standin::windowClassInfo(L"Recording").cursor, nullptr);
    EXPECT_FALSE(standin::windowClassInfo(L"Unknown").registered);

    HWND hwnd = create(WS_POPUP, 300, 200);
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    ShowWindow(hwnd, SW_MINIMIZE);
    standin::WindowInfo info = standin::windowInfo(hwnd);
    EXPECT_TRUE(info.exists);
    EXPECT_EQ(info.exStyle, 0u);
    EXPECT_EQ(info.style, static_cast<DWORD>(WS_POPUP));
    EXPECT_EQ(info.x, 10);
    EXPECT_EQ(info.y, 20);
    EXPECT_EQ(info.width, 300);
    EXPECT_EQ(info.height, 200);
    EXPECT_EQ(info.instance, GetModuleHandleW(nullptr));
    EXPECT_EQ(info.showCommands, (std::vector<int>{SW_SHOWDEFAULT, SW_MINIMIZE}));
    EXPECT_TRUE(create(WS_POPUP | WS_VISIBLE) != nullptr);
    EXPECT_TRUE(standin::windowInfo(hwnd).exists) << "each window keeps its own record";
    DestroyWindow(hwnd);
    EXPECT_FALSE(standin::windowInfo(hwnd).exists);
}

TEST_F(WindowSystemTest, ScreenMetricsFollowTheConfiguredScreen) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    standin::setScreenSize(2560, 1440);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 2560);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1440);
    standin::setScreenSize(1920, 1080);
}

TEST(ProcessTest, ModuleCursorAndDpiAwareness) {
    standin::resetWindowSystem(); // a fresh process, whatever ran before in this one
    EXPECT_NE(GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"d3d12.dll"), nullptr);
    EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
    EXPECT_EQ(standin::processDpiAwareness(), nullptr);
    EXPECT_FALSE(SetProcessDpiAwarenessContext(reinterpret_cast<DPI_AWARENESS_CONTEXT>(-6)));
    EXPECT_EQ(standin::processDpiAwareness(), nullptr) << "a context that does not exist is refused";
    EXPECT_TRUE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2));
    EXPECT_EQ(standin::processDpiAwareness(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    EXPECT_FALSE(SetProcessDpiAwarenessContext(reinterpret_cast<DPI_AWARENESS_CONTEXT>(-1)))
        << "the awareness is set once per process";
    EXPECT_EQ(standin::processDpiAwareness(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    standin::resetWindowSystem();
    EXPECT_EQ(standin::processDpiAwareness(), nullptr);
    EXPECT_TRUE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
        << "the reset starts a fresh process";
}

TEST(ProcessTest, ThePerformanceCounterCanBeMadeToFail) {
    LARGE_INTEGER value;
    standin::setPerformanceCounterFails(true);
    EXPECT_FALSE(QueryPerformanceFrequency(&value));
    EXPECT_FALSE(QueryPerformanceCounter(&value));
    standin::setPerformanceCounterFails(false);
    EXPECT_TRUE(QueryPerformanceFrequency(&value));
    EXPECT_EQ(value.QuadPart, 10'000'000);
    EXPECT_TRUE(QueryPerformanceCounter(&value));
}

} // namespace
