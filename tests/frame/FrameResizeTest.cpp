// The resize step: the same size does nothing, a minimised window is not resized, a restore always is, and a
// resize drains the GPU, evens the fence values and re-reads the frame slot; a storm of sizes stays clean and
// remakes every target, the shadow textures in their slots included.
#include "frame/FrameFixture.h"

#include "core/Globals.h"
#include "raytracing/RaytracingPipeline.h"
#include "raytracing/ShadowMaps.h"
#include "renderer/DeviceSetup.h"
#include "renderer/Frame.h"
#include "renderer/FrameObjects.h"
#include "renderer/PassPipelines.h"
#include "renderer/RenderTargets.h"
#include "renderer/Renderer.h"

using namespace standin;

namespace {

struct Targets {
    ID3D12Resource* back[2];
    ID3D12Resource* renderTarget;
    ID3D12Resource* depthTarget;
    bool operator==(const Targets&) const = default;
};

Targets currentTargets() {
    return {{swapchainBuffers[0], swapchainBuffers[1]}, renderTarget, depthTarget};
}

DXGI_SWAP_CHAIN_DESC1 chainDesc() {
    DXGI_SWAP_CHAIN_DESC1 desc = {};
    EXPECT_EQ(swapchain->GetDesc1(&desc), S_OK);
    return desc;
}

// The first command of the kind, or of the kind and with the pipeline when one is given.
const RecordedCommand* find(const Submission& submission, CommandKind kind,
                            ID3D12PipelineState* pipeline = nullptr) {
    for (const RecordedCommand& command : submission.commands)
        if (command.kind == kind && (!pipeline || command.state.pipeline == pipeline))
            return &command;
    return nullptr;
}

} // namespace

TEST_F(FrameTest, TheSameSizeNeitherWaitsNorRemakesAnything) {
    renderFrames(1);
    const Targets before = currentTargets();
    const uint64_t values[2] = {fenceValues[0], fenceValues[1]};
    const uint32_t slot = frameIndex;
    resizeIfNeeded(lastWidth, lastHeight);
    EXPECT_EQ(currentTargets(), before);
    // A wait for the GPU would have raised the slot's fence value.
    EXPECT_EQ(fenceValues[0], values[0]);
    EXPECT_EQ(fenceValues[1], values[1]);
    EXPECT_EQ(frameIndex, slot);
}

TEST_F(FrameTest, AResizeDrainsTheGpuEvensTheFenceValuesAndReReadsTheFrameSlot) {
    // Leave the program in slot 1 with the previous frame possibly still running.
    renderFrames(1);
    if (frameIndex != 1)
        renderFrames(1);
    ASSERT_EQ(frameIndex, 1u);
    const Targets before = currentTargets();
    const uint32_t width = lastWidth, height = lastHeight;
    // What a restore after a minimise looks like: the last size seen was 0 x 0.
    lastWidth = lastHeight = 0;
    resizeIfNeeded(width, height);
    EXPECT_NE(currentTargets(), before) << "remade even at the size it had before";
    // Unequal values would leave the next frame waiting for a value no frame signals.
    ASSERT_EQ(fenceValues[0], fenceValues[1]);
    EXPECT_EQ(fence->GetCompletedValue(), fenceValues[0] - 1) << "everything submitted has completed";
    ASSERT_EQ(frameIndex, swapchain->GetCurrentBackBufferIndex());
    EXPECT_EQ(frameIndex, 0u) << "a resized swap chain starts again at buffer 0";
    EXPECT_EQ(lastWidth, width);
    EXPECT_EQ(lastHeight, height);
    renderFrames(2);
}

TEST_F(FrameTest, AMinimisedWindowIsDrawnAtZeroSizeWithoutAResizeAndItsRestoreResizes) {
    const uint32_t width = window->getWidth();
    startScript("0 minimise; 2 restore");
    renderFrames(1);
    const Targets before = currentTargets();
    ASSERT_EQ(window->getWidth(), 0u);
    renderFrames(1);
    EXPECT_EQ(lastWidth, 0u);
    EXPECT_EQ(lastHeight, 0u);
    EXPECT_EQ(currentTargets(), before);
    EXPECT_EQ(chainDesc().Width, width);
    // The frame is still recorded, over nothing.
    const Submission minimised = lastSubmission();
    const RecordedCommand* shading = find(minimised, CommandKind::Dispatch);
    ASSERT_NE(shading, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(shading->arguments, shading->arguments + 3),
              (std::vector<uint32_t>{0, 0, 1}));
    EXPECT_EQ(shading->state.viewports[0].Width, 0.0f);
    EXPECT_EQ(shading->state.scissorRects[0].right, 0);
    renderFrames(1);
    ASSERT_EQ(window->getWidth(), width);
    EXPECT_NE(currentTargets(), before) << "the restore resizes, to the size from before";
    EXPECT_EQ(lastWidth, width);
    EXPECT_EQ(chainDesc().Width, width);
}

