#include "renderer/Frame.h"

#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/Report.h"
#include "raytracing/ShadowMaps.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameObjects.h"
#include "renderer/RenderTargets.h"
#include "renderer/Renderer.h"

void resizeIfNeeded(uint32_t width, uint32_t height) {
    // A minimised window reports 0 x 0: nothing is resized, and its restore then always resizes.
    if ((width != lastWidth || height != lastHeight) && width != 0 && height != 0) {
        // Nothing size-dependent may be released while the GPU may still use it.
        waitForGpu();
        for (uint32_t i = 0; i < FRAMES_IN_FLIGHT_COUNT; ++i) {
            safeRelease(swapchainBuffers[i]);
            fenceValues[i] = fenceValues[frameIndex];
        }
        CHECK_AS(swapchain->ResizeBuffers(FRAMES_IN_FLIGHT_COUNT, width, height, SWAPCHAIN_FORMAT, 0),
                 "swapchain->ResizeBuffers(FRAMES_IN_FLIGHT_COUNT, window.getWidth(), window.getHeight(), "
                 "SWAPCHAIN_FORMAT, 0)");
        frameIndex = swapchain->GetCurrentBackBufferIndex();
        releaseRenderTargets();
        createRenderTargets(window);
        createShadowMaps(width, height);
    }
    lastWidth = width;
    lastHeight = height;
}
