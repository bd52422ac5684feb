#include "camera/Camera.h"
#include "camera/CameraKeys.h"
#include "camera/LookAt.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <cmath>
#include <cstdint>
#include <vector>

// The renderer owns the remembered client size; these stand in until a test links it.
__attribute__((weak)) uint32_t lastWidth = 0;
__attribute__((weak)) uint32_t lastHeight = 0;

namespace {

#if IMGUI_VERSION_NUM >= 18700
using Key = ImGuiKey;
#else
using Key = int;
#endif

// One frame of input as a platform back end would hand it to Dear ImGui.
struct Input {
    ImVec2 mouse{100.0f, 100.0f};
    bool leftButton = false;
    float wheel = 0.0f;
    std::vector<Key> keys = {};
    bool panelWantsMouse = false;
    float deltaTime = 1.0f / 60.0f;
};

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        context = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(1280.0f, 720.0f);
        unsigned char* pixels = nullptr;
        int width = 0;
        int height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }
    void TearDown() override { ImGui::DestroyContext(context); }

    // Runs one UI frame around Camera::update and returns its view.
    Mat4 frame(const Input& input) {
        ImGuiIO& io = ImGui::GetIO();
        io.DeltaTime = input.deltaTime;
#if IMGUI_VERSION_NUM >= 18700
        io.AddMousePosEvent(input.mouse.x, input.mouse.y);
        io.AddMouseButtonEvent(ImGuiMouseButton_Left, input.leftButton);
        io.AddMouseWheelEvent(0.0f, input.wheel);
        for (Key key : heldKeys)
            io.AddKeyEvent(key, false);
        for (Key key : input.keys)
            io.AddKeyEvent(key, true);
#else
        io.MousePos = input.mouse;
        io.MouseDown[ImGuiMouseButton_Left] = input.leftButton;
        io.MouseWheel = input.wheel;
        for (Key key : heldKeys)
            io.KeysDown[key] = false;
        for (Key key : input.keys)
            io.KeysDown[key] = true;
#endif
        heldKeys = input.keys;
        ImGui::NewFrame();
        // NewFrame computes the capture flag from the panel's windows; a test has none, so it sets the flag.
        io.WantCaptureMouse = input.panelWantsMouse;
        const Mat4 view = cam.update();
        ImGui::EndFrame();
        return view;
    }

    // Presses the left button at `from` and moves past the drag threshold, ending in the first dragging
    // frame.
    void startDrag(ImVec2 from) {
        frame({.mouse = from, .leftButton = true});
        frame({.mouse = {from.x, from.y + 10.0f}, .leftButton = true});
        ASSERT_FALSE(cam.firstMouse);
    }

    ImGuiContext* context = nullptr;
    std::vector<Key> heldKeys;
    Camera cam;
};

void expectNear(Vec3 actual, Vec3 expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

} // namespace

TEST(CameraGlobalTest, StartsFromStaticInitialValues) {
    EXPECT_EQ(camera.position.x, -10.621512f);
    EXPECT_EQ(camera.position.y, 5.761714f);
    EXPECT_EQ(camera.position.z, 4.313231f);
    EXPECT_EQ(camera.viewPos.z, 4.313231f);
    EXPECT_EQ(camera.front.x, 1.0f);
    EXPECT_EQ(camera.front.z, 1.0f);
    for (float element : camera.cullView.m)
        EXPECT_EQ(element, 0.0f);
    EXPECT_EQ(camera.fov, 45.0f);
    EXPECT_EQ(camera.yaw, 8.0f);
    EXPECT_EQ(camera.pitch, 0.3f);
    EXPECT_TRUE(camera.firstMouse);
    EXPECT_EQ(camera.sensitivity, 0.1f);
    EXPECT_EQ(camera.speed, 2.0f);
}

TEST_F(CameraTest, DragTurnsOnlyPastTheThresholdAndStartsWithoutOffset) {
    frame({.mouse = {100, 100}, .leftButton = true});
    frame({.mouse = {104, 100}, .leftButton = true}); // within the drag threshold
    EXPECT_EQ(cam.yaw, 8.0f);
    EXPECT_EQ(cam.front.x, 1.0f);
    EXPECT_EQ(cam.front.z, 1.0f);
    EXPECT_TRUE(cam.firstMouse);
    EXPECT_EQ(cam.lastX, 104.0f);

    // The first dragging frame takes no offset but already turns the view to yaw 8, pitch 0.3.
    frame({.mouse = {110, 100}, .leftButton = true});
    EXPECT_FALSE(cam.firstMouse);
    EXPECT_EQ(cam.yaw, 8.0f);
    EXPECT_EQ(cam.pitch, 0.3f);
    expectNear(cam.front, {0.990255f, 0.005236f, 0.139171f});

    frame({.mouse = {120, 95}, .leftButton = true});
    EXPECT_FLOAT_EQ(cam.yaw, 9.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 0.8f);
    EXPECT_NEAR(std::sqrt(cam.front.x * cam.front.x + cam.front.y * cam.front.y + cam.front.z * cam.front.z),
                1.0f, 1e-6f);

    // Releasing and pressing elsewhere starts a new drag without a jump.
    frame({.mouse = {120, 95}});
    EXPECT_TRUE(cam.firstMouse);
    frame({.mouse = {400, 300}, .leftButton = true});
    frame({.mouse = {410, 300}, .leftButton = true});
    EXPECT_FLOAT_EQ(cam.yaw, 9.0f);
}

