// Root-signature serialisation: round trips of versions 1.0 and 1.1 and the error blobs of invalid
// descriptions.
#include "d3d12/GpuFixture.h"

#include <climits>

using namespace standin;

namespace {

std::string text(ID3DBlob* blob) {
    return blob ? std::string(static_cast<const char*>(blob->GetBufferPointer())) : std::string();
}

} // namespace

TEST_F(GpuTest, VersionOneOneRootSignatureRoundTrips) {
    CD3DX12_ROOT_PARAMETER1 parameters[17];
    for (UINT i = 0; i < 16; ++i)
        parameters[i].InitAsConstantBufferView(i);
    CD3DX12_DESCRIPTOR_RANGE1 range(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, UINT_MAX, 0, 1,
                                    D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE);
    parameters[16].InitAsDescriptorTable(1, &range);
    CD3DX12_STATIC_SAMPLER_DESC sampler(0, D3D12_FILTER_ANISOTROPIC);
    sampler.MaxLOD = 0;
    const auto flags = D3D12_ROOT_SIGNATURE_FLAG_ALLOW_INPUT_ASSEMBLER_INPUT_LAYOUT |
                       D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED;
    CD3DX12_VERSIONED_ROOT_SIGNATURE_DESC desc;
    desc.Init_1_1(17, parameters, 1, &sampler, flags);
    ID3DBlob* blob = nullptr;
    ID3DBlob* error = nullptr;
    ASSERT_EQ(D3D12SerializeVersionedRootSignature(&desc, &blob, &error), S_OK);
    EXPECT_EQ(error, nullptr);
    keep(blob);

    ID3D12VersionedRootSignatureDeserializer* deserializer = nullptr;
    ASSERT_EQ(D3D12CreateVersionedRootSignatureDeserializer(blob->GetBufferPointer(), blob->GetBufferSize(),
                                                            IID_PPV_ARGS(&deserializer)),
              S_OK);
    keep(deserializer);
    const D3D12_VERSIONED_ROOT_SIGNATURE_DESC* back = deserializer->GetUnconvertedRootSignatureDesc();
    ASSERT_EQ(back->Version, D3D_ROOT_SIGNATURE_VERSION_1_1);
    const D3D12_ROOT_SIGNATURE_DESC1& d = back->Desc_1_1;
    EXPECT_EQ(d.Flags, flags);
    ASSERT_EQ(d.NumParameters, 17u);
    for (UINT i = 0; i < 16; ++i) {
        EXPECT_EQ(d.pParameters[i].ParameterType, D3D12_ROOT_PARAMETER_TYPE_CBV);
        EXPECT_EQ(d.pParameters[i].Descriptor.ShaderRegister, i);
        EXPECT_EQ(d.pParameters[i].ShaderVisibility, D3D12_SHADER_VISIBILITY_ALL);
    }
    const auto& table = d.pParameters[16].DescriptorTable;
    ASSERT_EQ(table.NumDescriptorRanges, 1u);
    EXPECT_EQ(table.pDescriptorRanges[0].NumDescriptors, UINT_MAX);
    EXPECT_EQ(table.pDescriptorRanges[0].RegisterSpace, 1u);
    EXPECT_EQ(table.pDescriptorRanges[0].Flags, D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE);
    EXPECT_EQ(table.pDescriptorRanges[0].OffsetInDescriptorsFromTableStart,
              D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND);
    ASSERT_EQ(d.NumStaticSamplers, 1u);
    EXPECT_EQ(d.pStaticSamplers[0].Filter, D3D12_FILTER_ANISOTROPIC);
    EXPECT_EQ(d.pStaticSamplers[0].MaxLOD, 0.0f);

    ID3D12RootSignature* rootSignature = nullptr;
    ASSERT_EQ(device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(),
                                          IID_PPV_ARGS(&rootSignature)),
              S_OK);
    keep(rootSignature);
    RootSignatureInfo info = describeRootSignature(rootSignature);
    EXPECT_EQ(info.version, D3D_ROOT_SIGNATURE_VERSION_1_1);
    EXPECT_EQ(info.parameters.size(), 17u);
    EXPECT_EQ(info.parameters[16].type, D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE);
}

