#include "renderer/Frame.h"

#include "core/Globals.h"
#include "core/Report.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameQueries.h"

void submitAndPresent() {
    ID3D12CommandList* const lists[] = {commandList};
    commandQueue->ExecuteCommandLists(1, lists);
    noteQueriesSubmitted();
    // Success codes, such as the occluded status of a minimised window, pass.
    CHECK(swapchain->Present(1, 0));

    // Each frame signals the value its slot holds; the next frame's slot then waits for the value that slot's
    // previous frame signalled, so at most two frames are in flight and nothing a slot owns (allocator,
    // constant-buffer slot, query slot) is reused before its last frame has completed.
    const uint64_t CurrentFenceValue = fenceValues[frameIndex];
    CHECK(commandQueue->Signal(fence, CurrentFenceValue));
    frameIndex = swapchain->GetCurrentBackBufferIndex();
    if (fence->GetCompletedValue() < fenceValues[frameIndex]) {
        CHECK(fence->SetEventOnCompletion(fenceValues[frameIndex], fenceEvent));
        WaitForSingleObjectEx(fenceEvent, INFINITE, FALSE);
    }
    fenceValues[frameIndex] = CurrentFenceValue + 1;
}
