// Ray-tracing state objects: subobject parsing, exports and their shader identifiers.
#include "d3d12/StateObject.h"

#include "d3d12/Device.h"
#include "d3d12/GpuState.h"
#include "d3d12/RootSignature.h"
#include "d3d12/ShaderBindings.h"
#include "d3d12/ShaderBytecode.h"

#include <algorithm>
#include <atomic>

namespace standin {

namespace {

std::mutex identifiersMutex;
std::map<ShaderIdentifier, std::string> identifiers;
std::atomic<uint64_t> stateObjectSerial{1};

// A deterministic identifier per state object and export, never all zero (the null record).
ShaderIdentifier makeIdentifier(uint64_t serial, const std::string& name) {
    ShaderIdentifier identifier{};
    for (size_t word = 0; word < identifier.size() / 8; ++word) {
        uint64_t hash = 1469598103934665603ull ^ (serial * 0x9e3779b97f4a7c15ull) ^ word;
        for (char c : name)
            hash = (hash ^ uint8_t(c)) * 1099511628211ull;
        hash |= 1;
        std::memcpy(identifier.data() + word * 8, &hash, 8);
    }
    return identifier;
}

} // namespace

StateObject::StateObject(Device* owner, D3D12_STATE_OBJECT_TYPE objectType)
    : DeviceChild(owner), type(objectType), serial(stateObjectSerial++) {}

StateObject::~StateObject() {
    {
        std::lock_guard lock(identifiersMutex);
        for (const auto& [name, identifier] : exports)
            identifiers.erase(identifier);
    }
    if (globalRootSignature)
        globalRootSignature->Release();
}

void* StateObject::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12Pageable, ID3D12StateObject>(riid))
        return static_cast<ID3D12StateObject*>(this);
    if (isOneOf<ID3D12StateObjectProperties>(riid))
        return static_cast<ID3D12StateObjectProperties*>(&properties);
    return nullptr;
}

void StateObject::addExport(const std::string& name) {
    ShaderIdentifier identifier = makeIdentifier(serial, name);
    exports[name] = identifier;
    std::lock_guard lock(identifiersMutex);
    identifiers[identifier] = name;
}

void* StateObject::Properties::GetShaderIdentifier(LPCWSTR exportName) {
    if (!exportName)
        return nullptr;
    auto found = owner.exports.find(narrow(exportName));
    return found == owner.exports.end() ? nullptr : found->second.data();
}

UINT64 StateObject::Properties::GetShaderStackSize(LPCWSTR exportName) {
    return owner.exports.count(narrow(exportName)) ? 1024 : ~0ull;
}

StateObject* stateObjectOf(ID3D12StateObject* stateObject) {
    return dynamic_cast<StateObject*>(stateObject);
}

std::string exportOfIdentifier(const void* identifier) {
    if (!identifier)
        return "";
    ShaderIdentifier key;
    std::memcpy(key.data(), identifier, key.size());
    std::lock_guard lock(identifiersMutex);
    auto found = identifiers.find(key);
    return found == identifiers.end() ? "" : found->second;
}

StateObjectInfo describeStateObject(ID3D12StateObject* stateObject) {
    StateObjectInfo info;
    StateObject* ours = stateObjectOf(stateObject);
    if (!ours)
        return info;
    info.valid = true;
    info.type = ours->type;
    info.subobjects = ours->subobjectTypes;
    info.listedExports = ours->listedExports;
    for (const auto& [name, identifier] : ours->exports)
        info.exports.push_back(name);
    info.globalRootSignature = ours->globalRootSignature;
    info.maxPayloadSize = ours->maxPayloadSize;
    info.maxAttributeSize = ours->maxAttributeSize;
    info.maxRecursionDepth = ours->maxRecursionDepth;
    return info;
}

