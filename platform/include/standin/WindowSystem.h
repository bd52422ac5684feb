// Controls and inspection of the stand-in's window system, for tests and for the session driver.
#pragma once

namespace standin {

// The primary screen's size in physical pixels, which GetSystemMetrics reports (default 1920 x 1080).
void setScreenSize(int width, int height);
// While set, CreateWindowExW fails before sending any message, as when the system is out of resources.
void setWindowCreationFails(bool fails);

// Destroys every window without sending it a message and forgets the classes, the message queue, the quit
// request, the key states, the focus, the activation and the process's DPI awareness, so that each test
// starts from an empty desktop in what looks like a fresh process.
// The screen size and the creation control are kept.
void resetWindowSystem();

} // namespace standin
