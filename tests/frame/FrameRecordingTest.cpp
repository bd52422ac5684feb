// One frame's command list as the stand-in logged it, command by command: barriers, targets, clears, queries,
// pipelines, root bindings and the dispatch and draw arguments; the state of what the passes read; and the
// key-event list each frame starts from.
#include "frame/FrameFixture.h"

#include "core/Globals.h"
#include "core/RootSignature.h"
#include "raytracing/RaytracingPipeline.h"
#include "raytracing/ShadowMaps.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameObjects.h"
#include "renderer/Input.h"
#include "renderer/PassPipelines.h"
#include "renderer/RenderTargets.h"
#include "renderer/Renderer.h"
#include "renderer/Settings.h"
#include "scene/AccelerationStructures.h"
#include "scene/Scene.h"

#include <algorithm>
#include <cstring>
#include <map>

using namespace standin;

namespace {

// PRESENT and COMMON are the same value; a back buffer's is named PRESENT.
std::string stateText(D3D12_RESOURCE_STATES state, bool backBuffer = false) {
    switch (state) {
    case D3D12_RESOURCE_STATE_COMMON:
        return backBuffer ? "PRESENT" : "COMMON";
    case D3D12_RESOURCE_STATE_RENDER_TARGET:
        return "RENDER_TARGET";
    case D3D12_RESOURCE_STATE_UNORDERED_ACCESS:
        return "UNORDERED_ACCESS";
    case D3D12_RESOURCE_STATE_DEPTH_WRITE:
        return "DEPTH_WRITE";
    case D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE:
        return "NON_PIXEL_SHADER_RESOURCE";
    case D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE:
        return "PIXEL_SHADER_RESOURCE";
    default:
        return std::to_string(int(state));
    }
}

// The GPU addresses the frame of a slot binds, by what they hold.
struct SlotAddresses {
    std::map<uint64_t, std::string> names;
    explicit SlotAddresses(uint32_t slot) {
        const std::pair<ConstantBuffer*, const char*> buffers[] = {
            {&frameConstantsBuffer, "FrameConstants"},
            {&sceneInfoBuffer, "SceneInfo"},
            {&debugFlagsBuffer, "DebugFlags"},
            {&descriptorIndicesBuffer, "DescriptorIndices"}};
        for (const auto& [buffer, name] : buffers)
            names[buffer->resource->GetGPUVirtualAddress() + slot * buffer->alignedSize * buffer->count] =
                name;
        names[srvHeap.gpuStart.ptr] = "srvHeap";
        names[renderTargetSrvGpu.ptr] = "renderTargetSrv";
        names[depthTargetSrvGpu.ptr] = "depthTargetSrv";
        names[shadowMapUavGpu.ptr] = "Shadow Map UAV";
        names[shadowMapNoisyUavGpu.ptr] = "Shadow Map Noisy UAV";
        names[shadowMapNoisySrvGpu.ptr] = "Shadow Map Noisy SRV";
        names[tlas->GetGPUVirtualAddress()] = "tlas";
        names[rtConstantsBuffer.resource->GetGPUVirtualAddress() + slot * rtConstantsBuffer.alignedSize] =
            "RaytracingConstants";
    }
    std::string operator()(uint64_t address) const {
        auto found = names.find(address);
        return found == names.end() ? "unknown address" : found->second;
    }
};

// One line per command, with what matters of it.
std::string describe(const RecordedCommand& command, const SlotAddresses& addresses) {
    std::string text = commandKindName(command.kind);
    auto numbers = [&](int count) {
        for (int i = 0; i < count; ++i)
            text += " " + std::to_string(command.arguments[i]);
    };
    switch (command.kind) {
    case CommandKind::ResourceBarrier:
        for (const BarrierRecord& record : command.barriers) {
            if (record.barrier.Type == D3D12_RESOURCE_BARRIER_TYPE_UAV) {
                text += " [" + record.resourceName + " UAV]";
                continue;
            }
            const auto& transition = record.barrier.Transition;
            const bool backBuffer = record.resourceName == "Swapchain Buffer";
            text += " [" + record.resourceName + " " + stateText(transition.StateBefore, backBuffer) + " > " +
                    stateText(transition.StateAfter, backBuffer) + "]";
        }
        break;
    case CommandKind::ClearRenderTargetView:
        text += " " + command.destinationName + " (" + std::to_string(int(command.color[0])) + " " +
                std::to_string(int(command.color[1])) + " " + std::to_string(int(command.color[2])) + " " +
                std::to_string(int(command.color[3])) + ")";
        break;
    case CommandKind::ClearDepthStencilView:
        text += " " + command.destinationName + " flags " + std::to_string(int(command.clearFlags)) +
                " depth " + std::to_string(int(command.depth)) + " stencil " +
                std::to_string(int(command.stencil));
        break;
    case CommandKind::BeginQuery:
    case CommandKind::EndQuery:
        text += command.queryType == D3D12_QUERY_TYPE_TIMESTAMP ? " timestamp " : " statistics ";
        text += std::to_string(command.queryIndex);
        break;
    case CommandKind::ResolveQueryData:
        text += command.queryType == D3D12_QUERY_TYPE_TIMESTAMP ? " timestamps " : " statistics ";
        text += std::to_string(command.queryIndex) + " x" + std::to_string(command.queryCount) + " to " +
                std::to_string(command.destinationOffset);
        break;
    case CommandKind::SetRootArgument:
        text += std::string(command.compute ? " compute " : " graphics ") +
                std::to_string(command.rootIndex) + " = ";
        if (command.rootArgument.kind == RootArgumentKind::Constants)
            text += std::to_string(command.rootArgument.constants.size()) + " constants";
        else
            text += addresses(command.rootArgument.address);
        break;
    case CommandKind::DispatchMesh:
    case CommandKind::Dispatch:
    case CommandKind::DispatchRays:
        numbers(3);
        break;
    case CommandKind::DrawInstanced:
        numbers(4);
        break;
    default:
        break;
    }
    return text;
}

std::vector<std::string> expectedFrame(uint32_t slot, uint32_t width, uint32_t height) {
    const std::string base = std::to_string(10 * slot), other = std::to_string(1 - slot);
    auto timestamp = [&](int entry) { return "EndQuery timestamp " + std::to_string(10 * slot + entry); };
    const std::string meshGroups = std::to_string((sceneInfo.meshletCount + 31) / 32);
    return {
        "RSSetViewports",
        "RSSetScissorRects",
        "ResourceBarrier [G-Buffer 0 COMMON > RENDER_TARGET] [G-Buffer 1 COMMON > RENDER_TARGET] [Depth "
        "Target "
        "NON_PIXEL_SHADER_RESOURCE > DEPTH_WRITE]",
        "OMSetRenderTargets",
        "ClearRenderTargetView G-Buffer 0 (0 0 0 1)",
        "ClearRenderTargetView G-Buffer 1 (0 0 0 1)",
        "ClearDepthStencilView Depth Target flags 1 depth 0 stencil 0",
        "BeginQuery statistics " + std::to_string(slot),
        timestamp(0),
        "SetDescriptorHeaps",
        "SetGraphicsRootSignature",
        "SetPipelineState",
        "IASetPrimitiveTopology",
        "SetRootArgument graphics 0 = FrameConstants",
        "SetRootArgument graphics 1 = SceneInfo",
        "SetRootArgument graphics 2 = DebugFlags",
        "SetRootArgument graphics 16 = srvHeap",
        "DispatchMesh " + meshGroups + " 1 1",
        timestamp(1),
        "EndQuery statistics " + std::to_string(slot),
        "ResourceBarrier [G-Buffer 0 RENDER_TARGET > NON_PIXEL_SHADER_RESOURCE] [G-Buffer 1 RENDER_TARGET > "
        "NON_PIXEL_SHADER_RESOURCE] [Render Target PIXEL_SHADER_RESOURCE > UNORDERED_ACCESS] [Depth Target "
        "DEPTH_WRITE > NON_PIXEL_SHADER_RESOURCE]",
        // The shadow rays and the denoise dispatch; the denoise dispatch reads the rays' result as a shader
        // resource, and shading reads "Shadow Map" only once the denoise dispatch is done with it.
        "SetDescriptorHeaps",
        timestamp(6),
        "SetPipelineState1",
        "SetComputeRootSignature",
        "SetRootArgument compute 0 = Shadow Map Noisy UAV",
        "SetRootArgument compute 1 = tlas",
        "SetRootArgument compute 3 = RaytracingConstants",
        "SetRootArgument compute 4 = depthTargetSrv",
        "DispatchRays " + std::to_string(width) + " " + std::to_string(height) + " 1",
        timestamp(7),
        "ResourceBarrier [Shadow Map Noisy UNORDERED_ACCESS > NON_PIXEL_SHADER_RESOURCE]",
        timestamp(8),
        "SetPipelineState",
        "SetComputeRootSignature",
        "SetRootArgument compute 0 = Shadow Map UAV",
        "SetRootArgument compute 4 = Shadow Map Noisy SRV",
        "Dispatch " + std::to_string((width + 15) / 16) + " " + std::to_string((height + 15) / 16) + " 1",
        timestamp(9),
        "ResourceBarrier [Shadow Map Noisy NON_PIXEL_SHADER_RESOURCE > UNORDERED_ACCESS] [Shadow Map UAV]",
        timestamp(2),
        "SetDescriptorHeaps",
        "SetComputeRootSignature",
        "SetPipelineState",
        "SetRootArgument compute 0 = FrameConstants",
        "SetRootArgument compute 1 = SceneInfo",
        "SetRootArgument compute 2 = DebugFlags",
        "SetRootArgument compute 3 = DescriptorIndices",
        "SetRootArgument compute 16 = srvHeap",
        "Dispatch " + std::to_string((width + 7) / 8) + " " + std::to_string((height + 7) / 8) + " 1",
        timestamp(3),
        "ResourceBarrier [Render Target UNORDERED_ACCESS > PIXEL_SHADER_RESOURCE] [Swapchain Buffer PRESENT "
        "> "
        "RENDER_TARGET]",
        timestamp(4),
        "OMSetRenderTargets",
        "SetDescriptorHeaps",
        "SetGraphicsRootSignature",
        "SetPipelineState",
        "IASetPrimitiveTopology",
        "SetRootArgument graphics 0 = renderTargetSrv",
        "SetRootArgument graphics 1 = 4 constants",
        "DrawInstanced 6 1 0 0",
        timestamp(5),
        "ResolveQueryData timestamps " + std::to_string(10 * (1 - slot)) + " x10 to " +
            std::to_string(80 * (1 - slot)),
        "ResolveQueryData statistics " + other + " x1 to " + std::to_string(320 + 112 * (1 - slot)),
        "ResourceBarrier [Swapchain Buffer RENDER_TARGET > PRESENT] [G-Buffer 0 NON_PIXEL_SHADER_RESOURCE > "
        "COMMON] [G-Buffer 1 NON_PIXEL_SHADER_RESOURCE > COMMON]",
    };
}

// The one command of the kind, or of the kind and with the pipeline when one is given.
const RecordedCommand& only(const Submission& submission, CommandKind kind,
                            ID3D12PipelineState* pipeline = nullptr) {
    const RecordedCommand* found = nullptr;
    for (const RecordedCommand& command : submission.commands)
        if (command.kind == kind && (!pipeline || command.state.pipeline == pipeline)) {
            EXPECT_EQ(found, nullptr) << "more than one " << commandKindName(kind);
            found = &command;
        }
    static const RecordedCommand none;
    EXPECT_NE(found, nullptr) << "no " << commandKindName(kind);
    return found ? *found : none;
}

} // namespace

