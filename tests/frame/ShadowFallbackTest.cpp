// Frames without the shadow stage: a scene file without a default scene (so no top-level structure), and a
// ray-tracing library without "Miss". Each case starts the program in a child process (a death test), in a
// directory of its own that links the sample's data and shader sources with the one change, and renders
// frames there.
#include "frame/FrameFixture.h"

#include "raytracing/RaytracingPipeline.h"
#include "raytracing/ShadowMaps.h"
#include "renderer/Logging.h"
#include "renderer/Renderer.h"
#include "support/ProgramEnd.h"
#include "support/TempDirectory.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

namespace fs = std::filesystem;

namespace {

// Links every entry of a folder of the source tree into the same folder below the directory.
void linkFolder(const TempDirectory& directory, const fs::path& folder) {
    fs::create_directories(directory.path() / folder);
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(LANTERN_SOURCE_DIR) / folder))
        fs::create_symlink(entry.path(), directory.path() / folder / entry.path().filename());
}

// The sample's scene, textures, music and shader sources, with one file then replaced by the case.
void mirrorSample(const TempDirectory& directory) {
    linkFolder(directory, "data/Tavern");
    fs::create_symlink(fs::path(LANTERN_SOURCE_DIR) / "data/music.wav", directory.path() / "data/music.wav");
    linkFolder(directory, "src/Shaders");
}

void replace(const TempDirectory& directory, const std::string& file, const std::string& contents) {
    fs::remove(directory.path() / file);
    directory.write(file, contents);
}

// In the child: starts the program in the directory, renders three frames and reports on standard error
// what they recorded and what the "RAYTRACER" logger said, then exits with 0.
[[noreturn]] void renderFramesIn(const fs::path& directory) {
    fs::current_path(directory);
    if (!coreLogger)
        initLogging();
    standin::resetGpu();
    ProgramEndGuard guard;
    testing::internal::CaptureStdout();
    bool started = false;
    try {
        started = initialize();
        if (started)
            renderFrames(3);
    } catch (const ProgramEnded& ended) {
        std::fprintf(stderr, "the program ended with code %d\n", ended.exitCode);
    }
    standin::waitForGpuIdle();
    const std::string output = testing::internal::GetCapturedStdout();
    int postPasses = 0, rays = 0, denoise = 0, litClears = 0;
    for (const standin::Submission& submission : standin::submissions())
        for (const standin::RecordedCommand& command : submission.commands) {
            rays += command.kind == standin::CommandKind::DispatchRays;
            denoise +=
                command.kind == standin::CommandKind::Dispatch && command.state.pipeline == denoisePipeline;
            litClears += command.kind == standin::CommandKind::ClearUnorderedAccessView &&
                         command.destination == shadowMap && command.color[0] == 1.0f;
            postPasses += command.kind == standin::CommandKind::DrawInstanced;
        }
    const std::vector<uint8_t> texels = standin::readResource(shadowMap);
    const bool lit =
        !texels.empty() && std::all_of(texels.begin(), texels.end(), [](uint8_t v) { return v == 255; });
    std::smatch line;
    std::regex_search(output, line, std::regex("RAYTRACER: ([^\n]*)"));
    std::fprintf(stderr,
                 "started %d, post passes %d, rays %d, denoise %d, lit clears %d, lit %d, findings %zu\n",
                 started, postPasses, rays, denoise, litClears, lit, standin::validationErrorCount());
    std::fprintf(stderr, "said: %s\n", line.size() > 1 ? std::string(line[1]).c_str() : "nothing");
    for (const std::string& finding : standin::validationErrors())
        std::fprintf(stderr, "finding: %s\n", finding.c_str());
    std::_Exit(0);
}

class ShadowFallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        mirrorSample(directory);
    }

    const std::string framesWithoutShadows =
        "started 1, post passes 3, rays 0, denoise 0, lit clears 3, lit 1, findings 0\n";
    TempDirectory directory;
};

} // namespace

TEST_F(ShadowFallbackTest, ASceneWithoutADefaultSceneRendersFramesWithAFullyLitShadowMap) {
    std::ifstream file(fs::path(LANTERN_SOURCE_DIR) / "data/Tavern/scene.gltf");
    nlohmann::ordered_json scene = nlohmann::ordered_json::parse(file);
    ASSERT_TRUE(scene.contains("scenes"));
    scene.erase("scene");
    scene.erase("scenes");
    replace(directory, "data/Tavern/scene.gltf", scene.dump());
    EXPECT_EXIT(renderFramesIn(directory.path()), testing::ExitedWithCode(0),
                framesWithoutShadows +
                    "said: Ray-traced shadows are off: the scene has no top-level acceleration structure\n");
}

TEST_F(ShadowFallbackTest, ALibraryWithoutMissRendersFramesWithAFullyLitShadowMap) {
    std::ifstream file(fs::path(LANTERN_SOURCE_DIR) / "src/Shaders/Raytracing.hlsl");
    std::string library((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Everything from the miss shader's attribute on goes.
    const size_t miss = library.find("[shader(\"miss\")]");
    ASSERT_NE(miss, std::string::npos);
    replace(directory, "src/Shaders/Raytracing.hlsl", library.substr(0, miss));
    EXPECT_EXIT(renderFramesIn(directory.path()), testing::ExitedWithCode(0),
                framesWithoutShadows +
                    "said: Ray-traced shadows are off: the ray-tracing library does not export \"Miss\"\n");
}
