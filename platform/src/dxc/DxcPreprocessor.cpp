// The preprocessor of the stand-in compiler: it evaluates conditional blocks as the compiler does, so that
// the scan reads only the lines the compiler would compile (a header shared with C++ keeps its C++ part
// under "#ifdef __cplusplus"). Macros are recorded for #ifdef and #if; code is not macro-expanded.
#include "dxc/DxcPreprocessor.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <regex>
#include <vector>

namespace standin::dxc {

void Diagnostics::report(const std::string& file, int line, int column, const std::string& text,
                         const char* kind) {
    messages +=
        file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + kind + ": " + text + "\n";
    if (std::string(kind) != "warning")
        failed = true;
}

namespace {

struct PpToken {
    enum Kind { Identifier, Number, Punctuator } kind;
    std::string text;
    size_t end; // offset just past the token in the directive's text
    int column;
};

std::vector<PpToken> lex(const std::string& text) {
    static const char* const pairs[] = {"&&", "||", "==", "!=", "<=", ">=", "<<", ">>"};
    std::vector<PpToken> tokens;
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        PpToken::Kind kind = PpToken::Punctuator;
        size_t end = i + 1;
        if (std::isalnum(c) || c == '_') {
            kind = std::isdigit(c) ? PpToken::Number : PpToken::Identifier;
            while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                                         text[end] == '_' || (kind == PpToken::Number && text[end] == '.')))
                ++end;
        } else if (c == '"') {
            while (end < text.size() && text[end] != '"')
                end += text[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, text.size());
        } else {
            for (const char* pair : pairs)
                if (text.compare(i, 2, pair) == 0)
                    end = i + 2;
        }
        tokens.push_back({kind, text.substr(i, end - i), end, static_cast<int>(i) + 1});
        i = end;
    }
    return tokens;
}

// One #if, #ifdef or #ifndef with its #elif and #else branches.
struct Conditional {
    int line;
    int column;
    bool enclosingActive; // the block that holds it is read
    bool taken;           // one of its branches was (or, in a disabled block, is taken to be) chosen
    bool active;          // the current branch is read
    bool sawElse;
};

// The expression of #if or #elif, as tokens with defined(...) and object-like macros replaced.
struct Evaluation {
    std::vector<PpToken> tokens;
    size_t at = 0;
    int endColumn = 1;
    std::string error;
    int errorColumn = 0;

    bool fail(int column, const std::string& text) {
        if (error.empty()) {
            error = text;
            errorColumn = column;
        }
        return false;
    }
};

// Macros expand as often as they nest, but a macro is not expanded again inside its own replacement.
void expand(Evaluation& e, const std::vector<PpToken>& in, const std::map<std::string, Macro>& macros,
            std::set<std::string>& expanding, int useColumn) {
    for (size_t i = 0; i < in.size() && e.error.empty(); ++i) {
        PpToken token = in[i];
        if (useColumn)
            token.column = useColumn;
        auto macro = macros.find(token.text);
        if (token.kind != PpToken::Identifier) {
            e.tokens.push_back(token);
        } else if (token.text == "defined") {
            bool parenthesised = i + 1 < in.size() && in[i + 1].text == "(";
            size_t name = i + 1 + parenthesised;
            if (name >= in.size() || in[name].kind != PpToken::Identifier)
                e.fail(token.column,
                       name >= in.size() ? "macro name missing" : "macro name must be an identifier");
            else if (parenthesised && (name + 1 >= in.size() || in[name + 1].text != ")"))
                e.fail(token.column, "missing ')' after 'defined'");
            e.tokens.push_back({PpToken::Number, name < in.size() && macros.count(in[name].text) ? "1" : "0",
                                0, token.column});
            i = name + parenthesised;
        } else if (macro == macros.end() || expanding.count(token.text)) {
            e.tokens.push_back(token); // a name that is not a macro counts as 0
        } else if (macro->second.functionLike) {
            if (i + 1 < in.size() && in[i + 1].text == "(")
                e.fail(token.column, "the stand-in compiler does not expand function-like macro '" +
                                         token.text + "' in a condition");
            e.tokens.push_back(token);
        } else {
            expanding.insert(token.text);
            expand(e, lex(macro->second.body), macros, expanding, token.column);
            expanding.erase(token.text);
        }
    }
}

