// The renderer's key handling: the view-mode switch with its music, recording and printing positions, and
// the events that are only listed.
#include "renderer/Input.h"

#include <windows.h>
#include <mmsystem.h>

#include "camera/Camera.h"
#include "camera/FlyThrough.h"
#include "standin/Sound.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD MUSIC_FLAGS = 0x20009; // SND_FILENAME | SND_LOOP | SND_ASYNC
const standin::SoundCall MUSIC_START = {false, L"data/music.wav", nullptr, MUSIC_FLAGS};
const standin::SoundCall MUSIC_STOP = {true, L"", nullptr, 0};

InputEvent press(KeyCode key, uint32_t type = 1) {
    return {type, 0, 3, key};
}

class InputTest : public testing::Test {
protected:
    void SetUp() override {
        savedCamera = camera;
        savedFlyThrough = flyThrough;
        inputEvents.clear();
        recordedPoints.clear();
        flyThroughActive = true;
        flyThrough.setupPath();
        standin::resetSound();
    }
    void TearDown() override {
        camera = savedCamera;
        flyThrough = savedFlyThrough;
        inputEvents.clear();
        recordedPoints.clear();
        flyThroughActive = true;
        standin::resetSound();
    }

    // Sends the events and returns what they printed.
    static std::string send(std::vector<InputEvent> events) {
        testing::internal::CaptureStdout();
        for (InputEvent& event : events)
            onInputEvent(event);
        return testing::internal::GetCapturedStdout();
    }

    // The fly-through in the middle of its fourth leg, holding.
    static void playPartWay() {
        flyThrough.currentSegment = 3;
        flyThrough.pointIndex = 2;
        flyThrough.t = 0.5f;
        flyThrough.state = FlyThroughState::Holding;
        flyThrough.holdTimer = 0.3f;
        flyThrough.position = {1.0f, 2.0f, 3.0f};
    }

    Camera savedCamera;
    FlyThrough savedFlyThrough;
};

TEST_F(InputTest, F1SwitchesModesStoppingTheMusicOrRestartingTheFlyThroughAndTheMusic) {
    struct Case {
        const char* name;
        bool startsActive;
        int presses;
        bool endsActive;
        bool flyThroughRestarted;
        std::vector<standin::SoundCall> calls;
    };
    const Case cases[] = {
        {"fly-through to free camera", true, 1, false, false, {MUSIC_STOP}},
        {"free camera to fly-through", false, 1, true, true, {MUSIC_START}},
        // Auto-repeat sends one press per repeat, and each one switches.
        {"held from the fly-through", true, 2, true, true, {MUSIC_STOP, MUSIC_START}},
        {"held from the free camera", false, 3, true, true, {MUSIC_START, MUSIC_STOP, MUSIC_START}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        flyThroughActive = each.startsActive;
        playPartWay();
        standin::resetSound();
        EXPECT_EQ(send(std::vector<InputEvent>(each.presses, press(KeyCode::F1))), "");

        EXPECT_EQ(flyThroughActive, each.endsActive);
        EXPECT_EQ(standin::soundCalls(), each.calls);
        EXPECT_EQ(standin::soundState().playing, each.endsActive);
        if (each.flyThroughRestarted) {
            EXPECT_EQ(flyThrough.currentSegment, 0u);
            EXPECT_EQ(flyThrough.pointIndex, 0u);
            EXPECT_EQ(flyThrough.t, 0.0f);
            EXPECT_EQ(flyThrough.state, FlyThroughState::Moving);
            EXPECT_EQ(flyThrough.position.x, flyThrough.segments[0].points[0].x);
            EXPECT_EQ(flyThrough.position.z, flyThrough.segments[0].points[0].z);
            EXPECT_TRUE(standin::soundState().looping);
        } else {
            EXPECT_EQ(flyThrough.currentSegment, 3u) << "the fly-through stays where it was";
            EXPECT_EQ(flyThrough.t, 0.5f);
        }
        EXPECT_EQ(inputEvents.size(), static_cast<size_t>(each.presses));
        inputEvents.clear();
    }
}

TEST_F(InputTest, ETakesTheFreeCamerasPositionAndF3PrintsEveryRecordedPointEachTime) {
    const std::string initialLine = "points.emplace_back(-10.621512, 5.761714, 4.313231);\n";
    struct Case {
        const char* name;
        bool flyThroughActive;
        std::vector<InputEvent> events;
        std::string printed;
        size_t recorded;
    };
    const Case cases[] = {
        {"nothing recorded", false, {press(KeyCode::F3)}, "", 0},
        {"E then F3", false, {press(KeyCode::E), press(KeyCode::F3)}, initialLine, 1},
        {"F3 twice",
         false,
         {press(KeyCode::E), press(KeyCode::F3), press(KeyCode::F3)},
         initialLine + initialLine,
         1},
        // While the fly-through drives the view, the free camera stands where it was left.
        {"E during the fly-through", true, {press(KeyCode::E), press(KeyCode::F3)}, initialLine, 1},
        {"E held",
         false,
         {press(KeyCode::E), press(KeyCode::E), press(KeyCode::F3)},
         initialLine + initialLine,
         2},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        recordedPoints.clear();
        flyThroughActive = each.flyThroughActive;
        flyThrough.position = {100.0f, 200.0f, 300.0f};
        EXPECT_EQ(send(each.events), each.printed);
        EXPECT_EQ(recordedPoints.size(), each.recorded);
        EXPECT_EQ(flyThroughActive, each.flyThroughActive);
        EXPECT_TRUE(standin::soundCalls().empty());
    }
}

TEST_F(InputTest, PointsArePrintedInRecordingOrderWithSixDecimals) {
    camera.position = {1.0f, -2.5f, 0.125f};
    std::vector<InputEvent> events = {press(KeyCode::E)};
    send(events);
    camera.position = {-0.5f, 1e6f, 3.0f};
    events.push_back(press(KeyCode::F3));
    EXPECT_EQ(send(events), "points.emplace_back(1.000000, -2.500000, 0.125000);\n"
                            "points.emplace_back(-0.500000, 1000000.000000, 3.000000);\n");
}

TEST_F(InputTest, OtherKeysAndOtherEventTypesAreOnlyListed) {
    recordedPoints = {{1.0f, 2.0f, 3.0f}};
    std::vector<InputEvent> events;
    for (KeyCode key : {KeyCode::W, KeyCode::A, KeyCode::S, KeyCode::D, KeyCode::Shift, KeyCode::Control,
                        KeyCode::Q, KeyCode::F2})
        events.push_back(press(key));
    for (uint32_t type : {0u, 2u, 0xFFFFFFFFu})
        for (KeyCode key : {KeyCode::E, KeyCode::F1, KeyCode::F3})
            events.push_back(press(key, type));
    events.push_back({1, 7, 0, KeyCode::W}); // other reserved and state words change nothing either

    EXPECT_EQ(send(events), "");
    EXPECT_TRUE(flyThroughActive);
    EXPECT_EQ(recordedPoints.size(), 1u);
    EXPECT_TRUE(standin::soundCalls().empty());
    ASSERT_EQ(inputEvents.size(), events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(inputEvents[i].type, events[i].type) << i;
        EXPECT_EQ(inputEvents[i].reserved, events[i].reserved) << i;
        EXPECT_EQ(inputEvents[i].state, events[i].state) << i;
        EXPECT_EQ(inputEvents[i].key, events[i].key) << i;
    }
}

} // namespace
