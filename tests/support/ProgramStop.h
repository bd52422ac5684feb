// What a stop through the reporting path printed, for tests that run under a ProgramEndGuard.
#pragma once

#include "support/ProgramEnd.h"

#include <gtest/gtest.h>

#include <string>

// Runs work, which must stop the program with exit code 1 after running "pause"; returns what it printed on
// standard output, or "(did not stop)" when it returned normally.
template <typename Work> std::string outputOfStop(Work work) {
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
    EXPECT_EQ(ProgramEndGuard::commandLines(), std::vector<std::string>{"pause"});
    return output;
}

// Runs work, which must end the program with exit code 1 on bad input, without the reporting path's "pause";
// returns what it printed on standard output, or "(did not stop)" when it returned normally.
template <typename Work> std::string outputOfExit(Work work) {
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
    EXPECT_TRUE(ProgramEndGuard::commandLines().empty());
    return output;
}
