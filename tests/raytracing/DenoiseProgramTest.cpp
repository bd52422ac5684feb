// The denoise program embedded at build time.
#include "raytracing/DenoiseProgram.h"

#include <windows.h>
#include <directx/d3d12.h>
#include <dxcapi.h>

#include "standin/Dxc.h"
#include "standin/ShaderReflection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Compiled again now as the build step compiles it, the source (with the filter it includes) gives the same
// container: the embedding is not stale, and the build used the compiler the stand-in uses (the real one
// where the build found one).
TEST(DenoiseProgramTest, EmbeddedProgramIsTheCurrentSourceAsTheBuildCompilesIt) {
    IDxcUtils* utils = nullptr;
    IDxcCompiler3* compiler = nullptr;
    IDxcBlobEncoding* source = nullptr;
    IDxcIncludeHandler* includeHandler = nullptr;
    IDxcResult* result = nullptr;
    IDxcBlob* object = nullptr;
    ASSERT_EQ(DxcCreateInstance(CLSID_DxcUtils, IID_PPV_ARGS(&utils)), S_OK);
    ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler)), S_OK);
    ASSERT_EQ(utils->CreateDefaultIncludeHandler(&includeHandler), S_OK);
    ASSERT_EQ(utils->LoadFile(L"src/raytracing/Denoise.hlsl", nullptr, &source), S_OK);
    DxcBuffer buffer{source->GetBufferPointer(), source->GetBufferSize(), DXC_CP_ACP};
    LPCWSTR arguments[] = {L"-T", L"cs_6_0", L"-E", L"DenoiseCS", L"src/raytracing/Denoise.hlsl"};
    ASSERT_EQ(compiler->Compile(&buffer, arguments, 5, includeHandler, IID_PPV_ARGS(&result)), S_OK);
    ASSERT_EQ(result->GetOutput(DXC_OUT_OBJECT, IID_PPV_ARGS(&object), nullptr), S_OK);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(object->GetBufferPointer()), object->GetBufferSize()),
              std::string(reinterpret_cast<const char*>(DenoiseCS), DenoiseCSSize));
    for (IUnknown* done :
         std::initializer_list<IUnknown*>{object, result, source, includeHandler, compiler, utils})
        done->Release();

    standin::StandinBytecode embedded;
    if (standin::parseStandinBytecode(DenoiseCS, DenoiseCSSize, &embedded)) {
        EXPECT_FALSE(standin::realShaderCompilerFound());
        EXPECT_EQ(embedded.stage, "cs");
        EXPECT_EQ(embedded.entry, "DenoiseCS");
    } else {
        EXPECT_TRUE(standin::realShaderCompilerFound())
            << "the embedded program is neither kind of container";
    }
}

// The shared ray-tracing root signature gives the program only its u0 and t1 tables; it runs 16 x 16 threads
// per group, as the dispatch's group count assumes, and has no signatures.
TEST(DenoiseProgramTest, EmbeddedProgramReadsOnlyTheTwoTablesOfTheSharedRootSignature) {
    if (!standin::realShaderCompilerFound())
        GTEST_SKIP() << "no real shader compiler to read the program's DXIL with";
    standin::ShaderReflection reflection = standin::reflectShader(DenoiseCS, DenoiseCSSize);
    ASSERT_TRUE(reflection.valid);
    ASSERT_EQ(reflection.entries.size(), 1u);
    const standin::ShaderEntry& program = reflection.entries[0];
    EXPECT_EQ(program.stage, "cs");
    EXPECT_EQ(std::vector<uint32_t>(program.threadGroup, program.threadGroup + 3),
              (std::vector<uint32_t>{16, 16, 1}));
    EXPECT_TRUE(program.inputs.empty());
    EXPECT_TRUE(program.outputs.empty());
    EXPECT_TRUE(program.constantBuffers.empty());
    EXPECT_FALSE(program.indexesResourceHeap);
    std::vector<std::string> bindings;
    for (const standin::ShaderBinding& binding : program.bindings)
        bindings.push_back((binding.kind == standin::BindingKind::ShaderResource ? "t" : "u") +
                           std::to_string(binding.registerIndex) + " space " + std::to_string(binding.space) +
                           (binding.dimension == D3D_SRV_DIMENSION_TEXTURE2D ? " 2D" : " not 2D"));
    std::sort(bindings.begin(), bindings.end());
    EXPECT_EQ(bindings, (std::vector<std::string>{"t1 space 0 2D", "u0 space 0 2D"}));
}

} // namespace
