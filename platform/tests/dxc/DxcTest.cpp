// The stand-in shader compiler: file loading, what a compile checks, its outputs and its errors.
#include "dxc/DxcFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing::HasSubstr;

using namespace dxc_test;

namespace {

using DxcTest = DxcFixture;

constexpr HRESULT fileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT pathNotFound = static_cast<HRESULT>(0x80070003);

TEST_F(DxcTest, BothLoadersReadTheFileAndFailAsWindowsDoesForMissingOnes) {
    files.write("folder/source.hlsl", "float4 bytes;\r\n");
    for (bool useUtils : {true, false}) {
        SCOPED_TRACE(useUtils ? "IDxcUtils::LoadFile" : "IDxcLibrary::CreateBlobFromFile");
        auto load = [&](const std::string& path, IDxcBlobEncoding** blob) {
            return useUtils ? utils->LoadFile(wide(path).c_str(), nullptr, blob)
                            : library->CreateBlobFromFile(wide(path).c_str(), nullptr, blob);
        };
        Ref<IDxcBlobEncoding> blob;
        ASSERT_EQ(load(file("folder/source.hlsl"), &blob), S_OK);
        EXPECT_EQ(bytesOf(blob.p), "float4 bytes;\r\n");
        BOOL known = TRUE;
        UINT32 codePage = 1;
        EXPECT_EQ(blob->GetEncoding(&known, &codePage), S_OK);
        EXPECT_FALSE(known);

        // A Windows path with backslashes names the same file.
        std::string windowsPath = files.path().string() + "\\folder\\source.hlsl";
        Ref<IDxcBlobEncoding> sameFile;
        EXPECT_EQ(load(windowsPath, &sameFile), S_OK);

        IDxcBlobEncoding* missing = reinterpret_cast<IDxcBlobEncoding*>(1);
        EXPECT_EQ(load(file("folder/absent.hlsl"), &missing), fileNotFound);
        EXPECT_EQ(missing, nullptr);
        EXPECT_EQ(load(file("absent/source.hlsl"), &missing), pathNotFound);
        EXPECT_EQ(load(files.path().string(), &missing), static_cast<HRESULT>(0x80070005)); // a folder
    }
}

TEST_F(DxcTest, CompileChecksThatTheEntryPointIsDefined) {
    struct Case {
        const char* source;
        bool defined;
    } cases[] = {
        {"[numthreads(8, 8, 1)] void ComputeMain(uint3 id : SV_DispatchThreadID) { }", true},
        {"float4 ComputeMain(float4 p : SV_Position) : SV_Target\n{\n return p;\n}", true},
        {"// void ComputeMain() { }\nvoid Other() { }", false},
        {"/* void ComputeMain() { } */ void Other() { }", false},
        {"void ComputeMain();\nvoid Other() { ComputeMain(); }", false},
        {"void ComputeMainHelper() { }", false},
        {"void Other() { if (ComputeMain(1)) { } }", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        files.write("entry.hlsl", c.source);
        IDxcOperationResult* result =
            compileFile("entry.hlsl", L"ComputeMain", L"cs_6_7", includeHandler.p)->p;
        EXPECT_EQ(statusOf(result), c.defined ? S_OK : E_FAIL);

        Ref<IDxcBlob> object;
        EXPECT_EQ(result->GetResult(&object), S_OK);
        EXPECT_EQ(object.p != nullptr, c.defined);
        if (c.defined) {
            standin::StandinBytecode bytecode = parsed(object.p);
            EXPECT_EQ(bytecode.stage, "cs");
            EXPECT_EQ(bytecode.entry, "ComputeMain");
            EXPECT_EQ(bytecode.exports, std::vector<std::string>{"ComputeMain"});
        }
    }
}

TEST_F(DxcTest, MissingEntryPointGivesCompilerStyleErrorText) {
    files.write("Geometry.hlsl", "void AmplificationMain() { }\nvoid PixelMain() { }\n");
    IDxcOperationResult* result = compileFile("Geometry.hlsl", L"MeshMain", L"ms_6_7", includeHandler.p)->p;
    EXPECT_EQ(statusOf(result), E_FAIL);

    Ref<IDxcBlobEncoding> errors;
    ASSERT_EQ(result->GetErrorBuffer(&errors), S_OK);
    std::string expected = file("Geometry.hlsl") + ":1:1: error: missing entry point definition 'MeshMain'\n";
    // A text blob counts the NUL that ends it, as the compiler's own text blobs do.
    ASSERT_EQ(errors->GetBufferSize(), expected.size() + 1);
    EXPECT_EQ(std::string(static_cast<const char*>(errors->GetBufferPointer())), expected);
    Ref<IDxcBlobUtf8> text;
    ASSERT_EQ(errors->QueryInterface(IID_PPV_ARGS(&text)), S_OK);
    EXPECT_EQ(std::string(text->GetStringPointer(), text->GetStringLength()), expected);
}

TEST_F(DxcTest, CompileAcceptsOnlyKnownTargetProfiles) {
    files.write("any.hlsl", "void main() { }");
    struct Case {
        const wchar_t* profile;
        const char* stage; // empty when the profile is refused
    } cases[] = {
        {L"vs_6_7", "vs"},   {L"ps_6_0", "ps"}, {L"cs_6_7", "cs"}, {L"as_6_5", "as"}, {L"ms_6_7", "ms"},
        {L"lib_6_3", "lib"}, {L"as_6_4", ""},   {L"ms_6_0", ""},   {L"vs_5_0", ""},   {L"xs_6_0", ""},
        {L"cs_6_9", ""},     {L"cs_6_7x", ""},  {L"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.profile)));
        IDxcOperationResult* result = compileFile("any.hlsl", L"main", c.profile, includeHandler.p)->p;
        HRESULT status = statusOf(result);
        EXPECT_EQ(status >= 0, *c.stage != '\0');
        if (status >= 0) {
            Ref<IDxcBlob> object;
            ASSERT_EQ(result->GetResult(&object), S_OK);
            EXPECT_EQ(parsed(object.p).stage, c.stage);
        } else {
            Ref<IDxcBlobEncoding> errors;
            ASSERT_EQ(result->GetErrorBuffer(&errors), S_OK);
            EXPECT_THAT(static_cast<const char*>(errors->GetBufferPointer()),
                        HasSubstr("invalid target profile"));
        }
    }
}

TEST_F(DxcTest, LibraryNamesEveryShaderExportInSourceOrder) {
    files.write("Raytracing.hlsl", R"(
struct Payload { float visibility; };
[shader("raygeneration")]
void RayGeneration() { }

[shader("miss")] [unknown_attribute(1)]
void Miss(inout Payload payload) { payload.visibility = 1; }

void Helper() { }
)");
    Compiled compiled = compile3("Raytracing.hlsl", {wide(file("Raytracing.hlsl")), L"-E", L"main", L"-T",
                                                     L"lib_6_3", L"-O3", L"-Qstrip_reflect"});
    EXPECT_EQ(compiled.status, S_OK);
    EXPECT_EQ(compiled.errors, "");
    ASSERT_TRUE(compiled.hasObject);
    EXPECT_EQ(compiled.bytecode.stage, "lib");
    EXPECT_EQ(compiled.bytecode.entry, "main");
    EXPECT_EQ(compiled.bytecode.exports, (std::vector<std::string>{"RayGeneration", "Miss"}));

    std::vector<standin::DxcCompileRecord> compiles = standin::dxcCompiles();
    ASSERT_EQ(compiles.size(), 1u);
    EXPECT_EQ(compiles[0].sourceName, wide(file("Raytracing.hlsl")));
    EXPECT_EQ(compiles[0].targetProfile, L"lib_6_3");
    EXPECT_EQ(compiles[0].arguments.size(), 7u);
    EXPECT_EQ(compiles[0].includeHandler, includeHandler.p);
}

TEST_F(DxcTest, LibraryExportsMustBeDefinedFunctionsOfAKnownKind) {
    struct Case {
        const char* source;
        const char* error;
    } cases[] = {
        {"[shader(\"miss\")]\nvoid Miss(inout float p);\n", "1:1: error: attribute 'shader' is not followed"},
        {"\n[shader(\"raygen\")] void RayGeneration() { }", "2:9: error: unknown shader kind 'raygen'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        files.write("library.hlsl", c.source);
        Compiled compiled = compile3("library.hlsl", {L"-T", L"lib_6_3", wide(file("library.hlsl"))});
        EXPECT_EQ(compiled.status, E_FAIL);
        EXPECT_FALSE(compiled.hasObject);
        EXPECT_THAT(compiled.errors, HasSubstr(file("library.hlsl") + ":" + c.error));
    }
}

TEST_F(DxcTest, IncludesResolveBesideTheIncludingFileThroughTheHandler) {
    files.write("src/Shaders/Shared.hlsli", "#include \"common/Math.hlsli\"\n#pragma once\n");
    files.write("src/Shaders/common/Math.hlsli", "float4 PixelMain() : SV_Target { return 1; }\n");
    files.write("src/Shaders/Post.hlsl",
                "#include \"Shared.hlsli\"\n#include <Shared.hlsli>\nvoid VertexMain() {}\n");

    // The entry point may be defined in an included file; a file that says "#pragma once" is read once.
    IDxcOperationResult* result =
        compileFile("src/Shaders/Post.hlsl", L"PixelMain", L"ps_6_7", includeHandler.p)->p;
    ASSERT_EQ(statusOf(result), S_OK);
    Ref<IDxcBlob> first;
    ASSERT_EQ(result->GetResult(&first), S_OK);

    // The container's hash covers the included files.
    files.write("src/Shaders/common/Math.hlsli", "float4 PixelMain() : SV_Target { return 0; }\n");
    result = compileFile("src/Shaders/Post.hlsl", L"PixelMain", L"ps_6_7", includeHandler.p)->p;
    ASSERT_EQ(statusOf(result), S_OK);
    Ref<IDxcBlob> second;
    ASSERT_EQ(result->GetResult(&second), S_OK);
    EXPECT_NE(parsed(first.p).hash, parsed(second.p).hash);

    // Without an include handler nothing can be included, as with the real compiler.
    result = compileFile("src/Shaders/Post.hlsl", L"VertexMain", L"vs_6_7", nullptr)->p;
    EXPECT_EQ(statusOf(result), E_FAIL);
}

TEST_F(DxcTest, MissingIncludeFailsNamingTheFileAndLine) {
    files.write("shader.hlsl", "// uses\n  #include \"Absent.hlsli\"\nvoid main() { }\n");
    Compiled compiled = compile3("shader.hlsl", {L"-T", L"cs_6_0", wide(file("shader.hlsl"))});
    EXPECT_EQ(compiled.status, E_FAIL);
    EXPECT_EQ(compiled.errors, file("shader.hlsl") + ":2:12: fatal error: 'Absent.hlsli' file not found\n");
}

TEST_F(DxcTest, WarningsArriveInTheErrorOutputOfASuccessfulCompile) {
    files.write("warn.hlsl", "#warning unused resource\nvoid main() { }\n");
    Compiled compiled = compile3("warn.hlsl", {L"-T", L"cs_6_0", wide(file("warn.hlsl"))});
    EXPECT_EQ(compiled.status, S_OK);
    EXPECT_TRUE(compiled.hasObject);
    EXPECT_THAT(compiled.errors, HasSubstr("warning: unused resource"));
}

TEST_F(DxcTest, Compiler3ReadsEntryAndTargetFromItsArguments) {
    files.write("cs.hlsl", "void First() { }\nvoid Second() { }\n");
    struct Case {
        std::vector<std::wstring> arguments;
        HRESULT status;
        const char* entryOrError;
    } cases[] = {
        {{L"-E", L"Second", L"-T", L"cs_6_0"}, S_OK, "Second"},
        {{L"-ESecond", L"-Tcs_6_0", L"-Zi", L"-D", L"X=1"}, S_OK, "Second"},
        {{L"-T", L"cs_6_0"}, E_FAIL, "missing entry point definition 'main'"},
        {{L"-E", L"First"}, E_INVALIDARG, "no target profile"},
        {{L"-T", L"cs_6_0", L"-E", L"First", L"-Wfoo"}, E_INVALIDARG, "unknown argument: '-Wfoo'"},
        {{L"-T", L"cs_6_0", L"-E"}, E_INVALIDARG, "argument to '-E' is missing"},
    };
    for (Case& c : cases) {
        c.arguments.insert(c.arguments.begin(), wide(file("cs.hlsl")));
        Compiled compiled = compile3("cs.hlsl", c.arguments);
        EXPECT_EQ(compiled.status, c.status) << c.entryOrError;
        if (c.status >= 0)
            EXPECT_EQ(compiled.bytecode.entry, c.entryOrError);
        else
            EXPECT_THAT(compiled.errors, HasSubstr(c.entryOrError));
    }
}

TEST_F(DxcTest, OneObjectServesBothCompilerInterfacesAndBothUtilityInterfaces) {
    Ref<IDxcCompiler3> fromCompiler;
    ASSERT_EQ(compiler->QueryInterface(IID_PPV_ARGS(&fromCompiler)), S_OK);
    Ref<IDxcCompiler> back;
    ASSERT_EQ(fromCompiler->QueryInterface(IID_PPV_ARGS(&back)), S_OK);
    EXPECT_EQ(back.p, compiler.p);
    Ref<IDxcUtils> fromLibrary;
    EXPECT_EQ(library->QueryInterface(IID_PPV_ARGS(&fromLibrary)), S_OK);
    Ref<IDxcLibrary> wrong;
    EXPECT_EQ(compiler->QueryInterface(IID_PPV_ARGS(&wrong)), E_NOINTERFACE);
    EXPECT_EQ(wrong.p, nullptr);

    void* unknownClass = nullptr;
    EXPECT_EQ(DxcCreateInstance(__uuidof(IDxcBlob), __uuidof(IUnknown), &unknownClass),
              static_cast<HRESULT>(0x80040154));
    EXPECT_EQ(unknownClass, nullptr);
}

TEST_F(DxcTest, BuildArgumentsOrdersNameEntryTargetArgumentsAndDefines) {
    LPCWSTR arguments[] = {L"-O3"};
    DxcDefine defines[] = {{L"A", L"1"}, {L"B", nullptr}};
    Ref<IDxcCompilerArgs> built;
    ASSERT_EQ(utils->BuildArguments(L"x.hlsl", L"main", L"lib_6_3", arguments, 1, defines, 2, &built), S_OK);
    std::vector<std::wstring> list(built->GetArguments(), built->GetArguments() + built->GetCount());
    EXPECT_EQ(list, (std::vector<std::wstring>{L"x.hlsl", L"-E", L"main", L"-T", L"lib_6_3", L"-O3", L"-D",
                                               L"A=1", L"-D", L"B"}));
}

TEST_F(DxcTest, UnimplementedMethodsSaySoAndReturnNotImplemented) {
    testing::internal::CaptureStderr();
    Ref<IDxcBlobEncoding> disassembly;
    files.write("x.hlsl", "void main() {}");
    Ref<IDxcBlobEncoding> source;
    ASSERT_EQ(utils->LoadFile(wide(file("x.hlsl")).c_str(), nullptr, &source), S_OK);
    EXPECT_EQ(compiler->Disassemble(source.p, &disassembly), E_NOTIMPL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "stand-in: IDxcCompiler::Disassemble not implemented\n");
}

TEST_F(DxcTest, InjectedFailureFailsTheNextCompileOnly) {
    files.write("x.hlsl", "void main() {}");
    Ref<IDxcBlobEncoding> source;
    ASSERT_EQ(utils->LoadFile(wide(file("x.hlsl")).c_str(), nullptr, &source), S_OK);
    standin::failNextDxcCompile(E_OUTOFMEMORY);
    for (HRESULT expected : {E_OUTOFMEMORY, S_OK}) {
        Ref<IDxcOperationResult> result;
        EXPECT_EQ(compiler->Compile(source.p, L"x.hlsl", L"main", L"cs_6_0", nullptr, 0, nullptr, 0, nullptr,
                                    &result),
                  expected);
        EXPECT_EQ(result.p != nullptr, expected == S_OK);
    }
}

} // namespace
