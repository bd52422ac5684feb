// Stage compilation of one HLSL file against the stand-in compiler.
#include "core/Shader.h"

#include "standin/Dxc.h"
#include "support/ProgramEnd.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* allStages = R"(
#include "Shared.hlsli"
void VertexMain() { }
[numthreads(32, 1, 1)] void AmplificationMain() { }
[outputtopology("triangle")] [numthreads(128, 1, 1)] void MeshMain() { }
float4 PixelMain() : SV_Target0 { return 0; }
[numthreads(8, 8, 1)] void ComputeMain(uint3 id : SV_DispatchThreadID) { }
)";

constexpr const char* noMeshEntry = R"(
void AmplificationMain() { }
// MeshMain is missing.
float4 PixelMain() : SV_Target0 { return 0; }
)";

class ShaderTest : public testing::Test {
protected:
    // The compile paths are tested against the stand-in's own compiler and its messages; the real compiler's
    // reach the same path in tests/shaders.
    standin::StandinCompilerScope standinCompiler;

    void SetUp() override {
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&hlslCompiler)), S_OK);
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcLibrary, IID_PPV_ARGS(&hlslLibrary)), S_OK);
        ASSERT_EQ(hlslLibrary->CreateIncludeHandler(&hlslIncludeHandler), S_OK);
        files.write("Shared.hlsli", "struct Vertex { float3 position; };\n");
        standin::clearDxcCompiles();
    }
    void TearDown() override {
        hlslIncludeHandler->Release();
        hlslLibrary->Release();
        hlslCompiler->Release();
        hlslIncludeHandler = nullptr;
        hlslLibrary = nullptr;
        hlslCompiler = nullptr;
    }

    std::wstring write(const std::string& name, const char* source) {
        std::string path = files.write(name, source).string();
        return std::wstring(path.begin(), path.end());
    }

    // Runs a compile that must end the program; returns the exit code and what it printed.
    int compileUntilEnd(const std::wstring& fileName, uint8_t stages, std::string* output) {
        ProgramEndGuard guard;
        testing::internal::CaptureStdout();
        int exitCode = -1;
        try {
            compileShader(fileName.c_str(), stages);
        } catch (const ProgramEnded& ended) {
            exitCode = ended.exitCode;
        }
        *output = testing::internal::GetCapturedStdout();
        commandLines = ProgramEndGuard::commandLines();
        return exitCode;
    }

    TempDirectory files;
    std::vector<std::string> commandLines;
};

std::string stageOf(IDxcBlob* blob) {
    standin::StandinBytecode bytecode;
    if (!standin::parseStandinBytecode(blob->GetBufferPointer(), blob->GetBufferSize(), &bytecode))
        return "not a container";
    return bytecode.stage + ":" + bytecode.entry;
}

TEST_F(ShaderTest, MaskSelectsExactlyItsStagesInBitOrder) {
    std::wstring fileName = write("All.hlsl", allStages);
    struct Case {
        uint8_t mask;
        std::vector<std::string> blobs; // vs, as, ms, ps, cs: "stage:entry" or "" for none
    } cases[] = {
        {0, {"", "", "", "", ""}},
        {14, {"", "as:AmplificationMain", "ms:MeshMain", "ps:PixelMain", ""}},
        {9, {"vs:VertexMain", "", "", "ps:PixelMain", ""}},
        {16, {"", "", "", "", "cs:ComputeMain"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.mask));
        standin::clearDxcCompiles();
        Shader shader = compileShader(fileName.c_str(), c.mask);
        EXPECT_EQ(shader.fileName, fileName.c_str());
        EXPECT_EQ(shader.stages, c.mask);

        std::vector<std::string> blobs, expectedTargets, targets;
        for (IDxcBlob* blob : {shader.vsBlob, shader.asBlob, shader.msBlob, shader.psBlob, shader.csBlob})
            blobs.push_back(blob ? stageOf(blob) : "");
        EXPECT_EQ(blobs, c.blobs);

        for (const std::string& blob : c.blobs)
            if (!blob.empty())
                expectedTargets.push_back(blob.substr(0, 2) + "_6_7");
        for (const standin::DxcCompileRecord& compile : standin::dxcCompiles()) {
            targets.emplace_back(compile.targetProfile.begin(), compile.targetProfile.end());
            // One argument, "-O3": no debug information, no warnings as errors, no defines.
            EXPECT_EQ(compile.arguments, std::vector<std::wstring>{L"-O3"});
            EXPECT_TRUE(compile.defines.empty());
            EXPECT_EQ(compile.sourceName, fileName);
            EXPECT_EQ(compile.includeHandler, hlslIncludeHandler);
        }
        EXPECT_EQ(targets, expectedTargets);
        releaseShader(shader);
    }
}

TEST_F(ShaderTest, CompileErrorInTheMeshStageEndsBeforeThePixelStage) {
    std::wstring fileName = write("Geometry.hlsl", noMeshEntry);
    std::string output;
    EXPECT_EQ(compileUntilEnd(fileName, 14, &output), 1);

    std::string path(fileName.begin(), fileName.end());
    EXPECT_EQ(output, path + ":1:1: error: missing entry point definition 'MeshMain'\n\n");
    EXPECT_EQ(commandLines, std::vector<std::string>{"pause"});
    std::vector<std::wstring> tried;
    for (const standin::DxcCompileRecord& compile : standin::dxcCompiles())
        tried.push_back(compile.targetProfile);
    EXPECT_EQ(tried, (std::vector<std::wstring>{L"as_6_7", L"ms_6_7"}));
}

