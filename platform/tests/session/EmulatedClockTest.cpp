// The emulated clock: the performance counter and the C++ steady clock stand still but for the vertical
// blanks that presents move them by, exactly 1/60 s each, and timed waits still time out (an alarm ends a
// child that hangs). Each case runs in a child process, since the clock cannot go back to the real one
// without jumping.
#include "d3d12/GpuFixture.h"

#include "standin/Session.h"

#include <dxgi1_6.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <unistd.h>

namespace {

int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t counterTicks() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

class EmulatedClockDeathTest : public GpuTest {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        GpuTest::SetUp();
    }

    // A swap chain of a window the stand-in does not know, with pacing on as in a program's run.
    IDXGISwapChain3* makeSwapChain() {
        IDXGIFactory6* factory = nullptr;
        EXPECT_EQ(CreateDXGIFactory2(0, IID_PPV_ARGS(&factory)), S_OK);
        keep(factory);
        DXGI_SWAP_CHAIN_DESC1 desc{};
        desc.Width = 16;
        desc.Height = 16;
        desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        desc.SampleDesc = {1, 0};
        desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
        desc.BufferCount = 2;
        desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
        IDXGISwapChain1* first = nullptr;
        EXPECT_EQ(factory->CreateSwapChainForHwnd(queue, reinterpret_cast<HWND>(uintptr_t(0x100)), &desc,
                                                  nullptr, nullptr, &first),
                  S_OK);
        IDXGISwapChain3* swapChain = nullptr;
        EXPECT_EQ(first->QueryInterface(IID_PPV_ARGS(&swapChain)), S_OK);
        first->Release();
        return keep(swapChain);
    }
};

// What the clock does before and after it is switched on, in the child.
void reportClockSteps() {
    const int64_t realBefore = steadyNanoseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const bool realMoves = steadyNanoseconds() - realBefore >= 2'000'000;

    standin::setEmulatedClock(true);
    const int64_t start = steadyNanoseconds();
    const int64_t startTicks = counterTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const bool standsStill = steadyNanoseconds() == start && counterTicks() == startTicks;
    standin::advanceEmulatedClock(1);
    const long long oneBlank = steadyNanoseconds() - start;
    const long long oneBlankTicks = counterTicks() - startTicks;
    standin::advanceEmulatedClock(59);
    const long long sixtyBlanks = steadyNanoseconds() - start;
    const long long sixtyBlankTicks = counterTicks() - startTicks;
    std::fprintf(
        stderr,
        "real moves %d, stands still %d, one blank %lld ns %lld ticks, 60 blanks %lld ns %lld ticks\n",
        realMoves, standsStill, oneBlank, oneBlankTicks, sixtyBlanks, sixtyBlankTicks);
}

TEST_F(EmulatedClockDeathTest, TheClockMovesOnlyByWholeVerticalBlanks) {
    EXPECT_EXIT(
        {
            reportClockSteps();
            std::_Exit(0);
        },
        testing::ExitedWithCode(0),
        "real moves 1, stands still 1, one blank 16666666 ns 166666 ticks, 60 blanks 1000000000 ns 10000000 "
        "ticks\n");
}

// With pacing on, as in a program's run: a present's sync interval is the number of blanks it moves the clock
// by.
TEST_F(EmulatedClockDeathTest, PresentMovesTheClockByItsSyncInterval) {
    EXPECT_EXIT(
        {
            unsetenv("STANDIN_VSYNC");
            IDXGISwapChain3* swapChain = makeSwapChain();
            standin::setEmulatedClock(true);
            const int64_t start = steadyNanoseconds();
            std::string blanks;
            for (UINT interval : std::initializer_list<UINT>{1u, 1u, 0u, 2u}) {
                swapChain->Present(interval, 0);
                waitForQueue();
                blanks +=
                    std::to_string(((steadyNanoseconds() - start) * 60 + 500'000'000) / 1'000'000'000) + " ";
            }
            std::fprintf(stderr, "blanks after each present: %s\n", blanks.c_str());
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "blanks after each present: 1 2 2 4 \n");
}

TEST_F(EmulatedClockDeathTest, ATimedWaitStillTimesOut) {
    EXPECT_EXIT(
        {
            alarm(30);
            standin::setEmulatedClock(true);
            HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            const DWORD result = WaitForSingleObject(never, 5);
            std::fprintf(stderr, "timed out %d\n", result == WAIT_TIMEOUT);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "timed out 1\n");
}

} // namespace