bool number(Evaluation& e, const PpToken& token, int64_t& value) {
    const std::string& s = token.text;
    bool prefixed = s.size() > 1 && s[0] == '0' && std::strchr("xXbB", s[1]);
    int base = prefixed ? (s[1] == 'x' || s[1] == 'X' ? 16 : 2) : s[0] == '0' ? 8 : 10;
    uint64_t parsed = 0;
    auto [end, status] = std::from_chars(s.data() + (prefixed ? 2 : 0), s.data() + s.size(), parsed, base);
    if (status == std::errc::result_out_of_range)
        return e.fail(token.column, "integer literal is too large to be represented in any integer type");
    std::string suffix(end, s.data() + s.size());
    if (status != std::errc() || suffix.find_first_not_of("uUlL") != std::string::npos)
        return e.fail(token.column, "invalid suffix '" + suffix + "' on integer constant");
    value = static_cast<int64_t>(parsed);
    return true;
}

bool binary(Evaluation& e, int lowest, bool evaluated, int64_t& value);

bool unary(Evaluation& e, bool evaluated, int64_t& value) {
    if (e.at == e.tokens.size())
        return e.fail(e.endColumn, "expected value in expression");
    const PpToken& token = e.tokens[e.at++];
    if (token.text == "(") {
        if (!binary(e, 1, evaluated, value))
            return false;
        if (e.at == e.tokens.size() || e.tokens[e.at].text != ")")
            return e.fail(e.at < e.tokens.size() ? e.tokens[e.at].column : e.endColumn,
                          "expected ')' in preprocessor expression");
        ++e.at;
        return true;
    }
    if (token.text == "!" || token.text == "-" || token.text == "+" || token.text == "~") {
        if (!unary(e, evaluated, value))
            return false;
        auto bits = static_cast<uint64_t>(value);
        value = token.text == "!"   ? !value
                : token.text == "-" ? static_cast<int64_t>(0 - bits)
                : token.text == "~" ? static_cast<int64_t>(~bits)
                                    : value;
        return true;
    }
    if (token.kind == PpToken::Identifier) {
        value = 0;
        return true;
    }
    if (token.kind == PpToken::Number)
        return number(e, token, value);
    return e.fail(token.column, "invalid token at start of a preprocessor expression");
}

int precedence(const PpToken& token) {
    static const std::map<std::string, int> levels = {
        {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5}, {"==", 6}, {"!=", 6}, {"<", 7},  {">", 7},
        {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9}, {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10}};
    auto found = levels.find(token.text);
    return token.kind == PpToken::Punctuator && found != levels.end() ? found->second : 0;
}

// Operators of equal precedence group from the left. The side of && or || that decides nothing is not
// evaluated, so that "defined(N) && 100 / N" cannot divide by zero.
bool binary(Evaluation& e, int lowest, bool evaluated, int64_t& value) {
    if (!unary(e, evaluated, value))
        return false;
    while (e.at < e.tokens.size() && precedence(e.tokens[e.at]) >= lowest) {
        const PpToken& op = e.tokens[e.at++];
        bool decided = (op.text == "&&" && !value) || (op.text == "||" && value);
        int64_t right = 0;
        if (!binary(e, precedence(op) + 1, evaluated && !decided, right))
            return false;
        auto a = static_cast<uint64_t>(value), b = static_cast<uint64_t>(right);
        const std::string& o = op.text;
        if ((o == "/" || o == "%") && right == 0) {
            if (evaluated)
                return e.fail(op.column, "division by zero in preprocessor expression");
            value = 0;
        } else if (o == "||" || o == "&&") {
            value = o == "||" ? (value || right) : (value && right);
        } else if (o == "==" || o == "!=") {
            value = (value == right) == (o == "==");
        } else if (o == "<" || o == ">" || o == "<=" || o == ">=") {
            value = o == "<"    ? value < right
                    : o == ">"  ? value > right
                    : o == "<=" ? value <= right
                                : value >= right;
        } else if (o == "/" || o == "%") {
            value = right == -1 ? (o == "/" ? static_cast<int64_t>(0 - a) : 0)
                    : o == "/"  ? value / right
                                : value % right;
        } else {
            uint64_t bits = o == "|"    ? a | b
                            : o == "^"  ? a ^ b
                            : o == "&"  ? a & b
                            : o == "<<" ? a << (b & 63)
                            : o == ">>" ? static_cast<uint64_t>(value >> (b & 63))
                            : o == "+"  ? a + b
                            : o == "-"  ? a - b
                                        : a * b;
            value = static_cast<int64_t>(bits);
        }
    }
    return true;
}

