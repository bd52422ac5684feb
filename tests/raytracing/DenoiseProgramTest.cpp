// The denoise program embedded at build time.
#include "raytracing/DenoiseProgram.h"

#include <dxcapi.h>

#include "standin/Dxc.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace {

const char* denoiseSource = "src/raytracing/Denoise.hlsl";

TEST(DenoiseProgramTest, EmbeddedProgramIsTheComputeEntryOfTheCurrentSource) {
    standin::StandinBytecode embedded;
    ASSERT_TRUE(standin::parseStandinBytecode(DenoiseCS, DenoiseCSSize, &embedded));
    EXPECT_EQ(embedded.stage, "cs");
    EXPECT_EQ(embedded.entry, "DenoiseCS");
    EXPECT_EQ(embedded.exports, std::vector<std::string>{"DenoiseCS"});

    // Compiled again now, the source (with the filter it includes) gives the same container: the embedding
    // is not stale.
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
}

// The shared ray-tracing root signature gives the program only its u0 and t1 tables; the stand-in compiler
// cannot check bindings, so the source is read for them.
TEST(DenoiseProgramTest, SourceBindsOnlyTheTwoTablesOfTheRootSignature) {
    std::ifstream file(denoiseSource);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    std::smatch match;
    std::vector<std::string> registers;
    for (std::string rest = text; std::regex_search(rest, match, std::regex(R"(register\((\w+))"));
         rest = match.suffix())
        registers.push_back(match[1]);
    EXPECT_EQ(registers, (std::vector<std::string>{"t1", "u0"}));
    EXPECT_NE(text.find("[numthreads(16, 16, 1)]"), std::string::npos);
}

} // namespace
