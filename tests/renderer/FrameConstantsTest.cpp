// The frame constants as tables: projection and culling vector, camera selection with the culling-view
// refresh across mode switches, the fly-through's meshlet flag, the moving light and the CPU frame time.
#include "renderer/FrameConstants.h"

#include "camera/Camera.h"
#include "camera/FlyThrough.h"
#include "camera/LookAt.h"
#include "core/Math.h"
#include "renderer/MainLoop.h"
#include "renderer/Settings.h"

#include <windows.h>

#include <imgui.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

bool sameMatrix(const Mat4& a, const Mat4& b) {
    return std::memcmp(&a, &b, sizeof(Mat4)) == 0;
}

bool sameVector(const Vec3& a, const Vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The globals the constants read and write, kept aside so that each test starts from the defaults.
class FrameConstantsTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedCamera = camera;
        savedFlyThrough = flyThrough;
        camera = Camera{};
        flyThrough = FlyThrough{};
        flyThrough.setupPath();
        flyThroughActive = true;
        fixateViewpos = false;
        debugFlags = {0, 0};
        movingLightPosition = false;
        lightPosition = {0.0f, 7.5f, 0.0f};
        elapsedTime = 0.0f;
    }
    void TearDown() override {
        camera = savedCamera;
        flyThrough = savedFlyThrough;
        flyThroughActive = true;
        fixateViewpos = false;
        debugFlags = {0, 0};
        movingLightPosition = false;
        lightPosition = {0.0f, 7.5f, 0.0f};
        elapsedTime = 0.0f;
    }

    Camera savedCamera;
    FlyThrough savedFlyThrough;
};

} // namespace

TEST_F(FrameConstantsTest, ProjectionAndCullingVectorFollowTheFieldOfViewAndTheClientSize) {
    struct Case {
        float fov;
        uint32_t width, height;
        float entry0, entry5;
        Vec4 frustum;
    };
    const Case cases[] = {
        // 16:9 at 45 degrees: f = cot(22.5 degrees).
        {45.0f, 1920, 1080, 1.3579953f, 2.4142137f, {0.8052337f, 0.5929577f, 0.0f, 0.5929577f}},
        // Square at 90 degrees: f = 1, the side plane at 45 degrees.
        {90.0f, 600, 600, 1.0f, 1.0f, {0.70710678f, 0.70710678f, 0.0f, 0.70710678f}},
        // Portrait at 60 degrees: f = sqrt(3), times 2.
        {60.0f, 500, 1000, 3.4641016f, 1.7320508f, {0.96076892f, 0.27735010f, 0.0f, 0.27735010f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fov) + " degrees at " + std::to_string(c.width) + " x " +
                     std::to_string(c.height));
        camera.fov = c.fov;
        const FrameConstants constants = buildFrameConstants(0.0f, c.width, c.height);
        const float* p = constants.projection.m;
        EXPECT_NEAR(p[0], c.entry0, 1e-6f);
        EXPECT_NEAR(p[5], c.entry5, 1e-6f);
        EXPECT_EQ(p[11], 1.0f);
        EXPECT_EQ(p[14], 0.1f) << "the near plane";
        for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 10, 12, 13, 15})
            EXPECT_EQ(p[i], 0.0f) << "entry " << i;
        EXPECT_NEAR(constants.frustum.x, c.frustum.x, 1e-6f);
        EXPECT_NEAR(constants.frustum.y, c.frustum.y, 1e-6f);
        EXPECT_EQ(constants.frustum.z, 0.0f);
        EXPECT_NEAR(constants.frustum.w, c.frustum.w, 1e-6f);
        EXPECT_EQ(constants.width, float(c.width));
        EXPECT_EQ(constants.height, float(c.height));
        EXPECT_EQ(constants.nearPlane, 0.1f);
        EXPECT_EQ(constants.padding, 0.0f);
        EXPECT_EQ(constants.lightStrength, 3.0f);
        EXPECT_EQ(constants.lightRadius, 50.0f);
        EXPECT_EQ(constants.ambientFactor, 0.2f);
        // The inverse view-projection takes the view-projection back to the identity.
        const Mat4 product =
            multiply(multiply(constants.projection, constants.view), constants.inverseViewProjection);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(product.m[i], i % 5 == 0 ? 1.0f : 0.0f, 1e-4f) << "entry " << i;
    }
}

