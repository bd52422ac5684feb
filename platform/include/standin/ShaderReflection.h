// What compiled DXIL declares, read with the real compiler's reflection (see standin/Dxc.h): the stand-in
// device checks pipelines and state objects against it, and tests tie the host's records and dispatch sizes
// to it. The stand-in compiler's own containers declare none of this; without a real compiler nothing is
// read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

enum class BindingKind { ConstantBuffer, ShaderResource, UnorderedAccess, Sampler };

// One resource the shader binds by register.
struct ShaderBinding {
    std::string name;
    BindingKind kind = BindingKind::ShaderResource;
    uint32_t inputType = 0; // D3D_SHADER_INPUT_TYPE
    uint32_t dimension = 0; // D3D_SRV_DIMENSION
    uint32_t registerIndex = 0;
    uint32_t space = 0;
    uint32_t count = 1; // registers taken; 0 for an unbounded array
};

// The component type of a numeric field.
enum class ConstantScalar { Other, Bool, Int, Uint, Float };

// One field of a constant buffer's record, nested records flattened ("outer.inner").
struct ConstantField {
    std::string name;
    uint32_t offset = 0; // from the start of the buffer
    uint32_t size = 0;
    uint32_t rows = 0, columns = 0, elements = 0; // elements: 0 when not an array
    bool matrix = false;
    bool rowMajor = false; // matrices: rows are contiguous, as the host's Mat4 stores them
    ConstantScalar scalar = ConstantScalar::Other;
};

struct ConstantBufferLayout {
    std::string name;     // the buffer's name in the shader
    std::string typeName; // the record's type for ConstantBuffer<T>, else ""
    uint32_t size = 0;    // bytes the record's fields take (the buffer rounds this up to 16)
    std::vector<ConstantField> fields;
};

struct SignatureElement {
    std::string semanticName; // as declared, upper case for system values ("SV_POSITION")
    uint32_t semanticIndex = 0;
    uint32_t registerIndex = 0;
    uint32_t systemValue = 0;   // D3D_NAME
    uint32_t componentType = 0; // D3D_REGISTER_COMPONENT_TYPE
    uint32_t mask = 0;          // components present
};

// One entry point: the shader of a stage, or one export of a library.
struct ShaderEntry {
    std::string name; // a library's export name; "" for a stage shader
    std::string
        stage; // "vs", "hs", "ds", "gs", "ps", "cs", "as", "ms"; a library's "raygeneration", "miss", ...
    uint32_t threadGroup[3] = {0, 0, 0}; // compute, amplification and mesh shaders
    uint32_t payloadSize = 0;            // amplification and mesh shaders: bytes of the payload
    bool indexesResourceHeap = false;    // ResourceDescriptorHeap
    bool indexesSamplerHeap = false;     // SamplerDescriptorHeap
    std::vector<ShaderBinding> bindings;
    std::vector<ConstantBufferLayout> constantBuffers;
    std::vector<SignatureElement> inputs, outputs, primitiveOutputs;
};

struct ShaderReflection {
    bool valid = false; // false: not DXIL, or no real compiler to read it with
    bool library = false;
    std::vector<ShaderEntry> entries; // one for a stage shader, one per export of a library
};

ShaderReflection reflectShader(const void* bytecode, size_t size);

} // namespace standin
