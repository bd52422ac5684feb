#include "renderer/Frame.h"

#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/Report.h"
#include "core/RootSignature.h"
#include "raytracing/ShadowPass.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameObjects.h"
#include "renderer/FrameQueries.h"
#include "renderer/PassPipelines.h"
#include "renderer/RenderTargets.h"
#include "renderer/Settings.h"
#include "scene/Scene.h"

namespace {

// The root parameter of the bindless table: the whole of srvHeap from slot 0.
constexpr UINT BINDLESS_TABLE = 16;

void bindFrameConstantsForGraphics() {
    commandList->SetGraphicsRootConstantBufferView(0, getConstantBufferAddress(frameConstantsBuffer));
    commandList->SetGraphicsRootConstantBufferView(1, getConstantBufferAddress(sceneInfoBuffer));
    commandList->SetGraphicsRootConstantBufferView(2, getConstantBufferAddress(debugFlagsBuffer));
}

void bindFrameConstantsForCompute() {
    commandList->SetComputeRootConstantBufferView(0, getConstantBufferAddress(frameConstantsBuffer));
    commandList->SetComputeRootConstantBufferView(1, getConstantBufferAddress(sceneInfoBuffer));
    commandList->SetComputeRootConstantBufferView(2, getConstantBufferAddress(debugFlagsBuffer));
    commandList->SetComputeRootConstantBufferView(3, getConstantBufferAddress(descriptorIndicesBuffer));
}

void recordGeometryPass() {
    commandList->SetDescriptorHeaps(1, &srvHeap.heap);
    commandList->SetGraphicsRootSignature(defaultRootSignature);
    commandList->SetPipelineState(geometryPipeline);
    commandList->IASetPrimitiveTopology(D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    bindFrameConstantsForGraphics();
    commandList->SetGraphicsRootDescriptorTable(BINDLESS_TABLE, srvHeap.gpuStart);
    // One amplification group culls and expands 32 meshlets.
    commandList->DispatchMesh((sceneInfo.meshletCount + 31) / 32, 1, 1);
}

void recordShadingPass(uint32_t width, uint32_t height) {
    commandList->SetDescriptorHeaps(1, &srvHeap.heap);
    commandList->SetComputeRootSignature(defaultRootSignature);
    commandList->SetPipelineState(shadingPipeline);
    bindFrameConstantsForCompute();
    commandList->SetComputeRootDescriptorTable(BINDLESS_TABLE, srvHeap.gpuStart);
    // One group per 8 x 8 pixels; a partial block at the right or bottom edge gets a group of its own.
    commandList->Dispatch((width + 7) / 8, (height + 7) / 8, 1);
}

void recordPostPass() {
    commandList->OMSetRenderTargets(1, &swapchainRtvs[frameIndex], FALSE, nullptr);
    commandList->SetDescriptorHeaps(1, &srvHeap.heap);
    commandList->SetGraphicsRootSignature(postRootSignature);
    commandList->SetPipelineState(postPipeline);
    commandList->IASetPrimitiveTopology(D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    commandList->SetGraphicsRootDescriptorTable(0, renderTargetSrvGpu);
    commandList->SetGraphicsRoot32BitConstants(1, 4, &postSettings, 0);
    // Two triangles over the screen, made by the vertex shader from the vertex index alone.
    commandList->DrawInstanced(6, 1, 0, 0);
}

} // namespace

void recordPasses(uint32_t width, uint32_t height) {
    const UINT base = TIMESTAMPS_PER_SLOT * frameIndex;
    // The frame-fence wait at the end of the previous frame has seen this allocator's last frame complete.
    CHECK(commandAllocators[frameIndex]->Reset());
    CHECK_AS(commandList->Reset(commandAllocators[frameIndex], nullptr),
             "commandList->Reset(commandAllocators[frameIndex], 0)");

    // Set once; the post pass draws with the same viewport and scissor.
    D3D12_VIEWPORT viewport = {};
    viewport.TopLeftX = 0.0f;
    viewport.TopLeftY = 0.0f;
    viewport.Width = static_cast<float>(width);
    viewport.Height = static_cast<float>(height);
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    commandList->RSSetViewports(1, &viewport);
    D3D12_RECT scissorRect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    commandList->RSSetScissorRects(1, &scissorRect);

    D3D12_RESOURCE_BARRIER toGeometry[3];
    transitionBarrier(&toGeometry[0], gBuffer0, D3D12_RESOURCE_STATE_COMMON,
                      D3D12_RESOURCE_STATE_RENDER_TARGET);
    transitionBarrier(&toGeometry[1], gBuffer1, D3D12_RESOURCE_STATE_COMMON,
                      D3D12_RESOURCE_STATE_RENDER_TARGET);
    transitionBarrier(&toGeometry[2], depthTarget, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
                      D3D12_RESOURCE_STATE_DEPTH_WRITE);
    commandList->ResourceBarrier(3, toGeometry);

    const D3D12_CPU_DESCRIPTOR_HANDLE gBufferRtvs[2] = {gBuffer0Rtv, gBuffer1Rtv};
    commandList->OMSetRenderTargets(2, gBufferRtvs, FALSE, &depthTargetDsv);
    const float clearColor[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    commandList->ClearRenderTargetView(gBuffer0Rtv, clearColor, 0, nullptr);
    commandList->ClearRenderTargetView(gBuffer1Rtv, clearColor, 0, nullptr);
    // Depth is reversed: 0 is infinitely far.
    commandList->ClearDepthStencilView(depthTargetDsv, D3D12_CLEAR_FLAG_DEPTH, 0.0f, 0, 0, nullptr);

    beginGeometryStatistics();
    writeTimestamp(base + 0);
    recordGeometryPass();
    writeTimestamp(base + 1);
    endGeometryStatistics();

    D3D12_RESOURCE_BARRIER afterGeometry[4];
    transitionBarrier(&afterGeometry[0], gBuffer0, D3D12_RESOURCE_STATE_RENDER_TARGET,
                      D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    transitionBarrier(&afterGeometry[1], gBuffer1, D3D12_RESOURCE_STATE_RENDER_TARGET,
                      D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    transitionBarrier(&afterGeometry[2], renderTarget, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE,
                      D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    transitionBarrier(&afterGeometry[3], depthTarget, D3D12_RESOURCE_STATE_DEPTH_WRITE,
                      D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    commandList->ResourceBarrier(4, afterGeometry);

    // Writes entries base + 6 to base + 9 (also while the shadow stage is off) and leaves "Shadow Map"
    // finished for the shading pass.
    recordShadowPass(width, height, depthTargetSrvGpu, base, timingQueryHeap);

    writeTimestamp(base + 2);
    recordShadingPass(width, height);
    writeTimestamp(base + 3);

    D3D12_RESOURCE_BARRIER toPost[2];
    transitionBarrier(&toPost[0], renderTarget, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                      D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    transitionBarrier(&toPost[1], swapchainBuffers[frameIndex], D3D12_RESOURCE_STATE_PRESENT,
                      D3D12_RESOURCE_STATE_RENDER_TARGET);
    commandList->ResourceBarrier(2, toPost);

    writeTimestamp(base + 4);
    recordPostPass();
    writeTimestamp(base + 5);
}

void recordClosingBarriers() {
    // The depth target stays in NON_PIXEL_SHADER_RESOURCE and "Render Target" is back in
    // PIXEL_SHADER_RESOURCE: both are already in the states the next frame starts from.
    D3D12_RESOURCE_BARRIER closing[3];
    transitionBarrier(&closing[0], swapchainBuffers[frameIndex], D3D12_RESOURCE_STATE_RENDER_TARGET,
                      D3D12_RESOURCE_STATE_PRESENT);
    transitionBarrier(&closing[1], gBuffer0, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
                      D3D12_RESOURCE_STATE_COMMON);
    transitionBarrier(&closing[2], gBuffer1, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
                      D3D12_RESOURCE_STATE_COMMON);
    commandList->ResourceBarrier(3, closing);
    CHECK(commandList->Close());
}
