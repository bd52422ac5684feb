// The stand-in's session driver: controls of the headless session, not of the program (which reads no
// command line and no configuration). The program's process reads them from environment variables
// (platform/README.md describes them and the script syntax):
//   STANDIN_FRAMES       frames the run lasts (the window is closed in the last one; 0: no limit)
//   STANDIN_VSYNC        0 switches the emulated 60 Hz vertical-blank pacing of Present off
//   STANDIN_SCRIPT       input events at frame numbers, or @file to read them from a file
//   STANDIN_SCREEN       the screen size, WIDTHxHEIGHT (default 1920x1080)
//   STANDIN_FAIL_WINDOW  1 makes window creation fail
//   STANDIN_REFUSE_DEVICE  hardware: the hardware adapter refuses the device; all: the WARP adapter too
//   STANDIN_CLOCK        vblank: the emulated clock below instead of the real one
//   STANDIN_TRACE        a file to write the frame trace below into
//   STANDIN_WATCH        shader constants the frame trace shows, "buffer.field" separated by commas
//
// Frames count from 0. Once the swap chain has presented, a frame ends at each Present; until then a frame is
// one pass of the main loop, which ends when PeekMessageW finds the queue empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// Called by the swap chain for every Present: frames are counted at presentation.
void notePresent();
// Frames presented so far.
uint64_t presentedFrames();
// Whether Present waits for the emulated vertical blank.
bool vsyncEnabled();

// ---- Input scripts ----

enum class ScriptAction {
    KeyDown,
    KeyUp,
    MouseMove,
    ButtonDown,
    ButtonUp,
    Wheel,
    Resize,
    Minimise,
    Restore,
    Close
};

// One primitive input step; the script's entries expand into these (a key press into a down and an up, a drag
// into a press, moves and a release).
struct ScriptStep {
    uint64_t frame = 0;
    ScriptAction action = ScriptAction::Close;
    // KeyDown, KeyUp: the virtual-key code and the keyboard's scan code with its extended flag.
    uint32_t virtualKey = 0;
    uint32_t scanCode = 0;
    bool extendedKey = false;
    // MouseMove, ButtonDown, ButtonUp: the client position; Resize: the client size; Wheel: x is the delta
    // in WHEEL_DELTA units of 1/120 notch.
    int32_t x = 0;
    int32_t y = 0;

    bool operator==(const ScriptStep&) const = default;
};

// Parses a script into its steps, ordered by frame (steps of one frame keep the script's order). On a
// malformed entry returns false and describes it in error.
bool parseScript(const std::string& text, std::vector<ScriptStep>& steps, std::string& error);

// ---- The session ----

constexpr uint64_t DEFAULT_FRAME_LIMIT = 120;

struct SessionControls {
    std::vector<ScriptStep> script;
    // The run lasts this many frames: the window is asked to close at the start of the last one. 0: no limit.
    uint64_t frameLimit = DEFAULT_FRAME_LIMIT;
};

// Starts driving the session's window (the last top-level window created): posts each step at the start of
// its frame and closes the window at the frame limit. Resets the frame and present counts.
void startSession(const SessionControls& controls);
// Stops driving; the counts stay readable until the next start.
void endSession();
// The frame the session is in.
uint64_t currentFrame();

// For the program's process: reads the environment variables above (a malformed value ends the process
// with exit code 2 and a message), applies them, starts the session and prints the summary at exit.
void startProcessSession();
// The one-line summary: frames presented, frames run, mean frame time, validation findings.
std::string sessionSummary();

// ---- The emulated clock ----

// While it is on, the process's monotonic clock, which QueryPerformanceCounter and std::chrono::steady_clock
// read (on Windows they are one clock), starts from the real time at which it was switched on and moves only
// when advanceEmulatedClock says so; Present then moves it by its sync interval's vertical blanks of 1/60 s
// instead of waiting for them. Switching it off gives back the real clock, which may lie behind the emulated
// one: tests switch it on in a process of their own.
void setEmulatedClock(bool on);
bool emulatedClock();
void advanceEmulatedClock(unsigned verticalBlanks);

// ---- The frame trace ----

// Writes one line per presented frame into the file at `path` (replacing it), until endFrameTrace:
//   frame=N client=WxH buffers=WxH rss=KIB sound=playing|stopped loop=0|1 starts=N [NAME=VALUE ...]
// the frame's number, the session window's client size, the size of the back buffer the frame presented ("-"
// when no swap chain presented it), the process's resident memory in KiB, the sound's state
// (standin/Sound.h), and each watched shader constant as the frame's first draw or dispatch that reads it
// found it: "buffer.field" names a field of a constant buffer that a pipeline's shaders declare (their DXIL's
// reflection, so a real compiler's output), bound as a root constant-buffer view or as root constants.
// Scalars and vectors are shown as their components separated by commas, "-" when no draw or dispatch of the
// frame read the field. Returns false when the file cannot be written.
bool startFrameTrace(const std::string& path, const std::vector<std::string>& watches);
void endFrameTrace();

// The Direct3D 12 stand-in's count of validation findings, registered by it; 0 while none is registered.
using ValidationFindingCounter = uint64_t (*)();
void setValidationFindingCounter(ValidationFindingCounter counter);
uint64_t validationFindingCount();

} // namespace standin
