// What the stand-in compiler checks of an HLSL source: the target profile, the included files, the entry
// point's definition or a library's exports, on the lines that the preprocessor leaves active. It cannot
// generate code, so a successful compile yields the text container described in standin/Dxc.h. Macros are
// not expanded in code: the program's sources define their entry points and exports plainly.
#include "dxc/DxcInternal.h"
#include "dxc/DxcPreprocessor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <vector>

namespace standin::dxc {
namespace {

constexpr int maxIncludeDepth = 64;

struct Token {
    enum Kind { Identifier, String, Other } kind;
    std::string text; // a string token holds its contents without quotes
    int line;
    int column;
};

// One file of the translation unit, its comments, directives and disabled blocks blanked out (line numbers
// kept).
struct Unit {
    std::string name;
    std::vector<Token> tokens;
};

struct Translation {
    const CompileRequest& request;
    std::vector<Unit> units;
    Preprocessor preprocessor;
    Diagnostics& diagnostics = preprocessor.diagnostics;
    int depth = 0; // of the file being read, in includes
    uint64_t hash = 14695981039346656037ull;
};

void hashBytes(Translation& translation, const std::string& bytes) {
    for (unsigned char byte : bytes) {
        translation.hash ^= byte;
        translation.hash *= 1099511628211ull;
    }
}

// Comments become spaces (newlines kept), so that line and column numbers stay those of the file.
std::string blankComments(const std::string& text) {
    std::string result = text;
    for (size_t i = 0; i < result.size(); ++i) {
        if (result[i] == '"') {
            for (++i; i < result.size() && result[i] != '"' && result[i] != '\n'; ++i)
                if (result[i] == '\\')
                    ++i;
        } else if (result.compare(i, 2, "//") == 0) {
            for (; i < result.size() && result[i] != '\n'; ++i)
                result[i] = ' ';
        } else if (result.compare(i, 2, "/*") == 0) {
            size_t end = result.find("*/", i + 2);
            end = end == std::string::npos ? result.size() : end + 2;
            for (; i < end; ++i)
                if (result[i] != '\n')
                    result[i] = ' ';
            --i;
        }
    }
    return result;
}

std::string directoryOf(const std::string& fileName) {
    size_t slash = fileName.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

void addUnit(Translation& translation, const std::string& name, const std::string& text);

// Finds an included file the way the compiler's header search does: beside the including file first, then
// as named. Only the include handler can read it; without one every include fails.
bool loadInclude(Translation& translation, const std::string& includer, const std::string& name,
                 std::string* resolved, std::string* text) {
    IDxcIncludeHandler* handler = translation.request.includeHandler;
    if (!handler)
        return false;
    std::vector<std::string> candidates;
    if (!directoryOf(includer).empty() && !std::filesystem::path(name).is_absolute())
        candidates.push_back(directoryOf(includer) + name);
    candidates.push_back(name);
    for (const std::string& candidate : candidates) {
        IDxcBlob* blob = nullptr;
        if (handler->LoadSource(widen(candidate).c_str(), &blob) >= 0 && blob) {
            text->assign(static_cast<const char*>(blob->GetBufferPointer()), blob->GetBufferSize());
            blob->Release();
            *resolved = std::filesystem::path(candidate).lexically_normal().generic_string();
            return true;
        }
    }
    return false;
}

// An active #include: the file is read unless it said "#pragma once" before.
void include(Translation& translation, const std::string& includer, const std::string& name, int line,
             int column) {
    std::string resolved, text;
    if (translation.depth >= maxIncludeDepth)
        translation.diagnostics.report(includer, line, column, "#include nested too deeply", "fatal error");
    else if (!loadInclude(translation, includer, name, &resolved, &text))
        translation.diagnostics.report(includer, line, column, "'" + name + "' file not found",
                                       "fatal error");
    else if (!translation.preprocessor.onceFiles.count(resolved)) {
        ++translation.depth;
        addUnit(translation, resolved, text);
        --translation.depth;
    }
}

std::vector<Token> tokenize(const std::string& text) {
    std::vector<Token> tokens;
    int line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        int column = static_cast<int>(i - lineStart) + 1;
        if (c == '\n') {
            ++line;
            lineStart = ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t end = i;
            while (end < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
                ++end;
            tokens.push_back({Token::Identifier, text.substr(i, end - i), line, column});
            i = end;
        } else if (c == '"') {
            size_t end = i + 1;
            while (end < text.size() && text[end] != '"' && text[end] != '\n')
                end += text[end] == '\\' ? 2 : 1;
            tokens.push_back(
                {Token::String, text.substr(i + 1, std::min(end, text.size()) - i - 1), line, column});
            i = end + 1;
        } else {
            tokens.push_back({Token::Other, std::string(1, c), line, column});
            ++i;
        }
    }
    return tokens;
}

void addUnit(Translation& translation, const std::string& name, const std::string& text) {
    hashBytes(translation, text);
    std::string code = preprocess(translation.preprocessor, name, blankComments(text));
    translation.units.push_back({name, tokenize(code)});
}

bool is(const std::vector<Token>& tokens, size_t index, const char* text) {
    return index < tokens.size() && tokens[index].text == text && tokens[index].kind != Token::String;
}

// When tokens[index] names a function that the tokens go on to define ("Name(...) [: Semantic] {"), the
// index of its opening brace; otherwise 0.
size_t definitionBody(const std::vector<Token>& tokens, size_t index) {
    static const std::set<std::string> statements = {"if", "while", "for", "switch", "return"};
    if (index == 0 || tokens[index].kind != Token::Identifier || !is(tokens, index + 1, "(") ||
        statements.count(tokens[index].text))
        return 0;
    const Token& before = tokens[index - 1];
    if (!(before.kind == Token::Identifier || before.text == ">") || statements.count(before.text))
        return 0;
    size_t close = index + 1;
    for (int depth = 0; close < tokens.size(); ++close) {
        depth += is(tokens, close, "(") - is(tokens, close, ")");
        if (depth == 0)
            break;
    }
    size_t next = close + 1;
    if (is(tokens, next, ":") && next + 1 < tokens.size() && tokens[next + 1].kind == Token::Identifier)
        next += 2;
    return is(tokens, next, "{") ? next : 0;
}

bool definesFunction(const Translation& translation, const std::string& name) {
    for (const Unit& unit : translation.units)
        for (size_t i = 0; i < unit.tokens.size(); ++i)
            if (unit.tokens[i].text == name && definitionBody(unit.tokens, i))
                return true;
    return false;
}

// The functions of a library marked [shader("kind")], in source order.
std::vector<std::string> libraryExports(Translation& translation) {
    static const std::set<std::string> kinds = {
        "raygeneration", "intersection", "anyhit", "closesthit", "miss",     "callable", "compute",
        "vertex",        "pixel",        "hull",   "domain",     "geometry", "mesh",     "amplification"};
    std::vector<std::string> exports;
    for (const Unit& unit : translation.units) {
        const std::vector<Token>& t = unit.tokens;
        for (size_t i = 0; i + 5 < t.size(); ++i) {
            if (!(is(t, i, "[") && is(t, i + 1, "shader") && is(t, i + 2, "(") &&
                  t[i + 3].kind == Token::String && is(t, i + 4, ")") && is(t, i + 5, "]")))
                continue;
            if (!kinds.count(t[i + 3].text)) {
                translation.diagnostics.report(unit.name, t[i + 3].line, t[i + 3].column,
                                               "unknown shader kind '" + t[i + 3].text +
                                                   "' in attribute 'shader'");
                continue;
            }
            // Further attributes may follow; the function's name is the identifier before its parameters.
            size_t at = i + 6;
            while (is(t, at, "[")) {
                for (int depth = 0; at < t.size(); ++at) {
                    depth += is(t, at, "[") - is(t, at, "]");
                    if (depth == 0)
                        break;
                }
                ++at;
            }
            while (at + 1 < t.size() && !is(t, at + 1, "(") && !is(t, at, ";") && !is(t, at, "{"))
                ++at;
            if (at + 1 < t.size() && definitionBody(t, at)) {
                if (std::find(exports.begin(), exports.end(), t[at].text) == exports.end())
                    exports.push_back(t[at].text);
            } else {
                translation.diagnostics.report(unit.name, t[i].line, t[i].column,
                                               "attribute 'shader' is not followed by a function definition");
            }
        }
    }
    return exports;
}

// The stage of a valid target profile ("cs_6_7" -> "cs"), or an empty string.
std::string profileStage(const std::string& profile) {
    static const std::regex form(R"(^(vs|ps|gs|hs|ds|cs|as|ms|lib)_6_([0-9x])$)");
    std::smatch match;
    if (!std::regex_match(profile, match, form))
        return {};
    std::string stage = match[1].str();
    char minor = match[2].str()[0];
    if (minor == 'x')
        return stage == "lib" ? stage : std::string();
    int lowest = stage == "as" || stage == "ms" ? 5 : stage == "lib" ? 1 : 0;
    return minor - '0' >= lowest && minor - '0' <= 8 ? stage : std::string();
}

// The "#define" lines of the macros the compiler predefines for a valid target profile ("cs_6_7"): the HLSL
// version, the stage numbers and the target's stage and shader model. __cplusplus is not among them.
std::string builtInDefines(const std::string& targetProfile) {
    // The compiler's stage numbers (those of the DXIL shader kinds), to compare __SHADER_TARGET_STAGE with.
    struct Stage {
        const char* prefix;
        const char* name;
        int number;
    };
    static const Stage stages[] = {{"ps", "PIXEL", 0},    {"vs", "VERTEX", 1}, {"gs", "GEOMETRY", 2},
                                   {"hs", "HULL", 3},     {"ds", "DOMAIN", 4}, {"cs", "COMPUTE", 5},
                                   {"lib", "LIBRARY", 6}, {"ms", "MESH", 13},  {"as", "AMPLIFICATION", 14}};
    size_t first = targetProfile.find('_'), second = targetProfile.rfind('_');
    std::string text = "#define __HLSL_VERSION 2021\n";
    for (const Stage& stage : stages) {
        text +=
            "#define __SHADER_STAGE_" + std::string(stage.name) + " " + std::to_string(stage.number) + "\n";
        if (targetProfile.compare(0, first, stage.prefix) == 0)
            text += "#define __SHADER_TARGET_STAGE " + std::to_string(stage.number) + "\n";
    }
    text += "#define __SHADER_TARGET_MAJOR " + targetProfile.substr(first + 1, second - first - 1) + "\n";
    // An offline library (lib_6_x) names no minor version.
    if (targetProfile.substr(second + 1) != "x")
        text += "#define __SHADER_TARGET_MINOR " + targetProfile.substr(second + 1) + "\n";
    return text;
}

// The "#define" lines of -D arguments, "NAME" (defined as 1) or "NAME=value", in order.
std::string commandLineDefines(const std::vector<std::string>& defines) {
    std::string text;
    for (const std::string& define : defines) {
        size_t equals = define.find('=');
        text += "#define " +
                (equals == std::string::npos ? define + " 1"
                                             : define.substr(0, equals) + " " + define.substr(equals + 1)) +
                "\n";
    }
    return text;
}

} // namespace

CompileOutcome compileSource(const CompileRequest& request) {
    std::string stage = profileStage(request.targetProfile);
    if (stage.empty())
        return {E_INVALIDARG, {}, "error: invalid target profile '" + request.targetProfile + "'\n"};

    std::string sourceName = request.sourceName.empty() ? "hlsl.hlsl" : request.sourceName;
    Translation translation{request, {}, {}};
    // The compiler's own macros come first, then those of the arguments, then the source.
    preprocess(translation.preprocessor, "<built-in>", builtInDefines(request.targetProfile));
    preprocess(translation.preprocessor, "<command line>", commandLineDefines(request.defines));
    translation.preprocessor.include = [&](const std::string& includer, const std::string& name, int line,
                                           int column) {
        include(translation, includer, name, line, column);
    };
    addUnit(translation, sourceName, request.source);

    std::vector<std::string> exports;
    if (!translation.diagnostics.failed) {
        if (stage == "lib") {
            exports = libraryExports(translation);
        } else if (definesFunction(translation, request.entryPoint)) {
            exports.push_back(request.entryPoint);
        } else {
            translation.diagnostics.report(sourceName, 1, 1,
                                           "missing entry point definition '" + request.entryPoint + "'");
        }
    }
    if (translation.diagnostics.failed)
        return {E_FAIL, {}, translation.diagnostics.messages};

    std::string list;
    for (const std::string& name : exports)
        list += (list.empty() ? "" : ",") + name;
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(translation.hash));
    std::string object = std::string(standinDxilMagic) + "stage=" + stage + "\nentry=" + request.entryPoint +
                         "\nexports=" + list + "\nhash=" + hash + "\n";
    return {S_OK, object, translation.diagnostics.messages};
}

} // namespace standin::dxc