TEST_F(ShaderTest, UnreadableFileTakesTheReportingPathWhateverTheMask) {
    std::wstring fileName = (files.path() / "Absent.hlsl").wstring();
    for (uint8_t mask : {0, 14}) {
        SCOPED_TRACE(int(mask));
        std::string output;
        EXPECT_EQ(compileUntilEnd(fileName, mask, &output), 1);
        EXPECT_EQ(output, "Error: hlslLibrary->CreateBlobFromFile(fileName, 0, &sourceBlob)\n");
        EXPECT_EQ(commandLines, std::vector<std::string>{"pause"});
        EXPECT_TRUE(standin::dxcCompiles().empty());
    }
}

TEST_F(ShaderTest, FailedCompileCallTakesTheReportingPath) {
    std::wstring fileName = write("All.hlsl", allStages);
    standin::failNextDxcCompile(E_OUTOFMEMORY);
    std::string output;
    EXPECT_EQ(compileUntilEnd(fileName, 16, &output), 1);
    EXPECT_EQ(output, "Error: hlslCompiler->Compile(...)\n");
}

// A compiler whose every result has the scripted status, bytecode call result and error buffer, for the
// paths the stand-in compiler never takes. The test owns every object; references are not counted.
template <class Interface> struct Unowned : Interface {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

struct ScriptedErrors final : Unowned<IDxcBlobEncoding> {
    std::string bytes;
    size_t size = 0; // may be shorter than bytes: the buffer need not end with a NUL
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes.data(); }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return size; }
    HRESULT STDMETHODCALLTYPE GetEncoding(BOOL*, UINT32*) override { return E_NOTIMPL; }
};

struct ScriptedResult final : Unowned<IDxcOperationResult> {
    HRESULT status = S_OK;
    HRESULT getResult = S_OK;
    IDxcBlobEncoding* errors = nullptr;
    HRESULT STDMETHODCALLTYPE GetStatus(HRESULT* result) override {
        *result = status;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResult(IDxcBlob** blob) override {
        *blob = nullptr;
        return getResult;
    }
    HRESULT STDMETHODCALLTYPE GetErrorBuffer(IDxcBlobEncoding** buffer) override {
        *buffer = errors;
        return S_OK;
    }
};

struct ScriptedCompiler final : Unowned<IDxcCompiler> {
    ScriptedResult result;
    HRESULT STDMETHODCALLTYPE Compile(IDxcBlob*, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR*, UINT32,
                                      const DxcDefine*, UINT32, IDxcIncludeHandler*,
                                      IDxcOperationResult** out) override {
        *out = &result;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Preprocess(IDxcBlob*, LPCWSTR, LPCWSTR*, UINT32, const DxcDefine*, UINT32,
                                         IDxcIncludeHandler*, IDxcOperationResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Disassemble(IDxcBlob*, IDxcBlobEncoding**) override { return E_NOTIMPL; }
};

class ScriptedShaderTest : public ShaderTest {
protected:
    void SetUp() override {
        ShaderTest::SetUp();
        realCompiler = hlslCompiler;
        hlslCompiler = &scripted;
        fileName = write("All.hlsl", allStages);
    }
    void TearDown() override {
        hlslCompiler = realCompiler;
        ShaderTest::TearDown();
    }

    ScriptedCompiler scripted;
    IDxcCompiler* realCompiler = nullptr;
    std::wstring fileName;
};

TEST_F(ScriptedShaderTest, AStageWhoseBytecodeCannotBeFetchedIsReportedWithItsOwnCallText) {
    scripted.result.getResult = E_OUTOFMEMORY;
    const std::pair<uint8_t, const char*> stages[] = {
        {SHADER_STAGE_VERTEX, "vsBlob"},  {SHADER_STAGE_AMPLIFICATION, "asBlob"},
        {SHADER_STAGE_MESH, "msBlob"},    {SHADER_STAGE_PIXEL, "psBlob"},
        {SHADER_STAGE_COMPUTE, "csBlob"},
    };
    for (const auto& [stage, field] : stages) {
        SCOPED_TRACE(field);
        std::string output;
        EXPECT_EQ(compileUntilEnd(fileName, stage, &output), 1);
        EXPECT_EQ(output, std::string("Error: resultBlob->GetResult(&shader->") + field + ")\n");
    }
}

// The compiler's messages are printed by their size, and a missing buffer prints an empty line; either way
// "pause" runs and the program ends with code 1.
TEST_F(ScriptedShaderTest, CompileErrorMessagesArePrintedByTheirSizeOrAsAnEmptyLine) {
    ScriptedErrors unterminated;
    unterminated.bytes = "error: bad thing AND MORE";
    unterminated.size = 16;
    for (IDxcBlobEncoding* errors :
         {static_cast<IDxcBlobEncoding*>(&unterminated), static_cast<IDxcBlobEncoding*>(nullptr)}) {
        SCOPED_TRACE(errors ? "unterminated" : "missing");
        scripted.result.status = E_FAIL;
        scripted.result.errors = errors;
        std::string output;
        EXPECT_EQ(compileUntilEnd(fileName, SHADER_STAGE_PIXEL, &output), 1);
        EXPECT_EQ(output, errors ? "error: bad thing\n" : "\n");
        EXPECT_EQ(commandLines, std::vector<std::string>{"pause"});
    }
}

TEST_F(ShaderTest, ReleaseShaderDropsTheRecordsReferencesAndKeepsTheFields) {
    std::wstring fileName = write("All.hlsl", allStages);
    Shader shader = compileShader(fileName.c_str(), 9);
    IDxcBlob* vertex = shader.vsBlob;
    EXPECT_EQ(vertex->AddRef(), 2u); // the record holds the only other reference
    releaseShader(shader);
    EXPECT_EQ(shader.vsBlob, vertex);
    EXPECT_EQ(vertex->Release(), 0u);
}

} // namespace
