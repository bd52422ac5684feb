// The settings the frame reads each frame, with their defaults: the post settings, the debug flags, the
// light, the frozen culling viewpoint, the near plane, and which camera drives the view. The debug panel
// edits them in place while the program runs; F1 toggles the camera.
#pragma once

#include "Shaders/Shared.hlsli"
#include "core/MathTypes.h"

// Exposure 0, brightness 0, contrast 1, saturation 1; passed to the post pass as four root constants.
extern PostSettings postSettings;
// Both 0. While the fly-through runs, it overwrites showMeshlets every frame.
extern DebugFlags debugFlags;
// While set (and the free camera drives the view), culling keeps the viewpoint it had when it was set.
extern bool fixateViewpos;
// (0, 7.5, 0); ignored while movingLightPosition is set.
extern Vec3 lightPosition;
extern bool movingLightPosition;
extern float lightStrength; // 3
extern float lightRadius;   // 50
extern float ambientFactor; // 0.2
extern float nearPlane;     // 0.1, fixed
// True from the start: the scripted fly-through drives the view; false while the free camera does.
extern bool flyThroughActive;
