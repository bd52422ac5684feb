// The stand-in compiler's command-line tool, which a build without a real compiler uses to embed compiled
// programs.
#include <dxcapi.h>

#include "standin/Dxc.h"
#include "support/TempDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs the tool with a command-line tail; returns its exit code and what it wrote to standard error.
int runTool(const std::string& arguments, const TempDirectory& files, std::string* errors) {
    std::string command = std::string(LANTERN_BINARY_DIR) + "/platform/standin_dxc " + arguments + " 2> " +
                          (files.path() / "stderr.txt").string();
    int status = std::system(command.c_str());
    *errors = readFile(files.path() / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The same compile in-process, through IDxcCompiler3, with the stand-in's own compiler as the tool has.
std::string compileInProcess(const std::string& path, const wchar_t* entry, const wchar_t* target) {
    standin::StandinCompilerScope standinCompiler;
    IDxcUtils* utils = nullptr;
    IDxcCompiler3* compiler = nullptr;
    IDxcIncludeHandler* handler = nullptr;
    IDxcBlobEncoding* source = nullptr;
    IDxcResult* result = nullptr;
    IDxcBlob* object = nullptr;
    std::wstring name(path.begin(), path.end());
    EXPECT_EQ(DxcCreateInstance(CLSID_DxcUtils, IID_PPV_ARGS(&utils)), S_OK);
    EXPECT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler)), S_OK);
    EXPECT_EQ(utils->CreateDefaultIncludeHandler(&handler), S_OK);
    EXPECT_EQ(utils->LoadFile(name.c_str(), nullptr, &source), S_OK);
    DxcBuffer buffer{source->GetBufferPointer(), source->GetBufferSize(), DXC_CP_ACP};
    LPCWSTR arguments[] = {L"-T", target, L"-E", entry, name.c_str()};
    EXPECT_EQ(compiler->Compile(&buffer, arguments, 5, handler, IID_PPV_ARGS(&result)), S_OK);
    EXPECT_EQ(result->GetOutput(DXC_OUT_OBJECT, IID_PPV_ARGS(&object), nullptr), S_OK);
    std::string bytes(static_cast<const char*>(object->GetBufferPointer()), object->GetBufferSize());
    for (IUnknown* done : std::initializer_list<IUnknown*>{object, result, source, handler, compiler, utils})
        done->Release();
    return bytes;
}

TEST(DxcToolTest, WritesTheSameContainerAsTheInProcessCompile) {
    TempDirectory files;
    std::string source = files.write("shaders/Filter.hlsl", "#include \"Common.hlsli\"\n").string();
    files.write("shaders/Common.hlsli",
                "[numthreads(16, 16, 1)] void FilterCS(uint3 id : SV_DispatchThreadID) {}\n");
    std::string output = (files.path() / "Filter.cso").string();
    std::string errors;
    ASSERT_EQ(runTool("-T cs_6_0 -E FilterCS -Fo " + output + " " + source, files, &errors), 0) << errors;
    EXPECT_EQ(errors, "");
    EXPECT_EQ(readFile(output), compileInProcess(source, L"FilterCS", L"cs_6_0"));
}

TEST(DxcToolTest, FailsWithTheCompilerMessagesAndWritesNothing) {
    TempDirectory files;
    std::string source = files.write("Filter.hlsl", "void Other() {}\n").string();
    std::string output = (files.path() / "Filter.cso").string();
    std::string errors;
    EXPECT_EQ(runTool("-T cs_6_0 -E FilterCS -Fo " + output + " " + source, files, &errors), 1);
    EXPECT_EQ(errors, source + ":1:1: error: missing entry point definition 'FilterCS'\n");
    EXPECT_FALSE(std::filesystem::exists(output));

    EXPECT_EQ(runTool("-T cs_6_0 -E FilterCS " + (files.path() / "Absent.hlsl").string(), files, &errors), 1);
    EXPECT_THAT(errors, testing::HasSubstr("cannot read"));
}

} // namespace
