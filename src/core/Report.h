// The reporting path for failed platform calls: "Error: <call text>" on standard output, a break into an
// attached debugger, the "pause" command, and the end of the program with exit code 1, so that nothing goes on
// to use an object that was not made.
#pragma once

#include <windows.h>

// Reports a failed call by its source text and ends the program.
void reportFailure(const char* callText);

// Ends the program with an exit code. Every path that stops the program on bad input or a failed call ends
// here; tests replace it (see setProgramEnd) so that they can observe the stop without losing the process.
[[noreturn]] void endProgram(int exitCode);

using ProgramEnd = void (*)(int exitCode);
// Replaces the function that ends the program; returns the previous one. The replacement must not return
// (throwing is fine). nullptr restores the default, std::exit.
ProgramEnd setProgramEnd(ProgramEnd end);

// A result counts as failed only when it is negative, so success codes such as S_FALSE pass.
inline bool failed(HRESULT result) { return result < 0; }

// Checks an HRESULT-returning call and reports it with its own source text, so code and message are identical.
#define CHECK(call) CHECK_AS(call, #call)

// The same, where the message text differs from the code (the text the user sees is the documented one).
#define CHECK_AS(call, text)                                                                                   \
    do {                                                                                                       \
        if (failed(call))                                                                                      \
            reportFailure(text);                                                                               \
    } while (0)
