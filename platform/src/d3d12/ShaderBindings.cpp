// Root-signature coverage of the registers shaders bind, for pipeline states and state objects.
#include "d3d12/ShaderBindings.h"

#include "d3d12/RootSignature.h"

#include <climits>
#include <set>

namespace standin {

namespace {

struct StageInfo {
    const char* code;
    const char* name;
    D3D12_SHADER_VISIBILITY visibility; // ALL: the stage sees only parameters visible to all
    D3D12_ROOT_SIGNATURE_FLAGS denied;
};

const StageInfo STAGES[] = {
    {"vs", "vertex", D3D12_SHADER_VISIBILITY_VERTEX,
     D3D12_ROOT_SIGNATURE_FLAG_DENY_VERTEX_SHADER_ROOT_ACCESS},
    {"hs", "hull", D3D12_SHADER_VISIBILITY_HULL, D3D12_ROOT_SIGNATURE_FLAG_DENY_HULL_SHADER_ROOT_ACCESS},
    {"ds", "domain", D3D12_SHADER_VISIBILITY_DOMAIN,
     D3D12_ROOT_SIGNATURE_FLAG_DENY_DOMAIN_SHADER_ROOT_ACCESS},
    {"gs", "geometry", D3D12_SHADER_VISIBILITY_GEOMETRY,
     D3D12_ROOT_SIGNATURE_FLAG_DENY_GEOMETRY_SHADER_ROOT_ACCESS},
    {"ps", "pixel", D3D12_SHADER_VISIBILITY_PIXEL, D3D12_ROOT_SIGNATURE_FLAG_DENY_PIXEL_SHADER_ROOT_ACCESS},
    {"as", "amplification", D3D12_SHADER_VISIBILITY_AMPLIFICATION,
     D3D12_ROOT_SIGNATURE_FLAG_DENY_AMPLIFICATION_SHADER_ROOT_ACCESS},
    {"ms", "mesh", D3D12_SHADER_VISIBILITY_MESH, D3D12_ROOT_SIGNATURE_FLAG_DENY_MESH_SHADER_ROOT_ACCESS},
};

// Compute shaders and library exports see the parameters visible to all stages, and nothing denies them.
StageInfo stageInfo(const ShaderEntry& entry) {
    for (const StageInfo& stage : STAGES)
        if (entry.stage == stage.code)
            return stage;
    return {entry.stage.c_str(), entry.stage == "cs" ? "compute" : entry.stage.c_str(),
            D3D12_SHADER_VISIBILITY_ALL, D3D12_ROOT_SIGNATURE_FLAG_NONE};
}

// "the pixel shader", "the miss shader 'Miss'".
std::string describeShader(const ShaderEntry& entry) {
    std::string text = std::string("the ") + stageInfo(entry).name + " shader";
    return entry.name.empty() ? text : text + " '" + entry.name + "'";
}

// "t0 space 1 and up ('textures')", "b1 space 0 ('constants')".
std::string describeBinding(const ShaderBinding& binding) {
    const char letter = binding.kind == BindingKind::ConstantBuffer    ? 'b'
                        : binding.kind == BindingKind::ShaderResource  ? 't'
                        : binding.kind == BindingKind::UnorderedAccess ? 'u'
                                                                       : 's';
    std::string text = letter + std::to_string(binding.registerIndex);
    if (binding.count > 1)
        text += "-" + std::string(1, letter) + std::to_string(binding.registerIndex + binding.count - 1);
    text += " space " + std::to_string(binding.space);
    if (binding.count == 0)
        text += " and up";
    return text + " ('" + binding.name + "')";
}

bool visibleTo(D3D12_SHADER_VISIBILITY parameter, D3D12_SHADER_VISIBILITY stage) {
    return parameter == D3D12_SHADER_VISIBILITY_ALL ||
           (stage != D3D12_SHADER_VISIBILITY_ALL && parameter == stage);
}

D3D12_DESCRIPTOR_RANGE_TYPE rangeTypeOf(BindingKind kind) {
    switch (kind) {
    case BindingKind::ConstantBuffer:
        return D3D12_DESCRIPTOR_RANGE_TYPE_CBV;
    case BindingKind::ShaderResource:
        return D3D12_DESCRIPTOR_RANGE_TYPE_SRV;
    case BindingKind::UnorderedAccess:
        return D3D12_DESCRIPTOR_RANGE_TYPE_UAV;
    default:
        return D3D12_DESCRIPTOR_RANGE_TYPE_SAMPLER;
    }
}

// A range covers every register of the binding; an unbounded binding needs an unbounded range.
bool rangeCovers(const D3D12_DESCRIPTOR_RANGE1& range, const ShaderBinding& binding) {
    if (range.RangeType != rangeTypeOf(binding.kind) || range.RegisterSpace != binding.space ||
        binding.registerIndex < range.BaseShaderRegister)
        return false;
    if (range.NumDescriptors == UINT_MAX)
        return true;
    return binding.count != 0 && uint64_t(binding.registerIndex) + binding.count <=
                                     uint64_t(range.BaseShaderRegister) + range.NumDescriptors;
}

// Root descriptors reach buffers by address: raw and structured buffers and acceleration structures only.
bool fitsRootDescriptor(const ShaderBinding& binding) {
    switch (binding.inputType) {
    case D3D_SIT_CBUFFER:
    case D3D_SIT_STRUCTURED:
    case D3D_SIT_BYTEADDRESS:
    case D3D_SIT_RTACCELERATIONSTRUCTURE:
    case D3D_SIT_UAV_RWSTRUCTURED:
    case D3D_SIT_UAV_RWBYTEADDRESS:
        return true;
    default:
        return false;
    }
}

D3D12_ROOT_PARAMETER_TYPE rootDescriptorTypeOf(BindingKind kind) {
    return kind == BindingKind::ConstantBuffer   ? D3D12_ROOT_PARAMETER_TYPE_CBV
           : kind == BindingKind::ShaderResource ? D3D12_ROOT_PARAMETER_TYPE_SRV
                                                 : D3D12_ROOT_PARAMETER_TYPE_UAV;
}

// "" when a parameter or static sampler the stage sees covers the binding.
std::string checkBinding(const ShaderBinding& binding, D3D12_SHADER_VISIBILITY stage,
                         const RootSignatureInfo& rootSignature) {
    bool single = binding.count == 1;
    for (const RootParameterInfo& parameter : rootSignature.parameters) {
        if (!visibleTo(parameter.visibility, stage))
            continue;
        bool sameRegister = single && parameter.shaderRegister == binding.registerIndex &&
                            parameter.registerSpace == binding.space;
        if (parameter.type == D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) {
            for (const D3D12_DESCRIPTOR_RANGE1& range : parameter.ranges)
                if (rangeCovers(range, binding))
                    return "";
        } else if (parameter.type == D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS) {
            if (sameRegister && binding.kind == BindingKind::ConstantBuffer)
                return "";
        } else if (sameRegister && binding.kind != BindingKind::Sampler &&
                   parameter.type == rootDescriptorTypeOf(binding.kind)) {
            if (!fitsRootDescriptor(binding))
                return "binds " + describeBinding(binding) +
                       " to a root descriptor, which reaches only raw and structured buffers and "
                       "acceleration "
                       "structures";
            return "";
        }
    }
    if (binding.kind == BindingKind::Sampler)
        for (const D3D12_STATIC_SAMPLER_DESC& sampler : rootSignature.staticSamplers)
            if (single && visibleTo(sampler.ShaderVisibility, stage) &&
                sampler.ShaderRegister == binding.registerIndex && sampler.RegisterSpace == binding.space)
                return "";
    return "binds " + describeBinding(binding) +
           ", which no root parameter or static sampler visible to it covers";
}

} // namespace

std::string checkBindingsCovered(const ShaderEntry& entry, const RootSignatureInfo& rootSignature) {
    const StageInfo stage = stageInfo(entry);
    const std::string shader = describeShader(entry);
    bool usesRoot = !entry.bindings.empty() || entry.indexesResourceHeap || entry.indexesSamplerHeap;
    if (usesRoot && (rootSignature.flags & stage.denied))
        return "the root signature denies the " + std::string(stage.name) + " stage root access, but " +
               shader + " binds resources";
    if (entry.indexesResourceHeap &&
        !(rootSignature.flags & D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED))
        return shader + " indexes ResourceDescriptorHeap, but the root signature lacks "
                        "D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED";
    if (entry.indexesSamplerHeap &&
        !(rootSignature.flags & D3D12_ROOT_SIGNATURE_FLAG_SAMPLER_HEAP_DIRECTLY_INDEXED))
        return shader + " indexes SamplerDescriptorHeap, but the root signature lacks "
                        "D3D12_ROOT_SIGNATURE_FLAG_SAMPLER_HEAP_DIRECTLY_INDEXED";
    for (const ShaderBinding& binding : entry.bindings)
        if (std::string problem = checkBinding(binding, stage.visibility, rootSignature); !problem.empty())
            return shader + " " + problem;
    return "";
}

std::string checkPipelineShaders(const PipelineInfo& pipeline, const RootSignatureInfo& rootSignature) {
    ShaderReflection stages[8];
    const std::vector<uint8_t>* codes[8] = {&pipeline.vs, &pipeline.hs, &pipeline.ds, &pipeline.gs,
                                            &pipeline.as, &pipeline.ms, &pipeline.ps, &pipeline.cs};
    for (size_t i = 0; i < std::size(codes); ++i) {
        if (codes[i]->empty())
            continue;
        stages[i] = reflectShader(codes[i]->data(), codes[i]->size());
        for (const ShaderEntry& entry : stages[i].entries)
            if (std::string problem = checkBindingsCovered(entry, rootSignature); !problem.empty())
                return problem;
    }
    const ShaderReflection &vs = stages[0], &ds = stages[2], &gs = stages[3], &as = stages[4],
                           &ms = stages[5], &ps = stages[6];
    const ShaderReflection& beforePixel = ms.valid ? ms : gs.valid ? gs : ds.valid ? ds : vs;
    return checkStageInterfaces(as, ms, beforePixel, ps);
}

std::string checkStateObjectShaders(const D3D12_STATE_OBJECT_DESC& desc) {
    RootSignatureInfo roots; // the global root signature with every local one
    std::vector<ShaderEntry> exports;
    for (UINT i = 0; i < desc.NumSubobjects; ++i) {
        const D3D12_STATE_SUBOBJECT& subobject = desc.pSubobjects[i];
        if (!subobject.pDesc)
            continue;
        if (subobject.Type == D3D12_STATE_SUBOBJECT_TYPE_GLOBAL_ROOT_SIGNATURE ||
            subobject.Type == D3D12_STATE_SUBOBJECT_TYPE_LOCAL_ROOT_SIGNATURE) {
            RootSignature* root = rootSignatureOf(
                subobject.Type == D3D12_STATE_SUBOBJECT_TYPE_GLOBAL_ROOT_SIGNATURE
                    ? static_cast<const D3D12_GLOBAL_ROOT_SIGNATURE*>(subobject.pDesc)->pGlobalRootSignature
                    : static_cast<const D3D12_LOCAL_ROOT_SIGNATURE*>(subobject.pDesc)->pLocalRootSignature);
            if (!root)
                continue;
            roots.flags |= root->info.flags;
            roots.parameters.insert(roots.parameters.end(), root->info.parameters.begin(),
                                    root->info.parameters.end());
            roots.staticSamplers.insert(roots.staticSamplers.end(), root->info.staticSamplers.begin(),
                                        root->info.staticSamplers.end());
        } else if (subobject.Type == D3D12_STATE_SUBOBJECT_TYPE_DXIL_LIBRARY) {
            const auto& library = *static_cast<const D3D12_DXIL_LIBRARY_DESC*>(subobject.pDesc);
            std::set<std::string> kept;
            for (UINT e = 0; e < library.NumExports; ++e) {
                const D3D12_EXPORT_DESC& exported = library.pExports[e];
                kept.insert(narrow(exported.ExportToRename ? exported.ExportToRename : exported.Name));
            }
            ShaderReflection reflection =
                reflectShader(library.DXILLibrary.pShaderBytecode, library.DXILLibrary.BytecodeLength);
            for (const ShaderEntry& entry : reflection.entries)
                if (kept.empty() || kept.count(entry.name))
                    exports.push_back(entry);
        }
    }
    for (const ShaderEntry& entry : exports)
        if (std::string problem = checkBindingsCovered(entry, roots); !problem.empty())
            return problem;
    return "";
}

} // namespace standin
