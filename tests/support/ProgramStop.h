// What a stop through the reporting path printed, for tests that run under a ProgramEndGuard.
#pragma once

#include "support/ProgramEnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Runs work, which must end the program with exit code 1, running "pause" first exactly when pauses is set;
// returns what it printed on standard output, or "(did not stop)" when it returned normally.
template <typename Work> std::string outputOfEnd(Work work, bool pauses) {
    ProgramEndGuard::commandLines().clear();
    testing::internal::CaptureStdout();
    int exitCode = -1;
    bool stopped = false;
    try {
        work();
    } catch (const ProgramEnded& ended) {
        stopped = true;
        exitCode = ended.exitCode;
    }
    std::string output = testing::internal::GetCapturedStdout();
    if (!stopped)
        return "(did not stop)";
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(ProgramEndGuard::commandLines(),
              pauses ? std::vector<std::string>{"pause"} : std::vector<std::string>{});
    return output;
}

// A stop through the reporting path: "pause", then exit code 1.
template <typename Work> std::string outputOfStop(Work work) {
    return outputOfEnd(work, true);
}

// An end on bad input: exit code 1 without the reporting path's "pause".
template <typename Work> std::string outputOfExit(Work work) {
    return outputOfEnd(work, false);
}
