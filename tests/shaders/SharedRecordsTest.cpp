// The records in Shared.hlsli lay out the same in C++ and in HLSL: the C++ side checks its offsets with
// static_assert; here the HLSL side's packing rules are applied to the same declarations.
#include "HlslText.h"

#include "Shaders/Shared.hlsli"

#include <gtest/gtest.h>

using namespace hlsl_text;

namespace {

struct Record {
    const char* name;
    size_t cppSize;
    bool constantBlock; // bound as a constant buffer (or root constants), not only as a structured buffer
};

const Record RECORDS[] = {
    {"Vertex", sizeof(Vertex), false},
    {"Meshlet", sizeof(Meshlet), false},
    {"Mesh", sizeof(Mesh), false},
    {"Material", sizeof(Material), false},
    {"SceneInfo", sizeof(SceneInfo), true},
    {"FrameConstants", sizeof(FrameConstants), true},
    {"DebugFlags", sizeof(DebugFlags), true},
    {"DescriptorIndices", sizeof(DescriptorIndices), true},
    {"PostSettings", sizeof(PostSettings), true},
    {"RaytracingConstants", sizeof(RaytracingConstants), true},
};

} // namespace

TEST(SharedRecords, HlslPacksEveryRecordLikeCpp) {
    const auto declared = structs(readShader("Shared.hlsli"));
    EXPECT_EQ(declared.size(), std::size(RECORDS)) << "every record of the header is checked here";
    for (const Record& record : RECORDS) {
        SCOPED_TRACE(record.name);
        ASSERT_TRUE(declared.count(record.name));
        const std::vector<Field>& fields = declared.at(record.name);
        const Layout tight = structuredLayout(fields);
        EXPECT_EQ(tight.size, record.cppSize);
        if (!record.constantBlock) {
            continue;
        }
        const Layout packed = constantBufferLayout(fields);
        for (size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(packed.fields[i].offset, tight.fields[i].offset)
                << fields[i].name << " moves in a cbuffer";
        }
    }
}

TEST(SharedRecords, ConstantBufferRuleMovesFieldsThatStraddleSixteenBytes) {
    // A float3 after a float2 starts a new register; after a float, or before one, it shares it.
    const Layout moved = constantBufferLayout({{"float2", "a"}, {"float3", "b"}});
    EXPECT_EQ(moved.fields[1].offset, 16u);
    EXPECT_EQ(constantBufferLayout({{"float", "a"}, {"float3", "b"}}).fields[1].offset, 4u);
    const Layout shared = constantBufferLayout({{"float3", "a"}, {"float", "b"}, {"float4x4", "m"}});
    EXPECT_EQ(shared.fields[1].offset, 12u);
    EXPECT_EQ(shared.fields[2].offset, 16u);
    EXPECT_EQ(structuredLayout({{"float2", "a"}, {"float3", "b"}}).fields[1].offset, 8u);
}
