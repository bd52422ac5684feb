// What the debug panel edits and shows: the post settings, the view switches, the light, and the smoothed
// times and counters the frame measures. They live for the run and are never saved.
#pragma once

#include "Shaders/Shared.hlsli"
#include "core/MathTypes.h"

#include <cstdint>

// Exposure 0, brightness 0, contrast 1, saturation 1; the post pass's four root constants.
extern PostSettings postSettings;
// Both 0 at start; the panel's checkboxes store 0 or 1, the fly-through overwrites showMeshlets.
extern DebugFlags debugFlags;
// Freezes the position and view that culling uses while the free camera moves.
extern bool fixateViewpos;
extern Vec3 lightPosition;
// When set, the light circles on its own and lightPosition is not used.
extern bool movingLightPosition;
extern float ambientFactor;
extern float lightStrength;
extern float lightRadius;
extern float nearPlane;

// Milliseconds, smoothed over frames: the CPU frame time and the five GPU pass times.
extern double cpuTimeMs;
extern double geomTimeMs;
extern double shadingTimeMs;
extern double shadowsTimeMs;
extern double denoisingTimeMs;
extern double postTimeMs;
// The geometry pass's counters, as last read.
extern uint64_t asInvocations;
extern uint64_t msInvocations;
extern uint64_t primitiveCount;

// Gives the near plane, the light and the view-position switch their start values and zeroes the six
// smoothed times. Runs during static initialisation, before the entry point.
void initMainGlobals();
