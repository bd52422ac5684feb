// The process entry point of the Linux build: Windows starts a GUI program at WinMain.
#include <windows.h>

int main() {
    char commandLine[] = "";
    return WinMain(nullptr, nullptr, commandLine, 10 /* SW_SHOWDEFAULT */);
}
