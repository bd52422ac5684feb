// D3D12SerializeRootSignature, D3D12SerializeVersionedRootSignature and the two deserialisers.
#include "d3d12/GpuState.h"
#include "d3d12/RootSignature.h"

#include <memory>

namespace standin {

namespace {

template <class Param, class Range>
RootSignatureInfo fromDesc(D3D_ROOT_SIGNATURE_VERSION version, UINT count, const Param* parameters,
                           UINT samplerCount, const D3D12_STATIC_SAMPLER_DESC* samplers,
                           D3D12_ROOT_SIGNATURE_FLAGS flags, std::string* problem) {
    RootSignatureInfo info;
    info.version = version;
    info.flags = flags;
    if ((count && !parameters) || (samplerCount && !samplers)) {
        *problem = "NumParameters or NumStaticSamplers is not 0 but the array is missing";
        return info;
    }
    for (UINT p = 0; p < count; ++p) {
        const Param& source = parameters[p];
        RootParameterInfo parameter;
        parameter.type = source.ParameterType;
        parameter.visibility = source.ShaderVisibility;
        if (source.ParameterType == D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) {
            const auto& table = source.DescriptorTable;
            if (table.NumDescriptorRanges && !table.pDescriptorRanges) {
                *problem = "root parameter " + std::to_string(p) + ": the descriptor ranges are missing";
                return info;
            }
            for (UINT r = 0; r < table.NumDescriptorRanges; ++r) {
                const Range& range = table.pDescriptorRanges[r];
                D3D12_DESCRIPTOR_RANGE1 copy{range.RangeType,
                                             range.NumDescriptors,
                                             range.BaseShaderRegister,
                                             range.RegisterSpace,
                                             D3D12_DESCRIPTOR_RANGE_FLAG_NONE,
                                             range.OffsetInDescriptorsFromTableStart};
                if constexpr (std::is_same_v<Range, D3D12_DESCRIPTOR_RANGE1>)
                    copy.Flags = range.Flags;
                parameter.ranges.push_back(copy);
            }
        } else if (source.ParameterType == D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS) {
            parameter.shaderRegister = source.Constants.ShaderRegister;
            parameter.registerSpace = source.Constants.RegisterSpace;
            parameter.num32BitValues = source.Constants.Num32BitValues;
        } else {
            parameter.shaderRegister = source.Descriptor.ShaderRegister;
            parameter.registerSpace = source.Descriptor.RegisterSpace;
            if constexpr (std::is_same_v<Param, D3D12_ROOT_PARAMETER1>)
                parameter.descriptorFlags = source.Descriptor.Flags;
        }
        info.parameters.push_back(std::move(parameter));
    }
    info.staticSamplers.assign(samplers, samplers + samplerCount);
    info.valid = true;
    return info;
}

HRESULT serialize(const RootSignatureInfo& info, std::string problem, ID3DBlob** blob, ID3DBlob** error) {
    if (blob)
        *blob = nullptr;
    if (error)
        *error = nullptr;
    if (problem.empty())
        problem = takeSerializationRefusal();
    if (problem.empty())
        problem = validateRootSignature(info);
    if (!problem.empty()) {
        if (error)
            *error = Blob::fromText("Root signature serialization error: " + problem);
        return E_INVALIDARG;
    }
    if (!blob)
        return E_POINTER;
    *blob = new Blob(serializeRootSignature(info));
    return S_OK;
}

// Descriptions built from a RootSignatureInfo, owning every array they point to.
struct OwnedDesc {
    std::vector<D3D12_DESCRIPTOR_RANGE> ranges0;
    std::vector<D3D12_DESCRIPTOR_RANGE1> ranges1;
    std::vector<D3D12_ROOT_PARAMETER> parameters0;
    std::vector<D3D12_ROOT_PARAMETER1> parameters1;
    std::vector<D3D12_STATIC_SAMPLER_DESC> samplers;
    D3D12_VERSIONED_ROOT_SIGNATURE_DESC desc{};

