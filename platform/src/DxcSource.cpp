// What the stand-in compiler checks of an HLSL source: the target profile, the included files, the entry
// point's definition or a library's exports. It cannot generate code, so a successful compile yields the
// text container described in standin/Dxc.h. Conditional compilation and macros are not evaluated: the
// program's sources define their entry points and exports plainly.
#include "DxcInternal.h"

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

// One file of the translation unit, its comments and directives blanked out (line numbers kept).
struct Unit {
    std::string name;
    std::vector<Token> tokens;
};

struct Translation {
    const CompileRequest& request;
    std::vector<Unit> units;
    std::set<std::string> included;
    std::string messages;
    bool failed = false;
    uint64_t hash = 14695981039346656037ull;

    void error(const std::string& file, int line, int column, const std::string& text,
               const char* kind = "error") {
        messages += file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + kind + ": " +
                    text + "\n";
        if (std::string(kind) != "warning")
            failed = true;
    }
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

void addUnit(Translation& translation, const std::string& name, const std::string& text, int depth);

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

// Handles one preprocessor line; the ones the stand-in does not need are ignored.
void directive(Translation& translation, const std::string& file, int line, const std::string& text,
               int depth) {
    static const std::regex include(R"(^\s*#\s*include\s*(["<])([^">]*)[">])");
    static const std::regex diagnostic(R"(^\s*#\s*(warning|error)\b\s*(.*?)\s*$)");
    std::smatch match;
    if (std::regex_search(text, match, include)) {
        std::string name = match[2].str(), resolved, included;
        int column = static_cast<int>(match.position(1)) + 1;
        if (depth >= maxIncludeDepth) {
            translation.error(file, line, column, "#include nested too deeply", "fatal error");
        } else if (!loadInclude(translation, file, name, &resolved, &included)) {
            translation.error(file, line, column, "'" + name + "' file not found", "fatal error");
        } else if (translation.included.insert(resolved).second) {
            // A file is read once, as its include guard or "#pragma once" would have it.
            addUnit(translation, resolved, included, depth + 1);
        }
    } else if (std::regex_search(text, match, diagnostic)) {
        int column = static_cast<int>(match.position(1));
        if (match[1] == "warning")
            translation.error(file, line, column, match[2].str() + " [-W#warnings]", "warning");
        else
            translation.error(file, line, column, match[2].str());
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

void addUnit(Translation& translation, const std::string& name, const std::string& text, int depth) {
    hashBytes(translation, text);
    std::string code = blankComments(text);
    // Directive lines (with their continuations) are taken out before the code is read.
    int line = 1;
    for (size_t start = 0; start < code.size();) {
        size_t end = code.find('\n', start);
        end = end == std::string::npos ? code.size() : end;
        size_t first = code.find_first_not_of(" \t\r", start);
        if (first < end && code[first] == '#') {
            std::string directiveText = code.substr(start, end - start);
            int lines = 1;
            while (end < code.size() && end > start && code[end - 1 - (code[end - 1] == '\r')] == '\\') {
                size_t next = code.find('\n', end + 1);
                next = next == std::string::npos ? code.size() : next;
                directiveText += code.substr(end + 1, next - end - 1);
                end = next;
                ++lines;
            }
            directive(translation, name, line, directiveText, depth);
            for (size_t i = start; i < end; ++i)
                if (code[i] != '\n')
                    code[i] = ' ';
            line += lines - 1;
        }
        ++line;
        start = end + 1;
    }
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
                translation.error(unit.name, t[i + 3].line, t[i + 3].column,
                                  "unknown shader kind '" + t[i + 3].text + "' in attribute 'shader'");
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
                translation.error(unit.name, t[i].line, t[i].column,
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

} // namespace

CompileOutcome compileSource(const CompileRequest& request) {
    std::string stage = profileStage(request.targetProfile);
    if (stage.empty())
        return {E_INVALIDARG, {}, "error: invalid target profile '" + request.targetProfile + "'\n"};

    std::string sourceName = request.sourceName.empty() ? "hlsl.hlsl" : request.sourceName;
    Translation translation{request, {}, {}, {}};
    translation.included.insert(std::filesystem::path(sourceName).lexically_normal().generic_string());
    addUnit(translation, sourceName, request.source, 0);

    std::vector<std::string> exports;
    if (!translation.failed) {
        if (stage == "lib") {
            exports = libraryExports(translation);
        } else if (definesFunction(translation, request.entryPoint)) {
            exports.push_back(request.entryPoint);
        } else {
            translation.error(sourceName, 1, 1,
                              "missing entry point definition '" + request.entryPoint + "'");
        }
    }
    if (translation.failed)
        return {E_FAIL, {}, translation.messages};

    std::string list;
    for (const std::string& name : exports)
        list += (list.empty() ? "" : ",") + name;
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(translation.hash));
    std::string object = std::string(standinDxilMagic) + "stage=" + stage + "\nentry=" + request.entryPoint +
                         "\nexports=" + list + "\nhash=" + hash + "\n";
    return {S_OK, object, translation.messages};
}

} // namespace standin::dxc
