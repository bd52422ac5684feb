#include "e2e/ProgramRun.h"

#include <csignal>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

} // namespace

ProgramRun runProgram(const std::map<std::string, std::string>& controls,
                      const std::filesystem::path& workingDirectory, std::chrono::seconds deadline) {
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

    const auto killAt = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > killAt) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "the program did not end within " << deadline.count() << " s";
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

WorkingDirectory::WorkingDirectory() {
    for (const char* folder : {"src", "data"})
        std::filesystem::create_directory_symlink(std::filesystem::path(LANTERN_SOURCE_DIR) / folder,
                                                  path() / folder);
}

void WorkingDirectory::detach(const std::filesystem::path& folder) {
    std::filesystem::path relative;
    for (const std::filesystem::path& part : folder) {
        relative /= part;
        const std::filesystem::path here = path() / relative;
        if (!std::filesystem::is_symlink(here))
            continue;
        std::filesystem::remove(here);
        std::filesystem::create_directory(here);
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::path(LANTERN_SOURCE_DIR) / relative)) {
            const std::filesystem::path link = here / entry.path().filename();
            if (entry.is_directory())
                std::filesystem::create_directory_symlink(entry.path(), link);
            else
                std::filesystem::create_symlink(entry.path(), link);
        }
    }
}

void WorkingDirectory::replace(const std::filesystem::path& file, const std::string& contents) {
    remove(file);
    std::ofstream(path() / file, std::ios::binary) << contents;
}

void WorkingDirectory::remove(const std::filesystem::path& file) {
    detach(file.parent_path());
    std::filesystem::remove(path() / file);
}

std::string readCheckoutFile(const std::filesystem::path& relativePath) {
    return readFile(std::filesystem::path(LANTERN_SOURCE_DIR) / relativePath);
}

void expectStartLines(const ProgramRun& run) {
    ASSERT_GE(run.lines.size(), 4u) << run.output;
    const char* expected[] = {"CORE: Initialized Log!", "MESH_SHADER: Initialized Log!",
                              "RAYTRACER: Initialized Log!", "CORE: Initializing DirectX 12 Renderer"};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(std::regex_match(
            run.lines[i], std::regex(std::string("\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\] ") + expected[i])))
            << run.lines[i];
}

void expectCleanSummary(const ProgramRun& run, int frames) {
    std::smatch summary;
    ASSERT_TRUE(std::regex_search(run.errors, summary,
                                  std::regex("standin: ([0-9]+) frames presented, ([0-9]+) frames run, mean "
                                             "frame time [0-9.]+ ms, ([0-9]+) validation findings")))
        << run.errors;
    if (frames >= 0) {
        EXPECT_EQ(summary[1].str(), std::to_string(frames)) << "frames presented";
        EXPECT_EQ(summary[2].str(), std::to_string(frames)) << "frames run";
    }
    EXPECT_EQ(summary[3].str(), "0") << run.errors;
}

std::vector<TracedFrame> readTrace(const std::filesystem::path& path) {
    std::vector<TracedFrame> frames;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        TracedFrame traced;
        std::istringstream fields(line);
        for (std::string field; fields >> field;) {
            const size_t equals = field.find('=');
            traced.fields[field.substr(0, equals)] =
                equals == std::string::npos ? "" : field.substr(equals + 1);
        }
        traced.frame = std::stoull(traced.fields["frame"]);
        frames.push_back(traced);
    }
    return frames;
}

std::vector<float> components(const std::string& value) {
    std::vector<float> numbers;
    if (value == "-")
        return numbers;
    std::istringstream stream(value);
    for (std::string number; std::getline(stream, number, ',');)
        numbers.push_back(std::stof(number));
    return numbers;
}
