#include "renderer/Renderer.h"

#include "core/DescriptorHeap.h"
#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/RootSignature.h"
#include "core/Shader.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameObjects.h"
#include "renderer/PassPipelines.h"
#include "renderer/RenderTargets.h"
#include "renderer/UiBackend.h"
#include "renderer/UiDescriptorAllocator.h"

#include <imgui.h>
#include <imgui_impl_win32.h>

// Releases what initialisation made, once the GPU has finished. The window, the constant buffers, the scene's
// buffers and textures, the acceleration structures and the ray-traced shadows' objects stay until the
// process ends, as does the music. Released pointers are not cleared: nothing uses them afterwards.
void shutdown() {
    waitForGpu();

    // The allocator forgets its heap first; the renderer back end then returns its descriptors during its own
    // shutdown into a fresh list, which the allocator's destructor frees at exit.
    teardownUiDescriptorAllocator(&uiDescriptorAllocator);
    shutdownUiRendererBackend();
    ImGui_ImplWin32_Shutdown();
    ImGui::DestroyContext();

    if (readbackHeap)
        readbackHeap->Unmap(0, nullptr);
    safeRelease(readbackHeap);
    safeRelease(timingQueryHeap);
    safeRelease(statisticsQueryHeap);

    safeRelease(commandList);
    for (uint32_t i = 0; i < FRAMES_IN_FLIGHT_COUNT; ++i) {
        safeRelease(commandAllocators[i]);
        safeRelease(swapchainBuffers[i]);
    }
    safeRelease(renderTarget);
    safeRelease(gBuffer0);
    safeRelease(gBuffer1);
    safeRelease(depthTarget);

    safeRelease(postPipeline);
    safeRelease(postRootSignature);
    safeRelease(geometryPipeline);
    safeRelease(shadingPipeline);
    safeRelease(hlslIncludeHandler);
    safeRelease(hlslLibrary);
    safeRelease(hlslCompiler);
    safeRelease(defaultRootSignature);

    destroyDescriptorHeap(srvHeap);
    destroyDescriptorHeap(rtvHeap);
    destroyDescriptorHeap(dsvHeap);

    safeRelease(swapchain);
    safeRelease(fence);
    CloseHandle(fenceEvent);
    safeRelease(commandQueue);
    safeRelease(device);
    safeRelease(factory);
    // Last: the panel's back end used it until it shut down.
    safeRelease(uiSrvHeap);
}
