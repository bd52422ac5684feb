// The entry point's first step: the process becomes per-monitor DPI aware (version 2) before anything else,
// so that the window, made later, covers the screen in physical pixels.
#include <windows.h>

#include "standin/CallTrace.h"
#include "standin/WindowSystem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The program runs in a child process of its own, with a window that cannot be made, so that it ends right
// after trying to make it.
TEST(WinMainDeathTest, MakesTheProcessPerMonitorDpiAwareBeforeAnythingElse) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            standin::setWindowCreationFails(true);
            standin::startCallTrace();
            char commandLine[] = "";
            const int exitCode = WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
            const std::vector<std::string> calls = standin::stopCallTrace();
            bool windowTried = false;
            for (const std::string& call : calls)
                windowTried |= call == "CreateWindowExW";
            std::fprintf(stderr, "returned %d, window tried %d, first call %s, awareness %d\n", exitCode,
                         windowTried, calls.empty() ? "none" : calls.front().c_str(),
                         static_cast<int>(reinterpret_cast<intptr_t>(standin::processDpiAwareness())));
            std::_Exit(0);
        },
        testing::ExitedWithCode(0),
        "returned 0, window tried 1, first call SetProcessDpiAwarenessContext, awareness -4\n");
}

} // namespace