    OwnedDesc(const RootSignatureInfo& info, D3D_ROOT_SIGNATURE_VERSION version) {
        samplers = info.staticSamplers;
        size_t total = 0;
        for (const auto& p : info.parameters)
            total += p.ranges.size();
        ranges0.reserve(total);
        ranges1.reserve(total);
        bool from10 = info.version == D3D_ROOT_SIGNATURE_VERSION_1_0;
        for (const RootParameterInfo& p : info.parameters) {
            D3D12_ROOT_PARAMETER p0{};
            D3D12_ROOT_PARAMETER1 p1{};
            p0.ParameterType = p1.ParameterType = p.type;
            p0.ShaderVisibility = p1.ShaderVisibility = p.visibility;
            if (p.type == D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) {
                p0.DescriptorTable = {UINT(p.ranges.size()), ranges0.data() + ranges0.size()};
                p1.DescriptorTable = {UINT(p.ranges.size()), ranges1.data() + ranges1.size()};
                for (D3D12_DESCRIPTOR_RANGE1 range : p.ranges) {
                    ranges0.push_back({range.RangeType, range.NumDescriptors, range.BaseShaderRegister,
                                       range.RegisterSpace, range.OffsetInDescriptorsFromTableStart});
                    // Version 1.0 means volatile descriptors and data, as the runtime converts it.
                    if (from10)
                        range.Flags = range.RangeType == D3D12_DESCRIPTOR_RANGE_TYPE_SAMPLER
                                          ? D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE
                                          : D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE |
                                                D3D12_DESCRIPTOR_RANGE_FLAG_DATA_VOLATILE;
                    ranges1.push_back(range);
                }
            } else if (p.type == D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS) {
                p0.Constants = p1.Constants = {p.shaderRegister, p.registerSpace, p.num32BitValues};
            } else {
                p0.Descriptor = {p.shaderRegister, p.registerSpace};
                p1.Descriptor = {p.shaderRegister, p.registerSpace,
                                 from10 ? D3D12_ROOT_DESCRIPTOR_FLAG_DATA_VOLATILE : p.descriptorFlags};
            }
            parameters0.push_back(p0);
            parameters1.push_back(p1);
        }
        desc.Version = version;
        if (version == D3D_ROOT_SIGNATURE_VERSION_1_0)
            desc.Desc_1_0 = {UINT(parameters0.size()), parameters0.data(), UINT(samplers.size()),
                             samplers.data(), info.flags};
        else
            desc.Desc_1_1 = {UINT(parameters1.size()), parameters1.data(), UINT(samplers.size()),
                             samplers.data(), info.flags};
    }
};

class VersionedDeserializer final : public ComObject<ID3D12VersionedRootSignatureDeserializer> {
public:
    explicit VersionedDeserializer(RootSignatureInfo info) : info(std::move(info)) {}
    HRESULT STDMETHODCALLTYPE GetRootSignatureDescAtVersion(
        D3D_ROOT_SIGNATURE_VERSION version, const D3D12_VERSIONED_ROOT_SIGNATURE_DESC** desc) override {
        if (!desc)
            return E_POINTER;
        if (version != D3D_ROOT_SIGNATURE_VERSION_1_0 && version != D3D_ROOT_SIGNATURE_VERSION_1_1)
            return E_INVALIDARG;
        auto& slot = version == D3D_ROOT_SIGNATURE_VERSION_1_0 ? as10 : as11;
        if (!slot)
            slot = std::make_unique<OwnedDesc>(info, version);
        *desc = &slot->desc;
        return S_OK;
    }
    const D3D12_VERSIONED_ROOT_SIGNATURE_DESC* STDMETHODCALLTYPE GetUnconvertedRootSignatureDesc() override {
        const D3D12_VERSIONED_ROOT_SIGNATURE_DESC* desc = nullptr;
        GetRootSignatureDescAtVersion(info.version, &desc);
        return desc;
    }

protected:
    void* queryFor(REFIID riid) override {
        if (isOneOf<IUnknown, ID3D12VersionedRootSignatureDeserializer>(riid))
            return static_cast<ID3D12VersionedRootSignatureDeserializer*>(this);
        return nullptr;
    }

private:
    RootSignatureInfo info;
    std::unique_ptr<OwnedDesc> as10, as11;
};

class Deserializer final : public ComObject<ID3D12RootSignatureDeserializer> {
public:
    explicit Deserializer(const RootSignatureInfo& info) : owned(info, D3D_ROOT_SIGNATURE_VERSION_1_0) {}
    const D3D12_ROOT_SIGNATURE_DESC* STDMETHODCALLTYPE GetRootSignatureDesc() override {
        return &owned.desc.Desc_1_0;
    }

protected:
    void* queryFor(REFIID riid) override {
        if (isOneOf<IUnknown, ID3D12RootSignatureDeserializer>(riid))
            return static_cast<ID3D12RootSignatureDeserializer*>(this);
        return nullptr;
    }

private:
    OwnedDesc owned;
};

// Makes a deserialiser of the given kind over a serialised root signature.
template <class Kind> HRESULT deserializer(LPCVOID data, SIZE_T size, REFIID riid, void** out) {
    RootSignatureInfo info;
    std::string problem;
    if (!deserializeRootSignature(data, size, &info, &problem))
        return E_INVALIDARG;
    auto* made = new Kind(std::move(info));
    HRESULT result = made->QueryInterface(riid, out);
    made->Release();
    return result;
}

} // namespace

} // namespace standin

