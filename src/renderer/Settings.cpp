#include "renderer/Settings.h"

PostSettings postSettings = {0.0f, 0.0f, 1.0f, 1.0f};
DebugFlags debugFlags = {};
bool fixateViewpos = false;
Vec3 lightPosition = {};
bool movingLightPosition = false;
float ambientFactor = 0.0f;
float lightStrength = 0.0f;
float lightRadius = 0.0f;
float nearPlane = 0.0f;

double cpuTimeMs = 0.0;
double geomTimeMs = 0.0;
double shadingTimeMs = 0.0;
double shadowsTimeMs = 0.0;
double denoisingTimeMs = 0.0;
double postTimeMs = 0.0;
uint64_t asInvocations = 0;
uint64_t msInvocations = 0;
uint64_t primitiveCount = 0;

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

// Nothing reads these before the entry point, so the order among the program's static initialisers does not
// matter.
[[maybe_unused]] const bool mainGlobalsInitialized = (initMainGlobals(), true);

} // namespace
