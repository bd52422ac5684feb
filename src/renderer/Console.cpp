#include "renderer/Console.h"

#include <windows.h>

#include <cstdio>

void openConsole() {
    AllocConsole();
#ifdef _WIN32
    // "CONOUT$" and "CONIN$" name the console's devices on Windows only; elsewhere they would be new files.
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
    std::freopen("CONIN$", "r", stdin);
#endif
}
