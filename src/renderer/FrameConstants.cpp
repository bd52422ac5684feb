#include "renderer/FrameConstants.h"

#include <windows.h>

#include "camera/Camera.h"
#include "camera/FlyThrough.h"
#include "core/Buffers.h"
#include "core/Math.h"
#include "raytracing/ShadowMaps.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameObjects.h"
#include "renderer/Input.h"
#include "renderer/MainLoop.h"
#include "renderer/Settings.h"
#include "scene/Scene.h"

#include <chrono>
#include <cmath>

float elapsedTime = 0.0f;
double cpuTimeMs = 0.0;

namespace {

// The nearest single-precision value to pi / 180.
constexpr float DEGREES_TO_RADIANS = 0.017453292f;

int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

float measureFrameTime() {
    static int64_t lastFrameTime = steadyNanoseconds();
    const int64_t now = steadyNanoseconds();
    const float dt = static_cast<float>(now - lastFrameTime) / 1e9f;
    lastFrameTime = now;
    elapsedTime += dt;
    return dt;
}

Vec3 movingLight(float elapsed) {
    return {2.0f * std::sin(0.5f * elapsed), 7.5f, 0.0f};
}

Vec4 frustumOf(const Mat4& projection) {
    const float* m = projection.m;
    const Vec4 plane = {m[0] + m[3], m[4] + m[7], m[8] + m[11], m[12] + m[15]};
    const float length =
        std::sqrt(plane.x * plane.x + plane.y * plane.y + plane.z * plane.z + plane.w * plane.w);
    const float scale = 1.0f / length;
    // All four lanes come from the one side plane; the shaders derive the vertical planes themselves.
    return {plane.x * scale, plane.z * scale, plane.y * scale, plane.z * scale};
}

FrameConstants buildFrameConstants(float dt, uint32_t width, uint32_t height) {
    // Zeroed first, so that every byte that reaches the GPU is written, the padding word included.
    FrameConstants frameConstants = {};
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    // A minimised window gives 0 / 0 in entry 0: not a finite number, but no trap, and nothing is drawn.
    frameConstants.projection = perspective(camera.fov * DEGREES_TO_RADIANS, w, h, nearPlane);

    // Only the camera that drives the view advances; the other keeps its place.
    Mat4 view;
    if (flyThroughActive) {
        bool showMeshlets = false;
        view = flyThrough.update(dt, showMeshlets);
        debugFlags.showMeshlets = showMeshlets ? 1 : 0;
        camera.viewPos = flyThrough.position;
        camera.cullView = view;
    } else {
        view = camera.update();
        if (!fixateViewpos) {
            camera.viewPos = camera.position;
            camera.cullView = view;
        }
    }
    frameConstants.view = view;
    frameConstants.inverseViewProjection = inverse(multiply(frameConstants.projection, view));
    frameConstants.lightPosition = movingLightPosition ? movingLight(elapsedTime) : lightPosition;
    frameConstants.lightStrength = lightStrength;
    frameConstants.lightRadius = lightRadius;
    frameConstants.ambientFactor = ambientFactor;
    frameConstants.viewPos = camera.viewPos;
    frameConstants.cullView = camera.cullView;
    frameConstants.nearPlane = nearPlane;
    frameConstants.width = w;
    frameConstants.height = h;
    frameConstants.frustum = frustumOf(frameConstants.projection);
    return frameConstants;
}

void writeFrameConstantBlocks(const FrameConstants& frameConstants) {
    writeConstantBuffer(frameConstantsBuffer, &frameConstants, sizeof(FrameConstants));
    writeConstantBuffer(sceneInfoBuffer, &sceneInfo, sizeof(SceneInfo));
    writeConstantBuffer(debugFlagsBuffer, &debugFlags, sizeof(DebugFlags));
    writeConstantBuffer(descriptorIndicesBuffer, &descriptorIndices, sizeof(DescriptorIndices));
    updateRaytracingConstants(camera, flyThrough, flyThroughActive, frameConstants);
}

void measureCpuFrameTime() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const uint64_t now =
        countsToMicroseconds(static_cast<uint64_t>(counter.QuadPart), static_cast<uint64_t>(qpcFrequency));
    // The whole main-loop pass: messages, the frame's CPU work, presentation and the frame-fence wait.
    const double sample = static_cast<double>(now - frameStartMicros) * 0.001;
    cpuTimeMs = smoothed(cpuTimeMs, sample);
}
