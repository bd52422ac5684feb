// The entry point's control flow after logging, with the stages passed in so that tests can run it without
// a GPU: initialise, loop, shut down, and the one exception handler.
#pragma once

struct ProgramStages {
    bool (*initialize)();
    void (*renderFrame)();
    void (*shutdown)();
};

// Initialises, runs the main loop and shuts down. A std::exception from any of them is printed as
// "Exception, something went wrong: <what>" and skips the shutdown. When initialisation reports failure the
// program ends with exit code 1 without entering the loop. Returns 0.
int runProgram(const ProgramStages& stages);
