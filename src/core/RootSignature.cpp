#include "core/RootSignature.h"

#include "core/Globals.h"
#include "core/Report.h"

#include <dxguids/dxguids.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

ID3D12RootSignature* defaultRootSignature = nullptr;

namespace {

constexpr UINT ROOT_CONSTANT_BUFFER_COUNT = 16;

// The serialiser's message is a byte buffer, not necessarily terminated, and may be missing altogether.
std::string messageOf(ID3DBlob* error) {
    std::string message;
    if (error && error->GetBufferPointer()) {
        const char* text = static_cast<const char*>(error->GetBufferPointer());
        message.assign(text, strnlen(text, error->GetBufferSize()));
    }
    return message.empty() ? "D3D12SerializeVersionedRootSignature returned no message" : message;
}

} // namespace

D3D12_STATIC_SAMPLER_DESC topMipSampler(D3D12_FILTER filter, D3D12_TEXTURE_ADDRESS_MODE addressMode,
                                        UINT maxAnisotropy) {
    D3D12_STATIC_SAMPLER_DESC sampler = {};
    sampler.Filter = filter;
    sampler.AddressU = addressMode;
    sampler.AddressV = addressMode;
    sampler.AddressW = addressMode;
    sampler.MipLODBias = 0;
    sampler.MaxAnisotropy = maxAnisotropy;
    sampler.ComparisonFunc = static_cast<D3D12_COMPARISON_FUNC>(0);
    sampler.BorderColor = D3D12_STATIC_BORDER_COLOR_TRANSPARENT_BLACK;
    sampler.MinLOD = 0;
    sampler.MaxLOD = 0;
    sampler.ShaderRegister = 0;
    sampler.RegisterSpace = 0;
    sampler.ShaderVisibility = D3D12_SHADER_VISIBILITY_ALL;
    return sampler;
}

ID3DBlob* serializeRootSignature(const D3D12_VERSIONED_ROOT_SIGNATURE_DESC& rootSignatureDesc) {
    ID3DBlob* signature = nullptr;
    ID3DBlob* error = nullptr;
    HRESULT result = D3D12SerializeVersionedRootSignature(&rootSignatureDesc, &signature, &error);
    bool refused = failed(result) || !signature;
    std::string message = refused ? messageOf(error) : std::string();
    if (error)
        error->Release();
    // Released before the report, which does not return.
    if (refused) {
        if (signature)
            signature->Release();
        std::puts("DirectX call failed: D3D12SerializeVersionedRootSignature(&rootSignatureDesc, &signature, "
                  "&error)");
        reportFailure(message.c_str());
    }
    return signature;
}

ID3D12RootSignature* createRootSignature(const D3D12_ROOT_PARAMETER1* parameters, UINT parameterCount,
                                         const D3D12_STATIC_SAMPLER_DESC& sampler,
                                         const char* createCallText) {
    D3D12_VERSIONED_ROOT_SIGNATURE_DESC rootSignatureDesc = {};
    rootSignatureDesc.Version = D3D_ROOT_SIGNATURE_VERSION_1_1;
    rootSignatureDesc.Desc_1_1.NumParameters = parameterCount;
    rootSignatureDesc.Desc_1_1.pParameters = parameters;
    rootSignatureDesc.Desc_1_1.NumStaticSamplers = 1;
    rootSignatureDesc.Desc_1_1.pStaticSamplers = &sampler;
    rootSignatureDesc.Desc_1_1.Flags = D3D12_ROOT_SIGNATURE_FLAG_ALLOW_INPUT_ASSEMBLER_INPUT_LAYOUT |
                                       D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED;

    ID3DBlob* signature = serializeRootSignature(rootSignatureDesc);
    ID3D12RootSignature* rootSignature = nullptr;
    HRESULT created = device->CreateRootSignature(0, signature->GetBufferPointer(),
                                                  signature->GetBufferSize(), IID_PPV_ARGS(&rootSignature));
    signature->Release();
    CHECK_AS(created, createCallText);
    return rootSignature;
}

void createDefaultRootSignature() {
    D3D12_ROOT_PARAMETER1 parameters[ROOT_CONSTANT_BUFFER_COUNT + 1] = {};
    for (UINT i = 0; i < ROOT_CONSTANT_BUFFER_COUNT; ++i) {
        parameters[i].ParameterType = D3D12_ROOT_PARAMETER_TYPE_CBV;
        parameters[i].Descriptor = {i, 0, D3D12_ROOT_DESCRIPTOR_FLAG_NONE};
        parameters[i].ShaderVisibility = D3D12_SHADER_VISIBILITY_ALL;
    }
    // The frame binds the table at slot 0 of srvHeap, so table entry i is heap slot i. Volatile, since
    // views in the heap are rewritten while the signature is in use (resize).
    D3D12_DESCRIPTOR_RANGE1 range = {};
    range.RangeType = D3D12_DESCRIPTOR_RANGE_TYPE_SRV;
    range.NumDescriptors = UINT_MAX;
    range.BaseShaderRegister = 0;
    range.RegisterSpace = 1;
    range.Flags = D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE;
    range.OffsetInDescriptorsFromTableStart = D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND;
    D3D12_ROOT_PARAMETER1& table = parameters[ROOT_CONSTANT_BUFFER_COUNT];
    table.ParameterType = D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE;
    table.DescriptorTable = {1, &range};
    table.ShaderVisibility = D3D12_SHADER_VISIBILITY_ALL;

    D3D12_STATIC_SAMPLER_DESC sampler =
        topMipSampler(D3D12_FILTER_ANISOTROPIC, D3D12_TEXTURE_ADDRESS_MODE_WRAP, 16);
    defaultRootSignature = createRootSignature(
        parameters, ROOT_CONSTANT_BUFFER_COUNT + 1, sampler,
        "device->CreateRootSignature(0, signature->GetBufferPointer(), signature->GetBufferSize(), "
        "IID_PPV_ARGS(&defaultRootSignature))");
}
