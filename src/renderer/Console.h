// A console for the process, for debugging sessions; nothing in the program calls it.
#pragma once

// Attaches a new console and re-opens the standard streams on it. On Linux the process already writes to
// the terminal it was started from, so it does nothing there (in particular it creates no files named
// after the Windows console devices).
void openConsole();