TEST_F(FrameConstantsTest, AMinimisedWindowGivesANonFiniteProjectionWithoutATrap) {
    const FrameConstants constants = buildFrameConstants(0.0f, 0, 0);
    EXPECT_FALSE(std::isfinite(constants.projection.m[0]));
    EXPECT_EQ(constants.projection.m[5], buildFrameConstants(0.0f, 1920, 1080).projection.m[5]);
    EXPECT_EQ(constants.width, 0.0f);
    EXPECT_EQ(constants.height, 0.0f);
}

TEST_F(FrameConstantsTest, OnlyTheActiveCameraAdvancesAndTheCullingViewRefreshesUnlessFixated) {
    // A UI frame per free-camera step, with W held: the free camera moves whenever it is updated.
    ImGuiContext* previous = ImGui::GetCurrentContext();
    ImGuiContext* context = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(1280.0f, 720.0f);
    io.DeltaTime = 0.1f;
    unsigned char* pixels = nullptr;
    int atlasWidth = 0, atlasHeight = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &atlasWidth, &atlasHeight);

    enum class Source { FlyThrough, Camera, Frozen };
    struct Step {
        bool flyThroughOn;
        bool fixate;
        Source culling; // where viewPos and cullView come from
    };
    const Step steps[] = {
        {true, false, Source::FlyThrough}, {false, false, Source::Camera}, {false, true, Source::Frozen},
        {true, true, Source::FlyThrough},  {false, true, Source::Frozen},  {false, false, Source::Camera},
    };
    Vec3 lastViewPos = camera.viewPos;
    Mat4 lastCullView = camera.cullView;
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& step = steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        flyThroughActive = step.flyThroughOn;
        fixateViewpos = step.fixate;
        const Vec3 cameraBefore = camera.position;
        const Vec3 flyBefore = flyThrough.position;
        const float flyTBefore = flyThrough.t;
        if (!step.flyThroughOn) {
#if IMGUI_VERSION_NUM >= 18700
            io.AddKeyEvent(ImGuiKey_W, true);
#else
            io.KeysDown['W'] = true;
#endif
            ImGui::NewFrame();
        }
        const FrameConstants constants = buildFrameConstants(0.1f, 1920, 1080);
        if (!step.flyThroughOn)
            ImGui::EndFrame();

        if (step.flyThroughOn) {
            EXPECT_TRUE(sameVector(camera.position, cameraBefore)) << "the free camera stands still";
            EXPECT_NE(flyThrough.t, flyTBefore) << "the fly-through plays";
            const Vec3 eye = flyThrough.position;
            const Mat4 flyView = lookAt(eye,
                                        {eye.x + flyThrough.direction.x, eye.y + flyThrough.direction.y,
                                         eye.z + flyThrough.direction.z},
                                        {0.0f, 1.0f, 0.0f});
            EXPECT_TRUE(sameMatrix(constants.view, flyView));
        } else {
            EXPECT_FALSE(sameVector(camera.position, cameraBefore)) << "the free camera moves";
            EXPECT_TRUE(sameVector(flyThrough.position, flyBefore)) << "the fly-through pauses";
            EXPECT_EQ(flyThrough.t, flyTBefore);
            const Vec3 eye = camera.position;
            const Mat4 cameraView = lookAt(
                eye, {eye.x + camera.front.x, eye.y + camera.front.y, eye.z + camera.front.z}, camera.up);
            EXPECT_TRUE(sameMatrix(constants.view, cameraView));
        }
        switch (step.culling) {
        case Source::FlyThrough:
            EXPECT_TRUE(sameVector(constants.viewPos, flyThrough.position));
            EXPECT_TRUE(sameMatrix(constants.cullView, constants.view));
            break;
        case Source::Camera:
            EXPECT_TRUE(sameVector(constants.viewPos, camera.position));
            EXPECT_TRUE(sameMatrix(constants.cullView, constants.view));
            break;
        case Source::Frozen:
            EXPECT_TRUE(sameVector(constants.viewPos, lastViewPos)) << "frozen at the previous step's";
            EXPECT_TRUE(sameMatrix(constants.cullView, lastCullView));
            EXPECT_FALSE(sameMatrix(constants.cullView, constants.view)) << "while the view moves on";
            break;
        }
        EXPECT_TRUE(sameVector(camera.viewPos, constants.viewPos));
        EXPECT_TRUE(sameMatrix(camera.cullView, constants.cullView));
        lastViewPos = constants.viewPos;
        lastCullView = constants.cullView;
    }
    ImGui::DestroyContext(context);
    ImGui::SetCurrentContext(previous);
}

