// Runs the built program headless on the stand-in, as a user would start it, with the stand-in's session
// controls (platform/README.md), and reads what it left: its output, exit code, the session's summary, the
// frame trace and the files of its working directory.
#pragma once

#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1;
    std::string output;             // standard output
    std::string errors;             // standard error
    std::vector<std::string> lines; // of standard output
};

// Runs the program with the given stand-in controls (and environment variables) on top of this process's
// environment without its STANDIN_ variables; pacing is off unless the controls say otherwise. It runs in the
// working directory given (the test's own by default), its input from /dev/null, so that "pause" never waits.
// A run that does not end before the deadline (a hang, not a measure of speed) is killed and fails the test.
ProgramRun runProgram(const std::map<std::string, std::string>& controls,
                      const std::filesystem::path& workingDirectory = {},
                      std::chrono::seconds deadline = std::chrono::minutes(1));

// A working directory of the test's own with the checkout's shader sources and sample data (linked), so that
// what the program writes there ("imgui.ini") stays out of the checkout.
class WorkingDirectory : public TempDirectory {
public:
    WorkingDirectory();
    // Makes a folder of the working directory (and each folder above it) a real folder whose entries link to
    // the checkout's, so that one of its files can be replaced or removed without touching the checkout.
    void detach(const std::filesystem::path& folder);
    // Replaces a file (relative to the working directory) with the contents given, or removes it.
    void replace(const std::filesystem::path& file, const std::string& contents);
    void remove(const std::filesystem::path& file);
};

// The checkout's file, read whole.
std::string readCheckoutFile(const std::filesystem::path& relativePath);

// The first four lines: "Initialized Log!" from each logger, then the renderer's first line.
void expectStartLines(const ProgramRun& run);

// The stand-in's summary line: `frames` frames presented and run (any number when negative), and the debug
// layer found nothing.
void expectCleanSummary(const ProgramRun& run, int frames);

// One line of the frame trace: the frame's number and its NAME=VALUE fields.
struct TracedFrame {
    uint64_t frame = 0;
    std::map<std::string, std::string> fields;
};

std::vector<TracedFrame> readTrace(const std::filesystem::path& path);

// The numbers of a traced vector ("1.5,-2,3"); empty for "-".
std::vector<float> components(const std::string& value);
