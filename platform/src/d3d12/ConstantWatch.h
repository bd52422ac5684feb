// The shader constants the frame trace watches (standin/Session.h), read from each submission's draws and
// dispatches.
#pragma once

#include "standin/Gpu.h"

#include <vector>

namespace standin {

// For every draw and dispatch, in order: each watched "buffer.field" that its pipeline's shaders declare,
// read where the bound root signature binds the buffer (a root constant-buffer view or root constants) and
// handed to the frame trace. Caller holds gpuMutex.
void watchConstants(const std::vector<RecordedCommand>& commands);

} // namespace standin
