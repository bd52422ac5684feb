// The debug panel's library context and its two back ends, on a descriptor heap of their own.
#pragma once

#include <windows.h>

// Creates the context (keyboard navigation, dark style), uiSrvHeap with its allocator, and starts the
// Direct3D 12 back end and then the Win32 one. False, with no back end started, when uiSrvHeap cannot be
// made.
bool initDebugPanel(HWND hwnd);