using namespace standin;

extern "C" {

HRESULT WINAPI D3D12SerializeRootSignature(const D3D12_ROOT_SIGNATURE_DESC* desc,
                                           D3D_ROOT_SIGNATURE_VERSION version, ID3DBlob** blob,
                                           ID3DBlob** error) {
    if (HRESULT failure = injectedFailure("D3D12SerializeRootSignature"); failure != S_OK)
        return failure;
    if (!desc)
        return E_INVALIDARG;
    std::string problem;
    if (version != D3D_ROOT_SIGNATURE_VERSION_1_0)
        problem = "D3D12SerializeRootSignature serialises version 1.0 only";
    RootSignatureInfo info = fromDesc<D3D12_ROOT_PARAMETER, D3D12_DESCRIPTOR_RANGE>(
        D3D_ROOT_SIGNATURE_VERSION_1_0, desc->NumParameters, desc->pParameters, desc->NumStaticSamplers,
        desc->pStaticSamplers, desc->Flags, &problem);
    return serialize(info, problem, blob, error);
}

HRESULT WINAPI D3D12SerializeVersionedRootSignature(const D3D12_VERSIONED_ROOT_SIGNATURE_DESC* desc,
                                                    ID3DBlob** blob, ID3DBlob** error) {
    if (HRESULT failure = injectedFailure("D3D12SerializeVersionedRootSignature"); failure != S_OK)
        return failure;
    if (!desc)
        return E_INVALIDARG;
    std::string problem;
    RootSignatureInfo info;
    if (desc->Version == D3D_ROOT_SIGNATURE_VERSION_1_0) {
        const auto& d = desc->Desc_1_0;
        info = fromDesc<D3D12_ROOT_PARAMETER, D3D12_DESCRIPTOR_RANGE>(desc->Version, d.NumParameters,
                                                                      d.pParameters, d.NumStaticSamplers,
                                                                      d.pStaticSamplers, d.Flags, &problem);
    } else if (desc->Version == D3D_ROOT_SIGNATURE_VERSION_1_1) {
        const auto& d = desc->Desc_1_1;
        info = fromDesc<D3D12_ROOT_PARAMETER1, D3D12_DESCRIPTOR_RANGE1>(desc->Version, d.NumParameters,
                                                                        d.pParameters, d.NumStaticSamplers,
                                                                        d.pStaticSamplers, d.Flags, &problem);
    } else {
        info.version = desc->Version;
    }
    return serialize(info, problem, blob, error);
}

HRESULT WINAPI D3D12CreateRootSignatureDeserializer(LPCVOID data, SIZE_T size, REFIID riid, void** out) {
    return deserializer<Deserializer>(data, size, riid, out);
}

HRESULT WINAPI D3D12CreateVersionedRootSignatureDeserializer(LPCVOID data, SIZE_T size, REFIID riid,
                                                             void** out) {
    return deserializer<VersionedDeserializer>(data, size, riid, out);
}

} // extern "C"
