// The built program, run headless on the stand-in with its session controls: start-up lines, scripted input,
// the frame limit, the window-creation failure, and the exit codes.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
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
// files; a run that does not end within a minute is killed and fails the test.
ProgramRun runProgram(const std::map<std::string, std::string>& controls) {
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
    ProgramRun run =
        runProgram({{"STANDIN_FRAMES", "1000"},
                    {"STANDIN_SCRIPT", "2 key F1; 4 drag 960 540 1160 600 3; 9 down W; 11 up W; 12 key E; "
                                       "13 key F3; 14 wheel 2; 15 resize 1280 720; 16 minimise; 18 restore; "
                                       "19 key F1; 20 close"}});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    EXPECT_NE(run.errors.find("standin: "), std::string::npos) << run.errors;
    // The close comes in frame 20, which still renders.
    expectCleanSummary(run, 21);
}

TEST(ProgramTest, TheFrameLimitEndsARunWithoutInput) {
    ProgramRun run = runProgram({{"STANDIN_FRAMES", "5"}});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    expectCleanSummary(run, 5);
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
