// A failed call of the frame takes the reporting path with its own call text. Each case runs in a child
// process (a death test), since the program it stops cannot render another frame.
#include "frame/FrameFixture.h"

#include "renderer/FrameObjects.h"
#include "support/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace standin;

namespace {

struct FailedCall {
    const char* call; // the stand-in's name of the call made to fail
    const char* text; // what the program prints
};

// In the child: makes the call fail once, renders, and exits with the program's exit code when the frame
// stopped it with exactly the expected text; anything else exits with 3 after saying what happened.
[[noreturn]] void renderWithFailure(const FailedCall& failed, const std::function<void()>& prepare) {
    prepare();
    failCall(failed.call);
    testing::internal::CaptureStdout();
    int exitCode = 0;
    try {
        renderFrames(1);
    } catch (const ProgramEnded& ended) {
        exitCode = ended.exitCode;
    }
    const std::string output = testing::internal::GetCapturedStdout();
    const std::string expected = std::string("Error: ") + failed.text + "\n";
    if (output != expected || ProgramEndGuard::commandLines() != std::vector<std::string>{"pause"}) {
        std::fprintf(stderr, "printed \"%s\", expected \"%s\"\n", output.c_str(), expected.c_str());
        std::_Exit(3);
    }
    std::_Exit(exitCode);
}

class FrameFailureTest : public FrameTest, public ::testing::WithParamInterface<FailedCall> {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        FrameTest::SetUp();
    }
};

} // namespace

TEST_P(FrameFailureTest, StopsTheProgramWithTheCallsText) {
    const FailedCall failed = GetParam();
    std::function<void()> prepare = [] {};
    if (std::string(failed.call) == "IDXGISwapChain::ResizeBuffers") {
        // As after a minimise: the next frame resizes.
        prepare = [] { lastWidth = lastHeight = 0; };
    } else if (std::string(failed.call) == "ID3D12Fence::SetEventOnCompletion") {
        // A slow GPU, so that the end of the frame has to wait for the frame before it.
        prepare = [] {
            setGpuDelay(200);
            renderFrames(2);
        };
    }
    EXPECT_EXIT(renderWithFailure(failed, prepare), ::testing::ExitedWithCode(1), "");
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FrameFailureTest,
    ::testing::Values(FailedCall{"IDXGISwapChain::ResizeBuffers",
                                 "swapchain->ResizeBuffers(FRAMES_IN_FLIGHT_COUNT, window.getWidth(), "
                                 "window.getHeight(), SWAPCHAIN_FORMAT, 0)"},
                      FailedCall{"ID3D12CommandAllocator::Reset", "commandAllocators[frameIndex]->Reset()"},
                      FailedCall{"ID3D12GraphicsCommandList::Reset",
                                 "commandList->Reset(commandAllocators[frameIndex], 0)"},
                      FailedCall{"ID3D12GraphicsCommandList::Close", "commandList->Close()"},
                      FailedCall{"IDXGISwapChain::Present", "swapchain->Present(1, 0)"},
                      FailedCall{"ID3D12CommandQueue::Signal", "commandQueue->Signal(fence, CurrentFenceValue)"},
                      FailedCall{"ID3D12Fence::SetEventOnCompletion",
                                 "fence->SetEventOnCompletion(fenceValues[frameIndex], fenceEvent)"}),
    [](const ::testing::TestParamInfo<FailedCall>& info) {
        std::string name = info.param.call;
        return name.substr(name.find("::") + 2) + "In" + name.substr(0, name.find("::")).substr(1);
    });
