// Root signatures: the stand-in's own serialised form (versions 1.0 and 1.1), its validation with
// compiler-style error blobs, the deserialisers, and the root-signature object the device makes from a blob.
#pragma once

#include "common/ComObject.h"

#include <string>
#include <vector>

namespace standin {

class Blob final : public ComObject<ID3DBlob> {
public:
    explicit Blob(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
    static Blob* fromText(const std::string& text);
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes.data(); }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return bytes.size(); }
    std::vector<uint8_t> bytes;

protected:
    void* queryFor(REFIID riid) override;
};

// Checks a description (given in the version-neutral form of RootSignatureInfo) the way the serialiser
// does; returns the first problem, or "" when it is valid.
std::string validateRootSignature(const RootSignatureInfo& info);
std::vector<uint8_t> serializeRootSignature(const RootSignatureInfo& info);
// False with a reason when the bytes are not a root signature the stand-in serialised.
bool deserializeRootSignature(const void* bytes, size_t size, RootSignatureInfo* info, std::string* problem);

class RootSignature final : public DeviceChild<ID3D12RootSignature> {
public:
    RootSignature(Device* owner, RootSignatureInfo info, std::vector<uint8_t> blob)
        : DeviceChild(owner), info(std::move(info)), blob(std::move(blob)) {}
    RootSignatureInfo info;
    std::vector<uint8_t> blob;

protected:
    void* queryFor(REFIID riid) override;
};

RootSignature* rootSignatureOf(ID3D12RootSignature* rootSignature);
// Two root signatures are compatible when they serialise to the same bytes.
bool sameLayout(const RootSignature* a, const RootSignature* b);

} // namespace standin
