// The built program, run headless on the stand-in with its session controls: start-up lines, scripted input,
// the frame limit, and the stand-in's refusal of malformed controls.
#include "e2e/ProgramRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

TEST(ProgramTest, AScriptedSessionStartsRunsItsInputAndEndsWithZeroWhenTheWindowCloses) {
    WorkingDirectory directory;
    ProgramRun run =
        runProgram({{"STANDIN_FRAMES", "1000"},
                    {"STANDIN_SCRIPT", "2 key F1; 4 drag 960 540 1160 600 3; 9 down W; 11 up W; 12 key E; "
                                       "13 key F3; 14 wheel 2; 15 resize 1280 720; 16 minimise; 18 restore; "
                                       "19 key F1; 20 close"}},
                   directory.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    EXPECT_NE(run.errors.find("standin: "), std::string::npos) << run.errors;
    // The close comes in frame 20, which still renders.
    expectCleanSummary(run, 21);
}

// The README's example: the free camera, a look around, a walk, a recorded position printed, and a close. The
// debug panel's library keeps its layout in the working directory.
TEST(ProgramTest, TheReadmesExamplePrintsTheRecordedPositionAndKeepsThePanelsLayout) {
    WorkingDirectory directory;
    ProgramRun run = runProgram(
        {{"STANDIN_SCRIPT",
          "30 key F1; 40 drag 960 540 1160 600; 60 down W; 90 up W; 100 key E; 101 key F3; 110 close"}},
        directory.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    std::vector<std::string> points;
    for (const std::string& line : run.lines)
        if (line.rfind("points.", 0) == 0)
            points.push_back(line);
    ASSERT_EQ(points.size(), 1u) << run.output;
    const std::string number = "-?[0-9]+\\.[0-9]{6}";
    EXPECT_TRUE(std::regex_match(
        points[0], std::regex("points\\.emplace_back\\(" + number + ", " + number + ", " + number + "\\);")))
        << points[0];
    EXPECT_NE(points[0], "points.emplace_back(-10.621512, 5.761714, 4.313231);")
        << "the camera moved forward";
    expectCleanSummary(run, 111); // the close comes in frame 110, which still renders
    std::ifstream layout(directory.path() / "imgui.ini");
    ASSERT_TRUE(layout) << "no imgui.ini in the working directory";
    std::string contents((std::istreambuf_iterator<char>(layout)), std::istreambuf_iterator<char>());
    EXPECT_NE(contents.find("[Window][Debug]"), std::string::npos) << contents;
    EXPECT_NE(contents.find("[Window][Configuration]"), std::string::npos) << contents;
}

// Without F1 the panel is never shown, so its library never reads or writes its layout file.
TEST(ProgramTest, TheFrameLimitEndsARunWithoutInput) {
    WorkingDirectory directory;
    ProgramRun run = runProgram({{"STANDIN_FRAMES", "5"}}, directory.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    expectCleanSummary(run, 5);
    EXPECT_FALSE(std::filesystem::exists(directory.path() / "imgui.ini"));
}

TEST(ProgramTest, FramesArePresentedThroughResizesAMinimiseAndARestoreWithoutAFinding) {
    WorkingDirectory directory;
    ProgramRun run =
        runProgram({{"STANDIN_FRAMES", "40"},
                    {"STANDIN_SCRIPT", "3 resize 1280 720; 5 resize 1281 721; 8 minimise; 12 restore; "
                                       "15 resize 1 1; 16 resize 9 9; 18 resize 1920 1080; 20 minimise; "
                                       "21 restore"}},
                   directory.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    // A minimised window's frames are presented too (the present reports the window occluded).
    expectCleanSummary(run, 40);
}

TEST(ProgramTest, AMalformedControlStopsTheStandInBeforeTheProgramStarts) {
    struct Case {
        std::map<std::string, std::string> controls;
        std::string message;
    };
    const Case cases[] = {
        {{{"STANDIN_SCRIPT", "3 jump"}}, "STANDIN_SCRIPT: entry 1 (\"3 jump\"): unknown action \"jump\""},
        {{{"STANDIN_CLOCK", "fast"}}, "STANDIN_CLOCK must be real or vblank, not \"fast\""},
        {{{"STANDIN_REFUSE_DEVICE", "warp"}},
         "STANDIN_REFUSE_DEVICE must be none, hardware or all, not \"warp\""},
        {{{"STANDIN_WATCH", "debugFlags.showMeshlets"}},
         "STANDIN_WATCH needs STANDIN_TRACE, the file the frame trace goes to"},
        {{{"STANDIN_TRACE", "trace.txt"}, {"STANDIN_WATCH", "debugFlags.showMeshlets,viewPos"}},
         "STANDIN_WATCH must name shader constants as buffer.field, separated by commas, not "
         "\"debugFlags.showMeshlets,viewPos\""},
        {{{"STANDIN_TRACE", "no/such/folder/trace.txt"}},
         "cannot write the frame trace \"no/such/folder/trace.txt\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        WorkingDirectory directory;
        ProgramRun run = runProgram(c.controls, directory.path());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(run.errors, "standin: " + c.message + "\n");
    }
}

} // namespace
