// Reflection of DXIL through the real compiler's library (standin/ShaderReflection.h). The library makes the
// reflection objects (dxc/RealCompiler.h); they are used here through DirectX-Headers' declarations of the
// reflection interfaces, whose layout the library implements.
#include "standin/ShaderReflection.h"

#include "dxc/RealCompiler.h"

#include <wsl/winadapter.h>

#include <directx/d3d12shader.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace standin {
namespace {

// The interface IDs of the two reflection interfaces (DirectX-Headers declares them without defining them).
constexpr GUID shaderReflectionId = {
    0x5a58797d, 0xa72c, 0x478d, {0x8b, 0xa2, 0xef, 0xc6, 0xb0, 0xef, 0xe8, 0x8e}};
constexpr GUID libraryReflectionId = {
    0x8e349d19, 0x54db, 0x4a56, {0x9d, 0xc9, 0x11, 0x9d, 0x87, 0xbd, 0xb8, 0x04}};

template <class T> struct Released {
    T* object = nullptr;
    ~Released() {
        if (object)
            object->Release();
    }
};

std::string stageName(UINT version) {
    static const char* const names[] = {
        "ps",           "vs",     "gs",         "hs",   "ds",       "cs", "lib", "raygeneration",
        "intersection", "anyhit", "closesthit", "miss", "callable", "ms", "as"};
    UINT type = D3D12_SHVER_GET_TYPE(version);
    return type < std::size(names) ? names[type] : "unknown";
}

BindingKind kindOf(D3D_SHADER_INPUT_TYPE type) {
    switch (type) {
    case D3D_SIT_CBUFFER:
        return BindingKind::ConstantBuffer;
    case D3D_SIT_SAMPLER:
        return BindingKind::Sampler;
    case D3D_SIT_TBUFFER:
    case D3D_SIT_TEXTURE:
    case D3D_SIT_STRUCTURED:
    case D3D_SIT_BYTEADDRESS:
    case D3D_SIT_RTACCELERATIONSTRUCTURE:
        return BindingKind::ShaderResource;
    default:
        return BindingKind::UnorderedAccess;
    }
}

ShaderBinding bindingOf(const D3D12_SHADER_INPUT_BIND_DESC& desc) {
    return {desc.Name ? desc.Name : "",
            kindOf(desc.Type),
            static_cast<uint32_t>(desc.Type),
            static_cast<uint32_t>(desc.Dimension),
            desc.BindPoint,
            desc.Space,
            desc.BindCount};
}

// Bytes a numeric field takes in a constant buffer: every row or column but the last fills a 16-byte
// register.
uint32_t numericSize(const D3D12_SHADER_TYPE_DESC& type) {
    uint32_t component =
        (type.Type == D3D_SVT_DOUBLE || type.Type == D3D_SVT_INT64 || type.Type == D3D_SVT_UINT64) ? 8 : 4;
    uint32_t vectors = type.Class == D3D_SVC_MATRIX_ROWS      ? type.Rows
                       : type.Class == D3D_SVC_MATRIX_COLUMNS ? type.Columns
                                                              : 1;
    uint32_t length = type.Class == D3D_SVC_MATRIX_COLUMNS ? type.Rows : type.Columns;
    uint32_t one = (vectors - 1) * 16 + length * component;
    return type.Elements ? (type.Elements - 1) * ((one + 15) / 16 * 16) + one : one;
}

ConstantScalar scalarOf(D3D_SHADER_VARIABLE_TYPE type) {
    switch (type) {
    case D3D_SVT_BOOL:
        return ConstantScalar::Bool;
    case D3D_SVT_INT:
        return ConstantScalar::Int;
    case D3D_SVT_UINT:
        return ConstantScalar::Uint;
    case D3D_SVT_FLOAT:
        return ConstantScalar::Float;
    default:
        return ConstantScalar::Other;
    }
}

void addFields(ID3D12ShaderReflectionType* type, const std::string& prefix, uint32_t base,
               std::vector<ConstantField>* fields) {
    D3D12_SHADER_TYPE_DESC desc{};
    if (!type || FAILED(type->GetDesc(&desc)))
        return;
    for (UINT i = 0; i < desc.Members; ++i) {
        ID3D12ShaderReflectionType* member = type->GetMemberTypeByIndex(i);
        D3D12_SHADER_TYPE_DESC memberDesc{};
        if (!member || FAILED(member->GetDesc(&memberDesc)))
            continue;
        const char* memberName = type->GetMemberTypeName(i);
        std::string name = prefix + (memberName ? memberName : "");
        if (memberDesc.Class == D3D_SVC_STRUCT) {
            addFields(member, name + ".", base + memberDesc.Offset, fields);
            continue;
        }
        fields->push_back(
            {name, base + memberDesc.Offset, numericSize(memberDesc), memberDesc.Rows, memberDesc.Columns,
             memberDesc.Elements,
             memberDesc.Class == D3D_SVC_MATRIX_ROWS || memberDesc.Class == D3D_SVC_MATRIX_COLUMNS,
             memberDesc.Class == D3D_SVC_MATRIX_ROWS, scalarOf(memberDesc.Type)});
    }
}

ConstantBufferLayout layoutOf(ID3D12ShaderReflectionConstantBuffer* buffer) {
    ConstantBufferLayout layout;
    D3D12_SHADER_BUFFER_DESC desc{};
    if (!buffer || FAILED(buffer->GetDesc(&desc)))
        return layout;
    layout.name = desc.Name ? desc.Name : "";
    for (UINT v = 0; v < desc.Variables; ++v) {
        ID3D12ShaderReflectionVariable* variable = buffer->GetVariableByIndex(v);
        D3D12_SHADER_VARIABLE_DESC variableDesc{};
        D3D12_SHADER_TYPE_DESC typeDesc{};
        if (!variable || FAILED(variable->GetDesc(&variableDesc)) ||
            FAILED(variable->GetType()->GetDesc(&typeDesc)))
            continue;
        layout.size = std::max(layout.size, variableDesc.StartOffset + variableDesc.Size);
        // ConstantBuffer<T> holds one variable of the record's type: its fields are the record's members.
        if (typeDesc.Class == D3D_SVC_STRUCT && desc.Variables == 1) {
            layout.typeName = typeDesc.Name ? typeDesc.Name : "";
            addFields(variable->GetType(), "", variableDesc.StartOffset, &layout.fields);
        } else if (typeDesc.Class == D3D_SVC_STRUCT) {
            addFields(variable->GetType(), std::string(variableDesc.Name) + ".", variableDesc.StartOffset,
                      &layout.fields);
        } else {
            layout.fields.push_back(
                {variableDesc.Name, variableDesc.StartOffset, variableDesc.Size, typeDesc.Rows,
                 typeDesc.Columns, typeDesc.Elements,
                 typeDesc.Class == D3D_SVC_MATRIX_ROWS || typeDesc.Class == D3D_SVC_MATRIX_COLUMNS,
                 typeDesc.Class == D3D_SVC_MATRIX_ROWS, scalarOf(typeDesc.Type)});
        }
    }
    return layout;
}

SignatureElement elementOf(const D3D12_SIGNATURE_PARAMETER_DESC& desc) {
    return {desc.SemanticName ? desc.SemanticName : "",
            desc.SemanticIndex,
            desc.Register,
            static_cast<uint32_t>(desc.SystemValueType),
            static_cast<uint32_t>(desc.ComponentType),
            desc.Mask};
}

// A part of the container ("PSV0", ...): its bytes, or empty.
std::string containerPart(const void* bytes, size_t size, const char* fourCC) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    auto word = [&](size_t at) {
        uint32_t value = 0;
        std::memcpy(&value, data + at, 4);
        return value;
    };
    if (size < 32 || std::memcmp(data, "DXBC", 4) != 0)
        return {};
    uint32_t parts = word(28);
    for (uint32_t i = 0; i < parts && 32 + 4 * uint64_t(i) + 4 <= size; ++i) {
        uint64_t offset = word(32 + 4 * i);
        if (offset + 8 > size)
            return {};
        uint64_t partSize = word(size_t(offset) + 4);
        if (std::memcmp(data + offset, fourCC, 4) == 0 && offset + 8 + partSize <= size)
            return std::string(reinterpret_cast<const char*>(data + offset + 8), size_t(partSize));
    }
    return {};
}

