// The one place where the program hands a command line to the operating system's command interpreter.
#pragma once

// Runs a command line as the C runtime's system() does and returns its result. On Linux, "pause" (which
// has no meaning there) waits for a key only when standard input is a terminal.
int runSystemCommand(const char* commandLine);

using SystemCommandRunner = int (*)(const char* commandLine);
// Replaces the runner (tests capture command lines with it); returns the previous one. nullptr restores it.
SystemCommandRunner setSystemCommandRunner(SystemCommandRunner runner);
