// The shadow pass as the stand-in logs it: the ray dispatch, the transitions of "Shadow Map Noisy" around the
// denoise dispatch, the barrier before shading and the four timestamps; and the pass without the stage.
#include "ShadowStageFixture.h"

#include "raytracing/ShadowPass.h"

#include <algorithm>
#include <sstream>

namespace {

using standin::CommandKind;
using standin::RecordedCommand;

class ShadowPassTest : public ShadowStageFixture {
protected:
    void SetUp() override {
        ShadowStageFixture::SetUp();
        createShadowStage();
        ASSERT_TRUE(shadowStageEnabled);
    }

    // Records the pass alone into the shared list, runs it, and returns its commands.
    std::vector<RecordedCommand> runPass(uint32_t width, uint32_t height, uint32_t timestampBase) {
        EXPECT_EQ(commandList->Reset(commandAllocators[frameIndex], nullptr), S_OK);
        recordShadowPass(width, height, depthSrvGpu, timestampBase, queryHeap);
        executeAndWait();
        std::vector<standin::Submission> log = standin::submissions();
        EXPECT_EQ(log.size(), 1u);
        standin::clearSubmissions();
        return log.empty() ? std::vector<RecordedCommand>{} : log.back().commands;
    }

    static std::string kinds(const std::vector<RecordedCommand>& commands) {
        std::ostringstream text;
        for (const RecordedCommand& command : commands)
            text << standin::commandKindName(command.kind) << "\n";
        return text.str();
    }

    static std::vector<UINT> timestamps(const std::vector<RecordedCommand>& commands) {
        std::vector<UINT> indices;
        for (const RecordedCommand& command : commands)
            if (command.kind == CommandKind::EndQuery) {
                EXPECT_EQ(command.queryType, D3D12_QUERY_TYPE_TIMESTAMP);
                indices.push_back(command.queryIndex);
            }
        return indices;
    }

    static void expectTransition(const standin::BarrierRecord& record, const char* name,
                                 D3D12_RESOURCE_STATES before, D3D12_RESOURCE_STATES after) {
        EXPECT_EQ(record.barrier.Type, D3D12_RESOURCE_BARRIER_TYPE_TRANSITION);
        EXPECT_EQ(record.resourceName, name);
        EXPECT_EQ(record.barrier.Transition.StateBefore, before);
        EXPECT_EQ(record.barrier.Transition.StateAfter, after);
        EXPECT_EQ(record.barrier.Transition.Subresource, D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES);
    }

