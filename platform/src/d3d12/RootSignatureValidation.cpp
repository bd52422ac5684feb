// The checks the root-signature serialiser makes: argument shapes, flags, overlapping shader registers and
// the 64-DWORD size limit.
#include "d3d12/RootSignature.h"

#include <climits>

namespace standin {

namespace {

enum RegisterClass { CBV, SRV, UAV, SAMPLER };

const char* className(int kind) {
    static const char* NAMES[] = {"CBV (b)", "SRV (t)", "UAV (u)", "sampler (s)"};
    return NAMES[kind];
}

struct RegisterRange {
    int kind;
    UINT space, first, last;
    D3D12_SHADER_VISIBILITY visibility;
};

bool visibilitiesOverlap(D3D12_SHADER_VISIBILITY a, D3D12_SHADER_VISIBILITY b) {
    return a == D3D12_SHADER_VISIBILITY_ALL || b == D3D12_SHADER_VISIBILITY_ALL || a == b;
}

int rangeClass(D3D12_DESCRIPTOR_RANGE_TYPE type) {
    switch (type) {
    case D3D12_DESCRIPTOR_RANGE_TYPE_SRV:
        return SRV;
    case D3D12_DESCRIPTOR_RANGE_TYPE_UAV:
        return UAV;
    case D3D12_DESCRIPTOR_RANGE_TYPE_CBV:
        return CBV;
    case D3D12_DESCRIPTOR_RANGE_TYPE_SAMPLER:
        return SAMPLER;
    default:
        return -1;
    }
}

bool severalDataFlags(unsigned flags, unsigned volatileBit, unsigned staticWhileSetBit, unsigned staticBit) {
    int count =
        ((flags & volatileBit) != 0) + ((flags & staticWhileSetBit) != 0) + ((flags & staticBit) != 0);
    return count > 1;
}

std::string checkRanges(const RootSignatureInfo& info, UINT p, const RootParameterInfo& parameter,
                        std::vector<RegisterRange>& registers) {
    std::string where = "root parameter " + std::to_string(p) + ": ";
    if (parameter.ranges.empty())
        return where + "a descriptor table needs at least one range";
    bool samplers = false, views = false, afterUnbounded = false;
    for (size_t r = 0; r < parameter.ranges.size(); ++r) {
        const D3D12_DESCRIPTOR_RANGE1& range = parameter.ranges[r];
        std::string at = where + "range " + std::to_string(r) + ": ";
        int kind = rangeClass(range.RangeType);
        if (kind < 0)
            return at + "the range type is not valid";
        if (range.NumDescriptors == 0)
            return at + "NumDescriptors is 0";
        (kind == SAMPLER ? samplers : views) = true;
        if (afterUnbounded && range.OffsetInDescriptorsFromTableStart == D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND)
            return at + "a range after an unbounded range must give an explicit offset";
        bool unbounded = range.NumDescriptors == UINT_MAX;
        afterUnbounded = afterUnbounded || unbounded;
        if (!unbounded && UINT64(range.BaseShaderRegister) + range.NumDescriptors - 1 > UINT_MAX)
            return at + "the register range wraps around";
        if (info.version == D3D_ROOT_SIGNATURE_VERSION_1_1) {
            unsigned flags = range.Flags;
            const unsigned known =
                D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE | D3D12_DESCRIPTOR_RANGE_FLAG_DATA_VOLATILE |
                D3D12_DESCRIPTOR_RANGE_FLAG_DATA_STATIC_WHILE_SET_AT_EXECUTE |
                D3D12_DESCRIPTOR_RANGE_FLAG_DATA_STATIC |
                D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_STATIC_KEEPING_BUFFER_BOUNDS_CHECKS;
            if (flags & ~known)
                return at + "unknown range flags";
            if (kind == SAMPLER && (flags & ~unsigned(D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE)))
                return at + "a sampler range allows only D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE";
            if (severalDataFlags(flags, D3D12_DESCRIPTOR_RANGE_FLAG_DATA_VOLATILE,
                                 D3D12_DESCRIPTOR_RANGE_FLAG_DATA_STATIC_WHILE_SET_AT_EXECUTE,
                                 D3D12_DESCRIPTOR_RANGE_FLAG_DATA_STATIC))
                return at + "more than one DATA_ flag";
        }
        registers.push_back({kind, range.RegisterSpace, range.BaseShaderRegister,
                             unbounded ? UINT_MAX : range.BaseShaderRegister + range.NumDescriptors - 1,
                             parameter.visibility});
    }
    if (samplers && views)
        return where + "a descriptor table cannot mix sampler ranges with CBV, SRV or UAV ranges";
    return "";
}

} // namespace

std::string validateRootSignature(const RootSignatureInfo& info) {
    if (info.version != D3D_ROOT_SIGNATURE_VERSION_1_0 && info.version != D3D_ROOT_SIGNATURE_VERSION_1_1)
        return "unsupported root signature version " + std::to_string(int(info.version));
    if (unsigned(info.flags) & ~0xfffu)
        return "unknown root signature flags";
    std::vector<RegisterRange> registers;
    UINT cost = 0;
    for (UINT p = 0; p < info.parameters.size(); ++p) {
        const RootParameterInfo& parameter = info.parameters[p];
        std::string where = "root parameter " + std::to_string(p) + ": ";
        if (unsigned(parameter.visibility) > D3D12_SHADER_VISIBILITY_MESH)
            return where + "the shader visibility is not valid";
        switch (parameter.type) {
        case D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE: {
            std::string problem = checkRanges(info, p, parameter, registers);
            if (!problem.empty())
                return problem;
            cost += 1;
            break;
        }
        case D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS:
            if (parameter.num32BitValues == 0)
                return where + "root constants need at least one 32-bit value";
            registers.push_back({CBV, parameter.registerSpace, parameter.shaderRegister,
                                 parameter.shaderRegister, parameter.visibility});
            cost += parameter.num32BitValues;
            break;
        case D3D12_ROOT_PARAMETER_TYPE_CBV:
        case D3D12_ROOT_PARAMETER_TYPE_SRV:
        case D3D12_ROOT_PARAMETER_TYPE_UAV: {
            if (info.version == D3D_ROOT_SIGNATURE_VERSION_1_1) {
                unsigned flags = parameter.descriptorFlags;
                if (flags & ~unsigned(D3D12_ROOT_DESCRIPTOR_FLAG_DATA_VOLATILE |
                                      D3D12_ROOT_DESCRIPTOR_FLAG_DATA_STATIC_WHILE_SET_AT_EXECUTE |
                                      D3D12_ROOT_DESCRIPTOR_FLAG_DATA_STATIC))
                    return where + "unknown root descriptor flags";
                if (severalDataFlags(flags, D3D12_ROOT_DESCRIPTOR_FLAG_DATA_VOLATILE,
                                     D3D12_ROOT_DESCRIPTOR_FLAG_DATA_STATIC_WHILE_SET_AT_EXECUTE,
                                     D3D12_ROOT_DESCRIPTOR_FLAG_DATA_STATIC))
                    return where + "more than one DATA_ flag";
            }
            int kind = parameter.type == D3D12_ROOT_PARAMETER_TYPE_CBV   ? CBV
                       : parameter.type == D3D12_ROOT_PARAMETER_TYPE_SRV ? SRV
                                                                         : UAV;
            registers.push_back({kind, parameter.registerSpace, parameter.shaderRegister,
                                 parameter.shaderRegister, parameter.visibility});
            cost += 2;
            break;
        }
        default:
            return where + "the parameter type is not valid";
        }
    }
    if (cost > 64)
        return "the root signature takes " + std::to_string(cost) + " DWORDs, more than the limit of 64";
    for (UINT s = 0; s < info.staticSamplers.size(); ++s) {
        const D3D12_STATIC_SAMPLER_DESC& sampler = info.staticSamplers[s];
        std::string where = "static sampler " + std::to_string(s) + ": ";
        if (unsigned(sampler.ShaderVisibility) > D3D12_SHADER_VISIBILITY_MESH)
            return where + "the shader visibility is not valid";
        if (sampler.MaxAnisotropy > 16)
            return where + "MaxAnisotropy is above 16";
        if (sampler.AddressU < 1 || sampler.AddressU > 5 || sampler.AddressV < 1 || sampler.AddressV > 5 ||
            sampler.AddressW < 1 || sampler.AddressW > 5)
            return where + "an address mode is not valid";
        registers.push_back({SAMPLER, sampler.RegisterSpace, sampler.ShaderRegister, sampler.ShaderRegister,
                             sampler.ShaderVisibility});
    }
    for (size_t a = 0; a < registers.size(); ++a) {
        for (size_t b = a + 1; b < registers.size(); ++b) {
            const RegisterRange& x = registers[a];
            const RegisterRange& y = registers[b];
            if (x.kind == y.kind && x.space == y.space && visibilitiesOverlap(x.visibility, y.visibility) &&
                x.first <= y.last && y.first <= x.last)
                return std::string("shader registers of type ") + className(x.kind) + " overlap in space " +
                       std::to_string(x.space) + " (registers " + std::to_string(x.first) + " to " +
                       std::to_string(x.last) + " and " + std::to_string(y.first) + " to " +
                       std::to_string(y.last) + ")";
        }
    }
    return "";
}

} // namespace standin
