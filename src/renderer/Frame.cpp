#include "renderer/Renderer.h"

#include "renderer/Frame.h"
#include "renderer/FrameConstants.h"
#include "renderer/FrameQueries.h"
#include "renderer/Input.h"

void renderFrame() {
    inputEvents.clear();
    // The debug panel is built here while the free camera drives the view (flyThroughActive false): a UI
    // frame starts before the free camera reads its input below.

    // One client size serves the whole frame: the resize, the constants and the recording.
    const uint32_t width = window->getWidth();
    const uint32_t height = window->getHeight();
    resizeIfNeeded(width, height);

    const float dt = measureFrameTime();
    const FrameConstants frameConstants = buildFrameConstants(dt, width, height);
    writeFrameConstantBlocks(frameConstants);

    recordPasses(width, height);
    resolveAndReadQueries();
    // The debug panel is drawn here over the post pass while the free camera drives the view
    // (flyThroughActive false), with the back buffer still bound.
    recordClosingBarriers();
    submitAndPresent();
    measureCpuFrameTime();
}
