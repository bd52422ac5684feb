// The preprocessor of the stand-in compiler's source scan: macros, conditional blocks, #include, #pragma
// once, #error and #warning. It decides which lines of a file the scan reads; it does not expand macros in
// code.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>

namespace standin::dxc {

// The compile's messages, "<file>:<line>:<column>: <kind>: <text>" each; any kind but a warning fails it.
struct Diagnostics {
    std::string messages;
    bool failed = false;

    void report(const std::string& file, int line, int column, const std::string& text,
                const char* kind = "error");
};

struct Macro {
    std::string body; // the replacement text; for a function-like macro, what follows its parameters
    bool functionLike = false;
};

// What the files of one translation unit share: the macros, the files that said "#pragma once", the
// messages, and the action of an active #include (the including file, the name as written, its place).
struct Preprocessor {
    std::map<std::string, Macro> macros;
    std::set<std::string> onceFiles;
    Diagnostics diagnostics;
    std::function<void(const std::string& includer, const std::string& name, int line, int column)> include;
};

// Runs the directives of one file (comments already blanked) and returns its text with the directive lines
// and the lines of disabled blocks blanked, so that line and column numbers stay those of the file.
std::string preprocess(Preprocessor& preprocessor, const std::string& file, const std::string& code);

} // namespace standin::dxc
