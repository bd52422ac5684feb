// The session driver of the stand-in: counts frames, posts the scripted input at the start of each frame,
// closes the window at the frame limit and reports the run at exit.
#include "win32/Win32Internal.h"

#include "session/FrameTrace.h"
#include "standin/Session.h"
#include "standin/WindowSystem.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

struct Driver {
    bool active = false;
    std::vector<standin::ScriptStep> steps;
    size_t nextStep = 0;
    uint64_t frameLimit = 0;
    bool closeRequested = false;

    uint64_t frame = 0;
    // Whether frame 0 has begun, and whether the current pass has emptied the queue without a present.
    bool started = false;
    bool passEnded = false;
    uint64_t presents = 0;
    uint64_t framesBegun = 0;
    Clock::time_point firstFrameStart;
    Clock::time_point lastFrameStart;

    // What the driver's own keyboard and mouse hold, for the flags of the messages it posts.
    std::array<bool, 256> keysDown{};
    int32_t cursorX = 0;
    int32_t cursorY = 0;
    bool leftButtonDown = false;
};

std::mutex sessionMutex;
Driver driver;
std::atomic<uint64_t> presented{0};
std::atomic<standin::ValidationFindingCounter> findingCounter{nullptr};

void beginFrame() {
    Clock::time_point now = Clock::now();
    if (driver.framesBegun == 0)
        driver.firstFrameStart = now;
    driver.lastFrameStart = now;
    driver.framesBegun += 1;
}

// Frame 0 begins with the first present or the first PeekMessageW of the session; returns whether it did now.
bool beginFirstFrame() {
    if (driver.started)
        return false;
    driver.started = true;
    beginFrame();
    return true;
}

void beginNextFrame() {
    driver.passEnded = false;
    driver.frame += 1;
    beginFrame();
}

WPARAM mouseFlags() {
    WPARAM flags = 0;
    if (driver.leftButtonDown)
        flags |= MK_LBUTTON;
    if (driver.keysDown[VK_SHIFT])
        flags |= MK_SHIFT;
    if (driver.keysDown[VK_CONTROL])
        flags |= MK_CONTROL;
    return flags;
}

// Key messages go to the window with the keyboard focus; while Alt is held (or for Alt itself) they are
// system key messages, as Windows sends them.
void postKey(const standin::ScriptStep& step) {
    HWND target = standin::win32::focusWindow();
    bool down = step.action == standin::ScriptAction::KeyDown;
    unsigned key = step.virtualKey & 0xFF;
    bool wasDown = driver.keysDown[key];
    bool altHeld = driver.keysDown[VK_MENU] || key == VK_MENU;
    driver.keysDown[key] = down;
    if (!target)
        return;
    LPARAM lParam = 1 | (static_cast<LPARAM>(step.scanCode & 0xFF) << 16) |
                    (step.extendedKey ? 1L << 24 : 0) | (altHeld ? 1L << 29 : 0) |
                    (wasDown || !down ? 1L << 30 : 0) | (down ? 0 : 1L << 31);
    UINT message = down ? (altHeld ? WM_SYSKEYDOWN : WM_KEYDOWN) : (altHeld ? WM_SYSKEYUP : WM_KEYUP);
    PostMessageW(target, message, key, lParam);
}

// Mouse messages reach only a window that is shown in its normal state.
void postMouse(HWND target, const standin::ScriptStep& step) {
    if (!target || !standin::win32::isShownNormally(target))
        return;
    if (step.action != standin::ScriptAction::Wheel) {
        driver.cursorX = step.x;
        driver.cursorY = step.y;
    }
    LPARAM position = MAKELPARAM(driver.cursorX, driver.cursorY);
    switch (step.action) {
    case standin::ScriptAction::MouseMove:
        PostMessageW(target, WM_MOUSEMOVE, mouseFlags(), position);
        break;
    case standin::ScriptAction::ButtonDown:
        driver.leftButtonDown = true;
        PostMessageW(target, WM_LBUTTONDOWN, mouseFlags(), position);
        break;
    case standin::ScriptAction::ButtonUp:
        driver.leftButtonDown = false;
        PostMessageW(target, WM_LBUTTONUP, mouseFlags(), position);
        break;
    default: {
        // The wheel message carries the cursor in screen coordinates.
        POINT origin = standin::win32::windowOrigin(target);
        PostMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(mouseFlags(), static_cast<WORD>(step.x)),
                     MAKELPARAM(origin.x + driver.cursorX, origin.y + driver.cursorY));
        break;
    }
    }
}

