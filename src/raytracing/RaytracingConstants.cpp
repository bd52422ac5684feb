#include "raytracing/ShadowMaps.h"

#include "camera/Camera.h"
#include "camera/FlyThrough.h"

#include <cmath>

ConstantBuffer rtConstantsBuffer = {};

void createRaytracingConstants() {
    rtConstantsBuffer = createConstantBuffer(sizeof(RaytracingConstants), 1);
}

void updateRaytracingConstants(const Camera& camera, const FlyThrough& flyThrough, bool flyThroughActive,
                               const FrameConstants& frameConstants) {
    // Zeroed, so that the padding words carry no stale bytes to the GPU.
    RaytracingConstants constants = {};
    constants.cameraPosition = flyThroughActive ? flyThrough.position : camera.position;
    constants.cameraDirection = flyThroughActive ? flyThrough.direction : camera.front;
    constants.fov = camera.fov;
    constants.cameraUp = camera.up;
    // World up crossed with the free camera's front, in both modes.
    const Vec3 front = camera.front;
    const float inverseLength = 1.0f / std::sqrt(front.z * front.z + front.x * front.x);
    constants.cameraRight = {front.z * inverseLength, 0.0f, -front.x * inverseLength};
    constants.lightPosition = frameConstants.lightPosition;
    constants.param0 = 0.2f;
    constants.param1 = 0.0f;
    constants.inverseViewProjection = frameConstants.inverseViewProjection;
    writeConstantBuffer(rtConstantsBuffer, &constants, sizeof(constants));
}