TEST_F(FrameTest, AFrameRecordsItsPassesCommandByCommand) {
    ASSERT_EQ(startRenderer().firstFrames.size(), 4u);
    // The fourth frame after start-up, in slot 1 (the swap chain starts at buffer 0): the first with every
    // step, the resolve of the other slot included.
    const Submission& frame = startRenderer().firstFrames[3].submission;
    const uint32_t slot = 1, width = window->getWidth(), height = window->getHeight();
    const SlotAddresses addresses(slot);
    std::vector<std::string> recorded;
    for (const RecordedCommand& command : frame.commands)
        recorded.push_back(describe(command, addresses));
    const std::vector<std::string> expected = expectedFrame(slot, width, height);
    for (size_t i = 0; i < std::max(recorded.size(), expected.size()); ++i)
        EXPECT_EQ(i < recorded.size() ? recorded[i] : "(nothing)",
                  i < expected.size() ? expected[i] : "(nothing)")
            << "command " << i;

    // The geometry pass: both G-buffers and the depth target, the full-client viewport and scissor.
    const RecordedCommand& geometry = only(frame, CommandKind::DispatchMesh);
    EXPECT_EQ(geometry.state.pipeline, geometryPipeline);
    EXPECT_EQ(geometry.state.rootSignature, defaultRootSignature);
    EXPECT_EQ(geometry.state.topology, D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    EXPECT_EQ(geometry.state.renderTargetNames, (std::vector<std::string>{"G-Buffer 0", "G-Buffer 1"}));
    EXPECT_EQ(geometry.state.depthStencilName, "Depth Target");
    ASSERT_EQ(geometry.state.viewports.size(), 1u);
    const D3D12_VIEWPORT& viewport = geometry.state.viewports[0];
    EXPECT_EQ(std::vector<float>({viewport.TopLeftX, viewport.TopLeftY, viewport.Width, viewport.Height,
                                  viewport.MinDepth, viewport.MaxDepth}),
              std::vector<float>({0, 0, float(width), float(height), 0, 1}));
    ASSERT_EQ(geometry.state.scissorRects.size(), 1u);
    const D3D12_RECT& scissor = geometry.state.scissorRects[0];
    EXPECT_EQ(std::vector<LONG>({scissor.left, scissor.top, scissor.right, scissor.bottom}),
              std::vector<LONG>({0, 0, LONG(width), LONG(height)}));
    ASSERT_EQ(geometry.state.descriptorHeaps.size(), 1u);
    EXPECT_EQ(geometry.state.descriptorHeaps[0], srvHeap.heap);

    const RecordedCommand& shading = only(frame, CommandKind::Dispatch, shadingPipeline);
    EXPECT_EQ(shading.state.pipeline, shadingPipeline);
    EXPECT_EQ(shading.state.rootSignature, defaultRootSignature);

    // The post pass: the current back buffer alone, the same viewport, the four post settings.
    const RecordedCommand& post = only(frame, CommandKind::DrawInstanced);
    EXPECT_EQ(post.state.pipeline, postPipeline);
    EXPECT_EQ(post.state.rootSignature, postRootSignature);
    ASSERT_EQ(post.state.renderTargets.size(), 1u);
    EXPECT_EQ(post.state.renderTargets[0].ptr, swapchainRtvs[slot].ptr);
    EXPECT_EQ(post.state.depthStencil.ptr, 0u);
    EXPECT_EQ(post.state.viewports.size(), 1u);
    ASSERT_EQ(post.state.rootArguments.size(), 2u);
    uint32_t settings[4];
    std::memcpy(settings, &postSettings, sizeof settings);
    EXPECT_EQ(post.state.rootArguments[1].constants, std::vector<uint32_t>(settings, settings + 4));
    // No debug panel is drawn while the fly-through runs: no other heap is ever set.
    EXPECT_EQ(post.state.descriptorHeaps, std::vector<ID3D12DescriptorHeap*>{srvHeap.heap});

    // Between frames every target is back in its creation state.
    waitForGpuIdle();
    EXPECT_EQ(resourceState(gBuffer0), D3D12_RESOURCE_STATE_COMMON);
    EXPECT_EQ(resourceState(gBuffer1), D3D12_RESOURCE_STATE_COMMON);
    EXPECT_EQ(resourceState(depthTarget), D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    EXPECT_EQ(resourceState(renderTarget), D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    for (ID3D12Resource* buffer : swapchainBuffers)
        EXPECT_EQ(resourceState(buffer), D3D12_RESOURCE_STATE_PRESENT);
}

TEST_F(FrameTest, WhatEachPassReadsThroughTheBindlessHeapIsInAStateThatAllowsTheRead) {
    const Submission& frame = startRenderer().firstFrames[3].submission;
    // The frame's transitions, from the between-frame states.
    std::map<ID3D12Resource*, D3D12_RESOURCE_STATES> states = {
        {gBuffer0, D3D12_RESOURCE_STATE_COMMON},
        {gBuffer1, D3D12_RESOURCE_STATE_COMMON},
        {depthTarget, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE},
        {renderTarget, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE},
        {shadowMap, D3D12_RESOURCE_STATE_UNORDERED_ACCESS},
        {shadowMapNoisy, D3D12_RESOURCE_STATE_UNORDERED_ACCESS}};
    auto resourceAt = [](uint32_t index) { return descriptorAt(srvHeap.heap, index); };
    auto expectState = [&](const char* pass, uint32_t index, DescriptorKind kind,
                           D3D12_RESOURCE_STATES needed) {
        const DescriptorContents view = resourceAt(index);
        ASSERT_EQ(view.kind, kind) << pass << ": slot " << index;
        ASSERT_TRUE(view.resourceAlive) << pass << ": slot " << index;
        auto tracked = states.find(view.resource);
        ASSERT_NE(tracked, states.end()) << pass << " reads " << view.resourceName;
        EXPECT_EQ(tracked->second & needed, needed)
            << pass << " reads " << view.resourceName << " in " << stateText(tracked->second);
    };
    int passes = 0;
    for (const RecordedCommand& command : frame.commands) {
        if (command.kind == CommandKind::ResourceBarrier) {
            for (const BarrierRecord& record : command.barriers)
                if (record.barrier.Type == D3D12_RESOURCE_BARRIER_TYPE_TRANSITION)
                    states[record.barrier.Transition.pResource] = record.barrier.Transition.StateAfter;
        } else if (command.kind == CommandKind::DispatchMesh) {
            ++passes;
            // The scene buffers are buffers: in COMMON between uses, promoted to a read by the first one.
            const uint32_t sceneBuffers[] = {sceneInfo.verticesIndex,         sceneInfo.meshletVerticesIndex,
                                             sceneInfo.meshletTrianglesIndex, sceneInfo.meshletsIndex,
                                             sceneInfo.meshesIndex,           sceneInfo.materialsIndex};
            for (uint32_t index : sceneBuffers) {
                const DescriptorContents view = resourceAt(index);
                EXPECT_EQ(view.kind, DescriptorKind::ShaderResourceView) << "slot " << index;
                EXPECT_TRUE(view.resourceAlive) << "slot " << index;
                EXPECT_EQ(resourceState(view.resource), D3D12_RESOURCE_STATE_COMMON) << view.resourceName;
            }
            // The pixel shader samples the materials' textures at their slot (field - 1) of the table.
            const std::vector<uint8_t> bytes = readResource(scene.materials.resource);
            std::vector<Material> materials(bytes.size() / sizeof(Material));
            std::memcpy(materials.data(), bytes.data(), materials.size() * sizeof(Material));
            int textures = 0;
            for (const Material& material : materials)
                for (uint32_t field : {material.baseColorTexture, material.normalTexture,
                                       material.emissiveTexture, material.metallicRoughnessTexture})
                    if (field != 0) {
                        ++textures;
                        const DescriptorContents view = resourceAt(field - 1);
                        EXPECT_EQ(view.kind, DescriptorKind::ShaderResourceView) << "slot " << field - 1;
                        EXPECT_TRUE(view.resourceAlive) << "slot " << field - 1;
                        EXPECT_EQ(resourceState(view.resource), D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE)
                            << view.resourceName;
                    }
            EXPECT_GT(textures, 0) << "the sample scene's materials name textures";
        } else if (command.kind == CommandKind::DispatchRays) {
            ++passes;
            expectState("rays", descriptorIndices.depthIndex, DescriptorKind::ShaderResourceView,
                        D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
            expectState("rays", descriptorIndices.shadowMapIndex + 1, DescriptorKind::UnorderedAccessView,
                        D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
        } else if (command.kind == CommandKind::Dispatch && command.state.pipeline == denoisePipeline) {
            ++passes;
            expectState("denoise", descriptorIndices.shadowMapIndex + 2, DescriptorKind::ShaderResourceView,
                        D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
            expectState("denoise", descriptorIndices.shadowMapIndex, DescriptorKind::UnorderedAccessView,
                        D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
        } else if (command.kind == CommandKind::Dispatch) {
            ++passes;
            const auto read = D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE;
            expectState("shading", descriptorIndices.gBuffer0Index, DescriptorKind::ShaderResourceView, read);
            expectState("shading", descriptorIndices.gBuffer1Index, DescriptorKind::ShaderResourceView, read);
            expectState("shading", descriptorIndices.depthIndex, DescriptorKind::ShaderResourceView, read);
            expectState("shading", descriptorIndices.renderTargetIndex, DescriptorKind::UnorderedAccessView,
                        D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
            expectState("shading", descriptorIndices.shadowMapIndex, DescriptorKind::UnorderedAccessView,
                        D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
        } else if (command.kind == CommandKind::DrawInstanced) {
            ++passes;
            const DescriptorContents view = descriptorAt(renderTargetSrvGpu);
            ASSERT_EQ(view.resource, renderTarget);
            EXPECT_EQ(states[renderTarget], D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
        }
    }
    EXPECT_EQ(passes, 5);
}

TEST_F(FrameTest, FrameConstantsAreWrittenWholeIntoTheFramesSlot) {
    // Bytes left over from elsewhere in both slots: every byte of the block must be overwritten.
    std::memset(frameConstantsBuffer.mapped, 0xA5, frameConstantsBuffer.alignedSize * FRAMES_IN_FLIGHT_COUNT);
    const uint32_t slot = frameIndex;
    renderFrames(1);
    const uint8_t* block = frameConstantsBuffer.mapped + slot * frameConstantsBuffer.alignedSize;
    FrameConstants written;
    std::memcpy(&written, block, sizeof written);
    EXPECT_EQ(written.padding, 0.0f);
    EXPECT_EQ(written.width, float(window->getWidth()));
    EXPECT_EQ(written.nearPlane, nearPlane);
    // The other slot, which the frame in flight reads, is untouched.
    const uint8_t* other = frameConstantsBuffer.mapped + (1 - slot) * frameConstantsBuffer.alignedSize;
    EXPECT_EQ(other[0], 0xA5);
    SceneInfo uploadedSceneInfo;
    std::memcpy(&uploadedSceneInfo, sceneInfoBuffer.mapped + slot * sceneInfoBuffer.alignedSize,
                sizeof uploadedSceneInfo);
    EXPECT_EQ(std::memcmp(&uploadedSceneInfo, &sceneInfo, sizeof sceneInfo), 0);
    DescriptorIndices uploadedIndices;
    std::memcpy(&uploadedIndices, descriptorIndicesBuffer.mapped + slot * descriptorIndicesBuffer.alignedSize,
                sizeof uploadedIndices);
    EXPECT_EQ(std::memcmp(&uploadedIndices, &descriptorIndices, sizeof descriptorIndices), 0);
}

TEST_F(FrameTest, OneAmplificationGroupCoversUpTo32Meshlets) {
    const uint32_t loaded = sceneInfo.meshletCount;
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 0}, {1, 1}, {32, 1}, {33, 2}, {65, 3}};
    for (const auto& [meshlets, groups] : cases) {
        sceneInfo.meshletCount = meshlets;
        renderFrames(1);
        const Submission frame = lastSubmission();
        const RecordedCommand& geometry = only(frame, CommandKind::DispatchMesh);
        EXPECT_EQ(std::vector<uint32_t>(geometry.arguments, geometry.arguments + 3),
                  (std::vector<uint32_t>{groups, 1, 1}))
            << meshlets << " meshlets";
    }
    sceneInfo.meshletCount = loaded;
}

TEST_F(FrameTest, EachFrameStartsWithAnEmptyEventListThatKeepsItsRoom) {
    startScript("0 key Q; 0 key F2");
    pumpMessages();
    ASSERT_EQ(inputEvents.size(), 2u) << "the key presses were listed";
    const size_t room = inputEvents.capacity();
    renderFrame();
    EXPECT_TRUE(inputEvents.empty());
    EXPECT_EQ(inputEvents.capacity(), room);
    EXPECT_GE(room, 64u);
}
