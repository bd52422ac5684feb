// The host and the compiled shaders agree: the thread-group sizes that the host's dispatch arithmetic
// assumes, and every constant buffer the shaders read lays out the C++ record the host writes into it (read
// from the real DXIL's reflection), at the register where the host binds that record.
#include "RealCompile.h"

#include "Shaders/Shared.hlsli"
#include "raytracing/DenoiseProgram.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <set>
#include <type_traits>

using namespace real_compile;

namespace {

struct HostField {
    std::string name;
    size_t offset;
    size_t size;
    bool matrix;
};

struct HostRecord {
    uint32_t registerIndex; // b<n>, space 0, where the host binds it
    size_t size;
    std::vector<HostField> fields;
};

#define FIELD(Record, member)                                                                                \
    HostField {                                                                                              \
#member, offsetof(Record, member), sizeof(Record::member),                                           \
            std::is_same_v < decltype(Record::member), Mat4>                                                 \
    }

// Every record the host writes into a constant buffer or root constants, by its HLSL type name.
const std::map<std::string, HostRecord>& hostRecords() {
    static const std::map<std::string, HostRecord> records = {
        {"FrameConstants",
         {0,
          sizeof(FrameConstants),
          {FIELD(FrameConstants, projection), FIELD(FrameConstants, view), FIELD(FrameConstants, cullView),
           FIELD(FrameConstants, inverseViewProjection), FIELD(FrameConstants, frustum),
           FIELD(FrameConstants, viewPos), FIELD(FrameConstants, padding),
           FIELD(FrameConstants, lightPosition), FIELD(FrameConstants, lightStrength),
           FIELD(FrameConstants, lightRadius), FIELD(FrameConstants, ambientFactor),
           FIELD(FrameConstants, nearPlane), FIELD(FrameConstants, width), FIELD(FrameConstants, height)}}},
        {"SceneInfo",
         {1,
          sizeof(SceneInfo),
          {FIELD(SceneInfo, verticesIndex), FIELD(SceneInfo, meshletVerticesIndex),
           FIELD(SceneInfo, meshletTrianglesIndex), FIELD(SceneInfo, meshletsIndex),
           FIELD(SceneInfo, meshesIndex), FIELD(SceneInfo, materialsIndex), FIELD(SceneInfo, meshletCount)}}},
        {"DebugFlags",
         {2,
          sizeof(DebugFlags),
          {FIELD(DebugFlags, showMeshlets), FIELD(DebugFlags, disableBackfaceCulling)}}},
        {"DescriptorIndices",
         {3,
          sizeof(DescriptorIndices),
          {FIELD(DescriptorIndices, gBuffer0Index), FIELD(DescriptorIndices, gBuffer1Index),
           FIELD(DescriptorIndices, depthIndex), FIELD(DescriptorIndices, renderTargetIndex),
           FIELD(DescriptorIndices, shadowMapIndex)}}},
        {"PostSettings",
         {0,
          sizeof(PostSettings),
          {FIELD(PostSettings, exposure), FIELD(PostSettings, brightness), FIELD(PostSettings, contrast),
           FIELD(PostSettings, saturation)}}},
        {"RaytracingConstants",
         {1,
          sizeof(RaytracingConstants),
          {FIELD(RaytracingConstants, cameraPosition), FIELD(RaytracingConstants, fov),
           FIELD(RaytracingConstants, cameraDirection), FIELD(RaytracingConstants, padding0),
           FIELD(RaytracingConstants, cameraUp), FIELD(RaytracingConstants, padding1),
           FIELD(RaytracingConstants, cameraRight), FIELD(RaytracingConstants, padding2),
           FIELD(RaytracingConstants, lightPosition), FIELD(RaytracingConstants, padding3),
           FIELD(RaytracingConstants, param0), FIELD(RaytracingConstants, param1),
           FIELD(RaytracingConstants, padding4), FIELD(RaytracingConstants, inverseViewProjection)}}},
    };
    return records;
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// Every entry point the program compiles, with its reflection; the library keeps its reflection here (the
// program strips it, which leaves the bindings but not the constant buffers' fields).
std::vector<std::pair<std::string, standin::ShaderEntry>> programEntries() {
    std::vector<std::pair<std::string, standin::ShaderEntry>> entries;
    for (const StageCompile& stage : passStages()) {
        Compiled compiled = compileStage(stage.file, stage.entryPoint, stage.target);
        for (const standin::ShaderEntry& entry : compiled.reflection().entries)
            entries.emplace_back(narrow(stage.file) + " " + narrow(stage.entryPoint), entry);
    }
    std::vector<std::wstring> arguments = raytracingLibraryArguments();
    arguments.pop_back(); // -Qstrip_reflect
    Compiled library = compileWithArguments(arguments.front(), arguments);
    for (const standin::ShaderEntry& entry : library.reflection().entries)
        entries.emplace_back(narrow(arguments.front()) + " " + entry.name, entry);
    return entries;
}

TEST(HostShaderAgreement, EveryConstantBufferHasTheHostRecordsLayoutAtItsRegister) {
    SKIP_WITHOUT_REAL_COMPILER();
    std::set<std::string> seen;
    for (const auto& [where, entry] : programEntries()) {
        for (const standin::ConstantBufferLayout& buffer : entry.constantBuffers) {
            SCOPED_TRACE(where + ": " + buffer.name);
            auto record = hostRecords().find(buffer.typeName);
            ASSERT_NE(record, hostRecords().end()) << "no host record for " << buffer.typeName;
            seen.insert(buffer.typeName);
            const HostRecord& host = record->second;
            EXPECT_EQ(buffer.size, host.size);
            ASSERT_EQ(buffer.fields.size(), host.fields.size());
            for (size_t i = 0; i < host.fields.size(); ++i) {
                const standin::ConstantField& field = buffer.fields[i];
                SCOPED_TRACE(host.fields[i].name);
                EXPECT_EQ(field.name, host.fields[i].name);
                EXPECT_EQ(field.offset, host.fields[i].offset);
                EXPECT_EQ(field.size, host.fields[i].size);
                EXPECT_EQ(field.matrix, host.fields[i].matrix);
                // Mat4 keeps element (row, column) at 4 x row + column: rows are contiguous.
                if (field.matrix) {
                    EXPECT_TRUE(field.rowMajor);
                }
            }
            bool bound = false;
            for (const standin::ShaderBinding& binding : entry.bindings)
                if (binding.kind == standin::BindingKind::ConstantBuffer && binding.name == buffer.name) {
                    bound = true;
                    EXPECT_EQ(binding.registerIndex, host.registerIndex);
                    EXPECT_EQ(binding.space, 0u);
                }
            EXPECT_TRUE(bound);
        }
    }
    std::set<std::string> all;
    for (const auto& [name, record] : hostRecords())
        all.insert(name);
    EXPECT_EQ(seen, all) << "a host record that no shader reads";
}

TEST(HostShaderAgreement, ThreadGroupsAreTheSizesTheHostDispatchesBy) {
    SKIP_WITHOUT_REAL_COMPILER();
    struct Case {
        const char* what;
        standin::ShaderReflection reflection;
        uint32_t size[3];
    };
    const Case cases[] = {
        // (meshletCount + 31) / 32 amplification groups: one thread per meshlet.
        {"amplification",
         compileStage(L"src/Shaders/Geometry.hlsl", L"AmplificationMain", L"as_6_7").reflection(),
         {32, 1, 1}},
        // One thread per pixel in 8 x 8 groups.
        {"shading",
         compileStage(L"src/Shaders/Shading.hlsl", L"ComputeMain", L"cs_6_7").reflection(),
         {8, 8, 1}},
        // The embedded denoise program: 16 x 16 groups over the client size.
        {"denoise", standin::reflectShader(DenoiseCS, DenoiseCSSize), {16, 16, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.reflection.valid);
        const standin::ShaderEntry& entry = c.reflection.entries.front();
        EXPECT_EQ(entry.threadGroup[0], c.size[0]);
        EXPECT_EQ(entry.threadGroup[1], c.size[1]);
        EXPECT_EQ(entry.threadGroup[2], c.size[2]);
    }
}

} // namespace
