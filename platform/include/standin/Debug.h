// Inspection of the stand-in's debugger output, for tests.
#pragma once

#include <string>

namespace standin {

// Everything written with OutputDebugStringA since the start or the last clear.
std::string debugOutput();
void clearDebugOutput();

} // namespace standin
