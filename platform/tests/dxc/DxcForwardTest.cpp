// Where the build found a real compiler, the stand-in's compiler objects hand it every compile: the caller's
// include handler serves its includes, the defines and arguments reach it, its messages come back, and the
// compile log and injected failures work as with the stand-in's own compiler.
#include <dxcapi.h>

#include "standin/Dxc.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

template <class T> struct Ref {
    T* p = nullptr;
    ~Ref() {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

// Passes every request to the default handler and remembers the names asked for.
struct RecordingIncludeHandler final : IDxcIncludeHandler {
    IDxcIncludeHandler* inner = nullptr;
    std::vector<std::wstring> requests;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE LoadSource(LPCWSTR name, IDxcBlob** blob) override {
        requests.emplace_back(name);
        return inner->LoadSource(name, blob);
    }
};

// The tests that need the real compiler skip where its library does not load: a build that found one (CI
// always does) fails here instead of passing with every shader check skipped.
TEST(RealCompilerLoad, TheCompilerTheBuildFoundLoads) {
    if (!standin::realShaderCompilerBuilt())
        GTEST_SKIP() << "no real shader compiler in this build";
    EXPECT_TRUE(standin::realShaderCompilerFound())
        << "the library of the compiler the build found does not load";
}

class DxcForwardTest : public testing::Test {
protected:
    void SetUp() override {
        if (!standin::realShaderCompilerFound())
            GTEST_SKIP() << "no real shader compiler in this build";
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcLibrary, IID_PPV_ARGS(&library)), S_OK);
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler)), S_OK);
        ASSERT_EQ(library->CreateIncludeHandler(&handler.inner), S_OK);
        files.write("Colour.hlsli", "#define COLOUR float4(1, 0, 0, 1)\n");
        std::string path = files
                               .write("Pixel.hlsl", "#include \"Colour.hlsli\"\n"
                                                    "float4 PixelMain() : SV_Target {\n"
                                                    "#ifdef DARKER\n"
                                                    "    return COLOUR * DARKER;\n"
                                                    "#else\n"
                                                    "    return COLOUR * undefinedFactor;\n"
                                                    "#endif\n"
                                                    "}\n")
                               .string();
        fileName.assign(path.begin(), path.end());
        ASSERT_EQ(library->CreateBlobFromFile(fileName.c_str(), nullptr, &source), S_OK);
        standin::clearDxcCompiles();
    }
    void TearDown() override {
        if (handler.inner)
            handler.inner->Release();
    }

    // IDxcCompiler::Compile as the program's stage compiles call it, with defines.
    HRESULT compile(const std::vector<DxcDefine>& defines, HRESULT* status, std::string* messages,
                    std::string* object) {
        LPCWSTR arguments[] = {L"-O3"};
        Ref<IDxcOperationResult> result;
        HRESULT called = compiler->Compile(source.p, fileName.c_str(), L"PixelMain", L"ps_6_7", arguments, 1,
                                           defines.data(), UINT32(defines.size()), &handler, &result);
        if (called < 0)
            return called;
        result->GetStatus(status);
        Ref<IDxcBlobEncoding> errors;
        result->GetErrorBuffer(&errors);
        messages->assign(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
        Ref<IDxcBlob> blob;
        if (*status >= 0 && result->GetResult(&blob) >= 0 && blob.p)
            object->assign(static_cast<const char*>(blob->GetBufferPointer()), blob->GetBufferSize());
        return called;
    }

    TempDirectory files;
    std::wstring fileName;
    Ref<IDxcLibrary> library;
    Ref<IDxcCompiler> compiler;
    Ref<IDxcBlobEncoding> source;
    RecordingIncludeHandler handler;
};

TEST_F(DxcForwardTest, TheRealCompilerReadsIncludesThroughTheCallersHandlerAndTakesTheDefines) {
    HRESULT status = E_FAIL;
    std::string messages, object;
    ASSERT_EQ(compile({{L"DARKER", L"0.5"}}, &status, &messages, &object), S_OK);
    EXPECT_EQ(status, S_OK) << messages;
    ASSERT_GE(object.size(), 4u);
    EXPECT_EQ(object.substr(0, 4), "DXBC");
    ASSERT_EQ(handler.requests.size(), 1u);
    EXPECT_NE(handler.requests[0].find(L"Colour.hlsli"), std::wstring::npos);

    std::vector<standin::DxcCompileRecord> compiles = standin::dxcCompiles();
    ASSERT_EQ(compiles.size(), 1u);
    EXPECT_EQ(compiles[0].entryPoint, L"PixelMain");
    EXPECT_EQ(compiles[0].defines, std::vector<std::wstring>{L"DARKER=0.5"});
    EXPECT_EQ(compiles[0].status, S_OK);
}

TEST_F(DxcForwardTest, ACompileErrorComesBackAsTheRealCompilersMessage) {
    HRESULT status = S_OK;
    std::string messages, object;
    ASSERT_EQ(compile({}, &status, &messages, &object), S_OK);
    EXPECT_LT(status, 0);
    std::string path(fileName.begin(), fileName.end());
    EXPECT_NE(messages.find(path + ":6:21: error: use of undeclared identifier 'undefinedFactor'"),
              std::string::npos)
        << messages;
    EXPECT_TRUE(object.empty());
    ASSERT_EQ(standin::dxcCompiles().size(), 1u);
    EXPECT_EQ(standin::dxcCompiles()[0].status, status);
}

TEST_F(DxcForwardTest, InjectedFailuresAndTheStandinsOwnCompilerStillServeTests) {
    HRESULT status = S_OK;
    std::string messages, object;
    standin::failNextDxcCompile(E_OUTOFMEMORY);
    EXPECT_EQ(compile({{L"DARKER", L"0.5"}}, &status, &messages, &object), E_OUTOFMEMORY);
    {
        standin::StandinCompilerScope standinCompiler;
        EXPECT_FALSE(standin::usingRealShaderCompiler());
        ASSERT_EQ(compile({{L"DARKER", L"0.5"}}, &status, &messages, &object), S_OK);
        standin::StandinBytecode bytecode;
        EXPECT_TRUE(standin::parseStandinBytecode(object.data(), object.size(), &bytecode));
    }
    EXPECT_TRUE(standin::usingRealShaderCompiler());
}

} // namespace
