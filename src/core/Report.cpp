#include "core/Report.h"

#include "core/SystemCommand.h"

#include <cstdio>
#include <cstdlib>

namespace {

ProgramEnd programEnd = nullptr;

} // namespace

void reportFailure(const char* callText) {
    std::printf("Error: %s\n", callText);
    std::fflush(stdout);
    if (IsDebuggerPresent())
        DebugBreak();
    runSystemCommand("pause");
    endProgram(1);
}

void endProgram(int exitCode) {
    std::fflush(stdout);
    if (programEnd)
        programEnd(exitCode);
    std::exit(exitCode);
}

ProgramEnd setProgramEnd(ProgramEnd end) {
    ProgramEnd previous = programEnd;
    programEnd = end;
    return previous;
}
