// The stand-in's thread message queue: order, the quit request, filters, dispatch, translation and key
// states.
#include <windows.h>

#include "standin/WindowSystem.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<UINT> dispatched;

LRESULT CALLBACK listingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER || message == WM_CHAR)
        dispatched.push_back(message);
    if (message == WM_DESTROY)
        PostQuitMessage(3);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetWindowSystem();
        dispatched.clear();
        hwnd = createTestWindow(L"Listing", listingProcedure);
        ASSERT_NE(hwnd, nullptr);
    }
    void TearDown() override { standin::resetWindowSystem(); }

    // Removes and dispatches messages as a main loop does, up to and including WM_QUIT.
    std::vector<MSG> pump() {
        std::vector<MSG> fetched;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            fetched.push_back(msg);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (msg.message == WM_QUIT)
                break;
        }
        return fetched;
    }

    HWND hwnd = nullptr;
};

TEST_F(MessageQueueTest, PostedMessagesArriveInOrderAndTheQuitMessageOnlyAfterThem) {
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    PostQuitMessage(5);
    PostMessageW(hwnd, WM_USER + 2, 0, 0);
    std::vector<MSG> fetched = pump();
    ASSERT_EQ(fetched.size(), 3u);
    EXPECT_EQ(fetched[0].message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(fetched[1].message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(fetched[2].message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(fetched[2].wParam, 5u);
    EXPECT_EQ(fetched[2].hwnd, nullptr);
    EXPECT_EQ(dispatched, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit request is taken once";
}

TEST_F(MessageQueueTest, AQuitMessagePostedIntoTheQueueKeepsItsPlace) {
    PostMessageW(nullptr, WM_QUIT, 0, 0);
    PostMessageW(hwnd, WM_USER, 0, 0);
    std::vector<MSG> fetched = pump();
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0].message, static_cast<UINT>(WM_QUIT));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "looking does not remove";
}

TEST_F(MessageQueueTest, FiltersSelectByWindowAndRange) {
    PostMessageW(nullptr, WM_USER + 1, 0, 0);
    PostMessageW(hwnd, WM_USER + 2, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 9, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
}

TEST_F(MessageQueueTest, DestroyingAWindowRemovesItsMessagesAndPostsToItFail) {
    PostMessageW(hwnd, WM_USER, 0, 0);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    std::vector<MSG> fetched = pump();
    ASSERT_EQ(fetched.size(), 3u);
    EXPECT_EQ(fetched[1].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(fetched[2].message, static_cast<UINT>(WM_QUIT)) << "WM_USER + 1 left with its window";
    EXPECT_EQ(fetched[2].wParam, 3u);
    EXPECT_FALSE(PostMessageW(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(DispatchMessageW(&fetched[0]), 0);
}

TEST_F(MessageQueueTest, TranslationPostsTheCharacterNextAndKeyStatesFollowRemovedMessages) {
    constexpr LPARAM LEFT_SHIFT = 1 | (0x2A << 16);
    constexpr LPARAM RIGHT_SHIFT = 1 | (0x36 << 16);
    PostMessageW(hwnd, WM_KEYDOWN, VK_SHIFT, RIGHT_SHIFT);
    PostMessageW(hwnd, WM_KEYDOWN, 'W', 1 | (0x11 << 16));
    PostMessageW(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0) << "nothing is removed yet";

    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_NE(GetKeyState(VK_SHIFT) & 0x8000, 0);
    EXPECT_NE(GetKeyState(VK_RSHIFT) & 0x8000, 0);
    EXPECT_EQ(GetKeyState(VK_LSHIFT) & 0x8000, 0);
    EXPECT_TRUE(TranslateMessage(&msg)) << "key messages always count as translated";
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    TranslateMessage(&msg);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(L'W')) << "Shift is held";

    PostMessageW(hwnd, WM_KEYUP, VK_SHIFT, RIGHT_SHIFT | (3L << 30));
    PostMessageW(hwnd, WM_KEYDOWN, VK_SHIFT, LEFT_SHIFT);
    pump();
    EXPECT_EQ(GetKeyState(VK_RSHIFT) & 0x8000, 0);
    EXPECT_NE(GetKeyState(VK_LSHIFT) & 0x8000, 0);
}

} // namespace
