// Reading shader bytecode: the stand-in compiler's blobs, and DXIL through the real compiler's reflection.
#include "d3d12/ShaderBytecode.h"

#include "standin/ShaderReflection.h"

#include <cstring>
#include <sstream>

namespace standin {

namespace {

constexpr char MAGIC[] = "STANDIN-DXIL";

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The stage a field value names: "vs_6_7" and "vertex" both give "vs".
std::string stageOf(const std::string& value) {
    static const std::pair<const char*, const char*> LONG_NAMES[] = {
        {"vertex", "vs"}, {"pixel", "ps"},  {"amplification", "as"}, {"mesh", "ms"},     {"compute", "cs"},
        {"hull", "hs"},   {"domain", "ds"}, {"geometry", "gs"},      {"library", "lib"},
    };
    for (const auto& [name, shortName] : LONG_NAMES)
        if (value == name)
            return shortName;
    std::string prefix = value.substr(0, value.find('_'));
    for (const char* known : {"vs", "ps", "as", "ms", "cs", "hs", "ds", "gs", "lib"})
        if (prefix == known)
            return prefix;
    return "";
}

} // namespace

bool parseStandinBytecode(const void* data, size_t size, std::map<std::string, std::string>* fields) {
    const size_t magicSize = sizeof MAGIC - 1;
    if (!data || size < magicSize || std::memcmp(data, MAGIC, magicSize) != 0)
        return false;
    std::string text(static_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line); // the magic line
    while (std::getline(lines, line)) {
        auto equals = line.find('=');
        if (equals != std::string::npos)
            (*fields)[trimmed(line.substr(0, equals))] = trimmed(line.substr(equals + 1));
    }
    return true;
}

// A DXIL container built elsewhere: "DXBC", a hash, a version, the total size, then the offsets of its parts,
// each part a four-character code and a size. Only the structure is checked.
static std::string checkContainer(const std::vector<uint8_t>& code) {
    auto word = [&](size_t at) {
        uint32_t value = 0;
        std::memcpy(&value, code.data() + at, 4);
        return value;
    };
    if (code.size() < 32 || word(24) != code.size())
        return "the DXBC container's size field does not match its length";
    uint32_t parts = word(28);
    if (32 + uint64_t(parts) * 4 > code.size())
        return "the DXBC container's part table reaches past its end";
    for (uint32_t i = 0; i < parts; ++i) {
        uint64_t offset = word(32 + 4 * i);
        if (offset + 8 > code.size() || offset + 8 + word(size_t(offset) + 4) > code.size())
            return "a part of the DXBC container reaches past its end";
    }
    return "";
}

std::string checkShaderStage(const std::vector<uint8_t>& code, const char* stage) {
    std::map<std::string, std::string> fields;
    if (code.size() >= 4 && std::memcmp(code.data(), "DXBC", 4) == 0) {
        std::string problem = checkContainer(code);
        ShaderReflection reflection =
            problem.empty() ? reflectShader(code.data(), code.size()) : ShaderReflection{};
        if (!reflection.valid)
            return problem;
        std::string compiled = reflection.library ? "lib" : reflection.entries.front().stage;
        if (compiled == stage)
            return "";
        return std::string("the ") + stage + " slot holds DXIL compiled for the " + compiled + " stage";
    }
    if (code.empty() || !parseStandinBytecode(code.data(), code.size(), &fields))
        return "";
    std::string named;
    for (const char* key : {"stage", "profile", "target"})
        if (fields.count(key) && named.empty())
            named = stageOf(fields[key]);
    if (named.empty() || named == stage)
        return "";
    return std::string("the ") + stage + " slot holds bytecode compiled for the " + named + " stage";
}

bool libraryExports(const void* data, size_t size, std::vector<std::string>* exports) {
    std::map<std::string, std::string> fields;
    if (data && size >= 4 && std::memcmp(data, "DXBC", 4) == 0) {
        ShaderReflection reflection = reflectShader(data, size);
        for (const ShaderEntry& entry : reflection.entries)
            exports->push_back(entry.name);
        return reflection.library;
    }
    if (!parseStandinBytecode(data, size, &fields))
        return false;
    std::string named;
    for (const char* key : {"stage", "profile", "target"})
        if (fields.count(key) && named.empty())
            named = stageOf(fields[key]);
    if (named != "lib")
        return false;
    std::istringstream list(fields["exports"]);
    std::string name;
    while (std::getline(list, name, ','))
        if (!trimmed(name).empty())
            exports->push_back(trimmed(name));
    return true;
}

} // namespace standin
