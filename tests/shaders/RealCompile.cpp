#include "RealCompile.h"

namespace real_compile {
namespace {

template <class T> struct Held {
    T* object = nullptr;
    ~Held() {
        if (object)
            object->Release();
    }
};

std::vector<uint8_t> bytesOf(IDxcBlob* blob) {
    const auto* bytes = static_cast<const uint8_t*>(blob->GetBufferPointer());
    return std::vector<uint8_t>(bytes, bytes + blob->GetBufferSize());
}

} // namespace

const std::vector<StageCompile>& passStages() {
    static const std::vector<StageCompile> stages = {
        {L"src/Shaders/Geometry.hlsl", L"AmplificationMain", L"as_6_7"},
        {L"src/Shaders/Geometry.hlsl", L"MeshMain", L"ms_6_7"},
        {L"src/Shaders/Geometry.hlsl", L"PixelMain", L"ps_6_7"},
        {L"src/Shaders/Shading.hlsl", L"ComputeMain", L"cs_6_7"},
        {L"src/Shaders/Post.hlsl", L"VertexMain", L"vs_6_7"},
        {L"src/Shaders/Post.hlsl", L"PixelMain", L"ps_6_7"},
    };
    return stages;
}

Compiled compileStage(const std::wstring& fileName, const wchar_t* entryPoint, const wchar_t* target) {
    Compiled compiled;
    Held<IDxcLibrary> library;
    Held<IDxcCompiler> compiler;
    Held<IDxcIncludeHandler> includeHandler;
    Held<IDxcBlobEncoding> source;
    if (DxcCreateInstance(CLSID_DxcLibrary, IID_PPV_ARGS(&library.object)) < 0 ||
        DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler.object)) < 0 ||
        library.object->CreateIncludeHandler(&includeHandler.object) < 0 ||
        library.object->CreateBlobFromFile(fileName.c_str(), nullptr, &source.object) < 0)
        return compiled;
    LPCWSTR arguments[] = {L"-O3"};
    Held<IDxcOperationResult> result;
    if (compiler.object->Compile(source.object, fileName.c_str(), entryPoint, target, arguments, 1, nullptr,
                                 0, includeHandler.object, &result.object) < 0)
        return compiled;
    result.object->GetStatus(&compiled.status);
    Held<IDxcBlobEncoding> errors;
    if (result.object->GetErrorBuffer(&errors.object) >= 0 && errors.object)
        compiled.messages.assign(static_cast<const char*>(errors.object->GetBufferPointer()),
                                 errors.object->GetBufferSize());
    // Text blobs count the NUL that ends them.
    while (!compiled.messages.empty() && compiled.messages.back() == '\0')
        compiled.messages.pop_back();
    Held<IDxcBlob> object;
    if (compiled.status >= 0 && result.object->GetResult(&object.object) >= 0 && object.object)
        compiled.object = bytesOf(object.object);
    return compiled;
}

Compiled compileWithArguments(const std::wstring& fileName, const std::vector<std::wstring>& arguments) {
    Compiled compiled;
    Held<IDxcUtils> utils;
    Held<IDxcCompiler3> compiler;
    Held<IDxcIncludeHandler> includeHandler;
    Held<IDxcBlobEncoding> source;
    if (DxcCreateInstance(CLSID_DxcUtils, IID_PPV_ARGS(&utils.object)) < 0 ||
        DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler.object)) < 0 ||
        utils.object->CreateDefaultIncludeHandler(&includeHandler.object) < 0 ||
        utils.object->LoadFile(fileName.c_str(), nullptr, &source.object) < 0)
        return compiled;
    DxcBuffer buffer{source.object->GetBufferPointer(), source.object->GetBufferSize(), DXC_CP_ACP};
    std::vector<LPCWSTR> pointers;
    for (const std::wstring& argument : arguments)
        pointers.push_back(argument.c_str());
    Held<IDxcResult> result;
    if (compiler.object->Compile(&buffer, pointers.data(), static_cast<UINT32>(pointers.size()),
                                 includeHandler.object, IID_PPV_ARGS(&result.object)) < 0)
        return compiled;
    result.object->GetStatus(&compiled.status);
    Held<IDxcBlobUtf8> errors;
    if (result.object->GetOutput(DXC_OUT_ERRORS, IID_PPV_ARGS(&errors.object), nullptr) >= 0 && errors.object)
        compiled.messages.assign(errors.object->GetStringPointer(), errors.object->GetStringLength());
    Held<IDxcBlob> object;
    if (compiled.status >= 0 &&
        result.object->GetOutput(DXC_OUT_OBJECT, IID_PPV_ARGS(&object.object), nullptr) >= 0 && object.object)
        compiled.object = bytesOf(object.object);
    return compiled;
}

std::vector<std::wstring> raytracingLibraryArguments() {
    return {L"src/Shaders/Raytracing.hlsl", L"-E", L"main", L"-T", L"lib_6_3", L"-O3", L"-Qstrip_reflect"};
}

} // namespace real_compile
