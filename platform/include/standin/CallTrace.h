// A trace of the platform calls the program makes, for tests of the order in which it does things.
#pragma once

#include <string>
#include <vector>

namespace standin {

// Starts recording, forgetting any earlier record. While recording, each traced call appends its API name
// ("PlaySoundW", "CreateWindowExW", "ID3D12Device::CreateFence", "IDxcCompiler::Compile", ...) in call order.
// Traced are the window functions that make and show windows, events, the performance-counter frequency,
// sound, every Direct3D 12 and DXGI call that a failCall control can make fail, the shader compiler's
// instances, include handler and compiles, and the initialisation of the debug panel's two back ends.
void startCallTrace();
// Stops recording and returns the record.
std::vector<std::string> stopCallTrace();

} // namespace standin
