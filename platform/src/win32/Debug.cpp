// Debugger output and the debugger checks.
#include <windows.h>

#include "standin/Debug.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex debugOutputMutex;
std::string debugOutputText;

} // namespace

namespace standin {

std::string debugOutput() {
    std::lock_guard lock(debugOutputMutex);
    return debugOutputText;
}

void clearDebugOutput() {
    std::lock_guard lock(debugOutputMutex);
    debugOutputText.clear();
}

} // namespace standin

extern "C" {

// Without a debugger attached the text goes to standard error, where a developer sees it.
void WINAPI OutputDebugStringA(LPCSTR text) {
    if (!text)
        return;
    {
        std::lock_guard lock(debugOutputMutex);
        debugOutputText += text;
    }
    std::fputs(text, stderr);
}

// A process is being debugged when the kernel names a tracer for it.
BOOL WINAPI IsDebuggerPresent(void) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return FALSE;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
            tracer = std::strtol(line + 10, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return tracer != 0 ? TRUE : FALSE;
}

void WINAPI DebugBreak(void) { std::raise(SIGTRAP); }

} // extern "C"