// The value of the condition of #if or #elif; false, with an error, when it cannot be evaluated.
bool evaluate(Preprocessor& pp, const std::string& file, int line, const std::string& text,
              const std::vector<PpToken>& tokens) {
    Evaluation e;
    e.endColumn = static_cast<int>(text.find_last_not_of(" \t\r") + 2);
    std::set<std::string> expanding;
    expand(e, std::vector<PpToken>(tokens.begin() + 2, tokens.end()), pp.macros, expanding, 0);
    int64_t value = 0;
    if (e.error.empty() && binary(e, 1, true, value) && e.at < e.tokens.size())
        e.fail(e.tokens[e.at].column, "token is not a valid binary operator in a preprocessor subexpression");
    if (!e.error.empty())
        pp.diagnostics.report(file, line, e.errorColumn, e.error);
    return e.error.empty() && value != 0;
}

void define(Preprocessor& pp, const std::string& file, int line, const std::string& text,
            const std::vector<PpToken>& tokens) {
    if (tokens.size() < 3)
        return pp.diagnostics.report(file, line, static_cast<int>(tokens[1].end) + 1, "macro name missing");
    const PpToken& name = tokens[2];
    if (name.kind != PpToken::Identifier)
        return pp.diagnostics.report(file, line, name.column, "macro name must be an identifier");
    if (name.text == "defined")
        return pp.diagnostics.report(file, line, name.column, "'defined' cannot be used as a macro name");
    Macro macro;
    size_t body = name.end;
    // A parenthesis right after the name opens a parameter list; after a space it begins the replacement.
    if (body < text.size() && text[body] == '(') {
        macro.functionLike = true;
        body = text.find(')', body);
        if (body == std::string::npos)
            return pp.diagnostics.report(file, line, name.column, "missing ')' in macro parameter list");
        ++body;
    }
    size_t first = text.find_first_not_of(" \t\r", body), last = text.find_last_not_of(" \t\r");
    macro.body = first == std::string::npos ? "" : text.substr(first, last + 1 - first);
    pp.macros[name.text] = macro;
}

// The name of #ifdef, #ifndef or #undef; false, with an error, when there is none.
bool macroName(Preprocessor& pp, const std::string& file, int line, const std::vector<PpToken>& tokens) {
    if (tokens.size() < 3)
        pp.diagnostics.report(file, line, static_cast<int>(tokens[1].end) + 1, "macro name missing");
    else if (tokens[2].kind != PpToken::Identifier)
        pp.diagnostics.report(file, line, tokens[2].column, "macro name must be an identifier");
    return tokens.size() >= 3 && tokens[2].kind == PpToken::Identifier;
}

