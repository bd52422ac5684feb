// The real DirectX Shader Compiler that the build found, loaded at run time and called through its own
// headers. This is the only file that sees them (see dxc/RealCompiler.h): the library's own DxcCreateInstance
// is looked up in it rather than linked, since the stand-in defines one of the same name.
#include "dxc/RealCompiler.h"

#include <dxc/dxcapi.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace standin::dxc {
namespace {

struct Library {
    DxcCreateInstanceProc create = nullptr;
    IDxcUtils* utils = nullptr; // kept for the process: blobs and reflection
};

const Library& library() {
    static const Library loaded = [] {
        Library result;
        void* handle = dlopen(LANTERN_DXC_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            std::fprintf(stderr, "stand-in: cannot load the shader compiler (%s); the stand-in compiles\n",
                         dlerror());
            return result;
        }
        auto create = reinterpret_cast<DxcCreateInstanceProc>(dlsym(handle, "DxcCreateInstance"));
        if (!create || create(CLSID_DxcUtils, IID_PPV_ARGS(&result.utils)) < 0) {
            std::fprintf(stderr, "stand-in: %s has no usable DxcCreateInstance; the stand-in compiles\n",
                         LANTERN_DXC_LIBRARY);
            return result;
        }
        result.create = create;
        return result;
    }();
    return loaded;
}

template <class T> struct Released {
    T* object = nullptr;
    Released() = default;
    Released(const Released&) = delete;
    ~Released() {
        if (object)
            object->Release();
    }
    T** operator&() { return &object; }
    T* operator->() const { return object; }
};

// The include handler the real compiler calls: it hands each request to the caller's own handler and passes
// the bytes on in a blob of the compiler's.
class ForwardingIncludeHandler final : public IDxcIncludeHandler {
public:
    explicit ForwardingIncludeHandler(const RealCompileRequest& request) : request(request) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid != __uuidof(IUnknown) && riid != __uuidof(IDxcIncludeHandler))
            return E_NOINTERFACE;
        AddRef();
        *object = static_cast<IDxcIncludeHandler*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE LoadSource(LPCWSTR pFilename, IDxcBlob** ppIncludeSource) override {
        if (!ppIncludeSource)
            return E_POINTER;
        *ppIncludeSource = nullptr;
        std::string bytes;
        HRESULT loaded = request.loadInclude(pFilename, &bytes);
        if (loaded < 0)
            return loaded;
        IDxcBlobEncoding* blob = nullptr;
        HRESULT made =
            library().utils->CreateBlob(bytes.data(), static_cast<UINT32>(bytes.size()), DXC_CP_ACP, &blob);
        *ppIncludeSource = blob;
        return made;
    }

private:
    const RealCompileRequest& request;
    std::atomic<ULONG> references{1};
};

std::string bytesOf(IDxcBlob* blob) {
    if (!blob || !blob->GetBufferPointer())
        return {};
    return std::string(static_cast<const char*>(blob->GetBufferPointer()), blob->GetBufferSize());
}

} // namespace

bool realCompilerBuilt() {
    return true;
}

bool realCompilerLoaded() {
    return library().create != nullptr;
}

RealCompileOutcome compileWithRealCompiler(const RealCompileRequest& request) {
    RealCompileOutcome outcome;
    Released<IDxcCompiler3> compiler;
    if (!realCompilerLoaded() ||
        (outcome.called = library().create(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler))) < 0) {
        outcome.called = outcome.called < 0 ? outcome.called : E_FAIL;
        return outcome;
    }
    std::vector<LPCWSTR> arguments;
    for (const std::wstring& argument : request.arguments)
        arguments.push_back(argument.c_str());
    DxcBuffer source{request.source.data(), request.source.size(), request.encoding};
    ForwardingIncludeHandler* includeHandler =
        request.loadInclude ? new ForwardingIncludeHandler(request) : nullptr;
    Released<IDxcResult> result;
    outcome.called = compiler->Compile(&source, arguments.data(), static_cast<UINT32>(arguments.size()),
                                       includeHandler, IID_PPV_ARGS(&result));
    if (includeHandler)
        includeHandler->Release();
    if (outcome.called < 0 || !result.object) {
        outcome.called = outcome.called < 0 ? outcome.called : E_FAIL;
        return outcome;
    }
    HRESULT status = E_FAIL;
    result->GetStatus(&status);
    outcome.status = status;
    Released<IDxcBlobUtf8> errors;
    if (result->GetOutput(DXC_OUT_ERRORS, IID_PPV_ARGS(&errors), nullptr) >= 0 && errors.object)
        outcome.errors.assign(errors->GetStringPointer(), errors->GetStringLength());
    Released<IDxcBlob> object;
    if (status >= 0 && result->GetOutput(DXC_OUT_OBJECT, IID_PPV_ARGS(&object), nullptr) >= 0)
        outcome.object = bytesOf(object.object);
    return outcome;
}

void* createRealReflection(const void* bytes, size_t size, const void* iid) {
    if (!realCompilerLoaded() || !bytes || !iid)
        return nullptr;
    IID interfaceId;
    static_assert(sizeof interfaceId == 16);
    std::memcpy(&interfaceId, iid, sizeof interfaceId);
    DxcBuffer container{bytes, size, DXC_CP_ACP};
    void* reflection = nullptr;
    if (library().utils->CreateReflection(&container, interfaceId, &reflection) < 0)
        return nullptr;
    return reflection;
}

} // namespace standin::dxc
