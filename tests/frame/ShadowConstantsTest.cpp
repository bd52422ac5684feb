// Each frame writes RaytracingConstants into its own slot, from the FrameConstants it has just written.
#include "frame/FrameFixture.h"

#include "camera/Camera.h"
#include "camera/FlyThrough.h"
#include "core/Globals.h"
#include "raytracing/ShadowMaps.h"
#include "renderer/FrameObjects.h"
#include "renderer/Input.h"
#include "renderer/Settings.h"

#include <cstring>

TEST_F(FrameTest, EachFrameWritesTheRaytracingConstantsOfItsView) {
    // Stale bytes in both slots: the frame must overwrite its slot's whole record.
    std::memset(rtConstantsBuffer.mapped, 0xA5, 2 * rtConstantsBuffer.alignedSize);
    const uint32_t slot = frameIndex;
    renderFrames(1);
    RaytracingConstants written;
    std::memcpy(&written, rtConstantsBuffer.mapped + slot * rtConstantsBuffer.alignedSize, sizeof written);
    FrameConstants frame;
    std::memcpy(&frame, frameConstantsBuffer.mapped + slot * frameConstantsBuffer.alignedSize, sizeof frame);
    EXPECT_EQ(std::memcmp(&written.lightPosition, &frame.lightPosition, sizeof(Vec3)), 0);
    EXPECT_EQ(std::memcmp(&written.inverseViewProjection, &frame.inverseViewProjection, sizeof(Mat4)), 0);
    // The view that drives the frame: the fly-through's while it runs (as from the start), else the camera's.
    const Vec3& position = flyThroughActive ? flyThrough.position : camera.position;
    const Vec3& direction = flyThroughActive ? flyThrough.direction : camera.front;
    EXPECT_EQ(std::memcmp(&written.cameraPosition, &position, sizeof(Vec3)), 0);
    EXPECT_EQ(std::memcmp(&written.cameraDirection, &direction, sizeof(Vec3)), 0);
    EXPECT_EQ(written.fov, camera.fov);
    EXPECT_EQ(written.param0, 0.2f);
    EXPECT_EQ(written.padding4.x, 0.0f);
    // The other slot, which the frame in flight may read, is untouched.
    EXPECT_EQ(rtConstantsBuffer.mapped[(1 - slot) * rtConstantsBuffer.alignedSize], 0xA5);
}
