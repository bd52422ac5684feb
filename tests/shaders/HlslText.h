// Reads the HLSL sources as text: comments removed, simple object-like macros expanded, structs parsed.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace hlsl_text {

// The source of src/Shaders/<name>, without comments and with `#define NAME value` macros substituted.
std::string readShader(const std::string& name);

struct Field {
    std::string type;
    std::string name;
    size_t count = 1; // array length
};

// Every `struct Name { type field; ... };` of the source, by name (fields may be arrays of literal length).
std::map<std::string, std::vector<Field>> structs(const std::string& source);

struct FieldLayout {
    std::string name;
    size_t offset;
};

struct Layout {
    std::vector<FieldLayout> fields;
    size_t size;
};

// Offsets as a structured buffer packs them (every field 4-byte aligned, nothing else) and as a constant
// buffer does (no field may straddle a 16-byte boundary; matrices start on one). Known types only: scalars,
// vectors of 32-bit components and float4x4; throws std::invalid_argument for anything else.
Layout structuredLayout(const std::vector<Field>& fields);
Layout constantBufferLayout(const std::vector<Field>& fields);

} // namespace hlsl_text
