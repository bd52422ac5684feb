// The program started once per process on the stand-in, with the sample scene, and its first frames
// recorded; tests render further frames and read the stand-in's command log.
#pragma once

#include "Shaders/Shared.hlsli"

#include <standin/Gpu.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// What the first frames after start-up left: each frame's submission and the query values shown after it.
struct FirstFrame {
    standin::Submission submission;
    uint64_t asInvocations = 0;
    double geomTimeMs = 0.0;
};

struct StartedRenderer {
    std::string stop; // why start-up or the first frames stopped the program; empty when they did not
    std::vector<std::string> findings;
    std::vector<FirstFrame> firstFrames;
};

// Runs initialize (and, while the scene import leaves no scene, gives the frame a small one of its own),
// fills the read-back buffer with values no resolve writes, and renders the first four frames. Runs once per
// process; later calls return what the first one left.
const StartedRenderer& startRenderer();

// Dispatches every waiting window message, as one pass of the main loop does before its frame.
void pumpMessages();
// Pumps the messages and renders, count times.
void renderFrames(int count);
// The last submission in the stand-in's log: the last frame's command list.
standin::Submission lastSubmission();
// Drives the program's window with a stand-in script whose frame numbers count from the next frame.
void startScript(const std::string& script);
void stopScript();

std::string joined(const std::vector<std::string>& lines);

class FrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { startRenderer(); }
    void SetUp() override {
        ASSERT_TRUE(startRenderer().stop.empty()) << startRenderer().stop;
        standin::clearValidationErrors();
    }
    void TearDown() override {
        stopScript();
        standin::waitForGpuIdle();
        EXPECT_EQ(standin::validationErrorCount(), 0u) << joined(standin::validationErrors());
    }
};
