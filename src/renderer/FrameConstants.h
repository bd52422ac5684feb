// The first half of each frame: the frame time, the camera that drives the view, and the four constant blocks
// the geometry and shading passes read; and, at the very end of the frame, the CPU frame time.
#pragma once

#include "Shaders/Shared.hlsli"
#include "core/MathTypes.h"

#include <cstdint>

// Seconds since the first frame, the sum of every frame time; drives the moving light in both camera modes.
extern float elapsedTime;
// The CPU time of a whole main-loop pass in milliseconds, smoothed over frames.
extern double cpuTimeMs;

// The smoothing of every time the debug panel shows: an exponential moving average that starts from 0.
inline double smoothed(double previous, double sample) {
    return previous * 0.95 + sample * 0.05;
}

// Reads the steady clock and returns the seconds since the previous call (close to 0 on the first call);
// adds them to elapsedTime.
float measureFrameTime();

// The light that circles the scene's centre: (2 sin(elapsedTime / 2), 7.5, 0).
Vec3 movingLight(float elapsed);

// The culling vector of a projection, from the plane that is its column 0 plus column 3.
Vec4 frustumOf(const Mat4& projection);

// The frame's constants for a client area of width x height: the projection, the view of the camera that
// drives it this frame (only that camera advances, by dt seconds), the culling view and position after the
// refresh rule, the light and the settings. Sets debugFlags.showMeshlets while the fly-through drives the
// view. The free camera reads the UI frame that the debug panel opened earlier in the frame.
FrameConstants buildFrameConstants(float dt, uint32_t width, uint32_t height);

// Copies the four blocks into the current frame's slots: the frame constants, sceneInfo, debugFlags and
// descriptorIndices, in that order.
void writeFrameConstantBlocks(const FrameConstants& frameConstants);

// The last step of a frame: the time since the main-loop pass began (frameStartMicros), into cpuTimeMs.
void measureCpuFrameTime();
