// The stand-in compiler's preprocessor: only the lines the compiler would compile count for includes, entry
// points and exports; directive errors read as the compiler's; the program's own shaders compile.
#include "dxc/DxcFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dxc_test;

namespace {

using DxcPreprocessorTest = DxcFixture;

const char* const missingMain = "missing entry point definition 'main'";

TEST_F(DxcPreprocessorTest, OnlyActiveBlocksCountForIncludesAndEntryPoints) {
    files.write("Guarded.hlsli", "#ifndef GUARDED_HLSLI\n#define GUARDED_HLSLI\n#ifdef GUARDED_READ\n"
                                 "#error Guarded.hlsli read twice\n#endif\n#define GUARDED_READ\n#endif\n");
    files.write("Unguarded.hlsli",
                "#ifdef UNGUARDED_READ\n#error Unguarded.hlsli read twice\n#endif\n#define UNGUARDED_READ\n");
    struct Case {
        const char* source;
        std::vector<std::wstring> arguments; // besides the source name and "-T cs_6_7"
        const char* error;                   // null when the compile succeeds
    } cases[] = {
        {"#if 0\nvoid main() { }\n#endif\n", {}, missingMain},
        {"#ifdef __cplusplus\n#include <cstdint>\n#include \"core/MathTypes.h\"\nnamespace gpu {\n#else\n"
         "void main() { }\n#endif\n",
         {},
         nullptr},
        {"#ifdef __cplusplus\nvoid main() { }\n#endif\n", {}, missingMain},
        {"#define A\n#define B 0\n#if defined(A) && !B\nvoid main() { }\n#endif\n", {}, nullptr},
        {"#define A\n#define B 1\n#if defined(A) && !B\nvoid main() { }\n#endif\n", {}, missingMain},
        {"#if defined B || (defined A && 1)\nvoid main() { }\n#endif\n", {}, missingMain},
        // A later #elif is not evaluated once a branch is chosen.
        {"#define LEVEL 2\n#if LEVEL == 1\n#error level 1\n#elif LEVEL == 2\nvoid main() { }\n#elif 1 / 0\n"
         "#else\n#error other level\n#endif\n",
         {},
         nullptr},
        {"#ifdef UNDEFINED\n#if 1\n#else\nvoid main() { }\n#endif\n#endif\n", {}, missingMain},
        {"#ifndef UNDEFINED\n#if 0\n#error inner\n#else\nvoid main() { }\n#endif\n#endif\n", {}, nullptr},
        {"#define ONE 1\n#define ENABLED ONE\n#if ENABLED && !UNDEFINED_NAME\nvoid main() { }\n#endif\n",
         {},
         nullptr},
        {"#define SELF SELF\n#if SELF\n#error self\n#endif\nvoid main() { }\n", {}, nullptr},
        {"#define A\n#undef A\n#ifdef A\nvoid main() { }\n#endif\n", {}, missingMain},
        {"#if defined(A) || \\\n    1\nvoid main() { }\n#endif\n", {}, nullptr},
        {"#if __HLSL_VERSION >= 2021 && __SHADER_TARGET_STAGE == __SHADER_STAGE_COMPUTE && \\\n"
         "    __SHADER_TARGET_MAJOR == 6 && __SHADER_TARGET_MINOR == 7\nvoid main() { }\n#endif\n",
         {},
         nullptr},
        {"#if 0\n#error never\n#include \"Absent.hlsli\"\n#endif\nvoid main() { }\n", {}, nullptr},
        {"#include \"Guarded.hlsli\"\n#include \"Guarded.hlsli\"\nvoid main() { }\n", {}, nullptr},
        {"#include \"Unguarded.hlsli\"\n#include \"Unguarded.hlsli\"\nvoid main() { }\n",
         {},
         "Unguarded.hlsli:2:2: error: Unguarded.hlsli read twice"},
        {"#if defined(FEATURE) && LEVEL == 3\nvoid main() { }\n#endif\n",
         {L"-D", L"FEATURE", L"-DLEVEL=3"},
         nullptr},
        {"#if defined(FEATURE) && LEVEL == 3\nvoid main() { }\n#endif\n", {L"-DFEATURE"}, missingMain},
        {"#ifdef EMPTY\nvoid main() { }\n#endif\n", {L"-DEMPTY="}, nullptr},
        {"void main() { }\n", {L"-D", L"1X"}, "<command line>:1:9: error: macro name must be an identifier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        files.write("shader.hlsl", c.source);
        std::vector<std::wstring> arguments = {wide(file("shader.hlsl")), L"-T", L"cs_6_7"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        Compiled compiled = compile3("shader.hlsl", arguments);
        EXPECT_EQ(compiled.status, c.error ? E_FAIL : S_OK);
        if (c.error)
            EXPECT_THAT(compiled.errors, testing::HasSubstr(c.error));
        else
            EXPECT_EQ(compiled.errors, "");
    }
}

TEST_F(DxcPreprocessorTest, DirectiveErrorsNameTheirPlaceAsTheCompilerDoes) {
    struct Case {
        const char* source;
        const char* error; // after the file name
    } cases[] = {
        {"void main() { }\n  #if 1\n", ":2:3: error: unterminated conditional directive"},
        {"void main() { }\n#endif\n", ":2:2: error: #endif without #if"},
        {"#elif 1\nvoid main() { }\n", ":1:2: error: #elif without #if"},
        {"#ifdef A\n#else\n#else\n#endif\nvoid main() { }\n", ":3:2: error: #else after #else"},
        {"#ifdef\n#endif\nvoid main() { }\n", ":1:7: error: macro name missing"},
        {"#if (1\n#endif\nvoid main() { }\n", ":1:7: error: expected ')' in preprocessor expression"},
        {"#if 2 3\n#endif\nvoid main() { }\n",
         ":1:7: error: token is not a valid binary operator in a preprocessor subexpression"},
        {"#if 1 / 0\n#endif\nvoid main() { }\n", ":1:7: error: division by zero in preprocessor expression"},
        {"#if 1.5\n#endif\nvoid main() { }\n", ":1:5: error: invalid suffix '.5' on integer constant"},
        {"#define F(x) x\n#if F(1)\n#endif\nvoid main() { }\n",
         ":2:5: error: the stand-in compiler does not expand function-like macro 'F' in a condition"},
        {"#ifndef __cplusplus\n#error HLSL only\n#endif\nvoid main() { }\n", ":2:2: error: HLSL only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        files.write("shader.hlsl", c.source);
        Compiled compiled = compile3("shader.hlsl", {wide(file("shader.hlsl")), L"-T", L"cs_6_7"});
        EXPECT_EQ(compiled.status, E_FAIL);
        EXPECT_FALSE(compiled.hasObject);
        EXPECT_EQ(compiled.errors, file("shader.hlsl") + c.error + "\n");
    }
}

TEST_F(DxcPreprocessorTest, TheStageCompilersDefinesEnableBlocks) {
    std::string path =
        files.write("shader.hlsl", "#if defined(FEATURE) && LEVEL == 3\nvoid main() { }\n#endif\n");
    Compiled enabled = compileStage(path, L"main", L"cs_6_7", {{L"FEATURE", nullptr}, {L"LEVEL", L"3"}});
    EXPECT_EQ(enabled.status, S_OK) << enabled.errors;
    Compiled disabled = compileStage(path, L"main", L"cs_6_7", {{L"FEATURE", nullptr}});
    EXPECT_EQ(disabled.status, E_FAIL);
    EXPECT_THAT(disabled.errors, testing::HasSubstr(missingMain));
}

TEST_F(DxcPreprocessorTest, LibraryExportsInDisabledBlocksAreNotExported) {
    files.write("library.hlsl", R"([shader("raygeneration")]
void RayGeneration() { }
#if 0
[shader("miss")]
void Miss() { }
#endif
#ifdef __cplusplus
[shader("miss")]
void HostMiss() { }
#endif
)");
    Compiled compiled = compile3("library.hlsl", {wide(file("library.hlsl")), L"-T", L"lib_6_3"});
    EXPECT_EQ(compiled.status, S_OK) << compiled.errors;
    EXPECT_EQ(compiled.bytecode.exports, std::vector<std::string>{"RayGeneration"});
}

// Every shader of the program, through the interface and with the arguments that the program (or, for the
// denoise program, the build) compiles it with.
TEST_F(DxcPreprocessorTest, EveryShaderOfTheProgramCompiles) {
    const std::string root = std::string(LANTERN_SOURCE_DIR) + "/";
    struct Stage {
        const char* file;
        const wchar_t* entry;
        const wchar_t* target;
        const char* stage;
    } stages[] = {
        {"src/Shaders/Geometry.hlsl", L"AmplificationMain", L"as_6_7", "as"},
        {"src/Shaders/Geometry.hlsl", L"MeshMain", L"ms_6_7", "ms"},
        {"src/Shaders/Geometry.hlsl", L"PixelMain", L"ps_6_7", "ps"},
        {"src/Shaders/Shading.hlsl", L"ComputeMain", L"cs_6_7", "cs"},
        {"src/Shaders/Post.hlsl", L"VertexMain", L"vs_6_7", "vs"},
        {"src/Shaders/Post.hlsl", L"PixelMain", L"ps_6_7", "ps"},
    };
    for (const Stage& s : stages) {
        std::string entry(s.entry, s.entry + std::wcslen(s.entry));
        SCOPED_TRACE(std::string(s.file) + " " + entry);
        Compiled compiled = compileStage(root + s.file, s.entry, s.target);
        EXPECT_EQ(compiled.status, S_OK);
        EXPECT_EQ(compiled.errors, "");
        EXPECT_EQ(compiled.bytecode.stage, s.stage);
        EXPECT_EQ(compiled.bytecode.exports, std::vector<std::string>{entry});
    }

    std::string library = root + "src/Shaders/Raytracing.hlsl";
    Compiled raytracing =
        compile3At(library, {wide(library), L"-E", L"main", L"-T", L"lib_6_3", L"-O3", L"-Qstrip_reflect"});
    EXPECT_EQ(raytracing.status, S_OK);
    EXPECT_EQ(raytracing.errors, "");
    EXPECT_EQ(raytracing.bytecode.stage, "lib");
    EXPECT_EQ(raytracing.bytecode.exports, (std::vector<std::string>{"RayGeneration", "Miss"}));

    std::string denoise = root + "src/raytracing/Denoise.hlsl";
    Compiled denoiseProgram = compile3At(denoise, {L"-T", L"cs_6_0", L"-E", L"DenoiseCS", wide(denoise)});
    EXPECT_EQ(denoiseProgram.status, S_OK);
    EXPECT_EQ(denoiseProgram.errors, "");
    EXPECT_EQ(denoiseProgram.bytecode.exports, std::vector<std::string>{"DenoiseCS"});
}

} // namespace
