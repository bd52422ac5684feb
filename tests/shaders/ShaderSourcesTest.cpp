// The shader sources declare the entry points, thread-group sizes and bindings that the host side fixes.
#include "HlslText.h"

#include <gtest/gtest.h>

#include <regex>

using namespace hlsl_text;

namespace {

bool contains(const std::string& source, const std::string& pattern) {
    return std::regex_search(source, std::regex(pattern));
}

// A function definition with its attributes: "[attribute] ... returnType name(".
std::string definition(const std::string& attributes, const std::string& name) {
    return attributes + R"(\s*\w+\s+)" + name + R"(\s*\()";
}

struct Expectation {
    const char* source;
    std::vector<std::string> patterns;
};

const std::string NUMTHREADS = R"(\[numthreads\(\s*)";

} // namespace

TEST(ShaderSources, DeclareTheFixedEntryPointsAndBindings) {
    const Expectation expectations[] = {
        {"Geometry.hlsl",
         {definition(NUMTHREADS + R"(32\s*,\s*1\s*,\s*1\s*\)\])", "AmplificationMain"),
          R"(DispatchMesh\s*\()",
          definition(R"(\[outputtopology\("triangle"\)\]\s*)" + NUMTHREADS + R"(128\s*,\s*1\s*,\s*1\s*\)\])",
                     "MeshMain"),
          R"(in\s+payload\s+\w+\s+\w+)",
          R"(out\s+vertices\s+\w+\s+\w+\s*\[\s*64\s*\])",
          R"(out\s+indices\s+uint3\s+\w+\s*\[\s*124\s*\])",
          R"(SetMeshOutputCounts\s*\()",
          definition("", "PixelMain"),
          R"(uint4\s+\w+\s*:\s*SV_Target0)",
          R"(uint2\s+\w+\s*:\s*SV_Target1)",
          R"(ConstantBuffer<FrameConstants>\s+\w+\s*:\s*register\(b0\))",
          R"(ConstantBuffer<SceneInfo>\s+\w+\s*:\s*register\(b1\))",
          R"(ConstantBuffer<DebugFlags>\s+\w+\s*:\s*register\(b2\))",
          R"(\[\]\s*:\s*register\(t0,\s*space1\))",
          R"(register\(s0\))",
          R"(ResourceDescriptorHeap\[)",
          R"(disableBackfaceCulling)",
          R"(showMeshlets)",
          R"(cullView)",
          R"(frustum)"}},
        {"Shading.hlsl",
         {definition(NUMTHREADS + R"(8\s*,\s*8\s*,\s*1\s*\)\])", "ComputeMain"),
          R"(ConstantBuffer<FrameConstants>\s+\w+\s*:\s*register\(b0\))",
          R"(ConstantBuffer<DescriptorIndices>\s+\w+\s*:\s*register\(b3\))", R"(shadowMapIndex)",
          R"(renderTargetIndex)"}},
        {"Post.hlsl",
         {definition("", "VertexMain"), R"(SV_VertexID)", R"(\w+\s*\[\s*6\s*\])", definition("", "PixelMain"),
          R"(register\(t0\))", R"(register\(s0\))",
          R"(ConstantBuffer<PostSettings>\s+\w+\s*:\s*register\(b0\))", R"(exposure)", R"(brightness)",
          R"(contrast)", R"(saturation)"}},
        {"Raytracing.hlsl",
         {definition(R"(\[shader\("raygeneration"\)\])", "RayGeneration"),
          definition(R"(\[shader\("miss"\)\])", "Miss"),
          R"(RaytracingAccelerationStructure\s+\w+\s*:\s*register\(t0\))", R"(register\(t1\))",
          R"(register\(u0\))", R"(ConstantBuffer<RaytracingConstants>\s+\w+\s*:\s*register\(b1\))",
          R"(TraceRay\s*\()"}},
    };
    for (const Expectation& expectation : expectations) {
        SCOPED_TRACE(expectation.source);
        const std::string source = readShader(expectation.source);
        EXPECT_TRUE(contains(source, R"(#include\s+"Shared\.hlsli")"));
        for (const std::string& pattern : expectation.patterns) {
            EXPECT_TRUE(contains(source, pattern)) << pattern;
        }
    }
}

// The three root constants at b0 of the ray-tracing root signature are never set, so nothing may read them.
TEST(ShaderSources, RaytracingLibraryReadsNoUnsetRootConstantsAndKeepsItsPayloadSmall) {
    const std::string source = readShader("Raytracing.hlsl");
    EXPECT_FALSE(contains(source, R"(register\(b0\))"));
    std::smatch miss;
    ASSERT_TRUE(std::regex_search(source, miss, std::regex(R"(void\s+Miss\s*\(\s*inout\s+(\w+))")));
    const auto declared = structs(source);
    ASSERT_TRUE(declared.count(miss[1]));
    EXPECT_LE(structuredLayout(declared.at(miss[1])).size, 20u);
    // Only miss record 0 and hit group 0 exist: TraceRay's offset, multiplier and miss index are all 0.
    EXPECT_TRUE(contains(source, R"(TraceRay\s*\(\s*\w+\s*,[^;]*,\s*0xFF\s*,\s*0\s*,\s*0\s*,\s*0\s*,)"));
}
