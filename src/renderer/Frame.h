// The steps of renderFrame after the constants: the resize at the start of a frame, the recording of the
// passes into the one command list, and the submission, presentation and frame pacing at its end.
#pragma once

#include <cstdint>

// Remakes the swap chain's buffers and every size-dependent target when the client size (width x height)
// differs from the last frame's and neither is 0, after draining the GPU. Remembers the size in every frame.
void resizeIfNeeded(uint32_t width, uint32_t height);

// Resets the frame slot's allocator and the list and records the geometry, shadow, shading and post passes
// with their barriers and timestamps, for a client area of width x height.
void recordPasses(uint32_t width, uint32_t height);

// The barriers that return the back buffer and the G-buffers to their between-frame states, then Close.
void recordClosingBarriers();

// Executes the list, presents with vertical sync, signals the frame's fence value and moves to the next frame
// slot, waiting until the frame that last used that slot has completed.
void submitAndPresent();
