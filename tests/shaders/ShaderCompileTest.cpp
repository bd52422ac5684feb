// Every entry point of every HLSL source compiles with the real compiler, exactly as the program and its
// build compile it, without an error or a warning.
#include "RealCompile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

using namespace real_compile;

namespace {

const wchar_t* const RAYTRACING_LIBRARY = L"src/Shaders/Raytracing.hlsl";
const wchar_t* const DENOISE_SOURCE = L"src/raytracing/Denoise.hlsl";

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST(ShaderCompile, EveryStageOfThePassSourcesCompilesCleanly) {
    SKIP_WITHOUT_REAL_COMPILER();
    for (const StageCompile& stage : passStages()) {
        SCOPED_TRACE(narrow(stage.file) + " " + narrow(stage.entryPoint));
        Compiled compiled = compileStage(stage.file, stage.entryPoint, stage.target);
        EXPECT_EQ(compiled.status, S_OK);
        EXPECT_EQ(compiled.messages, "");
        standin::ShaderReflection reflection = compiled.reflection();
        ASSERT_TRUE(reflection.valid);
        // The DXIL is of the stage its target names ("as_6_7": "as").
        EXPECT_EQ(reflection.entries.front().stage, narrow(stage.target).substr(0, 2));
    }
}

TEST(ShaderCompile, TheRaytracingLibraryCompilesCleanlyWithItsSevenArgumentsAndExportsItsTwoShaders) {
    SKIP_WITHOUT_REAL_COMPILER();
    Compiled compiled = compileWithArguments(RAYTRACING_LIBRARY, raytracingLibraryArguments());
    EXPECT_EQ(compiled.status, S_OK);
    EXPECT_EQ(compiled.messages, "");
    standin::ShaderReflection reflection = compiled.reflection();
    ASSERT_TRUE(reflection.valid);
    EXPECT_TRUE(reflection.library);
    std::set<std::string> exports;
    for (const standin::ShaderEntry& entry : reflection.entries)
        exports.insert(entry.name + ":" + entry.stage);
    EXPECT_EQ(exports, (std::set<std::string>{"Miss:miss", "RayGeneration:raygeneration"}));
}

// As cmake/DenoiseProgram.cmake compiles it into the program.
TEST(ShaderCompile, TheDenoiseProgramCompilesCleanlyAsTheBuildStepCompilesIt) {
    SKIP_WITHOUT_REAL_COMPILER();
    Compiled compiled =
        compileWithArguments(DENOISE_SOURCE, {L"-T", L"cs_6_0", L"-E", L"DenoiseCS", DENOISE_SOURCE});
    EXPECT_EQ(compiled.status, S_OK);
    EXPECT_EQ(compiled.messages, "");
    EXPECT_FALSE(compiled.object.empty());
}

// A new source, or one moved, must join the compiles above.
TEST(ShaderCompile, TheTestsAboveCoverEveryHlslSource) {
    std::set<std::string> covered = {narrow(RAYTRACING_LIBRARY), narrow(DENOISE_SOURCE)};
    for (const StageCompile& stage : passStages())
        covered.insert(narrow(stage.file));
    std::set<std::string> sources;
    for (const char* folder : {"src/Shaders", "src/raytracing"})
        for (const auto& file : std::filesystem::directory_iterator(folder))
            if (file.path().extension() == ".hlsl")
                sources.insert(file.path().generic_string());
    EXPECT_EQ(sources, covered);
}

} // namespace
