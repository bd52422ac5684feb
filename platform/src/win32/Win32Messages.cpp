// The thread message queue of the stand-in: posted messages in order, the quit request, key translation,
// dispatch to window procedures and the key states that follow the messages the thread removes.
#include "win32/Win32Internal.h"

#include <array>
#include <chrono>
#include <deque>
#include <mutex>
#include <utility>

namespace {

struct QueueEntry {
    MSG msg{};
    // Work of the system that the queue performs when it reaches it; such entries are never returned.
    std::function<void()> action;
};

std::mutex queueMutex;
std::deque<QueueEntry> queue;
bool quitRequested = false;
int quitExitCode = 0;

struct KeyState {
    bool down = false;
    bool toggled = false;
};
std::array<KeyState, 256> keyStates;

// Scan codes at which a key message tells the right Shift from the left one.
constexpr unsigned RIGHT_SHIFT_SCAN_CODE = 0x36;

DWORD messageTime() {
    static const auto start = std::chrono::steady_clock::now();
    auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void setKey(unsigned virtualKey, bool down) {
    KeyState& state = keyStates[virtualKey & 0xFF];
    if (down && !state.down)
        state.toggled = !state.toggled;
    state.down = down;
}

// Windows keeps a thread's key states in step with the key messages it removes from its queue; the generic
// Shift, Ctrl and Alt keys also set their left or right variant, told apart by scan code or extended flag.
void followKeyMessage(const MSG& msg) {
    bool down;
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        down = true;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        down = false;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        setKey(VK_LBUTTON, msg.message == WM_LBUTTONDOWN);
        return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        setKey(VK_RBUTTON, msg.message == WM_RBUTTONDOWN);
        return;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        setKey(VK_MBUTTON, msg.message == WM_MBUTTONDOWN);
        return;
    default:
        return;
    }
    unsigned virtualKey = static_cast<unsigned>(msg.wParam & 0xFF);
    unsigned flags = HIWORD(msg.lParam);
    bool extended = (flags & KF_EXTENDED) != 0;
    setKey(virtualKey, down);
    if (virtualKey == VK_SHIFT)
        setKey((flags & 0xFF) == RIGHT_SHIFT_SCAN_CODE ? VK_RSHIFT : VK_LSHIFT, down);
    else if (virtualKey == VK_CONTROL)
        setKey(extended ? VK_RCONTROL : VK_LCONTROL, down);
    else if (virtualKey == VK_MENU)
        setKey(extended ? VK_RMENU : VK_LMENU, down);
}

bool matches(const MSG& msg, HWND filter, UINT filterMin, UINT filterMax) {
    // A null filter takes every message; the handle -1 takes only the thread's own (window-less) messages.
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (msg.hwnd)
            return false;
    } else if (filter && msg.hwnd != filter) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0)
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

// The character a key produces with the current Shift state, for TranslateMessage; 0 for none.
wchar_t characterOf(unsigned virtualKey) {
    bool shift = keyStates[VK_SHIFT].down;
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return static_cast<wchar_t>(shift ? virtualKey : virtualKey - 'A' + 'a');
    if (virtualKey >= '0' && virtualKey <= '9')
        return static_cast<wchar_t>(virtualKey);
    switch (virtualKey) {
    case VK_SPACE:
        return L' ';
    case VK_RETURN:
        return L'\r';
    case VK_TAB:
        return L'\t';
    case VK_BACK:
        return L'\b';
    case VK_ESCAPE:
        return 0x1B;
    default:
        return 0;
    }
}

// Performs the system's own entries at the head of the queue.
void performLeadingActions() {
    for (;;) {
        std::function<void()> action;
        {
            std::lock_guard lock(queueMutex);
            if (queue.empty() || !queue.front().action)
                return;
            action = std::move(queue.front().action);
            queue.pop_front();
        }
        action();
    }
}

} // namespace

namespace standin::win32 {

void postAction(std::function<void()> action) {
    std::lock_guard lock(queueMutex);
    queue.push_back({MSG{}, std::move(action)});
}

void removeMessagesFor(HWND hwnd) {
    std::lock_guard lock(queueMutex);
    std::erase_if(queue, [hwnd](const QueueEntry& entry) { return !entry.action && entry.msg.hwnd == hwnd; });
}

void resetMessageQueue() {
    std::lock_guard lock(queueMutex);
    queue.clear();
    quitRequested = false;
    quitExitCode = 0;
    keyStates = {};
}

} // namespace standin::win32

extern "C" {

BOOL WINAPI PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (!msg)
        return FALSE;
    standin::session::beforePeek();
    performLeadingActions();
    {
        std::lock_guard lock(queueMutex);
        for (auto entry = queue.begin(); entry != queue.end(); ++entry) {
            if (entry->action || !matches(entry->msg, hwnd, filterMin, filterMax))
                continue;
            *msg = entry->msg;
            if (removeMessage & PM_REMOVE) {
                queue.erase(entry);
                followKeyMessage(*msg);
            }
            return TRUE;
        }
        // The quit request becomes a message only once nothing else is posted, as on Windows.
        bool quitInRange =
            (filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
        bool threadMessagesWanted = !hwnd || hwnd == reinterpret_cast<HWND>(-1);
        if (quitRequested && quitInRange && threadMessagesWanted) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitExitCode), 0, messageTime(), {0, 0}};
            if (removeMessage & PM_REMOVE)
                quitRequested = false;
            return TRUE;
        }
    }
    standin::session::queueDrained();
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg)
        return FALSE;
    bool keyDown = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    bool keyUp = msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP;
    if (!keyDown && !keyUp)
        return FALSE;
    if (keyDown) {
        std::lock_guard lock(queueMutex);
        if (wchar_t character = characterOf(static_cast<unsigned>(msg->wParam & 0xFF))) {
            // The character message is the next one the thread reads.
            UINT message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
            queue.push_front(
                {MSG{msg->hwnd, message, static_cast<WPARAM>(character), msg->lParam, msg->time, msg->pt},
                 nullptr});
        }
    }
    return TRUE;
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
    // Thread messages (WM_QUIT among them) have no window to go to.
    if (!msg || !msg->hwnd)
        return 0;
    return standin::win32::sendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !IsWindow(hwnd))
        return FALSE;
    std::lock_guard lock(queueMutex);
    queue.push_back({MSG{hwnd, message, wParam, lParam, messageTime(), {0, 0}}, nullptr});
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    std::lock_guard lock(queueMutex);
    quitRequested = true;
    quitExitCode = exitCode;
}

SHORT WINAPI GetKeyState(int virtualKey) {
    std::lock_guard lock(queueMutex);
    const KeyState& state = keyStates[static_cast<unsigned>(virtualKey) & 0xFF];
    return static_cast<SHORT>((state.down ? 0x8000 : 0) | (state.toggled ? 1 : 0));
}

} // extern "C"
