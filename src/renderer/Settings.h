// The settings the debug panel edits in place while the program runs and the frame reads each frame: the
// post settings, the debug flags, the light, the frozen culling viewpoint and the near plane. They live for
// the run and are never saved. (The times and counters the panel shows belong to the frame: FrameConstants.h
// and FrameQueries.h; which camera drives the view to the input handling: Input.h.)
#pragma once

#include "Shaders/Shared.hlsli"
#include "core/MathTypes.h"

// Exposure 0, brightness 0, contrast 1, saturation 1; passed to the post pass as four root constants.
extern PostSettings postSettings;
// Both 0; the panel's checkboxes store 0 or 1. While the fly-through runs, it overwrites showMeshlets every
// frame.
extern DebugFlags debugFlags;
// While set (and the free camera drives the view), culling keeps the viewpoint it had when it was set.
extern bool fixateViewpos;
// (0, 7.5, 0); ignored while movingLightPosition is set.
extern Vec3 lightPosition;
extern bool movingLightPosition;
extern float ambientFactor; // 0.2
extern float lightStrength; // 3
extern float lightRadius;   // 50
extern float nearPlane;     // 0.1, fixed

// Gives the near plane, the light and the viewpoint switch their start values and zeroes the six smoothed
// times the panel shows. Runs during static initialisation, before the entry point.
void initMainGlobals();
