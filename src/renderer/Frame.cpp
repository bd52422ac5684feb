#include "renderer/Renderer.h"

#include "renderer/DebugPanel.h"
#include "renderer/Frame.h"
#include "renderer/FrameConstants.h"
#include "renderer/FrameQueries.h"
#include "renderer/Input.h"

void renderFrame() {
    inputEvents.clear();
    // While the free camera drives the view, a UI frame starts before the free camera reads its input below,
    // and the panel's edits count in this frame's constants. During the fly-through no UI frame starts.
    if (!flyThroughActive)
        buildDebugPanel();

    // One client size serves the whole frame: the resize, the constants and the recording.
    const uint32_t width = window->getWidth();
    const uint32_t height = window->getHeight();
    resizeIfNeeded(width, height);

    const float dt = measureFrameTime();
    const FrameConstants frameConstants = buildFrameConstants(dt, width, height);
    writeFrameConstantBlocks(frameConstants);

    recordPasses(width, height);
    resolveAndReadQueries();
    // Over the post pass, with the back buffer still bound. F1 is handled between frames, so a panel built
    // above is always drawn here.
    if (!flyThroughActive)
        drawDebugPanel();
    recordClosingBarriers();
    submitAndPresent();
    measureCpuFrameTime();
}
