// The built program's failure paths, each as a user meets it: a broken scene, texture or shader in the
// working directory, a window that cannot be made, a device that refuses. Each stops start-up with its own
// text and exit code, before any frame, without blocking in "pause" (the program's input is not a terminal)
// and without a validation finding; the messages' texts are tested in-process, this is the path through the
// binary.
#include "e2e/ProgramRun.h"

#include <standin/Dxc.h>

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>

namespace {

// The real scene with the first accessor claiming a thousand times its elements: it parses and its buffer
// loads, but the accessor no longer fits its buffer view.
std::string sceneFailingValidation() {
    std::string scene = readCheckoutFile("data/Tavern/scene.gltf");
    const std::regex firstCount("(\"accessors\"\\s*:\\s*\\[\\s*\\{[^}]*\"count\"\\s*:\\s*)([0-9]+)");
    std::smatch match;
    if (!std::regex_search(scene, match, firstCount))
        return "";
    return match.prefix().str() + match[1].str() + match[2].str() + "000" + match.suffix().str();
}

struct FailureCase {
    const char* what;
    std::function<void(WorkingDirectory&)> arrange;
    std::map<std::string, std::string> controls;
    // The line after the start lines, matched whole.
    std::string lastLine;
    int exitCode;
};

TEST(FailurePathTest, EachFailureStopsStartUpWithItsTextAndExitCode) {
    const std::string texture = "data/Tavern/textures/cloth.dds";
    const FailureCase cases[] = {
        {"scene file missing",
         [](WorkingDirectory& d) { d.remove("data/Tavern/scene.gltf"); },
         {},
         "cgltf_parse_file\\(&options, filePath, &data\\) failed",
         1},
        {"scene file unparsable",
         [](WorkingDirectory& d) { d.replace("data/Tavern/scene.gltf", "{ \"asset\": { \"version\": "); },
         {},
         "cgltf_parse_file\\(&options, filePath, &data\\) failed",
         1},
        {"scene buffer missing",
         [](WorkingDirectory& d) { d.remove("data/Tavern/scene.bin"); },
         {},
         "cgltf_load_buffers\\(&options, data, filePath\\) failed",
         1},
        {"scene failing validation",
         [](WorkingDirectory& d) { d.replace("data/Tavern/scene.gltf", sceneFailingValidation()); },
         {},
         "cgltf_validate\\(data\\) failed",
         1},
        {"texture missing",
         [&](WorkingDirectory& d) { d.remove(texture); },
         {},
         "Failed to load texture " + texture + ": the file cannot be opened",
         1},
        {"texture truncated",
         [&](WorkingDirectory& d) { d.replace(texture, readCheckoutFile(texture).substr(0, 300)); },
         {},
         "Failed to load texture " + texture + ": .+",
         1},
        {"shader source missing",
         [](WorkingDirectory& d) { d.remove("src/Shaders/Shading.hlsl"); },
         {},
         "Error: hlslLibrary->CreateBlobFromFile\\(fileName, 0, &sourceBlob\\)",
         1},
        {"window that cannot be made",
         [](WorkingDirectory&) {},
         {{"STANDIN_FAIL_WINDOW", "1"}},
         "Exception, something went wrong: Error during window creation",
         0},
        {"hardware adapter and WARP refusing the device",
         [](WorkingDirectory&) {},
         {{"STANDIN_REFUSE_DEVICE", "all"}},
         "Error: D3D12CreateDevice\\(warpAdapter, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS\\(&device\\)\\)",
         1},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingDirectory directory;
        c.arrange(directory);
        ProgramRun run = runProgram(c.controls, directory.path());
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output << run.errors;
        expectStartLines(run);
        // The four start lines, then the failure's line and nothing else.
        ASSERT_EQ(run.lines.size(), 5u) << run.output;
        EXPECT_TRUE(std::regex_match(run.lines.back(), std::regex(c.lastLine))) << run.output;
        EXPECT_EQ(run.output.find("Press any key"), std::string::npos) << "\"pause\" waited for a key";
        expectCleanSummary(run, 0);
        EXPECT_FALSE(std::filesystem::exists(directory.path() / "imgui.ini"));
    }
}

// The real compiler's message, as it prints it, is the program's whole report.
TEST(FailurePathTest, AShaderThatDoesNotCompileStopsWithTheCompilersMessage) {
    if (!standin::realShaderCompilerFound())
        GTEST_SKIP() << "no real shader compiler in this build";
    WorkingDirectory directory;
    std::string post = readCheckoutFile("src/Shaders/Post.hlsl");
    const size_t returnAt = post.rfind("return ");
    ASSERT_NE(returnAt, std::string::npos);
    post.replace(returnAt, 6, "retrun");
    directory.replace("src/Shaders/Post.hlsl", post);

    ProgramRun run = runProgram({}, directory.path());
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    expectStartLines(run);
    EXPECT_TRUE(std::regex_search(
        run.output, std::regex("src/Shaders/Post\\.hlsl:[0-9]+:[0-9]+: error: use of undeclared identifier "
                               "'retrun'")))
        << run.output;
    EXPECT_EQ(run.output.find("Error: "), std::string::npos) << "not the reporting path";
    expectCleanSummary(run, 0);
}

// Without a hardware adapter that makes the device, the program runs on WARP without a word.
TEST(FailurePathTest, AHardwareAdapterRefusingTheDeviceLeavesTheSessionOnWarp) {
    WorkingDirectory directory;
    ProgramRun run =
        runProgram({{"STANDIN_REFUSE_DEVICE", "hardware"}, {"STANDIN_FRAMES", "10"}}, directory.path());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    EXPECT_EQ(run.lines.size(), 4u) << run.output;
    expectCleanSummary(run, 10);
}

} // namespace
