// The calls of the stand-in's Dear ImGui back ends, for standin::imguiBackendCalls.
#pragma once

namespace standin {

// Keeps the name of a back-end call (the most recent ones only).
void noteImGuiBackendCall(const char* call);

} // namespace standin