// The payload size of an amplification or mesh shader, from the pipeline-state validation part the runtime
// reads: its runtime information starts with the stage's own fields, the amplification shader's payload
// size first, the mesh shader's after two words of group-shared sizes.
uint32_t payloadSizeOf(const void* bytes, size_t size, const std::string& stage) {
    std::string part = containerPart(bytes, size, "PSV0");
    size_t at = stage == "as" ? 4 : stage == "ms" ? 12 : 0;
    uint32_t infoSize = 0;
    if (at == 0 || part.size() < 4)
        return 0;
    std::memcpy(&infoSize, part.data(), 4);
    if (infoSize < 16 || part.size() < at + 4)
        return 0;
    uint32_t payload = 0;
    std::memcpy(&payload, part.data() + at, 4);
    return payload;
}

// Library functions carry their decorated names ("?RayGeneration@@YAXXZ"); exports go by the plain one.
std::string exportName(const char* decorated) {
    std::string name = decorated ? decorated : "";
    if (!name.empty() && name[0] == '\x01')
        name.erase(0, 1);
    if (!name.empty() && name[0] == '?')
        name = name.substr(1, name.find('@') - 1);
    return name;
}

ShaderEntry reflectStage(ID3D12ShaderReflection* reflection, const void* bytes, size_t size) {
    ShaderEntry entry;
    D3D12_SHADER_DESC desc{};
    reflection->GetDesc(&desc);
    entry.stage = stageName(desc.Version);
    reflection->GetThreadGroupSize(&entry.threadGroup[0], &entry.threadGroup[1], &entry.threadGroup[2]);
    entry.payloadSize = payloadSizeOf(bytes, size, entry.stage);
    UINT64 required = reflection->GetRequiresFlags();
    entry.indexesResourceHeap = (required & D3D_SHADER_REQUIRES_RESOURCE_DESCRIPTOR_HEAP_INDEXING) != 0;
    entry.indexesSamplerHeap = (required & D3D_SHADER_REQUIRES_SAMPLER_DESCRIPTOR_HEAP_INDEXING) != 0;
    for (UINT i = 0; i < desc.BoundResources; ++i) {
        D3D12_SHADER_INPUT_BIND_DESC binding{};
        if (SUCCEEDED(reflection->GetResourceBindingDesc(i, &binding)))
            entry.bindings.push_back(bindingOf(binding));
    }
    for (UINT i = 0; i < desc.ConstantBuffers; ++i)
        entry.constantBuffers.push_back(layoutOf(reflection->GetConstantBufferByIndex(i)));
    D3D12_SIGNATURE_PARAMETER_DESC element{};
    for (UINT i = 0; i < desc.InputParameters; ++i)
        if (SUCCEEDED(reflection->GetInputParameterDesc(i, &element)))
            entry.inputs.push_back(elementOf(element));
    for (UINT i = 0; i < desc.OutputParameters; ++i)
        if (SUCCEEDED(reflection->GetOutputParameterDesc(i, &element)))
            entry.outputs.push_back(elementOf(element));
    // A mesh shader's per-primitive outputs come as its patch-constant signature.
    for (UINT i = 0; i < desc.PatchConstantParameters; ++i)
        if (SUCCEEDED(reflection->GetPatchConstantParameterDesc(i, &element)))
            entry.primitiveOutputs.push_back(elementOf(element));
    return entry;
}

