#include "d3d12/ConstantWatch.h"

#include "d3d12/GpuState.h"
#include "d3d12/PipelineState.h"
#include "d3d12/Resource.h"
#include "d3d12/RootSignature.h"
#include "session/FrameTrace.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace standin {

namespace {

// Where a watched field lives: its buffer's register and the field within it.
struct WatchedField {
    uint32_t registerIndex = 0;
    uint32_t space = 0;
    ConstantField field;
};

const std::vector<ShaderReflection>& reflectedStages(PipelineState* pipeline) {
    if (!pipeline->reflected) {
        const PipelineInfo& info = pipeline->info;
        for (const std::vector<uint8_t>* bytecode :
             {&info.as, &info.ms, &info.vs, &info.hs, &info.ds, &info.gs, &info.ps, &info.cs})
            if (!bytecode->empty())
                pipeline->reflections.push_back(reflectShader(bytecode->data(), bytecode->size()));
        pipeline->reflected = true;
    }
    return pipeline->reflections;
}

bool findField(const std::vector<ShaderReflection>& stages, const std::string& name, WatchedField* found) {
    const size_t dot = name.find('.');
    const std::string buffer = name.substr(0, dot), field = name.substr(dot + 1);
    for (const ShaderReflection& stage : stages)
        for (const ShaderEntry& entry : stage.entries)
            for (const ConstantBufferLayout& layout : entry.constantBuffers) {
                if (layout.name != buffer)
                    continue;
                for (const ShaderBinding& binding : entry.bindings) {
                    if (binding.kind != BindingKind::ConstantBuffer || binding.name != buffer)
                        continue;
                    for (const ConstantField& candidate : layout.fields)
                        if (candidate.name == field) {
                            *found = {binding.registerIndex, binding.space, candidate};
                            return true;
                        }
                }
            }
    return false;
}

// The field's bytes where the bound root arguments put its buffer; false when no root constant-buffer view or
// root constants bind it, or the view lies outside every live buffer.
bool readField(const WatchedField& watched, const RootSignatureInfo& rootSignature,
               const std::vector<RootArgument>& arguments, std::vector<uint8_t>* bytes) {
    const uint32_t size = watched.field.size;
    for (size_t i = 0; i < rootSignature.parameters.size() && i < arguments.size(); ++i) {
        const RootParameterInfo& parameter = rootSignature.parameters[i];
        if (parameter.shaderRegister != watched.registerIndex || parameter.registerSpace != watched.space)
            continue;
        if (parameter.type == D3D12_ROOT_PARAMETER_TYPE_CBV &&
            arguments[i].kind == RootArgumentKind::ConstantBufferView) {
            const uint64_t address = arguments[i].address + watched.field.offset;
            auto buffer = findBuffer(address);
            if (!buffer || address + size > buffer->gpuAddress + buffer->desc.Width)
                return false;
            const uint8_t* start = buffer->memory + (address - buffer->gpuAddress);
            bytes->assign(start, start + size);
            return true;
        }
        if (parameter.type == D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS &&
            arguments[i].kind == RootArgumentKind::Constants) {
            const std::vector<uint32_t>& constants = arguments[i].constants;
            if (uint64_t(watched.field.offset) + size > constants.size() * sizeof(uint32_t))
                return false;
            const uint8_t* start = reinterpret_cast<const uint8_t*>(constants.data()) + watched.field.offset;
            bytes->assign(start, start + size);
            return true;
        }
    }
    return false;
}

// Components separated by commas; "?" for what is not a scalar or a vector of 32-bit numbers.
std::string formatField(const ConstantField& field, const std::vector<uint8_t>& bytes) {
    const uint32_t components = field.columns;
    if (field.matrix || field.elements != 0 || field.rows > 1 || components == 0 ||
        bytes.size() < components * 4u || field.scalar == ConstantScalar::Other)
        return "?";
    std::string text;
    for (uint32_t c = 0; c < components; ++c) {
        uint32_t word = 0;
        std::memcpy(&word, bytes.data() + c * 4, 4);
        char component[32];
        switch (field.scalar) {
        case ConstantScalar::Float: {
            float value = 0;
            std::memcpy(&value, &word, 4);
            // Nine significant digits give every float back exactly.
            std::snprintf(component, sizeof component, "%.9g", double(value));
            break;
        }
        case ConstantScalar::Int:
            std::snprintf(component, sizeof component, "%" PRId32, static_cast<int32_t>(word));
            break;
        default:
            std::snprintf(component, sizeof component, "%" PRIu32, word);
            break;
        }
        text += (c == 0 ? "" : ",") + std::string(component);
    }
    return text;
}

bool readsConstants(CommandKind kind) {
    return kind == CommandKind::DrawInstanced || kind == CommandKind::DrawIndexedInstanced ||
           kind == CommandKind::Dispatch || kind == CommandKind::DispatchMesh;
}

} // namespace

void watchConstants(const std::vector<RecordedCommand>& commands) {
    const std::vector<std::string> watches = session::watchedConstants();
    if (watches.empty())
        return;
    std::vector<bool> seen(watches.size(), false);
    for (const RecordedCommand& command : commands) {
        if (!readsConstants(command.kind))
            continue;
        PipelineState* pipeline = pipelineStateOf(command.state.pipeline);
        RootSignature* rootSignature = rootSignatureOf(command.state.rootSignature);
        if (!pipeline || !rootSignature)
            continue;
        for (size_t w = 0; w < watches.size(); ++w) {
            WatchedField watched;
            std::vector<uint8_t> bytes;
            if (seen[w] || !findField(reflectedStages(pipeline), watches[w], &watched) ||
                !readField(watched, rootSignature->info, command.state.rootArguments, &bytes))
                continue;
            seen[w] = true;
            session::noteWatchedValue(w, formatField(watched.field, bytes));
        }
    }
}

} // namespace standin
