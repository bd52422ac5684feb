// The debug panel shown while the free camera drives the view: the frame's times and counters, and the
// settings it edits in place (post settings, view switches, field of view, light).
#pragma once

// Starts a UI frame (renderer back end, Win32 back end, library) and builds the windows "Debug" and
// "Configuration". Runs before the frame constants are computed, so an edit counts in the same frame.
void buildDebugPanel();

// Records the panel into commandList over the bound back buffer, with uiSrvHeap as the descriptor heap.
void drawDebugPanel();
