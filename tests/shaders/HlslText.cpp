#include "HlslText.h"

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace hlsl_text {
namespace {

std::string stripComments(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "//") == 0) {
            i = text.find('\n', i);
            if (i == std::string::npos) {
                break;
            }
            result += '\n';
        } else if (text.compare(i, 2, "/*") == 0) {
            i = text.find("*/", i);
            if (i == std::string::npos) {
                break;
            }
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

size_t typeSize(const std::string& type) {
    static const std::map<std::string, size_t> sizes = {
        {"uint", 4},   {"int", 4},     {"float", 4},     {"uint2", 8},   {"int2", 8},
        {"float2", 8}, {"uint3", 12},  {"int3", 12},     {"float3", 12}, {"uint4", 16},
        {"int4", 16},  {"float4", 16}, {"float4x4", 64},
    };
    auto found = sizes.find(type);
    if (found == sizes.end()) {
        throw std::invalid_argument("no layout rule for type " + type);
    }
    return found->second;
}

} // namespace

std::string readShader(const std::string& name) {
    std::ifstream file(std::string(LANTERN_SOURCE_DIR) + "/src/Shaders/" + name);
    if (!file) {
        throw std::runtime_error("cannot read src/Shaders/" + name);
    }
    std::stringstream buffer;
    buffer << file.rdbuf();
    std::string source = stripComments(buffer.str());
    static const std::regex define(R"(^[ \t]*#define[ \t]+(\w+)[ \t]+([^\n]+?)[ \t]*$)",
                                   std::regex::multiline);
    std::map<std::string, std::string> macros;
    for (std::sregex_iterator it(source.begin(), source.end(), define), end; it != end; ++it) {
        macros[(*it)[1]] = (*it)[2];
    }
    for (const auto& [macro, value] : macros) {
        source = std::regex_replace(source, std::regex("\\b" + macro + "\\b"), value);
    }
    return source;
}

std::map<std::string, std::vector<Field>> structs(const std::string& source) {
    std::map<std::string, std::vector<Field>> result;
    static const std::regex declaration(R"(struct\s+(\w+)\s*\{([^}]*)\};)");
    static const std::regex member(R"((\w+)\s+(\w+)\s*(?:\[\s*(\d+)\s*\])?\s*(?::\s*\w+\s*)?;)");
    for (std::sregex_iterator it(source.begin(), source.end(), declaration), end; it != end; ++it) {
        std::vector<Field>& fields = result[(*it)[1]];
        const std::string body = (*it)[2];
        for (std::sregex_iterator m(body.begin(), body.end(), member); m != end; ++m) {
            fields.push_back({(*m)[1], (*m)[2], (*m)[3].matched ? std::stoul((*m)[3]) : 1});
        }
    }
    return result;
}

Layout structuredLayout(const std::vector<Field>& fields) {
    Layout layout{{}, 0};
    for (const Field& field : fields) {
        layout.fields.push_back({field.name, layout.size});
        layout.size += typeSize(field.type) * field.count;
    }
    return layout;
}

Layout constantBufferLayout(const std::vector<Field>& fields) {
    Layout layout{{}, 0};
    for (const Field& field : fields) {
        if (field.count != 1) {
            throw std::invalid_argument("constant-buffer arrays are not laid out here: " + field.name);
        }
        const size_t size = typeSize(field.type);
        const bool crosses = layout.size % 16 + size > 16;
        if (crosses || size > 16) {
            layout.size = (layout.size + 15) / 16 * 16;
        }
        layout.fields.push_back({field.name, layout.size});
        layout.size += size;
    }
    return layout;
}

} // namespace hlsl_text
