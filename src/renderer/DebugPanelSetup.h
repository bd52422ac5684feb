// The debug panel's library context and its two back ends, on a descriptor heap of their own.
#pragma once

#include <windows.h>

// Creates the context (keyboard navigation, dark style), uiSrvHeap with its allocator, and starts the
// Direct3D 12 back end and then the Win32 one. False, with no back end started, when uiSrvHeap cannot be
// made or the Direct3D 12 back end refuses to start; false as well when the Win32 one refuses.
bool initDebugPanel(HWND hwnd);