TEST_F(GpuTest, VersionOneRootSignatureRoundTripsAndConvertsToVolatile) {
    CD3DX12_DESCRIPTOR_RANGE unordered(D3D12_DESCRIPTOR_RANGE_TYPE_UAV, 1, 0);
    CD3DX12_DESCRIPTOR_RANGE shaderRead(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 1, 1);
    CD3DX12_ROOT_PARAMETER parameters[5];
    parameters[0].InitAsDescriptorTable(1, &unordered);
    parameters[1].InitAsShaderResourceView(0);
    parameters[2].InitAsConstants(3, 0);
    parameters[3].InitAsConstantBufferView(1);
    parameters[4].InitAsDescriptorTable(1, &shaderRead);
    CD3DX12_ROOT_SIGNATURE_DESC desc(5, parameters);
    ID3DBlob* blob = nullptr;
    ASSERT_EQ(D3D12SerializeRootSignature(&desc, D3D_ROOT_SIGNATURE_VERSION_1, &blob, nullptr), S_OK);
    keep(blob);

    ID3D12RootSignatureDeserializer* plain = nullptr;
    ASSERT_EQ(D3D12CreateRootSignatureDeserializer(blob->GetBufferPointer(), blob->GetBufferSize(),
                                                   IID_PPV_ARGS(&plain)),
              S_OK);
    keep(plain);
    const D3D12_ROOT_SIGNATURE_DESC* back = plain->GetRootSignatureDesc();
    ASSERT_EQ(back->NumParameters, 5u);
    EXPECT_EQ(back->pParameters[0].DescriptorTable.pDescriptorRanges[0].RangeType,
              D3D12_DESCRIPTOR_RANGE_TYPE_UAV);
    EXPECT_EQ(back->pParameters[1].ParameterType, D3D12_ROOT_PARAMETER_TYPE_SRV);
    EXPECT_EQ(back->pParameters[2].Constants.Num32BitValues, 3u);
    EXPECT_EQ(back->pParameters[3].Descriptor.ShaderRegister, 1u);
    EXPECT_EQ(back->pParameters[4].DescriptorTable.pDescriptorRanges[0].BaseShaderRegister, 1u);
    EXPECT_EQ(back->Flags, D3D12_ROOT_SIGNATURE_FLAG_NONE);

    ID3D12VersionedRootSignatureDeserializer* versioned = nullptr;
    ASSERT_EQ(D3D12CreateVersionedRootSignatureDeserializer(blob->GetBufferPointer(), blob->GetBufferSize(),
                                                            IID_PPV_ARGS(&versioned)),
              S_OK);
    keep(versioned);
    const D3D12_VERSIONED_ROOT_SIGNATURE_DESC* converted = nullptr;
    ASSERT_EQ(versioned->GetRootSignatureDescAtVersion(D3D_ROOT_SIGNATURE_VERSION_1_1, &converted), S_OK);
    EXPECT_EQ(converted->Desc_1_1.pParameters[0].DescriptorTable.pDescriptorRanges[0].Flags,
              D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE | D3D12_DESCRIPTOR_RANGE_FLAG_DATA_VOLATILE);
    EXPECT_EQ(converted->Desc_1_1.pParameters[3].Descriptor.Flags, D3D12_ROOT_DESCRIPTOR_FLAG_DATA_VOLATILE);
}

