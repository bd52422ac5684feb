// Window storms through the built program: many resizes in a row down to 1 x 1 and up to the full screen,
// minimise and restore again and again, a close while minimised and one in the middle of the fly-through.
// Every frame is presented without a finding, and each frame's constants carry the client size the window
// had.
#include "e2e/ProgramRun.h"

#include <standin/Dxc.h>

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The client size each traced frame shows, and the size its frame constants were built for.
std::string clientOf(const TracedFrame& frame) {
    return frame.fields.at("client");
}

// The back buffers follow the client area, but for an empty one (minimised).
void expectSizes(const TracedFrame& frame, const std::string& size, std::string& lastShown) {
    if (size != "0x0")
        lastShown = size;
    EXPECT_EQ(frame.fields.at("client"), size);
    EXPECT_EQ(frame.fields.at("buffers"), lastShown);
}

// The size the frame's constants were built for; the client size where the build has no real shader compiler,
// whose reflection the frame trace reads them through.
std::string constantsSizeOf(const TracedFrame& frame) {
    if (!standin::realShaderCompilerFound())
        return frame.fields.at("client");
    std::vector<float> width = components(frame.fields.at("frame.width"));
    std::vector<float> height = components(frame.fields.at("frame.height"));
    if (width.size() != 1 || height.size() != 1)
        return "none";
    return std::to_string(int(width[0])) + "x" + std::to_string(int(height[0]));
}

std::map<std::string, std::string> stormControls(const WorkingDirectory& directory, const std::string& script,
                                                 int frames) {
    return {{"STANDIN_SCREEN", "960x540"},
            {"STANDIN_FRAMES", std::to_string(frames)},
            {"STANDIN_SCRIPT", script},
            {"STANDIN_TRACE", (directory.path() / "trace.txt").string()},
            {"STANDIN_WATCH", "frame.width,frame.height"}};
}

TEST(WindowStormTest, ManyResizesInARowDownToOnePixelAndUpToTheFullScreen) {
    // One size per frame, two in one frame (the second wins), then the full screen again.
    const std::vector<std::pair<int, std::string>> sizes = {
        {2, "640 360"},  {3, "1 1"},      {4, "2 1"},      {5, "1 2"},      {6, "960 540"},
        {7, "1 1"},      {8, "959 539"},  {9, "960 1"},    {10, "1 540"},   {11, "17 9"},
        {12, "100 100"}, {12, "200 120"}, {13, "960 540"}, {14, "480 270"}, {15, "960 540"},
    };
    std::ostringstream script;
    std::map<uint64_t, std::string> expected;
    for (const auto& [frame, size] : sizes) {
        script << frame << " resize " << size << "; ";
        std::string text = size;
        text[text.find(' ')] = 'x';
        expected[uint64_t(frame)] = text;
    }
    WorkingDirectory directory;
    ProgramRun run = runProgram(stormControls(directory, script.str(), 20), directory.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    expectCleanSummary(run, 20);

    const std::vector<TracedFrame> trace = readTrace(directory.path() / "trace.txt");
    ASSERT_EQ(trace.size(), 20u);
    std::string size = "960x540", shown = size;
    for (uint64_t k = 0; k + 1 < trace.size(); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        if (expected.count(k))
            size = expected[k];
        expectSizes(trace[k], size, shown);
        EXPECT_EQ(constantsSizeOf(trace[k]), size);
    }
}

TEST(WindowStormTest, MinimiseAndRestoreAgainAndAgain) {
    // A resize while minimised is kept for the restore; a key while minimised reaches nothing (F1 would stop
    // the music).
    const std::string script = "3 minimise; 4 restore; 5 minimise; 7 restore; 8 minimise; 9 restore; "
                               "10 minimise; 10 restore; 11 resize 500 300; 12 minimise; 13 resize 700 400; "
                               "14 key F1; 16 restore; 17 minimise; 18 minimise; 19 restore; 20 restore";
    const std::map<uint64_t, std::string> expected = {
        {3, "0x0"},      {4, "960x540"}, {5, "0x0"},      {7, "960x540"}, {8, "0x0"},      {9, "960x540"},
        {11, "500x300"}, {12, "0x0"},    {16, "700x400"}, {17, "0x0"},    {19, "700x400"},
    };
    WorkingDirectory directory;
    ProgramRun run = runProgram(stormControls(directory, script, 24), directory.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    // A minimised window's frames are presented too (the present reports the window occluded).
    expectCleanSummary(run, 24);

    const std::vector<TracedFrame> trace = readTrace(directory.path() / "trace.txt");
    ASSERT_EQ(trace.size(), 24u);
    std::string size = "960x540", shown = size;
    for (uint64_t k = 0; k + 1 < trace.size(); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        if (expected.count(k))
            size = expected.at(k);
        expectSizes(trace[k], size, shown);
        EXPECT_EQ(constantsSizeOf(trace[k]), size);
        EXPECT_EQ(trace[k].fields.at("sound"), "playing");
    }
}

TEST(WindowStormTest, ClosingWhileMinimisedEndsTheSession) {
    WorkingDirectory directory;
    ProgramRun run = runProgram(stormControls(directory, "5 minimise; 8 close", 0), directory.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    expectCleanSummary(run, 9); // the close comes in frame 8, which still renders
    const std::vector<TracedFrame> trace = readTrace(directory.path() / "trace.txt");
    ASSERT_EQ(trace.size(), 9u);
    EXPECT_EQ(clientOf(trace[7]), "0x0");
}

// In the middle of leg 4, at the emulated 60 Hz: the music plays and the meshlet view is on when the window
// closes.
TEST(WindowStormTest, ClosingInTheMiddleOfTheFlyThroughEndsTheSession) {
    WorkingDirectory directory;
    const std::filesystem::path tracePath = directory.path() / "trace.txt";
    ProgramRun run = runProgram({{"STANDIN_CLOCK", "vblank"},
                                 {"STANDIN_SCREEN", "960x540"},
                                 {"STANDIN_FRAMES", "0"},
                                 {"STANDIN_SCRIPT", "2000 close"},
                                 {"STANDIN_TRACE", tracePath.string()},
                                 {"STANDIN_WATCH", "debugFlags.showMeshlets"}},
                                directory.path(), std::chrono::minutes(5));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    expectCleanSummary(run, 2001);
    const std::vector<TracedFrame> trace = readTrace(tracePath);
    ASSERT_EQ(trace.size(), 2001u);
    EXPECT_EQ(trace[1999].fields.at("sound"), "playing");
    // The frame trace reads shader constants through a real compiler's reflection.
    if (standin::realShaderCompilerFound()) {
        EXPECT_EQ(trace[1999].fields.at("debugFlags.showMeshlets"), "1");
    }
    EXPECT_EQ(clientOf(trace[2000]), "0x0") << "the last frame renders after the window is gone";
}

} // namespace
