// Real DXIL for the stand-in device's tests: compiles test shaders with the real compiler (the tests skip
// where the build found none) and checks what a creation call answered.
#pragma once

#include "d3d12/GpuFixture.h"

#include <dxcapi.h>

#include "standin/Dxc.h"

#include <string>
#include <vector>

class DxilTest : public GpuTest {
protected:
    void SetUp() override {
        if (!standin::realShaderCompilerFound())
            GTEST_SKIP() << "no real shader compiler to make DXIL with";
        GpuTest::SetUp();
    }

    // Compiles with "-O3" and the arguments given after it.
    std::vector<uint8_t> compile(const std::string& source, const wchar_t* entry, const wchar_t* target,
                                 std::vector<LPCWSTR> more = {}) {
        IDxcUtils* utils = nullptr;
        IDxcCompiler3* compiler = nullptr;
        IDxcResult* result = nullptr;
        IDxcBlob* object = nullptr;
        EXPECT_EQ(DxcCreateInstance(CLSID_DxcUtils, IID_PPV_ARGS(&utils)), S_OK);
        EXPECT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler)), S_OK);
        DxcBuffer buffer{source.data(), source.size(), DXC_CP_UTF8};
        std::vector<LPCWSTR> arguments = {L"-E", entry, L"-T", target, L"-O3"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        EXPECT_EQ(compiler->Compile(&buffer, arguments.data(), UINT32(arguments.size()), nullptr,
                                    IID_PPV_ARGS(&result)),
                  S_OK);
        std::vector<uint8_t> bytes;
        if (result && result->GetOutput(DXC_OUT_OBJECT, IID_PPV_ARGS(&object), nullptr) >= 0 && object) {
            const auto* data = static_cast<const uint8_t*>(object->GetBufferPointer());
            bytes.assign(data, data + object->GetBufferSize());
            object->Release();
        }
        IDxcBlobUtf8* errors = nullptr;
        std::string messages;
        if (result && result->GetOutput(DXC_OUT_ERRORS, IID_PPV_ARGS(&errors), nullptr) >= 0 && errors) {
            messages = errors->GetStringPointer();
            errors->Release();
        }
        EXPECT_FALSE(bytes.empty()) << "the test's shader does not compile:\n" << messages;
        for (IUnknown* done : std::initializer_list<IUnknown*>{result, compiler, utils})
            if (done)
                done->Release();
        return bytes;
    }

    ID3D12RootSignature* rootSignature(UINT count, const D3D12_ROOT_PARAMETER1* parameters, UINT samplerCount,
                                       const D3D12_STATIC_SAMPLER_DESC* samplers,
                                       D3D12_ROOT_SIGNATURE_FLAGS flags) {
        CD3DX12_VERSIONED_ROOT_SIGNATURE_DESC desc;
        desc.Init_1_1(count, parameters, samplerCount, samplers, flags);
        ID3DBlob* blob = nullptr;
        EXPECT_EQ(D3D12SerializeVersionedRootSignature(&desc, &blob, nullptr), S_OK);
        ID3D12RootSignature* made = nullptr;
        EXPECT_EQ(device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(),
                                              IID_PPV_ARGS(&made)),
                  S_OK);
        blob->Release();
        return keep(made);
    }

    // A refusal is E_INVALIDARG with one finding that says what is missing; success makes no finding.
    void expectOutcome(HRESULT result, const std::string& finding) {
        auto joined = [](const std::vector<std::string>& lines) {
            std::string text;
            for (const std::string& line : lines)
                text += line + "\n";
            return text;
        };
        std::vector<std::string> findings = standin::validationErrors();
        if (finding.empty()) {
            EXPECT_EQ(result, S_OK);
            EXPECT_TRUE(findings.empty()) << joined(findings);
        } else {
            EXPECT_EQ(result, E_INVALIDARG);
            ASSERT_EQ(findings.size(), 1u) << joined(findings);
            EXPECT_NE(findings[0].find(finding), std::string::npos) << findings[0];
        }
        standin::clearValidationErrors();
    }
};
