// The settings' values when the program starts, before the entry point runs.
#include "renderer/Settings.h"

#include "camera/Camera.h"
#include "renderer/FrameConstants.h"
#include "renderer/FrameQueries.h"
#include "renderer/Input.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsTest, StartWithTheirDefaultsBeforeTheEntryPointRuns) {
    struct Expected {
        const char* name;
        double value;
        double expected;
    };
    const Expected floats[] = {
        {"exposure", postSettings.exposure, 0.0},
        {"brightness", postSettings.brightness, 0.0},
        {"contrast", postSettings.contrast, 1.0},
        {"saturation", postSettings.saturation, 1.0},
        {"field of view", camera.fov, 45.0},
        {"light x", lightPosition.x, 0.0},
        {"light y", lightPosition.y, 7.5},
        {"light z", lightPosition.z, 0.0},
        {"ambient factor", ambientFactor, 0.2f},
        {"light strength", lightStrength, 3.0},
        {"light radius", lightRadius, 50.0},
        {"near plane", nearPlane, 0.1f},
        {"CPU time", cpuTimeMs, 0.0},
        {"geometry time", geomTimeMs, 0.0},
        {"shading time", shadingTimeMs, 0.0},
        {"shadows time", shadowsTimeMs, 0.0},
        {"denoising time", denoisingTimeMs, 0.0},
        {"post time", postTimeMs, 0.0},
    };
    for (const Expected& each : floats)
        EXPECT_EQ(each.value, each.expected) << each.name;
    EXPECT_EQ(debugFlags.showMeshlets, 0u);
    EXPECT_EQ(debugFlags.disableBackfaceCulling, 0u);
    EXPECT_FALSE(fixateViewpos);
    EXPECT_FALSE(movingLightPosition);
    EXPECT_TRUE(flyThroughActive);
    EXPECT_TRUE(recordedPoints.empty());
    EXPECT_EQ(asInvocations + msInvocations + primitiveCount, 0u);
}

} // namespace
