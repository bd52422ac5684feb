// What the stand-in's window system, message queue and session driver share inside platform/src.
#pragma once

#include <windows.h>

#include <functional>

namespace standin::win32 {

// Calls the window's procedure at once, as SendMessage does on the window's own thread; 0 for a window that
// does not exist.
LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The window that has the keyboard focus (null when none has), and the top-level window the session
// drives: the last one created that still exists.
HWND focusWindow();
HWND sessionWindow();
// Whether the window is shown and not minimised, so that it can receive mouse input.
bool isShownNormally(HWND hwnd);
// The window's top-left corner on the screen.
POINT windowOrigin(HWND hwnd);

// The user drags the window's border to a new client size: WM_ENTERSIZEMOVE, the position messages (whose
// default processing sends WM_SIZE) and WM_EXITSIZEMOVE. A minimised window only keeps the new size for
// its restore.
void userResize(HWND hwnd, int width, int height);

// Queues work that the queue performs when it reaches it, in order with the posted messages, like the
// system's internal events (the driver's resizes).
void postAction(std::function<void()> action);
// Removes every message posted to the window (DestroyWindow flushes them from the queue).
void removeMessagesFor(HWND hwnd);
// Forgets every queued message, the quit request and the key states.
void resetMessageQueue();
// Forgets the process's DPI awareness, so that the next SetProcessDpiAwarenessContext succeeds again.
void resetDpiAwareness();

} // namespace standin::win32

namespace standin::session {

// Called by PeekMessageW before it looks at the queue: posts the scripted input that is due.
void beforePeek();
// Called when PeekMessageW finds nothing to return: one pass of the main loop has emptied the queue.
void queueDrained();

} // namespace standin::session