ShaderEntry reflectFunction(ID3D12FunctionReflection* function) {
    ShaderEntry entry;
    D3D12_FUNCTION_DESC desc{};
    if (!function || FAILED(function->GetDesc(&desc)))
        return entry;
    entry.name = exportName(desc.Name);
    entry.stage = stageName(desc.Version);
    entry.indexesResourceHeap =
        (desc.RequiredFeatureFlags & D3D_SHADER_REQUIRES_RESOURCE_DESCRIPTOR_HEAP_INDEXING) != 0;
    entry.indexesSamplerHeap =
        (desc.RequiredFeatureFlags & D3D_SHADER_REQUIRES_SAMPLER_DESCRIPTOR_HEAP_INDEXING) != 0;
    for (UINT i = 0; i < desc.BoundResources; ++i) {
        D3D12_SHADER_INPUT_BIND_DESC binding{};
        if (SUCCEEDED(function->GetResourceBindingDesc(i, &binding)))
            entry.bindings.push_back(bindingOf(binding));
    }
    for (UINT i = 0; i < desc.ConstantBuffers; ++i)
        entry.constantBuffers.push_back(layoutOf(function->GetConstantBufferByIndex(i)));
    return entry;
}

} // namespace

ShaderReflection reflectShader(const void* bytecode, size_t size) {
    ShaderReflection result;
    if (!bytecode || size < 4 || std::memcmp(bytecode, "DXBC", 4) != 0)
        return result;
    Released<ID3D12ShaderReflection> stage{
        static_cast<ID3D12ShaderReflection*>(dxc::createRealReflection(bytecode, size, &shaderReflectionId))};
    if (stage.object) {
        result.valid = true;
        result.entries.push_back(reflectStage(stage.object, bytecode, size));
        return result;
    }
    Released<ID3D12LibraryReflection> library{static_cast<ID3D12LibraryReflection*>(
        dxc::createRealReflection(bytecode, size, &libraryReflectionId))};
    D3D12_LIBRARY_DESC desc{};
    if (!library.object || FAILED(library.object->GetDesc(&desc)))
        return result;
    result.valid = true;
    result.library = true;
    for (UINT i = 0; i < desc.FunctionCount; ++i)
        result.entries.push_back(reflectFunction(library.object->GetFunctionByIndex(static_cast<INT>(i))));
    return result;
}

} // namespace standin
