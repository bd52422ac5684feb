// Ray-tracing state objects: the exports of their DXIL libraries and hit groups, each with a 32-byte shader
// identifier that the stand-in can map back to its export.
#pragma once

#include "common/ComObject.h"

#include <array>
#include <map>
#include <string>
#include <vector>

namespace standin {

class RootSignature;

using ShaderIdentifier = std::array<uint8_t, D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES>;

class StateObject final : public DeviceChild<ID3D12StateObject> {
public:
    StateObject(Device* owner, D3D12_STATE_OBJECT_TYPE type);
    ~StateObject() override;

    // Adds an export and gives it its identifier.
    void addExport(const std::string& name);

    D3D12_STATE_OBJECT_TYPE type;
    std::map<std::string, ShaderIdentifier> exports;
    RootSignature* globalRootSignature = nullptr; // referenced while the state object lives
    UINT maxPayloadSize = 0, maxAttributeSize = 0, maxRecursionDepth = 0;
    std::vector<D3D12_STATE_SUBOBJECT_TYPE> subobjectTypes; // as described
    UINT listedExports = 0;
    UINT64 pipelineStackSize = 0;
    uint64_t serial; // makes identifiers differ between state objects

protected:
    void* queryFor(REFIID riid) override;

private:
    // ID3D12StateObjectProperties, sharing the state object's reference count.
    class Properties final : public ID3D12StateObjectProperties {
    public:
        explicit Properties(StateObject& owner) : owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
            return owner.QueryInterface(riid, out);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return owner.AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return owner.Release(); }
        void* STDMETHODCALLTYPE GetShaderIdentifier(LPCWSTR exportName) override;
        UINT64 STDMETHODCALLTYPE GetShaderStackSize(LPCWSTR exportName) override;
        UINT64 STDMETHODCALLTYPE GetPipelineStackSize() override { return owner.pipelineStackSize; }
        void STDMETHODCALLTYPE SetPipelineStackSize(UINT64 size) override { owner.pipelineStackSize = size; }

    private:
        StateObject& owner;
    };
    Properties properties{*this};
};

StateObject* stateObjectOf(ID3D12StateObject* stateObject);
// The export an identifier names, or "" (process-wide, for logs and tests).
std::string exportOfIdentifier(const void* identifier);

} // namespace standin
