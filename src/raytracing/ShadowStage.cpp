#include "raytracing/ShadowStage.h"

#include "renderer/Logging.h"
#include "scene/AccelerationStructures.h"

bool shadowStageEnabled = true;

void disableShadowStage(const char* reason) {
    if (!shadowStageEnabled)
        return;
    shadowStageEnabled = false;
    raytracerLogger->warn("Ray-traced shadows are off: {}", reason);
}

bool shadowStageReady() {
    if (shadowStageEnabled && !tlas)
        disableShadowStage("the scene has no top-level acceleration structure");
    return shadowStageEnabled;
}