void post(const standin::ScriptStep& step, HWND target) {
    using standin::ScriptAction;
    switch (step.action) {
    case ScriptAction::KeyDown:
    case ScriptAction::KeyUp:
        postKey(step);
        break;
    case ScriptAction::MouseMove:
    case ScriptAction::ButtonDown:
    case ScriptAction::ButtonUp:
    case ScriptAction::Wheel:
        postMouse(target, step);
        break;
    case ScriptAction::Resize:
        if (target)
            standin::win32::postAction(
                [target, step] { standin::win32::userResize(target, step.x, step.y); });
        break;
    // The taskbar's commands reach the window as system commands.
    case ScriptAction::Minimise:
    case ScriptAction::Restore:
    case ScriptAction::Close:
        if (target)
            PostMessageW(target, WM_SYSCOMMAND,
                         step.action == ScriptAction::Minimise  ? SC_MINIMIZE
                         : step.action == ScriptAction::Restore ? SC_RESTORE
                                                                : SC_CLOSE,
                         0);
        break;
    }
}

void postDueSteps() {
    HWND target = standin::win32::sessionWindow();
    while (driver.nextStep < driver.steps.size() && driver.steps[driver.nextStep].frame <= driver.frame)
        post(driver.steps[driver.nextStep++], target);
    // The close comes at the start of the last frame, which the main loop still renders after WM_QUIT.
    if (driver.frameLimit != 0 && !driver.closeRequested && driver.frame + 1 >= driver.frameLimit) {
        driver.closeRequested = true;
        if (target)
            PostMessageW(target, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

} // namespace

namespace standin {

void notePresent() {
    presented.fetch_add(1);
    uint64_t frame = 0;
    {
        std::lock_guard lock(sessionMutex);
        if (!driver.active)
            return;
        beginFirstFrame();
        frame = driver.frame;
        driver.presents += 1;
        beginNextFrame();
    }
    session::traceFrame(frame);
}

uint64_t presentedFrames() {
    return presented.load();
}

bool vsyncEnabled() {
    const char* value = std::getenv("STANDIN_VSYNC");
    return !(value && std::strcmp(value, "0") == 0);
}

void startSession(const SessionControls& controls) {
    std::lock_guard lock(sessionMutex);
    driver = Driver{};
    driver.active = true;
    driver.steps = controls.script;
    driver.frameLimit = controls.frameLimit;
    presented.store(0);
}

void endSession() {
    std::lock_guard lock(sessionMutex);
    driver.active = false;
}

uint64_t currentFrame() {
    std::lock_guard lock(sessionMutex);
    return driver.frame;
}

std::string sessionSummary() {
    std::lock_guard lock(sessionMutex);
    uint64_t framesRun = driver.presents > 0 ? driver.presents : (driver.started ? driver.frame + 1 : 0);
    double meanMilliseconds = 0.0;
    if (driver.framesBegun > 1)
        meanMilliseconds =
            std::chrono::duration<double, std::milli>(driver.lastFrameStart - driver.firstFrameStart)
                .count() /
            static_cast<double>(driver.framesBegun - 1);
    char line[256];
    std::snprintf(
        line, sizeof line,
        "standin: %llu frames presented, %llu frames run, mean frame time %.3f ms, %llu validation findings",
        static_cast<unsigned long long>(presented.load()), static_cast<unsigned long long>(framesRun),
        meanMilliseconds, static_cast<unsigned long long>(validationFindingCount()));
    return line;
}

void setValidationFindingCounter(ValidationFindingCounter counter) {
    findingCounter.store(counter);
}

uint64_t validationFindingCount() {
    ValidationFindingCounter counter = findingCounter.load();
    return counter ? counter() : 0;
}

namespace session {

void beforePeek() {
    std::lock_guard lock(sessionMutex);
    if (!driver.active)
        return;
    if (!beginFirstFrame() && driver.passEnded)
        beginNextFrame();
    postDueSteps();
}

// Until the swap chain presents, the pass that empties the queue ends its frame; the next pass begins the
// next frame at its first PeekMessageW.
void queueDrained() {
    std::lock_guard lock(sessionMutex);
    if (driver.active && driver.started && driver.presents == 0)
        driver.passEnded = true;
}

} // namespace session
} // namespace standin