TEST_F(CameraTest, PitchStopsAtPlusMinusEightyNine) {
    startDrag({500, 500});
    frame({.mouse = {500, -2000}, .leftButton = true});
    EXPECT_EQ(cam.pitch, 89.0f);
    frame({.mouse = {500, 3000}, .leftButton = true});
    EXPECT_EQ(cam.pitch, -89.0f);
    EXPECT_TRUE(std::isfinite(cam.front.x) && std::isfinite(cam.front.y) && std::isfinite(cam.front.z));
}

TEST_F(CameraTest, PanelUsingTheMouseBlocksLookAndWheelButNotKeys) {
    startDrag({200, 200});
    const float yaw = cam.yaw;
    const Vec3 front = cam.front;
    const Vec3 position = cam.position;
    frame({.mouse = {300, 260},
           .leftButton = true,
           .wheel = 3.0f,
           .keys = {CameraKeys::W},
           .panelWantsMouse = true,
           .deltaTime = 0.5f});
    EXPECT_EQ(cam.yaw, yaw);
    EXPECT_EQ(cam.front.x, front.x);
    EXPECT_TRUE(cam.firstMouse);
    EXPECT_EQ(cam.lastX, 300.0f);
    EXPECT_EQ(cam.speed, 2.0f);
    expectNear(cam.position, {position.x + front.x, position.y + front.y, position.z + front.z});
}

TEST_F(CameraTest, WheelStepsTheSpeedWithAFloor) {
    struct Case {
        float speed;
        float wheel;
        float expected;
    };
    for (const Case& c : {Case{2.0f, -1.0f, 1.5f}, Case{2.0f, 2.0f, 3.0f}, Case{0.3f, -1.0f, 0.1f},
                          Case{0.5f, -1.0f, 0.1f}, Case{0.1f, -4.0f, 0.1f}, Case{100.0f, 10.0f, 105.0f}}) {
        cam.speed = c.speed;
        frame({.wheel = c.wheel});
        EXPECT_FLOAT_EQ(cam.speed, c.expected) << "from " << c.speed << " by " << c.wheel;
    }
}

TEST_F(CameraTest, NewSpeedMovesFromTheNextFrame) {
    cam.front = {0, 0, 1};
    cam.position = {0, 0, 0};
    frame({.wheel = 2.0f, .keys = {CameraKeys::W}, .deltaTime = 0.5f});
    expectNear(cam.position, {0, 0, 1});
    frame({.keys = {CameraKeys::W}, .deltaTime = 0.5f});
    expectNear(cam.position, {0, 0, 2.5f});
}

TEST_F(CameraTest, EachMovementKeyMovesAlongItsAxis) {
    struct Case {
        const char* name;
        Key key;
        Vec3 move;
    };
    const Case cases[] = {
        {"W", CameraKeys::W, {0, 0, 1}},         {"S", CameraKeys::S, {0, 0, -1}},
        {"A", CameraKeys::A, {-1, 0, 0}},        {"D", CameraKeys::D, {1, 0, 0}},
        {"Space", CameraKeys::Space, {0, 1, 0}}, {"Left Shift", CameraKeys::LeftShift, {0, -1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cam.front = {0, 0, 1};
        cam.position = {3, 4, 5};
        // speed 2 for half a second
        const Mat4 view = frame({.keys = {c.key}, .deltaTime = 0.5f});
        expectNear(cam.position, {3 + c.move.x, 4 + c.move.y, 5 + c.move.z});
        const Mat4 expected =
            lookAt(cam.position, {cam.position.x, cam.position.y, cam.position.z + 1}, {0, 1, 0});
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(view.m[i], expected.m[i]) << "element " << i;
    }
}

TEST_F(CameraTest, WMovesAlongTheUnnormalisedInitialFront) {
    const Vec3 start = cam.position;
    frame({.keys = {CameraKeys::W, CameraKeys::A}, .deltaTime = 0.5f});
    // (1, 0, 1) as stored, plus A along the unit vector of front x up = (-1, 0, 1) / sqrt(2).
    const float half = 1.0f / std::sqrt(2.0f);
    expectNear(cam.position, {start.x + 1.0f - half, start.y, start.z + 1.0f + half});
}

TEST_F(CameraTest, MouseToNdcMapsTheClientCorners) {
    lastWidth = 1280;
    lastHeight = 720;
    struct Case {
        ImVec2 mouse;
        Vec2 ndc;
    };
    for (const Case& c : {Case{{0, 0}, {-1, 1}}, Case{{1280, 720}, {1, -1}}, Case{{640, 180}, {0, 0.5f}}}) {
        frame({.mouse = c.mouse});
        const Vec2 ndc = mouseToNdc();
        EXPECT_FLOAT_EQ(ndc.x, c.ndc.x);
        EXPECT_FLOAT_EQ(ndc.y, c.ndc.y);
    }
    lastWidth = 0;
    lastHeight = 0;
    frame({.mouse = {10, 10}});
    const Vec2 minimised = mouseToNdc();
    EXPECT_FALSE(std::isfinite(minimised.x));
    EXPECT_FALSE(std::isfinite(minimised.y));
}
