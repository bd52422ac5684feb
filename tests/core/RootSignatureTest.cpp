// The default root signature as the stand-in deserialises it, and the failures of its creation.
#include "core/RootSignature.h"

#include "GpuFixture.h"
#include "support/ProgramStop.h"
#include "support/SamplerExpectations.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

class RootSignatureTest : public GpuFixture {
protected:
    void TearDown() override {
        safeRelease(defaultRootSignature);
        defaultRootSignature = nullptr;
        GpuFixture::TearDown();
    }
};

TEST_F(RootSignatureTest, SixteenRootBuffersThenOneUnboundedVolatileTableInSpaceOne) {
    createDefaultRootSignature();
    standin::RootSignatureInfo info = standin::describeRootSignature(defaultRootSignature);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.version, D3D_ROOT_SIGNATURE_VERSION_1_1);
    EXPECT_EQ(static_cast<UINT>(info.flags), 0x401u);
    ASSERT_EQ(info.parameters.size(), 17u);
    for (UINT i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        const standin::RootParameterInfo& parameter = info.parameters[i];
        EXPECT_EQ(parameter.type, D3D12_ROOT_PARAMETER_TYPE_CBV);
        EXPECT_EQ(parameter.shaderRegister, i);
        EXPECT_EQ(parameter.registerSpace, 0u);
        EXPECT_EQ(parameter.descriptorFlags, D3D12_ROOT_DESCRIPTOR_FLAG_NONE);
        EXPECT_EQ(parameter.visibility, D3D12_SHADER_VISIBILITY_ALL);
    }
    const standin::RootParameterInfo& table = info.parameters[16];
    EXPECT_EQ(table.type, D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE);
    EXPECT_EQ(table.visibility, D3D12_SHADER_VISIBILITY_ALL);
    ASSERT_EQ(table.ranges.size(), 1u);
    EXPECT_EQ(table.ranges[0].RangeType, D3D12_DESCRIPTOR_RANGE_TYPE_SRV);
    EXPECT_EQ(table.ranges[0].NumDescriptors, UINT_MAX);
    EXPECT_EQ(table.ranges[0].BaseShaderRegister, 0u);
    EXPECT_EQ(table.ranges[0].RegisterSpace, 1u);
    EXPECT_EQ(table.ranges[0].Flags, D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE);
    EXPECT_EQ(table.ranges[0].OffsetInDescriptorsFromTableStart, D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND);
}

TEST_F(RootSignatureTest, OneAnisotropicWrappingSamplerAtS0ThatSamplesTheTopMipOnly) {
    createDefaultRootSignature();
    standin::RootSignatureInfo info = standin::describeRootSignature(defaultRootSignature);
    ASSERT_EQ(info.staticSamplers.size(), 1u);
    expectTopMipSampler(info.staticSamplers[0], D3D12_FILTER_ANISOTROPIC, D3D12_TEXTURE_ADDRESS_MODE_WRAP,
                        16);
}

TEST_F(RootSignatureTest, ARefusedRootSignatureIsReportedWithItsCallText) {
    standin::failCall("CreateRootSignature");
    EXPECT_EQ(outputOfStop(createDefaultRootSignature),
              "Error: device->CreateRootSignature(0, signature->GetBufferPointer(), "
              "signature->GetBufferSize(), IID_PPV_ARGS(&defaultRootSignature))\n");
}

TEST_F(RootSignatureTest, AFailedSerialisationWithoutMessageNamesTheSerialiserAndStops) {
    standin::failCall("D3D12SerializeVersionedRootSignature");
    EXPECT_EQ(outputOfStop(createDefaultRootSignature),
              "DirectX call failed: D3D12SerializeVersionedRootSignature(&rootSignatureDesc, &signature, "
              "&error)\nError: D3D12SerializeVersionedRootSignature returned no message\n");
    EXPECT_EQ(defaultRootSignature, nullptr);
}

TEST_F(RootSignatureTest, ARejectedDescriptionPrintsTheSerialisersOwnMessage) {
    // 33 root constant-buffer views take 66 DWORDs, beyond the limit of 64.
    D3D12_ROOT_PARAMETER1 parameters[33] = {};
    for (UINT i = 0; i < 33; ++i) {
        parameters[i].ParameterType = D3D12_ROOT_PARAMETER_TYPE_CBV;
        parameters[i].Descriptor.ShaderRegister = i;
    }
    D3D12_VERSIONED_ROOT_SIGNATURE_DESC rootSignatureDesc = {};
    rootSignatureDesc.Version = D3D_ROOT_SIGNATURE_VERSION_1_1;
    rootSignatureDesc.Desc_1_1.NumParameters = 33;
    rootSignatureDesc.Desc_1_1.pParameters = parameters;
    EXPECT_EQ(
        outputOfStop([&] { serializeRootSignature(rootSignatureDesc); }),
        "DirectX call failed: D3D12SerializeVersionedRootSignature(&rootSignatureDesc, &signature, "
        "&error)\nError: Root signature serialization error: the root signature takes 66 DWORDs, more than "
        "the limit of 64\n");
}

} // namespace
