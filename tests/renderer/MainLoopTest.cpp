// The main loop and the entry's control flow, with stand-in stages in place of the GPU work.
#include "renderer/MainLoop.h"
#include "renderer/Program.h"

#include "renderer/Logging.h"

#include "standin/WindowSystem.h"
#include "support/ProgramEnd.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int64_t COUNTER_FREQUENCY = 10'000'000;

HWND loopWindow = nullptr;
std::vector<UINT> dispatched;
std::vector<uint64_t> frameStarts;
int frames = 0;
int closeAtFrame = 0;
int initializeCalls = 0;
int shutdownCalls = 0;

LRESULT CALLBACK loopWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER || message == WM_CHAR || message == WM_KEYDOWN || message == WM_CLOSE)
        dispatched.push_back(message);
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void countFrame() {
    ++frames;
    frameStarts.push_back(frameStartMicros);
    if (frames == closeAtFrame)
        PostMessageW(loopWindow, WM_CLOSE, 0, 0);
}

void throwingFrame() {
    throw std::runtime_error("frame failed");
}

bool succeedingInitialize() {
    ++initializeCalls;
    running = true;
    qpcFrequency = COUNTER_FREQUENCY;
    return true;
}
bool throwingInitialize() {
    ++initializeCalls;
    throw std::runtime_error("Error during window creation");
}
bool failingInitialize() {
    ++initializeCalls;
    return false;
}
void countShutdown() {
    ++shutdownCalls;
}

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetWindowSystem();
        loopWindow = createTestWindow(L"Loop", loopWindowProcedure);
        ASSERT_NE(loopWindow, nullptr);
        dispatched.clear();
        frameStarts.clear();
        frames = 0;
        closeAtFrame = 0;
        initializeCalls = 0;
        shutdownCalls = 0;
        running = true;
        qpcFrequency = COUNTER_FREQUENCY;
        if (!coreLogger)
            initLogging();
    }
    void TearDown() override { standin::resetWindowSystem(); }
};

TEST_F(MainLoopTest, RendersAFramePerPassAndOneMoreInThePassThatFetchesTheQuitMessage) {
    closeAtFrame = 3;
    runMainLoop(countFrame);
    EXPECT_EQ(frames, 4);
    EXPECT_FALSE(running);
    EXPECT_FALSE(IsWindow(loopWindow));
    EXPECT_EQ(dispatched, std::vector<UINT>{WM_CLOSE});
}

TEST_F(MainLoopTest, MessagesBehindTheQuitMessageStayQueued) {
    PostMessageW(loopWindow, WM_USER, 0, 0);
    PostMessageW(nullptr, WM_QUIT, 0, 0);
    PostMessageW(loopWindow, WM_USER, 1, 0);
    runMainLoop(countFrame);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(dispatched, std::vector<UINT>{WM_USER});
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(msg.wParam, 1u);
}

TEST_F(MainLoopTest, KeyMessagesAreTranslatedBeforeDispatch) {
    PostMessageW(loopWindow, WM_KEYDOWN, 'W', 1 | (0x11 << 16));
    PostMessageW(nullptr, WM_QUIT, 0, 0);
    runMainLoop(countFrame);
    EXPECT_EQ(dispatched, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR}));
}

TEST_F(MainLoopTest, EachPassStartsWithTheCounterTimeInMicroseconds) {
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    closeAtFrame = 3;
    QueryPerformanceCounter(&before);
    runMainLoop(countFrame);
    QueryPerformanceCounter(&after);
    ASSERT_EQ(frameStarts.size(), 4u);
    EXPECT_GE(frameStarts.front(), static_cast<uint64_t>(before.QuadPart / 10));
    EXPECT_LE(frameStarts.back(), static_cast<uint64_t>(after.QuadPart / 10));
    for (size_t i = 1; i < frameStarts.size(); ++i)
        EXPECT_LE(frameStarts[i - 1], frameStarts[i]);
}

TEST(CountsToMicrosecondsTest, EqualsTheExactQuotientWithoutWrapping) {
    struct Case {
        uint64_t counts;
        uint64_t frequency;
    };
    for (Case test : {Case{0, 10'000'000}, Case{9'999'999, 10'000'000}, Case{10'000'000, 10'000'000},
                      Case{10, 3}, Case{123'456'789'012, 3'579'545}, Case{1ull << 62, 10'000'000},
                      Case{UINT64_MAX, 10'000'000}, Case{UINT64_MAX, 1'000'000'000}}) {
        auto exact =
            static_cast<uint64_t>(static_cast<unsigned __int128>(test.counts) * 1'000'000 / test.frequency);
        EXPECT_EQ(countsToMicroseconds(test.counts, test.frequency), exact)
            << test.counts << " / " << test.frequency;
    }
    // Beyond about 21 days of a 10 MHz counter the plain product wraps; the split form does not.
    uint64_t days22 = 22ull * 24 * 3600 * 10'000'000;
    EXPECT_NE(days22 * 1'000'000 / 10'000'000, countsToMicroseconds(days22, 10'000'000));
}

TEST_F(MainLoopTest, ProgramInitialisesLoopsAndShutsDown) {
    closeAtFrame = 2;
    running = false;
    EXPECT_EQ(runProgram({succeedingInitialize, countFrame, countShutdown}), 0);
    EXPECT_EQ(initializeCalls, 1);
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(shutdownCalls, 1);
}

TEST_F(MainLoopTest, AnExceptionIsPrintedAndSkipsTheShutdown) {
    struct Case {
        bool (*initialize)();
        void (*frame)();
        const char* output;
        int frames;
    };
    for (Case test :
         {Case{throwingInitialize, countFrame,
               "Exception, something went wrong: Error during window creation\n", 0},
          Case{succeedingInitialize, throwingFrame, "Exception, something went wrong: frame failed\n", 0}}) {
        frames = 0;
        shutdownCalls = 0;
        testing::internal::CaptureStdout();
        EXPECT_EQ(runProgram({test.initialize, test.frame, countShutdown}), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), test.output);
        EXPECT_EQ(frames, test.frames);
        EXPECT_EQ(shutdownCalls, 0);
    }
}

TEST_F(MainLoopTest, AFailedInitialisationEndsWithExitCodeOneBeforeTheLoop) {
    ProgramEndGuard guard;
    int exitCode = -1;
    testing::internal::CaptureStdout();
    try {
        runProgram({failingInitialize, countFrame, countShutdown});
    } catch (const ProgramEnded& ended) {
        exitCode = ended.exitCode;
    }
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(shutdownCalls, 0);
    EXPECT_NE(output.find("CORE: Initialization failed"), std::string::npos) << output;
}

} // namespace
