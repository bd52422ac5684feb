// The renderer's handler of the window's key events: F1 switches between the fly-through with its music and
// the free camera, E records the free camera's position, F3 prints the recorded positions.
#pragma once

#include "core/MathTypes.h"
#include "window/InputEvent.h"

#include <vector>

// The current frame's events, in the order they arrived; the frame empties it at its start.
extern std::vector<InputEvent> inputEvents;
// Positions recorded with E, oldest first; never emptied.
extern std::vector<Vec3> recordedPoints;
// True while the fly-through drives the view (and the music plays); F1 flips it.
extern bool flyThroughActive;

// Installed as the window's input callback: lists every event, then acts on key presses of E, F1 and F3.
// Each auto-repeated press of F1 switches again.
void onInputEvent(InputEvent& event);
