// The stand-in's session driver: controls of the headless session, not of the program (which reads no
// command line and no configuration). Set through environment variables:
//   STANDIN_FRAMES  frames after which the window is closed (default in Session.cpp)
//   STANDIN_VSYNC   0 switches the emulated 60 Hz vertical-blank pacing of Present off
//   STANDIN_SCRIPT  input events at frame numbers (see platform/README.md)
#pragma once

#include <cstdint>

namespace standin {

// Called by the swap chain for every Present: frames are counted at presentation.
void notePresent();
// Frames presented so far.
uint64_t presentedFrames();
// Whether Present waits for the emulated vertical blank.
bool vsyncEnabled();

} // namespace standin
