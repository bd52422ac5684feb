#include "renderer/Settings.h"

#include "renderer/FrameConstants.h"
#include "renderer/FrameQueries.h"

PostSettings postSettings = {0.0f, 0.0f, 1.0f, 1.0f};
DebugFlags debugFlags = {};
bool fixateViewpos = false;
Vec3 lightPosition = {};
bool movingLightPosition = false;
float ambientFactor = 0.0f;
float lightStrength = 0.0f;
float lightRadius = 0.0f;
float nearPlane = 0.0f;

void initMainGlobals() {
    nearPlane = 0.1f;
    lightPosition = {0.0f, 7.5f, 0.0f};
    ambientFactor = 0.2f;
    lightStrength = 3.0f;
    lightRadius = 50.0f;
    fixateViewpos = false;
    cpuTimeMs = 0.0;
    geomTimeMs = 0.0;
    shadingTimeMs = 0.0;
    shadowsTimeMs = 0.0;
    denoisingTimeMs = 0.0;
    postTimeMs = 0.0;
}

namespace {

// Nothing reads these before the entry point, and the times it zeroes are constant-initialised, so the order
// among the program's static initialisers does not matter.
[[maybe_unused]] const bool mainGlobalsInitialized = (initMainGlobals(), true);

} // namespace
