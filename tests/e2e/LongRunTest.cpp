// A long run of the built program, thousands of frames without pacing, first in the fly-through and then in
// the free camera with the debug panel: once the first frames have filled what the program and the stand-in
// keep (the stand-in's log holds the last 600 submissions), its resident memory stays where it is. Each half
// is measured over 6000 frames, so that a leak of 200 bytes a frame grows it past the tolerance, which stays
// well above what the allocators move (nothing in the plain build, about a quarter of it under the
// sanitizer).
#include "e2e/ProgramRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr uint64_t FRAMES = 16000;
constexpr uint64_t F1_FRAME = FRAMES / 2;
// Each half settles within its first thousand frames.
constexpr uint64_t SETTLING = 2000;
constexpr long TOLERANCE_KIB = 1024;

TEST(LongRunTest, ResidentMemoryStaysSteadyFrameOverFrame) {
    WorkingDirectory directory;
    const std::filesystem::path tracePath = directory.path() / "trace.txt";
    // AddressSanitizer keeps freed memory in a quarantine of up to 256 MB before reusing it, which would look
    // like growth; the run does without it (the variable means nothing to a build without the sanitizer).
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    const std::string script = std::to_string(F1_FRAME) + " key F1; " + std::to_string(F1_FRAME + 100) +
                               " down W; " + std::to_string(F1_FRAME + 1000) + " up W; " +
                               std::to_string(F1_FRAME + 1100) + " drag 600 300 700 320 50";
    ProgramRun run = runProgram(
        {{"STANDIN_CLOCK", "vblank"},
         {"STANDIN_SCREEN", "960x540"},
         {"STANDIN_FRAMES", std::to_string(FRAMES)},
         {"STANDIN_SCRIPT", script},
         {"STANDIN_TRACE", tracePath.string()},
         {"ASAN_OPTIONS", std::string(sanitizerOptions ? sanitizerOptions : "") + ":quarantine_size_mb=0"}},
        directory.path(), std::chrono::minutes(5));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    expectCleanSummary(run, int(FRAMES));

    const std::vector<TracedFrame> trace = readTrace(tracePath);
    ASSERT_EQ(trace.size(), FRAMES);
    auto resident = [&](uint64_t frame) { return std::stol(trace[frame].fields.at("rss")); };
    for (uint64_t start : {SETTLING, F1_FRAME + SETTLING}) {
        const uint64_t end = start + (F1_FRAME - SETTLING);
        long highest = resident(start);
        uint64_t highestFrame = start;
        for (uint64_t k = start; k < end; ++k)
            if (resident(k) > highest) {
                highest = resident(k);
                highestFrame = k;
            }
        EXPECT_LE(highest - resident(start), TOLERANCE_KIB)
            << "frames " << start << " to " << end - 1 << ": " << resident(start) << " KiB, then " << highest
            << " KiB at frame " << highestFrame;
    }
}

} // namespace
