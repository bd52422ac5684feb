// A shader that does not compile reaches the program's own error path with the real compiler's message.
#include "RealCompile.h"

#include "core/Shader.h"
#include "support/ProgramEnd.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

namespace {

// A fixture, not a product file: the compute stage uses a texture it never declares.
constexpr const char* brokenShader = R"(// Shading pass with an undeclared target.
[numthreads(8, 8, 1)]
void ComputeMain(uint3 id : SV_DispatchThreadID) {
    undeclaredTarget[id.xy] = 1.0;
}
)";

TEST(CompileError, TheRealCompilersMessageGoesThroughTheProgramsErrorPath) {
    SKIP_WITHOUT_REAL_COMPILER();
    ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&hlslCompiler)), S_OK);
    ASSERT_EQ(DxcCreateInstance(CLSID_DxcLibrary, IID_PPV_ARGS(&hlslLibrary)), S_OK);
    ASSERT_EQ(hlslLibrary->CreateIncludeHandler(&hlslIncludeHandler), S_OK);
    TempDirectory files;
    std::string path = files.write("Shading.hlsl", brokenShader).string();
    std::wstring fileName(path.begin(), path.end());

    int exitCode = -1;
    std::vector<std::string> commandLines;
    testing::internal::CaptureStdout();
    {
        ProgramEndGuard guard;
        try {
            compileShader(fileName.c_str(), SHADER_STAGE_COMPUTE);
        } catch (const ProgramEnded& ended) {
            exitCode = ended.exitCode;
        }
        commandLines = ProgramEndGuard::commandLines();
    }
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(commandLines, std::vector<std::string>{"pause"});
    // The compiler's own text, with the place of the error and the offending line, then the newline the
    // program adds.
    EXPECT_EQ(output.rfind(path + ":4:5: error: use of undeclared identifier 'undeclaredTarget'\n", 0), 0u)
        << output;
    EXPECT_NE(output.find("    undeclaredTarget[id.xy] = 1.0;\n"), std::string::npos) << output;
    EXPECT_EQ(output, real_compile::compileStage(fileName, L"ComputeMain", L"cs_6_7").messages + "\n");

    for (IUnknown** object :
         {reinterpret_cast<IUnknown**>(&hlslIncludeHandler), reinterpret_cast<IUnknown**>(&hlslLibrary),
          reinterpret_cast<IUnknown**>(&hlslCompiler)}) {
        (*object)->Release();
        *object = nullptr;
    }
}

} // namespace