void directive(Preprocessor& pp, std::vector<Conditional>& open, const std::string& file, int line,
               const std::string& text) {
    std::vector<PpToken> tokens = lex(text);
    if (tokens.size() < 2 || tokens[1].kind != PpToken::Identifier)
        return; // "#" alone, or nothing the stand-in reads
    const std::string& name = tokens[1].text;
    int column = tokens[1].column;
    auto report = [&](const std::string& message) { pp.diagnostics.report(file, line, column, message); };
    bool active = open.empty() || open.back().active;

    if (name == "if" || name == "ifdef" || name == "ifndef") {
        Conditional conditional{line, tokens[0].column, active, !active, false, false};
        if (active) {
            bool value = name == "if" ? evaluate(pp, file, line, text, tokens)
                                      : macroName(pp, file, line, tokens) &&
                                            pp.macros.count(tokens[2].text) == (name == "ifdef" ? 1u : 0u);
            conditional.taken = conditional.active = value;
        }
        open.push_back(conditional);
    } else if (name == "elif" || name == "else") {
        if (open.empty())
            return report("#" + name + " without #if");
        Conditional& conditional = open.back();
        if (conditional.sawElse)
            return report("#" + name + " after #else");
        // A branch after the chosen one is not evaluated, as the compiler does not evaluate it.
        bool value = conditional.enclosingActive && !conditional.taken &&
                     (name == "else" || evaluate(pp, file, line, text, tokens));
        conditional.active = value;
        conditional.taken = conditional.taken || value;
        conditional.sawElse = name == "else";
    } else if (name == "endif") {
        if (open.empty())
            return report("#endif without #if");
        open.pop_back();
    } else if (!active) {
        return;
    } else if (name == "define") {
        define(pp, file, line, text, tokens);
    } else if (name == "undef") {
        if (macroName(pp, file, line, tokens))
            pp.macros.erase(tokens[2].text);
    } else if (name == "include") {
        static const std::regex include(R"(^\s*#\s*include\s*(["<])([^">]*)[">])");
        std::smatch match;
        if (!std::regex_search(text, match, include))
            return pp.diagnostics.report(file, line, static_cast<int>(tokens[1].end) + 1,
                                         "expected \"FILENAME\" or <FILENAME>");
        pp.include(file, match[2].str(), line, static_cast<int>(match.position(1)) + 1);
    } else if (name == "pragma") {
        if (tokens.size() > 2 && tokens[2].text == "once")
            pp.onceFiles.insert(file);
    } else if (name == "error" || name == "warning") {
        size_t first = text.find_first_not_of(" \t\r", tokens[1].end), last = text.find_last_not_of(" \t\r");
        std::string message = first == std::string::npos ? "" : text.substr(first, last + 1 - first);
        if (name == "warning")
            pp.diagnostics.report(file, line, column, message + " [-W#warnings]", "warning");
        else
            report(message);
    }
}

} // namespace

std::string preprocess(Preprocessor& preprocessor, const std::string& file, const std::string& text) {
    std::string code = text;
    std::vector<Conditional> open;
    auto blank = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            if (code[i] != '\n')
                code[i] = ' ';
    };
    int line = 1;
    for (size_t start = 0; start < code.size();) {
        size_t end = code.find('\n', start);
        end = end == std::string::npos ? code.size() : end;
        size_t first = code.find_first_not_of(" \t\r", start);
        int lines = 1;
        if (first < end && code[first] == '#') {
            // A directive goes on over the lines that its backslashes join.
            std::string directiveText = code.substr(start, end - start);
            for (;;) {
                size_t slash = directiveText.find_last_not_of('\r');
                if (end == code.size() || slash == std::string::npos || directiveText[slash] != '\\')
                    break;
                directiveText.erase(slash);
                size_t next = code.find('\n', end + 1);
                next = next == std::string::npos ? code.size() : next;
                directiveText += code.substr(end + 1, next - end - 1);
                end = next;
                ++lines;
            }
            directive(preprocessor, open, file, line, directiveText);
            blank(start, end);
        } else if (!open.empty() && !open.back().active) {
            blank(start, end);
        }
        line += lines;
        start = end + 1;
    }
    for (const Conditional& conditional : open)
        preprocessor.diagnostics.report(file, conditional.line, conditional.column,
                                        "unterminated conditional directive");
    return code;
}

} // namespace standin::dxc