HRESULT Device::CreateStateObject(const D3D12_STATE_OBJECT_DESC* desc, REFIID riid, void** out) {
    if (HRESULT failure = injectedFailure("ID3D12Device5::CreateStateObject"); failure != S_OK)
        return failure;
    if (!desc || (desc->NumSubobjects && !desc->pSubobjects))
        return E_INVALIDARG;
    std::vector<std::string> names;
    std::vector<const D3D12_HIT_GROUP_DESC*> hitGroups;
    std::string problem;
    int libraries = 0, shaderConfigs = 0, pipelineConfigs = 0;
    UINT listedExports = 0;
    ID3D12RootSignature* global = nullptr;
    UINT payload = 0, attributes = 0, depth = 0;
    for (UINT i = 0; i < desc->NumSubobjects && problem.empty(); ++i) {
        const D3D12_STATE_SUBOBJECT& subobject = desc->pSubobjects[i];
        std::string where = "subobject " + std::to_string(i) + ": ";
        if (!subobject.pDesc) {
            problem = where + "the description is missing";
            break;
        }
        switch (subobject.Type) {
        case D3D12_STATE_SUBOBJECT_TYPE_DXIL_LIBRARY: {
            const auto& library = *static_cast<const D3D12_DXIL_LIBRARY_DESC*>(subobject.pDesc);
            if (!library.DXILLibrary.pShaderBytecode || library.DXILLibrary.BytecodeLength == 0) {
                problem = where + "the DXIL library has no bytecode";
                break;
            }
            std::vector<std::string> inLibrary;
            bool readable = libraryExports(library.DXILLibrary.pShaderBytecode,
                                           library.DXILLibrary.BytecodeLength, &inLibrary);
            ++libraries;
            listedExports += library.NumExports;
            if (library.NumExports == 0) {
                if (!readable)
                    problem = where + "the library's exports cannot be read and no export list is given";
                names.insert(names.end(), inLibrary.begin(), inLibrary.end());
                break;
            }
            for (UINT e = 0; e < library.NumExports; ++e) {
                const D3D12_EXPORT_DESC& exported = library.pExports[e];
                std::string name = narrow(exported.Name);
                std::string inside = exported.ExportToRename ? narrow(exported.ExportToRename) : name;
                if (readable && std::find(inLibrary.begin(), inLibrary.end(), inside) == inLibrary.end())
                    problem = where + "the library does not export '" + inside + "'";
                names.push_back(name);
            }
            break;
        }
        case D3D12_STATE_SUBOBJECT_TYPE_HIT_GROUP:
            hitGroups.push_back(static_cast<const D3D12_HIT_GROUP_DESC*>(subobject.pDesc));
            break;
        case D3D12_STATE_SUBOBJECT_TYPE_RAYTRACING_SHADER_CONFIG: {
            const auto& config = *static_cast<const D3D12_RAYTRACING_SHADER_CONFIG*>(subobject.pDesc);
            payload = config.MaxPayloadSizeInBytes;
            attributes = config.MaxAttributeSizeInBytes;
            ++shaderConfigs;
            if (attributes > D3D12_RAYTRACING_MAX_ATTRIBUTE_SIZE_IN_BYTES)
                problem = where + "MaxAttributeSizeInBytes is above 32";
            break;
        }
        case D3D12_STATE_SUBOBJECT_TYPE_RAYTRACING_PIPELINE_CONFIG:
            depth =
                static_cast<const D3D12_RAYTRACING_PIPELINE_CONFIG*>(subobject.pDesc)->MaxTraceRecursionDepth;
            ++pipelineConfigs;
            if (depth > D3D12_RAYTRACING_MAX_DECLARABLE_TRACE_RECURSION_DEPTH)
                problem = where + "MaxTraceRecursionDepth is above 31";
            break;
        case D3D12_STATE_SUBOBJECT_TYPE_GLOBAL_ROOT_SIGNATURE:
            global = static_cast<const D3D12_GLOBAL_ROOT_SIGNATURE*>(subobject.pDesc)->pGlobalRootSignature;
            if (!rootSignatureOf(global))
                problem = where + "the global root signature is missing or not of this device";
            break;
        case D3D12_STATE_SUBOBJECT_TYPE_STATE_OBJECT_CONFIG:
        case D3D12_STATE_SUBOBJECT_TYPE_LOCAL_ROOT_SIGNATURE:
        case D3D12_STATE_SUBOBJECT_TYPE_NODE_MASK:
        case D3D12_STATE_SUBOBJECT_TYPE_SUBOBJECT_TO_EXPORTS_ASSOCIATION:
        case D3D12_STATE_SUBOBJECT_TYPE_DXIL_SUBOBJECT_TO_EXPORTS_ASSOCIATION:
            break;
        default:
            problem =
                where + "the stand-in does not support subobject type " + std::to_string(subobject.Type);
        }
    }
    for (const D3D12_HIT_GROUP_DESC* group : hitGroups) {
        for (LPCWSTR import :
             {group->AnyHitShaderImport, group->ClosestHitShaderImport, group->IntersectionShaderImport})
            if (import && std::find(names.begin(), names.end(), narrow(import)) == names.end())
                problem = "hit group '" + narrow(group->HitGroupExport) + "' imports '" + narrow(import) +
                          "', which no library exports";
        names.push_back(narrow(group->HitGroupExport));
    }
    // Every export is reached by its name, so no two may share one.
    for (size_t i = 0; i < names.size() && problem.empty(); ++i)
        if (std::find(names.begin() + i + 1, names.end(), names[i]) != names.end())
            problem = "the export name '" + names[i] + "' is used twice";
    if (problem.empty())
        problem = checkStateObjectShaders(*desc);
    if (problem.empty() && desc->Type == D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE) {
        if (libraries == 0 || names.empty())
            problem = "a ray-tracing pipeline needs a DXIL library with exports";
        else if (shaderConfigs == 0 || pipelineConfigs == 0)
            problem = "a ray-tracing pipeline needs a shader configuration and a pipeline configuration";
    }
    if (!problem.empty()) {
        reportValidationError("CreateStateObject: " + problem);
        return E_INVALIDARG;
    }
    auto* stateObject = new StateObject(this, desc->Type);
    for (const std::string& name : names)
        stateObject->addExport(name);
    stateObject->globalRootSignature = rootSignatureOf(global);
    if (stateObject->globalRootSignature)
        stateObject->globalRootSignature->AddRef();
    stateObject->maxPayloadSize = payload;
    stateObject->maxAttributeSize = attributes;
    stateObject->maxRecursionDepth = depth;
    stateObject->listedExports = listedExports;
    for (UINT i = 0; i < desc->NumSubobjects; ++i)
        stateObject->subobjectTypes.push_back(desc->pSubobjects[i].Type);
    return handOut(stateObject, riid, out);
}

} // namespace standin
