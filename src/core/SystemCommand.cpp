#include "core/SystemCommand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

int defaultRunner(const char* commandLine) {
#ifndef _WIN32
    if (std::strcmp(commandLine, "pause") == 0) {
        if (isatty(STDIN_FILENO)) {
            std::fputs("Press any key to continue . . . ", stdout);
            std::fflush(stdout);
            std::getchar();
        }
        return 0;
    }
#endif
    std::fflush(stdout);
    return std::system(commandLine);
}

SystemCommandRunner runner = defaultRunner;

} // namespace

int runSystemCommand(const char* commandLine) { return runner(commandLine); }

SystemCommandRunner setSystemCommandRunner(SystemCommandRunner replacement) {
    SystemCommandRunner previous = runner;
    runner = replacement ? replacement : defaultRunner;
    return previous;
}