    static void expectRootArgument(const RecordedCommand& command, UINT index, uint64_t address) {
        EXPECT_EQ(command.kind, CommandKind::SetRootArgument);
        EXPECT_TRUE(command.compute);
        EXPECT_EQ(command.rootIndex, index);
        EXPECT_EQ(command.rootArgument.address, address);
    }
};

TEST_F(ShadowPassTest, RecordsTheRaysThenTheDenoiseDispatchBetweenFourTimestamps) {
    buildTopLevelStructure();
    const std::vector<RecordedCommand> commands = runPass(WIDTH, HEIGHT, 0);
    ASSERT_EQ(kinds(commands), "SetDescriptorHeaps\n"
                               "EndQuery\n"
                               "SetPipelineState1\n"
                               "SetComputeRootSignature\n"
                               "SetRootArgument\n"
                               "SetRootArgument\n"
                               "SetRootArgument\n"
                               "SetRootArgument\n"
                               "DispatchRays\n"
                               "EndQuery\n"
                               "ResourceBarrier\n"
                               "EndQuery\n"
                               "SetPipelineState\n"
                               "SetComputeRootSignature\n"
                               "SetRootArgument\n"
                               "SetRootArgument\n"
                               "Dispatch\n"
                               "EndQuery\n"
                               "ResourceBarrier\n");
    EXPECT_EQ(timestamps(commands), (std::vector<UINT>{6, 7, 8, 9}));
    EXPECT_EQ(commands[1].queryHeap, queryHeap);
    EXPECT_EQ(commands[2].stateObject, rtStateObject);
    EXPECT_EQ(commands[3].rootSignature, rtRootSignature);
    expectRootArgument(commands[4], 0, shadowMapNoisyUavGpu.ptr);
    expectRootArgument(commands[5], 1, tlas->GetGPUVirtualAddress());
    expectRootArgument(commands[6], 3, getConstantBufferAddress(rtConstantsBuffer));
    expectRootArgument(commands[7], 4, depthSrvGpu.ptr);

    const D3D12_DISPATCH_RAYS_DESC& rays = commands[8].rays;
    const D3D12_GPU_VIRTUAL_ADDRESS a = shaderTable->GetGPUVirtualAddress();
    EXPECT_EQ(rays.RayGenerationShaderRecord.StartAddress, a);
    EXPECT_EQ(rays.RayGenerationShaderRecord.SizeInBytes, 32u);
    EXPECT_EQ(rays.MissShaderTable.StartAddress, a + 64);
    EXPECT_EQ(rays.MissShaderTable.SizeInBytes, 32u);
    EXPECT_EQ(rays.MissShaderTable.StrideInBytes, 32u);
    EXPECT_EQ(rays.HitGroupTable.StartAddress, a + 128);
    EXPECT_EQ(rays.HitGroupTable.SizeInBytes, 32u);
    EXPECT_EQ(rays.HitGroupTable.StrideInBytes, 32u);
    EXPECT_EQ(rays.CallableShaderTable.StartAddress, 0u);
    EXPECT_EQ(rays.CallableShaderTable.SizeInBytes, 0u);
    EXPECT_EQ(rays.CallableShaderTable.StrideInBytes, 0u);
    EXPECT_EQ(rays.Width, 1920u);
    EXPECT_EQ(rays.Height, 1080u);
    EXPECT_EQ(rays.Depth, 1u);
    EXPECT_EQ(commands[8].state.rootArguments[2].kind, standin::RootArgumentKind::Unset)
        << "nothing sets the three root constants";

    // The denoise dispatch reads the rays' result as a shader resource.
    ASSERT_EQ(commands[10].barriers.size(), 1u);
    expectTransition(commands[10].barriers[0], "Shadow Map Noisy", D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                     D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    EXPECT_EQ(commands[12].pipeline, denoisePipeline);
    EXPECT_EQ(commands[13].rootSignature, rtRootSignature);
    expectRootArgument(commands[14], 0, shadowMapUavGpu.ptr);
    expectRootArgument(commands[15], 4, shadowMapNoisySrvGpu.ptr);
    const RecordedCommand& denoise = commands[16];
    EXPECT_EQ(denoise.arguments[0], 120u);
    EXPECT_EQ(denoise.arguments[1], 68u);
    EXPECT_EQ(denoise.arguments[2], 1u);
    EXPECT_EQ(denoise.state.rootArguments[1].address, tlas->GetGPUVirtualAddress()) << "kept from the rays";

    // Back to UNORDERED_ACCESS for the next frame, and the shading pass sees the finished "Shadow Map".
    ASSERT_EQ(commands[18].barriers.size(), 2u);
    expectTransition(commands[18].barriers[0], "Shadow Map Noisy",
                     D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    EXPECT_EQ(commands[18].barriers[1].barrier.Type, D3D12_RESOURCE_BARRIER_TYPE_UAV);
    EXPECT_EQ(commands[18].barriers[1].resourceName, "Shadow Map");
    EXPECT_EQ(standin::resourceState(shadowMapNoisy), D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    EXPECT_EQ(standin::resourceState(shadowMap), D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
}

TEST_F(ShadowPassTest, EachFrameSlotHasItsTimestampsAndEverySizeItsGroups) {
    buildTopLevelStructure();
    struct Case {
        uint32_t width, height, timestampBase;
        UINT groupsX, groupsY;
        std::vector<UINT> timestamps;
    };
    const Case cases[] = {
        {1920, 1080, 0, 120, 68, {6, 7, 8, 9}},
        {1920, 1080, 10, 120, 68, {16, 17, 18, 19}},
        {1000, 17, 0, 63, 2, {6, 7, 8, 9}},
        {16, 1, 10, 1, 1, {16, 17, 18, 19}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::to_string(each.width) + " x " + std::to_string(each.height));
        const std::vector<RecordedCommand> commands = runPass(each.width, each.height, each.timestampBase);
        ASSERT_EQ(commands.size(), 19u);
        EXPECT_EQ(timestamps(commands), each.timestamps);
        EXPECT_EQ(commands[8].rays.Width, each.width);
        EXPECT_EQ(commands[8].rays.Height, each.height);
        EXPECT_EQ(commands[16].arguments[0], each.groupsX);
        EXPECT_EQ(commands[16].arguments[1], each.groupsY);
        EXPECT_EQ(commands[16].arguments[2], 1u);
    }
}

// A scene without a top-level structure: no dispatch, the timestamps still written, "Shadow Map" cleared to
// fully lit and finished before shading; one line says why, once.
TEST_F(ShadowPassTest, WithoutATopLevelStructureShadingReadsAFullyLitShadowMap) {
    ASSERT_EQ(tlas, nullptr);
    std::vector<RecordedCommand> commands;
    std::string lines = raytracerLines([&] { commands = runPass(WIDTH, HEIGHT, 10); });
    EXPECT_EQ(lines, "Ray-traced shadows are off: the scene has no top-level acceleration structure\n");
    EXPECT_FALSE(shadowStageEnabled);
    ASSERT_EQ(kinds(commands), "SetDescriptorHeaps\n"
                               "EndQuery\n"
                               "EndQuery\n"
                               "EndQuery\n"
                               "EndQuery\n"
                               "ClearUnorderedAccessView\n"
                               "ResourceBarrier\n");
    EXPECT_EQ(timestamps(commands), (std::vector<UINT>{16, 17, 18, 19}));
    EXPECT_EQ(commands[5].destination, shadowMap);
    EXPECT_EQ(std::vector<float>(commands[5].color, commands[5].color + 4), std::vector<float>(4, 1.0f));
    const std::vector<uint8_t> texels = standin::readResource(shadowMap);
    EXPECT_EQ(texels.size(), size_t(WIDTH) * HEIGHT * 4);
    EXPECT_TRUE(std::all_of(texels.begin(), texels.end(), [](uint8_t value) { return value == 255; }))
        << "every texel fully lit";
    ASSERT_EQ(commands[6].barriers.size(), 1u);
    EXPECT_EQ(commands[6].barriers[0].barrier.Type, D3D12_RESOURCE_BARRIER_TYPE_UAV);
    EXPECT_EQ(commands[6].barriers[0].resourceName, "Shadow Map");

    lines = raytracerLines([&] { commands = runPass(WIDTH, HEIGHT, 0); });
    EXPECT_EQ(lines, "") << "said once";
    EXPECT_EQ(commands.size(), 7u);
}

// The stage switched off at start-up (here: a library without "Miss") keeps the pass off although the scene
// has its structure; nothing is ever bound from the objects that were not made.
TEST_F(ShadowPassTest, AStageSwitchedOffAtStartUpDispatchesNothing) {
    buildTopLevelStructure();
    raytracerLines([] { disableShadowStage("the ray-tracing library does not export \"Miss\""); });
    const std::vector<RecordedCommand> commands = runPass(WIDTH, HEIGHT, 0);
    EXPECT_EQ(commands.size(), 7u);
    for (const RecordedCommand& command : commands) {
        EXPECT_NE(command.kind, CommandKind::DispatchRays);
        EXPECT_NE(command.kind, CommandKind::Dispatch);
        EXPECT_NE(command.kind, CommandKind::SetRootArgument);
    }
}

} // namespace
