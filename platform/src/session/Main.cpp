// The process entry point of the Linux build: Windows starts a GUI program at WinMain. The stand-in's
// session (its controls from the environment and the summary at exit) wraps the program's run.
#include <windows.h>

#include "standin/Session.h"

int main() {
    standin::startProcessSession();
    char commandLine[] = "";
    return WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
