// The built program, run headless on the stand-in with its session controls: start-up lines, scripted input,
// the frame limit, the window-creation failure, and the exit codes.
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string output;
    std::string errors;
    std::vector<std::string> lines;
};

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// Runs the program with the given stand-in controls on top of this process's environment, its output in
// files, in the given working directory (the test's own by default); a run that does not end within a minute
// is killed and fails the test.
ProgramRun runProgram(const std::map<std::string, std::string>& controls,
                      const std::filesystem::path& workingDirectory = {}) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        size_t equals = text.find('=');
        if (equals != std::string::npos && text.rfind("STANDIN_", 0) != 0)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    variables["STANDIN_VSYNC"] = "0";
    for (const auto& [name, value] : controls)
        variables[name] = value;
    std::vector<std::string> texts;
    for (const auto& [name, value] : variables)
        texts.push_back(name + "=" + value);
    std::vector<char*> environment;
    for (std::string& text : texts)
        environment.push_back(text.data());
    environment.push_back(nullptr);

    std::string base = std::string(LANTERN_BINARY_DIR) + "/e2e-" + std::to_string(::getpid()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string outputPath = base + ".out";
    std::string errorPath = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    std::string program = std::string(LANTERN_BINARY_DIR) + "/QuietLanternHour";
    char* arguments[] = {program.data(), nullptr};
    pid_t child = 0;
    ProgramRun run;
    int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return run;
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "the program did not end within a minute";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.output = readFile(outputPath);
    run.errors = readFile(errorPath);
    std::remove(outputPath.c_str());
    std::remove(errorPath.c_str());
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        run.lines.push_back(line);
    return run;
}

// A working directory of the test's own with the shader sources and the data the program reads, so that
// what it writes there ("imgui.ini") stays out of the checkout.
class WorkingDirectory : public TempDirectory {
public:
    WorkingDirectory() {
        for (const char* folder : {"src", "data"})
            std::filesystem::create_directory_symlink(std::filesystem::path(LANTERN_SOURCE_DIR) / folder,
                                                      path() / folder);
    }
};

// The first four lines: "Initialized Log!" from each logger, then the renderer's first line, as
// "[HH:MM:SS] NAME: text".
void expectStartLines(const ProgramRun& run) {
    ASSERT_GE(run.lines.size(), 4u) << run.output;
    const char* expected[] = {"CORE: Initialized Log!", "MESH_SHADER: Initialized Log!",
                              "RAYTRACER: Initialized Log!", "CORE: Initializing DirectX 12 Renderer"};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(std::regex_match(
            run.lines[i], std::regex(std::string("\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\] ") + expected[i])))
            << run.lines[i];
}

// The stand-in's summary line: every frame run was presented, and the debug layer found nothing.
void expectCleanSummary(const ProgramRun& run, int frames) {
    std::smatch summary;
    ASSERT_TRUE(std::regex_search(run.errors, summary,
                                  std::regex("standin: ([0-9]+) frames presented, ([0-9]+) frames run, mean "
                                             "frame time [0-9.]+ ms, ([0-9]+) validation findings")))
        << run.errors;
    EXPECT_EQ(summary[1].str(), std::to_string(frames)) << "frames presented";
    EXPECT_EQ(summary[2].str(), std::to_string(frames)) << "frames run";
    EXPECT_EQ(summary[3].str(), "0") << run.errors;
}

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
    ProgramRun run =
        runProgram({{"STANDIN_FRAMES", "40"},
                    {"STANDIN_SCRIPT", "3 resize 1280 720; 5 resize 1281 721; 8 minimise; 12 restore; "
                                       "15 resize 1 1; 16 resize 9 9; 18 resize 1920 1080; 20 minimise; "
                                       "21 restore"}});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    // A minimised window's frames are presented too (the present reports the window occluded).
    expectCleanSummary(run, 40);
}

TEST(ProgramTest, AWindowThatCannotBeCreatedIsReportedAndTheProgramEndsWithZero) {
    ProgramRun run = runProgram({{"STANDIN_FAIL_WINDOW", "1"}});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    ASSERT_EQ(run.lines.size(), 5u) << run.output;
    EXPECT_EQ(run.lines[4], "Exception, something went wrong: Error during window creation");
    expectCleanSummary(run, 0); // no frame runs
}

TEST(ProgramTest, AMalformedScriptStopsTheStandInBeforeTheProgramStarts) {
    ProgramRun run = runProgram({{"STANDIN_SCRIPT", "3 jump"}});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.output, "");
    EXPECT_NE(run.errors.find("STANDIN_SCRIPT: entry 1 (\"3 jump\"): unknown action \"jump\""),
              std::string::npos)
        << run.errors;
}

} // namespace
