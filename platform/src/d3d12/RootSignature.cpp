// Serialisation of root signatures and the device's CreateRootSignature.
#include "d3d12/RootSignature.h"

#include "d3d12/Device.h"
#include "d3d12/GpuState.h"

#include <cstring>

namespace standin {

namespace {

constexpr char MAGIC[8] = {'S', 'T', 'D', 'R', 'T', 'S', '0', '1'};

class Writer {
public:
    void word(uint32_t value) { raw(&value, 4); }
    void raw(const void* data, size_t size) {
        bytes.insert(bytes.end(), static_cast<const uint8_t*>(data),
                     static_cast<const uint8_t*>(data) + size);
    }
    std::vector<uint8_t> bytes;
};

class Reader {
public:
    Reader(const void* data, size_t size) : data(static_cast<const uint8_t*>(data)), size(size) {}
    bool word(uint32_t* value) { return raw(value, 4); }
    template <class T> bool as(T* value) {
        uint32_t word32;
        if (!word(&word32))
            return false;
        *value = T(word32);
        return true;
    }
    bool raw(void* out, size_t count) {
        if (count > size - position)
            return false;
        std::memcpy(out, data + position, count);
        position += count;
        return true;
    }
    bool done() const { return position == size; }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

} // namespace

void* Blob::queryFor(REFIID riid) {
    if (isOneOf<IUnknown>(riid) || std::memcmp(&riid, &IID_ID3D10Blob, sizeof(GUID)) == 0)
        return static_cast<ID3DBlob*>(this);
    return nullptr;
}

Blob* Blob::fromText(const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return new Blob(std::move(bytes));
}

std::vector<uint8_t> serializeRootSignature(const RootSignatureInfo& info) {
    Writer out;
    out.raw(MAGIC, sizeof MAGIC);
    out.word(info.version);
    out.word(info.flags);
    out.word(uint32_t(info.parameters.size()));
    out.word(uint32_t(info.staticSamplers.size()));
    for (const RootParameterInfo& parameter : info.parameters) {
        out.word(parameter.type);
        out.word(parameter.visibility);
        out.word(parameter.shaderRegister);
        out.word(parameter.registerSpace);
        out.word(parameter.num32BitValues);
        out.word(parameter.descriptorFlags);
        out.word(uint32_t(parameter.ranges.size()));
        for (const D3D12_DESCRIPTOR_RANGE1& range : parameter.ranges) {
            out.word(range.RangeType);
            out.word(range.NumDescriptors);
            out.word(range.BaseShaderRegister);
            out.word(range.RegisterSpace);
            out.word(range.Flags);
            out.word(range.OffsetInDescriptorsFromTableStart);
        }
    }
    for (const D3D12_STATIC_SAMPLER_DESC& sampler : info.staticSamplers)
        out.raw(&sampler, sizeof sampler);
    return out.bytes;
}

bool deserializeRootSignature(const void* bytes, size_t size, RootSignatureInfo* info, std::string* problem) {
    Reader in(bytes, size);
    char magic[8];
    uint32_t parameters = 0, samplers = 0;
    RootSignatureInfo result;
    if (!bytes || !in.raw(magic, sizeof magic) || std::memcmp(magic, MAGIC, sizeof MAGIC) != 0) {
        *problem = "the blob is not a serialised root signature";
        return false;
    }
    bool ok = in.as(&result.version) && in.as(&result.flags) && in.word(&parameters) && in.word(&samplers) &&
              parameters <= 64 && samplers <= 2032;
    for (uint32_t p = 0; ok && p < parameters; ++p) {
        RootParameterInfo parameter;
        uint32_t ranges = 0;
        ok = in.as(&parameter.type) && in.as(&parameter.visibility) && in.word(&parameter.shaderRegister) &&
             in.word(&parameter.registerSpace) && in.word(&parameter.num32BitValues) &&
             in.as(&parameter.descriptorFlags) && in.word(&ranges) && ranges <= 1024;
        for (uint32_t r = 0; ok && r < ranges; ++r) {
            D3D12_DESCRIPTOR_RANGE1 range{};
            ok = in.as(&range.RangeType) && in.word(&range.NumDescriptors) &&
                 in.word(&range.BaseShaderRegister) && in.word(&range.RegisterSpace) && in.as(&range.Flags) &&
                 in.word(&range.OffsetInDescriptorsFromTableStart);
            parameter.ranges.push_back(range);
        }
        result.parameters.push_back(std::move(parameter));
    }
    for (uint32_t s = 0; ok && s < samplers; ++s) {
        D3D12_STATIC_SAMPLER_DESC sampler{};
        ok = in.raw(&sampler, sizeof sampler);
        result.staticSamplers.push_back(sampler);
    }
    if (!ok || !in.done()) {
        *problem = "the serialised root signature is truncated or malformed";
        return false;
    }
    result.valid = true;
    *info = std::move(result);
    return true;
}

void* RootSignature::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12RootSignature>(riid))
        return static_cast<ID3D12RootSignature*>(this);
    return nullptr;
}

RootSignature* rootSignatureOf(ID3D12RootSignature* rootSignature) {
    return dynamic_cast<RootSignature*>(rootSignature);
}

bool sameLayout(const RootSignature* a, const RootSignature* b) {
    return a == b || (a && b && a->blob == b->blob);
}

HRESULT Device::CreateRootSignature(UINT nodeMask, const void* bytes, SIZE_T size, REFIID riid, void** out) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateRootSignature"); failure != S_OK)
        return failure;
    RootSignatureInfo info;
    std::string problem;
    if (nodeMask > 1)
        problem = "the node mask names a node the device does not have";
    else if (deserializeRootSignature(bytes, size, &info, &problem))
        problem = validateRootSignature(info);
    if (!problem.empty()) {
        reportValidationError("CreateRootSignature: " + problem);
        return E_INVALIDARG;
    }
    std::vector<uint8_t> blob(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
    return handOut(new RootSignature(this, std::move(info), std::move(blob)), riid, out);
}

} // namespace standin
