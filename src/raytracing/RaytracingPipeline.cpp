#include "raytracing/RaytracingPipeline.h"

#include "core/Globals.h"
#include "core/Report.h"
#include "core/Shader.h"
#include "raytracing/ShadowStage.h"

#include <dxcapi.h>
#include <dxguids/dxguids.h>

#include <cstring>

ID3D12StateObject* rtStateObject = nullptr;
ID3D12Resource* shaderTable = nullptr;

const DXGI_SAMPLE_DESC singleSampleDesc = {1, 0};
const uint64_t shaderRecordCount = 3;
const D3D12_HEAP_PROPERTIES uploadHeapProperties = {D3D12_HEAP_TYPE_UPLOAD, D3D12_CPU_PAGE_PROPERTY_UNKNOWN,
                                                    D3D12_MEMORY_POOL_UNKNOWN, 0, 0};

namespace {

// The template description of a buffer; each user sets its own width. It stays inside this file, where the
// graphics core's function of the same name is not declared.
D3D12_RESOURCE_DESC bufferDesc;

void initRaytracingGlobals() {
    bufferDesc.Dimension = D3D12_RESOURCE_DIMENSION_BUFFER;
    bufferDesc.Alignment = 0;
    bufferDesc.Width = 0;
    bufferDesc.Height = 1;
    bufferDesc.DepthOrArraySize = 1;
    bufferDesc.MipLevels = 1;
    bufferDesc.Format = DXGI_FORMAT_UNKNOWN;
    bufferDesc.SampleDesc = singleSampleDesc;
    bufferDesc.Layout = D3D12_TEXTURE_LAYOUT_ROW_MAJOR;
    bufferDesc.Flags = D3D12_RESOURCE_FLAG_NONE;
}

// Fills the globals during static initialisation, before WinMain.
struct RaytracingGlobalsInitialiser {
    RaytracingGlobalsInitialiser() { initRaytracingGlobals(); }
} raytracingGlobalsInitialiser;

// Holds one reference for the scope, so that the compiler objects are returned however the routine ends.
template <class T> struct Held {
    T* object = nullptr;
    ~Held() {
        if (object)
            object->Release();
    }
    T* operator->() const { return object; }
};

const wchar_t* const LIBRARY_FILE = L"src/Shaders/Raytracing.hlsl";

// The compiled library, or null (the reason given to the shadow stage). The compiler's error and warning text
// goes to the debugger output whether the compile succeeds or not.
IDxcBlob* compileRaytracingLibrary() {
    Held<IDxcUtils> utils;
    Held<IDxcCompiler3> compiler;
    if (failed(DxcCreateInstance(CLSID_DxcUtils, IID_PPV_ARGS(&utils.object))) ||
        failed(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler.object)))) {
        disableShadowStage("the shader compiler for the ray-tracing library could not be made");
        return nullptr;
    }
    Held<IDxcBlobEncoding> source;
    if (failed(utils->LoadFile(LIBRARY_FILE, nullptr, &source.object)) || !source.object) {
        disableShadowStage("\"src/Shaders/Raytracing.hlsl\" could not be read");
        return nullptr;
    }
    DxcBuffer sourceBuffer = {source->GetBufferPointer(), source->GetBufferSize(), DXC_CP_ACP};
    LPCWSTR arguments[] = {LIBRARY_FILE, L"-E", L"main", L"-T", L"lib_6_3", L"-O3", L"-Qstrip_reflect"};
    Held<IDxcResult> result;
    HRESULT compiled =
        compiler->Compile(&sourceBuffer, arguments, 7, hlslIncludeHandler, IID_PPV_ARGS(&result.object));
    if (failed(compiled) || !result.object) {
        disableShadowStage("the compiler refused \"src/Shaders/Raytracing.hlsl\"");
        return nullptr;
    }

    Held<IDxcBlobUtf8> errors;
    result->GetOutput(DXC_OUT_ERRORS, IID_PPV_ARGS(&errors.object), nullptr);
    if (errors.object && errors->GetStringLength() != 0)
        OutputDebugStringA(errors->GetStringPointer());

    HRESULT status = E_FAIL;
    IDxcBlob* library = nullptr;
    if (!failed(result->GetStatus(&status)) && !failed(status))
        result->GetOutput(DXC_OUT_OBJECT, IID_PPV_ARGS(&library), nullptr);
    if (library && library->GetBufferSize() == 0) {
        library->Release();
        library = nullptr;
    }
    if (!library)
        disableShadowStage("\"src/Shaders/Raytracing.hlsl\" did not compile into a library");
    return library;
}

