// The renderer's three stages, which the entry point runs in order, and the window they share.
#pragma once

#include "window/Window.h"

// The application window, made by initialize and kept for the whole run (never deleted).
extern Window* window;

// The one-time start-up. Returns false only when the debug panel's descriptor heap or back ends cannot be set
// up.
bool initialize();
// One frame; the main loop calls it once per pass.
void renderFrame();
// Releases what initialize made, after the main loop has ended.
void shutdown();