TEST_F(FrameTest, AStormOfSizesResizesEveryTargetWithoutAFinding) {
    const uint32_t width = window->getWidth(), height = window->getHeight();
    struct Size {
        uint32_t width, height;
    };
    // A new size every frame; widths 1, 8 and 9 give 1, 1 and 2 shading groups.
    const Size sizes[] = {{1280, 720}, {1, 1},     {8, 8}, {9, 17},
                          {640, 480},  {641, 479}, {8, 9}, {width, height}};
    std::string script;
    for (size_t i = 0; i < std::size(sizes); ++i)
        script += std::to_string(i) + " resize " + std::to_string(sizes[i].width) + " " +
                  std::to_string(sizes[i].height) + "; ";
    // Then a minimise, its restore and two more sizes in a row.
    script += "8 minimise; 9 restore; 10 resize 1000 700; 11 resize " + std::to_string(width) + " " +
              std::to_string(height);
    startScript(script);
    for (size_t i = 0; i < std::size(sizes); ++i) {
        renderFrames(1);
        const Size size = sizes[i];
        ASSERT_EQ(window->getWidth(), size.width) << "frame " << i;
        const DXGI_SWAP_CHAIN_DESC1 desc = chainDesc();
        EXPECT_EQ(desc.Width, size.width);
        EXPECT_EQ(desc.Height, size.height);
        for (ID3D12Resource* target : {renderTarget, gBuffer0, gBuffer1, depthTarget, swapchainBuffers[0],
                                       shadowMap, shadowMapNoisy}) {
            EXPECT_EQ(target->GetDesc().Width, size.width) << resourceName(target);
            EXPECT_EQ(target->GetDesc().Height, size.height) << resourceName(target);
        }
        // Every view of the remade targets is written anew into the slot it had, so that the passes, which
        // find them through descriptorIndices and the handles taken at start, see the new targets.
        const std::pair<DescriptorContents, ID3D12Resource*> views[] = {
            {descriptorAt(srvHeap.heap, descriptorIndices.gBuffer0Index), gBuffer0},
            {descriptorAt(srvHeap.heap, descriptorIndices.gBuffer1Index), gBuffer1},
            {descriptorAt(srvHeap.heap, descriptorIndices.depthIndex), depthTarget},
            {descriptorAt(srvHeap.heap, descriptorIndices.renderTargetIndex), renderTarget},
            {descriptorAt(renderTargetSrvGpu), renderTarget},
            {descriptorAt(depthTargetSrvGpu), depthTarget},
            {descriptorAt(gBuffer0Rtv), gBuffer0},
            {descriptorAt(gBuffer1Rtv), gBuffer1},
            {descriptorAt(depthTargetDsv), depthTarget},
            {descriptorAt(swapchainRtvs[0]), swapchainBuffers[0]},
            {descriptorAt(swapchainRtvs[1]), swapchainBuffers[1]}};
        for (const auto& [view, target] : views) {
            EXPECT_EQ(view.resource, target) << "a view of " << view.resourceName << " in frame " << i;
            EXPECT_TRUE(view.resourceAlive);
        }
        // The shadow textures' views stay in their slots and show the new textures.
        EXPECT_EQ(descriptorIndices.shadowMapIndex, 5u);
        EXPECT_EQ(descriptorAt(srvHeap.heap, 5).resource, shadowMap);
        EXPECT_EQ(descriptorAt(srvHeap.heap, 6).resource, shadowMapNoisy);
        EXPECT_EQ(descriptorAt(srvHeap.heap, 7).resource, shadowMapNoisy);
        const Submission frame = lastSubmission();
        const RecordedCommand* rays = find(frame, CommandKind::DispatchRays);
        const RecordedCommand* denoise = find(frame, CommandKind::Dispatch, denoisePipeline);
        const RecordedCommand* shading = find(frame, CommandKind::Dispatch, shadingPipeline);
        ASSERT_NE(rays, nullptr);
        ASSERT_NE(denoise, nullptr);
        ASSERT_NE(shading, nullptr);
        EXPECT_EQ(std::vector<uint32_t>(rays->arguments, rays->arguments + 3),
                  (std::vector<uint32_t>{size.width, size.height, 1}));
        EXPECT_EQ(std::vector<uint32_t>(denoise->arguments, denoise->arguments + 3),
                  (std::vector<uint32_t>{(size.width + 15) / 16, (size.height + 15) / 16, 1}));
        EXPECT_EQ(std::vector<uint32_t>(shading->arguments, shading->arguments + 3),
                  (std::vector<uint32_t>{(size.width + 7) / 8, (size.height + 7) / 8, 1}))
            << size.width << " x " << size.height;
    }
    renderFrames(6);
    EXPECT_EQ(chainDesc().Width, width);
    EXPECT_EQ(chainDesc().Height, height);
}