TEST_F(GpuTest, InvalidRootSignaturesFailWithAnErrorBlob) {
    CD3DX12_DESCRIPTOR_RANGE1 srv(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 2, 0);
    CD3DX12_DESCRIPTOR_RANGE1 sampler(D3D12_DESCRIPTOR_RANGE_TYPE_SAMPLER, 1, 0);
    CD3DX12_DESCRIPTOR_RANGE1 mixed[] = {srv, sampler};
    CD3DX12_DESCRIPTOR_RANGE1 unbounded(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, UINT_MAX, 0);
    CD3DX12_DESCRIPTOR_RANGE1 after(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 1, 0, 1);
    CD3DX12_DESCRIPTOR_RANGE1 unboundedThenAppend[] = {unbounded, after};
    CD3DX12_DESCRIPTOR_RANGE1 empty(D3D12_DESCRIPTOR_RANGE_TYPE_UAV, 0, 0);
    struct Case {
        const char* expected;
        std::vector<CD3DX12_ROOT_PARAMETER1> parameters;
    };
    auto cbv = [](UINT reg) {
        CD3DX12_ROOT_PARAMETER1 p;
        p.InitAsConstantBufferView(reg);
        return p;
    };
    auto table = [](UINT count, const D3D12_DESCRIPTOR_RANGE1* ranges) {
        CD3DX12_ROOT_PARAMETER1 p;
        p.InitAsDescriptorTable(count, ranges);
        return p;
    };
    auto constants = [](UINT count, UINT reg) {
        CD3DX12_ROOT_PARAMETER1 p;
        p.InitAsConstants(count, reg);
        return p;
    };
    const Case cases[] = {
        {"overlap in space 0", {cbv(0), constants(4, 0)}},
        {"cannot mix sampler ranges", {table(2, mixed)}},
        {"after an unbounded range must give an explicit offset", {table(2, unboundedThenAppend)}},
        {"NumDescriptors is 0", {table(1, &empty)}},
        {"at least one range", {table(0, nullptr)}},
        {"more than the limit of 64", {constants(60, 0), cbv(1), cbv(2), cbv(3)}},
    };
    for (const Case& c : cases) {
        CD3DX12_VERSIONED_ROOT_SIGNATURE_DESC desc;
        desc.Init_1_1(UINT(c.parameters.size()), c.parameters.data());
        ID3DBlob* blob = nullptr;
        ID3DBlob* error = nullptr;
        EXPECT_EQ(D3D12SerializeVersionedRootSignature(&desc, &blob, &error), E_INVALIDARG) << c.expected;
        EXPECT_EQ(blob, nullptr);
        ASSERT_NE(error, nullptr) << c.expected;
        EXPECT_NE(text(error).find(c.expected), std::string::npos) << text(error);
        error->Release();
    }
    // Bytes that are no serialised root signature are refused by the device.
    const char garbage[] = "not a root signature";
    ID3D12RootSignature* rootSignature = nullptr;
    EXPECT_EQ(device->CreateRootSignature(0, garbage, sizeof garbage, IID_PPV_ARGS(&rootSignature)),
              E_INVALIDARG);
    EXPECT_EQ(errors(), 1u);
}

// The control that refuses a valid description: the next serialisation alone, with the serialiser's text.
TEST_F(GpuTest, ARefusedSerializationFailsOnceWithItsReason) {
    CD3DX12_ROOT_SIGNATURE_DESC desc(0, nullptr);
    standin::refuseNextRootSignatureSerialization("refused on purpose");
    ID3DBlob* blob = nullptr;
    ID3DBlob* error = nullptr;
    EXPECT_EQ(D3D12SerializeRootSignature(&desc, D3D_ROOT_SIGNATURE_VERSION_1, &blob, &error), E_INVALIDARG);
    EXPECT_EQ(blob, nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(text(error), "Root signature serialization error: refused on purpose");
    error->Release();
    error = nullptr;
    EXPECT_EQ(D3D12SerializeRootSignature(&desc, D3D_ROOT_SIGNATURE_VERSION_1, &blob, &error), S_OK);
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(error, nullptr);
    blob->Release();
}
