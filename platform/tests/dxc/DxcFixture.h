// The stand-in shader compiler's test fixture: the compiler objects, fixture files and compile helpers.
#pragma once

#include <dxcapi.h>

#include "standin/Dxc.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace dxc_test {

template <class T> struct Ref {
    T* p = nullptr;
    Ref() = default;
    Ref(const Ref&) = delete;
    ~Ref() {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

inline std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

inline std::string bytesOf(IDxcBlob* blob) {
    return std::string(static_cast<const char*>(blob->GetBufferPointer()), blob->GetBufferSize());
}

inline standin::StandinBytecode parsed(IDxcBlob* blob) {
    standin::StandinBytecode bytecode;
    EXPECT_TRUE(standin::parseStandinBytecode(blob->GetBufferPointer(), blob->GetBufferSize(), &bytecode));
    return bytecode;
}

// What one compile gave: its status, its message text and the container it made.
struct Compiled {
    HRESULT status = S_OK;
    std::string errors;
    bool hasObject = false;
    standin::StandinBytecode bytecode;
};

class DxcFixture : public testing::Test {
protected:
    // These tests are of the stand-in's own compiler, also where the build found a real one.
    standin::StandinCompilerScope standinCompiler;

    void SetUp() override {
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcUtils, IID_PPV_ARGS(&utils)), S_OK);
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcLibrary, IID_PPV_ARGS(&library)), S_OK);
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler)), S_OK);
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler3)), S_OK);
        ASSERT_EQ(library->CreateIncludeHandler(&includeHandler), S_OK);
        standin::clearDxcCompiles();
    }

    std::string file(const std::string& name) const { return (files.path() / name).string(); }

    // IDxcCompiler::Compile of a file, as the stage compiles do it.
    Ref<IDxcOperationResult>* compileFile(const std::string& name, const wchar_t* entry,
                                          const wchar_t* target, IDxcIncludeHandler* handler) {
        Ref<IDxcBlobEncoding> source;
        EXPECT_EQ(library->CreateBlobFromFile(wide(file(name)).c_str(), nullptr, &source), S_OK);
        LPCWSTR arguments[] = {L"-O3"};
        auto* result = new Ref<IDxcOperationResult>();
        EXPECT_EQ(compiler->Compile(source.p, wide(file(name)).c_str(), entry, target, arguments, 1, nullptr,
                                    0, handler, &*result),
                  S_OK);
        results.emplace_back(result);
        return result;
    }

    HRESULT statusOf(IDxcOperationResult* result) {
        HRESULT status = S_OK;
        EXPECT_EQ(result->GetStatus(&status), S_OK);
        return status;
    }

    // IDxcCompiler::Compile of a file with the stage compiles' one argument "-O3" and the given defines.
    Compiled compileStage(const std::string& path, const wchar_t* entry, const wchar_t* target,
                          const std::vector<DxcDefine>& defines = {}) {
        Ref<IDxcBlobEncoding> source;
        EXPECT_EQ(library->CreateBlobFromFile(wide(path).c_str(), nullptr, &source), S_OK);
        LPCWSTR arguments[] = {L"-O3"};
        Ref<IDxcOperationResult> result;
        EXPECT_EQ(compiler->Compile(source.p, wide(path).c_str(), entry, target, arguments, 1, defines.data(),
                                    UINT32(defines.size()), includeHandler.p, &result),
                  S_OK);
        Compiled compiled;
        EXPECT_EQ(result->GetStatus(&compiled.status), S_OK);
        Ref<IDxcBlobEncoding> errors;
        EXPECT_EQ(result->GetErrorBuffer(&errors), S_OK);
        compiled.errors = static_cast<const char*>(errors->GetBufferPointer());
        Ref<IDxcBlob> object;
        EXPECT_EQ(result->GetResult(&object), S_OK);
        compiled.hasObject = object.p != nullptr;
        if (compiled.hasObject)
            compiled.bytecode = parsed(object.p);
        return compiled;
    }

    // IDxcCompiler3::Compile of a fixture file, as the ray-tracing library and the offline tool compile.
    Compiled compile3(const std::string& name, std::vector<std::wstring> arguments) {
        return compile3At(file(name), std::move(arguments));
    }

    Compiled compile3At(const std::string& path, std::vector<std::wstring> arguments) {
        Ref<IDxcBlobEncoding> source;
        EXPECT_EQ(utils->LoadFile(wide(path).c_str(), nullptr, &source), S_OK);
        DxcBuffer buffer{source->GetBufferPointer(), source->GetBufferSize(), DXC_CP_ACP};
        std::vector<LPCWSTR> pointers;
        for (const std::wstring& argument : arguments)
            pointers.push_back(argument.c_str());
        Ref<IDxcResult> result;
        EXPECT_EQ(compiler3->Compile(&buffer, pointers.data(), UINT32(pointers.size()), includeHandler.p,
                                     IID_PPV_ARGS(&result)),
                  S_OK);
        Compiled compiled;
        EXPECT_EQ(result->GetStatus(&compiled.status), S_OK);
        Ref<IDxcBlobUtf8> errors;
        EXPECT_EQ(result->GetOutput(DXC_OUT_ERRORS, IID_PPV_ARGS(&errors), nullptr), S_OK);
        compiled.errors.assign(errors->GetStringPointer(), errors->GetStringLength());
        compiled.hasObject = result->HasOutput(DXC_OUT_OBJECT);
        if (compiled.hasObject) {
            Ref<IDxcBlob> object;
            EXPECT_EQ(result->GetOutput(DXC_OUT_OBJECT, IID_PPV_ARGS(&object), nullptr), S_OK);
            compiled.bytecode = parsed(object.p);
        }
        return compiled;
    }

    TempDirectory files;
    Ref<IDxcUtils> utils;
    Ref<IDxcLibrary> library;
    Ref<IDxcCompiler> compiler;
    Ref<IDxcCompiler3> compiler3;
    Ref<IDxcIncludeHandler> includeHandler;
    std::vector<std::unique_ptr<Ref<IDxcOperationResult>>> results;
};

} // namespace dxc_test
