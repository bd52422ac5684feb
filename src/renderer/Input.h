// The renderer's handler of the window's key events.
#pragma once

#include "window/InputEvent.h"

#include <vector>

// The current frame's events, in the order they arrived; the frame empties it at its start.
extern std::vector<InputEvent> inputEvents;

// Installed as the window's input callback: lists the event.
void onInputEvent(InputEvent& event);
