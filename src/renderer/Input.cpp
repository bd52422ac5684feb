#include "renderer/Input.h"

#include <windows.h>
#include <mmsystem.h>

#include "camera/Camera.h"
#include "camera/FlyThrough.h"

#include <cstdio>

std::vector<InputEvent> inputEvents;
std::vector<Vec3> recordedPoints;
bool flyThroughActive = true;

namespace {

constexpr uint32_t KEY_PRESS_TYPE = 1;

void switchViewMode() {
    flyThroughActive = !flyThroughActive;
    if (flyThroughActive) {
        // Back to the fly-through: from its first point, with the music from its beginning.
        flyThrough.reset();
        PlaySoundW(L"data/music.wav", nullptr, SND_FILENAME | SND_LOOP | SND_ASYNC);
    } else {
        PlaySoundW(nullptr, nullptr, 0);
    }
}

} // namespace

void onInputEvent(InputEvent& event) {
    inputEvents.push_back(event);
    if (event.type != KEY_PRESS_TYPE)
        return;
    switch (event.key) {
    case KeyCode::E:
        // The free camera's position, also while the fly-through drives the view (the camera then stands
        // still).
        recordedPoints.push_back(camera.position);
        break;
    case KeyCode::F1:
        switchViewMode();
        break;
    case KeyCode::F3:
        for (const Vec3& point : recordedPoints)
            std::printf("points.emplace_back(%f, %f, %f);\n", point.x, point.y, point.z);
        break;
    default:
        break;
    }
}
