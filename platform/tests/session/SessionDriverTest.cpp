// The session driver: scripted input reaches the window in its frame, frames are counted by passes until the
// first present and by presents afterwards, the frame limit closes the window, and the summary reports it.
#include <windows.h>

#include "standin/Session.h"
#include "standin/WindowSystem.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

struct Delivered {
    uint64_t frame;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Delivered> delivered;

LRESULT CALLBACK drivenProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    delivered.push_back({standin::currentFrame(), message, wParam, lParam});
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

uint64_t threeFindings() {
    return 3;
}

// Runs as the program's main loop does; with presenting set, each pass ends with a present.
class SessionDriverTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        standin::resetWindowSystem();
        hwnd = createTestWindow(L"Driven", drivenProcedure);
        ASSERT_NE(hwnd, nullptr);
        delivered.clear();
    }
    void TearDown() override {
        standin::endSession();
        standin::setValidationFindingCounter(nullptr);
        standin::resetWindowSystem();
    }

    void start(const std::string& script, uint64_t frameLimit = 0) {
        standin::SessionControls controls;
        std::string error;
        ASSERT_TRUE(standin::parseScript(script, controls.script, error)) << error;
        controls.frameLimit = frameLimit;
        standin::startSession(controls);
    }

    // Returns the number of passes run, the last being the one that fetched WM_QUIT.
    int run(int maximumPasses) {
        for (int pass = 1; pass <= maximumPasses; ++pass) {
            bool quit = false;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                if (msg.message == WM_QUIT) {
                    quit = true;
                    break;
                }
            }
            if (GetParam())
                standin::notePresent();
            if (quit)
                return pass;
        }
        return maximumPasses;
    }

    std::vector<Delivered> deliveredOf(UINT message) {
        std::vector<Delivered> found;
        for (const Delivered& entry : delivered)
            if (entry.message == message)
                found.push_back(entry);
        return found;
    }

    HWND hwnd = nullptr;
};

TEST_P(SessionDriverTest, ScriptedInputArrivesInItsFrame) {
    start("0 key F1; 2 move 5 6; 3 resize 300 200; 4 wheel -1; 4 down LShift");
    run(6);

    std::vector<Delivered> keyDowns = deliveredOf(WM_KEYDOWN);
    std::vector<Delivered> keyUps = deliveredOf(WM_KEYUP);
    ASSERT_EQ(keyDowns.size(), 2u);
    EXPECT_EQ(keyDowns[0].frame, 0u);
    EXPECT_EQ(keyDowns[0].wParam, static_cast<WPARAM>(VK_F1));
    EXPECT_EQ(keyDowns[0].lParam, 1 | (0x3B << 16));
    ASSERT_EQ(keyUps.size(), 1u);
    EXPECT_EQ(keyUps[0].frame, 1u);
    EXPECT_EQ(keyUps[0].lParam, 1 | (0x3B << 16) | (1L << 30) | (1L << 31));
    EXPECT_EQ(keyDowns[1].frame, 4u);
    EXPECT_EQ(keyDowns[1].wParam, static_cast<WPARAM>(VK_SHIFT));

    std::vector<Delivered> moves = deliveredOf(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].frame, 2u);
    EXPECT_EQ(moves[0].lParam, MAKELPARAM(5, 6));

    std::vector<Delivered> sizes = deliveredOf(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().frame, 3u);
    EXPECT_EQ(sizes.back().lParam, MAKELPARAM(300, 200));
    ASSERT_EQ(deliveredOf(WM_ENTERSIZEMOVE).size(), 1u);
    EXPECT_EQ(deliveredOf(WM_EXITSIZEMOVE).size(), 1u);

    std::vector<Delivered> wheels = deliveredOf(WM_MOUSEWHEEL);
    ASSERT_EQ(wheels.size(), 1u);
    EXPECT_EQ(wheels[0].frame, 4u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].wParam), -WHEEL_DELTA);
    EXPECT_EQ(standin::currentFrame(), GetParam() ? 6u : 5u) << "the sixth present ends frame 5";
}

TEST_P(SessionDriverTest, TheFrameLimitClosesTheWindowInTheLastFrame) {
    start("", 5);
    EXPECT_EQ(run(100), 5);
    EXPECT_FALSE(IsWindow(hwnd));
    std::vector<Delivered> commands = deliveredOf(WM_SYSCOMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, static_cast<WPARAM>(SC_CLOSE));
    EXPECT_EQ(commands[0].frame, 4u);
}

TEST_P(SessionDriverTest, AMinimisedWindowGetsNoInputUntilRestored) {
    start("1 minimise; 2 key W; 2 move 1 1; 3 restore; 4 key A");
    run(6);
    std::vector<Delivered> sizes = deliveredOf(WM_SIZE);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(sizes[0].frame, 1u);
    EXPECT_EQ(sizes[1].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(sizes[1].frame, 3u);
    std::vector<Delivered> keyDowns = deliveredOf(WM_KEYDOWN);
    ASSERT_EQ(keyDowns.size(), 1u);
    EXPECT_EQ(keyDowns[0].wParam, static_cast<WPARAM>('A'));
    EXPECT_TRUE(deliveredOf(WM_MOUSEMOVE).empty());
}

TEST_P(SessionDriverTest, TheSummaryCountsFramesAndFindings) {
    start("", 4);
    run(100);
    std::string expectedPresents = GetParam() ? "4" : "0";
    EXPECT_TRUE(
        std::regex_match(standin::sessionSummary(),
                         std::regex("standin: " + expectedPresents +
                                    " frames presented, 4 frames run, mean frame time [0-9]+\\.[0-9]{3} ms, "
                                    "0 validation findings")))
        << standin::sessionSummary();
    standin::setValidationFindingCounter(threeFindings);
    EXPECT_NE(standin::sessionSummary().find(", 3 validation findings"), std::string::npos);
}

TEST_P(SessionDriverTest, WithoutASessionNothingIsPosted) {
    run(3);
    EXPECT_TRUE(delivered.empty());
}

INSTANTIATE_TEST_SUITE_P(CountedByPassesOrPresents, SessionDriverTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Presenting" : "NotPresenting";
                         });

} // namespace