// The four subobjects: the library with all its exports, the shader configuration, the global root
// signature and the pipeline configuration.
bool createStateObject(IDxcBlob* library) {
    D3D12_DXIL_LIBRARY_DESC libraryDesc = {};
    libraryDesc.DXILLibrary = {library->GetBufferPointer(), library->GetBufferSize()};
    libraryDesc.NumExports = 0;
    libraryDesc.pExports = nullptr;
    D3D12_RAYTRACING_SHADER_CONFIG shaderConfig = {};
    shaderConfig.MaxPayloadSizeInBytes = 20;
    shaderConfig.MaxAttributeSizeInBytes = 8;
    D3D12_GLOBAL_ROOT_SIGNATURE globalRootSignature = {rtRootSignature};
    D3D12_RAYTRACING_PIPELINE_CONFIG pipelineConfig = {};
    pipelineConfig.MaxTraceRecursionDepth = 2;

    const D3D12_STATE_SUBOBJECT subobjects[] = {
        {D3D12_STATE_SUBOBJECT_TYPE_DXIL_LIBRARY, &libraryDesc},
        {D3D12_STATE_SUBOBJECT_TYPE_RAYTRACING_SHADER_CONFIG, &shaderConfig},
        {D3D12_STATE_SUBOBJECT_TYPE_GLOBAL_ROOT_SIGNATURE, &globalRootSignature},
        {D3D12_STATE_SUBOBJECT_TYPE_RAYTRACING_PIPELINE_CONFIG, &pipelineConfig},
    };
    D3D12_STATE_OBJECT_DESC stateObjectDesc = {};
    stateObjectDesc.Type = D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE;
    stateObjectDesc.NumSubobjects = 4;
    stateObjectDesc.pSubobjects = subobjects;
    if (failed(device->CreateStateObject(&stateObjectDesc, IID_PPV_ARGS(&rtStateObject)))) {
        rtStateObject = nullptr;
        disableShadowStage("the ray-tracing state object could not be made");
        return false;
    }
    return true;
}

} // namespace

void createRaytracingPipeline() {
    Held<IDxcBlob> library;
    library.object = compileRaytracingLibrary();
    if (!library.object)
        return;
    if (!rtRootSignature) {
        disableShadowStage("the ray-tracing root signature could not be made");
        return;
    }
    if (!createStateObject(library.object))
        return;

    // Both identifiers are looked up before the table is made, so that a table is never left half written.
    Held<ID3D12StateObjectProperties> properties;
    if (failed(rtStateObject->QueryInterface(IID_PPV_ARGS(&properties.object)))) {
        disableShadowStage("the ray-tracing state object has no shader identifiers");
        return;
    }
    const void* rayGenerationIdentifier = properties->GetShaderIdentifier(L"RayGeneration");
    const void* missIdentifier = properties->GetShaderIdentifier(L"Miss");
    if (!rayGenerationIdentifier || !missIdentifier) {
        disableShadowStage(!rayGenerationIdentifier
                               ? "the ray-tracing library does not export \"RayGeneration\""
                               : "the ray-tracing library does not export \"Miss\"");
        return;
    }

    // A committed resource starts zeroed: the 32 bytes after each identifier and the null hit-group record.
    D3D12_RESOURCE_DESC shaderTableDesc = bufferDesc;
    shaderTableDesc.Width = shaderRecordCount * SHADER_RECORD_SIZE;
    CHECK(device->CreateCommittedResource(&uploadHeapProperties, D3D12_HEAP_FLAG_NONE, &shaderTableDesc,
                                          D3D12_RESOURCE_STATE_GENERIC_READ, nullptr,
                                          IID_PPV_ARGS(&shaderTable)));
    uint8_t* mapped = nullptr;
    CHECK(shaderTable->Map(0, nullptr, reinterpret_cast<void**>(&mapped)));
    std::memcpy(mapped, rayGenerationIdentifier, D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES);
    mapped += SHADER_RECORD_SIZE;
    std::memcpy(mapped, missIdentifier, D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES);
    shaderTable->Unmap(0, nullptr);
}
