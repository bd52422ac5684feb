// Observes the program's end in a test: endProgram throws ProgramEnded instead of exiting, and command lines
// (the reporting path's "pause") are recorded instead of run. Both are restored when the guard ends.
#pragma once

#include "core/Report.h"
#include "core/SystemCommand.h"

#include <string>
#include <vector>

struct ProgramEnded {
    int exitCode;
};

class ProgramEndGuard {
public:
    ProgramEndGuard() {
        commandLines().clear();
        previousRunner = setSystemCommandRunner(record);
        previousEnd = setProgramEnd(end);
    }
    ~ProgramEndGuard() {
        setSystemCommandRunner(previousRunner);
        setProgramEnd(previousEnd);
    }
    ProgramEndGuard(const ProgramEndGuard&) = delete;
    ProgramEndGuard& operator=(const ProgramEndGuard&) = delete;

    // The command lines run since the guard began.
    static std::vector<std::string>& commandLines() {
        static std::vector<std::string> lines;
        return lines;
    }

private:
    static int record(const char* commandLine) {
        commandLines().emplace_back(commandLine);
        return 0;
    }
    [[noreturn]] static void end(int exitCode) { throw ProgramEnded{exitCode}; }

    SystemCommandRunner previousRunner;
    ProgramEnd previousEnd;
};