TEST_F(FrameConstantsTest, TheFlyThroughOverwritesTheMeshletFlagEveryFrameAndTheFreeCameraLeavesIt) {
    struct Case {
        bool flyThroughOn;
        uint32_t segment;
        uint32_t ticked; // the checkbox's value before the frame
        uint32_t shown;
    };
    const Case cases[] = {
        {true, 4, 0, 1},  // the leg that shows meshlets, whatever the checkbox says
        {true, 5, 1, 0},  // a leg that does not
        {true, 8, 1, 0},  // the path is over
        {false, 4, 1, 1}, // the free camera leaves the flag alone
        {false, 4, 0, 0},
    };
    ImGuiContext* previous = ImGui::GetCurrentContext();
    ImGuiContext* context = ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::GetIO().DisplaySize = ImVec2(1280.0f, 720.0f);
    unsigned char* pixels = nullptr;
    int atlasWidth = 0, atlasHeight = 0;
    ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &atlasWidth, &atlasHeight);
    for (const Case& c : cases) {
        flyThroughActive = c.flyThroughOn;
        flyThrough.currentSegment = c.segment;
        flyThrough.state = FlyThroughState::Moving;
        flyThrough.pointIndex = 0;
        flyThrough.t = 0.0f;
        debugFlags.showMeshlets = c.ticked;
        if (!c.flyThroughOn)
            ImGui::NewFrame();
        buildFrameConstants(0.01f, 1920, 1080);
        if (!c.flyThroughOn)
            ImGui::EndFrame();
        EXPECT_EQ(debugFlags.showMeshlets, c.shown)
            << (c.flyThroughOn ? "fly-through" : "free camera") << " in leg " << c.segment;
    }
    ImGui::DestroyContext(context);
    ImGui::SetCurrentContext(previous);
}

TEST_F(FrameConstantsTest, TheMovingLightCirclesWhateverTheSliderHolds) {
    lightPosition = {3.0f, 4.0f, 5.0f};
    struct Case {
        bool moving;
        float elapsed;
        Vec3 light;
    };
    const float pi = 3.14159265f;
    const Case cases[] = {
        {true, 0.0f, {0.0f, 7.5f, 0.0f}},       {true, pi, {2.0f, 7.5f, 0.0f}},
        {true, 3.0f * pi, {-2.0f, 7.5f, 0.0f}}, {true, 4.0f * pi + pi, {2.0f, 7.5f, 0.0f}},
        {false, pi, {3.0f, 4.0f, 5.0f}},
    };
    for (const Case& c : cases) {
        movingLightPosition = c.moving;
        elapsedTime = c.elapsed;
        const Vec3 light = buildFrameConstants(0.0f, 1920, 1080).lightPosition;
        EXPECT_NEAR(light.x, c.light.x, 1e-5f) << c.elapsed << " s";
        EXPECT_EQ(light.y, c.light.y);
        EXPECT_EQ(light.z, c.light.z);
    }
}

TEST_F(FrameConstantsTest, TheFrameTimeAddsUpToTheElapsedTime) {
    const float first = measureFrameTime();
    EXPECT_GE(first, 0.0f);
    const float second = measureFrameTime();
    EXPECT_GE(second, 0.0f);
    EXPECT_EQ(elapsedTime, first + second);
}

TEST_F(FrameConstantsTest, TheCpuFrameTimeIsTheWholePassInMillisecondsSmoothed) {
    const int64_t savedFrequency = qpcFrequency;
    const uint64_t savedStart = frameStartMicros;
    const double savedCpuTime = cpuTimeMs;
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    qpcFrequency = frequency.QuadPart;
    // A pass that began ten seconds ago: one sample of about 10,000 ms moves the smoothed time by a
    // twentieth.
    frameStartMicros =
        countsToMicroseconds(uint64_t(counter.QuadPart), uint64_t(frequency.QuadPart)) - 10'000'000;
    cpuTimeMs = 100.0;
    measureCpuFrameTime();
    EXPECT_NEAR(cpuTimeMs, 100.0 * 0.95 + 10'000.0 * 0.05, 25.0);
    qpcFrequency = savedFrequency;
    frameStartMicros = savedStart;
    cpuTimeMs = savedCpuTime;
}
