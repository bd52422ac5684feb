// The stand-in compiler's utilities object (IDxcLibrary and IDxcUtils, one class as in the compiler),
// its argument lists and DxcCreateInstance.
#include "dxc/DxcInternal.h"

#include "common/CallTrace.h"

#include <deque>
#include <vector>

namespace standin::dxc {
namespace {

// REGDB_E_CLASSNOTREG: what the compiler returns for a class it does not have.
constexpr HRESULT classNotRegistered = static_cast<HRESULT>(0x80040154);

class CompilerArgs final : public IDxcCompilerArgs, public ComObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return answerQuery(riid, out, static_cast<IUnknown*>(this), static_cast<IDxcCompilerArgs*>(this));
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    LPCWSTR* STDMETHODCALLTYPE GetArguments() override { return pointers.data(); }
    UINT32 STDMETHODCALLTYPE GetCount() override { return static_cast<UINT32>(pointers.size()); }

    HRESULT STDMETHODCALLTYPE AddArguments(LPCWSTR* pArguments, UINT32 argCount) override {
        if (argCount && !pArguments)
            return E_INVALIDARG;
        for (UINT32 i = 0; i < argCount; ++i)
            add(pArguments[i] ? pArguments[i] : L"");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddArgumentsUTF8(LPCSTR* pArguments, UINT32 argCount) override {
        if (argCount && !pArguments)
            return E_INVALIDARG;
        for (UINT32 i = 0; i < argCount; ++i)
            add(widen(pArguments[i] ? pArguments[i] : ""));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddDefines(const DxcDefine* pDefines, UINT32 defineCount) override {
        if (defineCount && !pDefines)
            return E_INVALIDARG;
        for (UINT32 i = 0; i < defineCount; ++i) {
            add(L"-D");
            std::wstring define = pDefines[i].Name ? pDefines[i].Name : L"";
            if (pDefines[i].Value)
                define += std::wstring(L"=") + pDefines[i].Value;
            add(define);
        }
        return S_OK;
    }

    void add(std::wstring argument) {
        strings.push_back(std::move(argument)); // a deque keeps the earlier strings where they are
        pointers.push_back(strings.back().c_str());
    }

private:
    std::deque<std::wstring> strings;
    std::vector<LPCWSTR> pointers;
};

HRESULT copyToBlob(LPCVOID data, UINT32 size, UINT32 codePage, IDxcBlobEncoding** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (size && !data)
        return E_INVALIDARG;
    std::string bytes(static_cast<const char*>(data), size);
    *out = createBlob(std::move(bytes), codePage != DXC_CP_ACP, codePage);
    return S_OK;
}

// The text of a blob in UTF-8; only 8-bit sources are read (a UTF-8 byte-order mark is dropped).
HRESULT blobAsUtf8(IDxcBlob* blob, IDxcBlobUtf8** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!blob)
        return E_INVALIDARG;
    BOOL known = FALSE;
    UINT32 codePage = DXC_CP_ACP;
    IDxcBlobEncoding* encoding = nullptr;
    if (blob->QueryInterface(IID_PPV_ARGS(&encoding)) >= 0) {
        encoding->GetEncoding(&known, &codePage);
        encoding->Release();
    }
    if (known && codePage != DXC_CP_UTF8 && codePage != DXC_CP_ACP)
        return notImplemented("IDxcUtils::GetBlobAsUtf8 of a UTF-16 or UTF-32 blob");
    std::string text(static_cast<const char*>(blob->GetBufferPointer()), blob->GetBufferSize());
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    *out = createTextBlob(std::move(text));
    return S_OK;
}

class Utilities final : public IDxcLibrary, public IDxcUtils, public ComObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return answerQuery(riid, out, static_cast<IUnknown*>(static_cast<IDxcLibrary*>(this)),
                           static_cast<IDxcLibrary*>(this), static_cast<IDxcUtils*>(this));
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    // Shared by both interfaces.
    HRESULT STDMETHODCALLTYPE CreateBlobFromBlob(IDxcBlob* pBlob, UINT32 offset, UINT32 length,
                                                 IDxcBlob** ppResult) override {
        if (!ppResult)
            return E_POINTER;
        *ppResult = nullptr;
        if (!pBlob || uint64_t(offset) + length > pBlob->GetBufferSize())
            return E_INVALIDARG;
        const char* bytes = static_cast<const char*>(pBlob->GetBufferPointer()) + offset;
        *ppResult = createBlob(std::string(bytes, length), false, DXC_CP_ACP);
        return S_OK;
    }

    // IDxcLibrary
    HRESULT STDMETHODCALLTYPE SetMalloc(IMalloc*) override {
        return notImplemented("IDxcLibrary::SetMalloc");
    }
    HRESULT STDMETHODCALLTYPE CreateBlobFromFile(LPCWSTR pFileName, UINT32* codePage,
                                                 IDxcBlobEncoding** pBlobEncoding) override {
        return loadFileBlob(pFileName, codePage, pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE CreateBlobWithEncodingFromPinned(LPCVOID pText, UINT32 size, UINT32 codePage,
                                                               IDxcBlobEncoding** pBlobEncoding) override {
        return copyToBlob(pText, size, codePage, pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE CreateBlobWithEncodingOnHeapCopy(LPCVOID pText, UINT32 size, UINT32 codePage,
                                                               IDxcBlobEncoding** pBlobEncoding) override {
        return copyToBlob(pText, size, codePage, pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE CreateBlobWithEncodingOnMalloc(LPCVOID, IMalloc*, UINT32, UINT32,
                                                             IDxcBlobEncoding** pBlobEncoding) override {
        return notImplemented("IDxcLibrary::CreateBlobWithEncodingOnMalloc", pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE CreateIncludeHandler(IDxcIncludeHandler** ppResult) override {
        traceCall("IDxcLibrary::CreateIncludeHandler");
        if (!ppResult)
            return E_POINTER;
        *ppResult = createDefaultIncludeHandler();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateStreamFromBlobReadOnly(IDxcBlob*, IStream** ppStream) override {
        return notImplemented("IDxcLibrary::CreateStreamFromBlobReadOnly", ppStream);
    }
    HRESULT STDMETHODCALLTYPE GetBlobAsUtf8(IDxcBlob* pBlob, IDxcBlobEncoding** pBlobEncoding) override {
        IDxcBlobUtf8* text = nullptr;
        HRESULT result = blobAsUtf8(pBlob, &text);
        if (pBlobEncoding)
            *pBlobEncoding = text;
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetBlobAsUtf16(IDxcBlob*, IDxcBlobEncoding** pBlobEncoding) override {
        return notImplemented("IDxcLibrary::GetBlobAsUtf16", pBlobEncoding);
    }

    // IDxcUtils
    HRESULT STDMETHODCALLTYPE CreateBlobFromPinned(LPCVOID pData, UINT32 size, UINT32 codePage,
                                                   IDxcBlobEncoding** pBlobEncoding) override {
        return copyToBlob(pData, size, codePage, pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE MoveToBlob(LPCVOID, IMalloc*, UINT32, UINT32,
                                         IDxcBlobEncoding** pBlobEncoding) override {
        return notImplemented("IDxcUtils::MoveToBlob", pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE CreateBlob(LPCVOID pData, UINT32 size, UINT32 codePage,
                                         IDxcBlobEncoding** pBlobEncoding) override {
        return copyToBlob(pData, size, codePage, pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE LoadFile(LPCWSTR pFileName, UINT32* pCodePage,
                                       IDxcBlobEncoding** pBlobEncoding) override {
        return loadFileBlob(pFileName, pCodePage, pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE CreateReadOnlyStreamFromBlob(IDxcBlob*, IStream** ppStream) override {
        return notImplemented("IDxcUtils::CreateReadOnlyStreamFromBlob", ppStream);
    }
    HRESULT STDMETHODCALLTYPE CreateDefaultIncludeHandler(IDxcIncludeHandler** ppResult) override {
        return CreateIncludeHandler(ppResult);
    }
    HRESULT STDMETHODCALLTYPE GetBlobAsUtf8(IDxcBlob* pBlob, IDxcBlobUtf8** pBlobEncoding) override {
        return blobAsUtf8(pBlob, pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE GetBlobAsUtf16(IDxcBlob*, IDxcBlobUtf16** pBlobEncoding) override {
        return notImplemented("IDxcUtils::GetBlobAsUtf16", pBlobEncoding);
    }
    HRESULT STDMETHODCALLTYPE GetDxilContainerPart(const DxcBuffer*, UINT32, void** ppPartData,
                                                   UINT32* pPartSizeInBytes) override {
        return notImplemented("IDxcUtils::GetDxilContainerPart", ppPartData, pPartSizeInBytes);
    }
    HRESULT STDMETHODCALLTYPE CreateReflection(const DxcBuffer*, REFIID, void** ppvReflection) override {
        return notImplemented("IDxcUtils::CreateReflection", ppvReflection);
    }
    // The compiler's order: source name, entry point, target, the arguments, then the defines.
    HRESULT STDMETHODCALLTYPE BuildArguments(LPCWSTR pSourceName, LPCWSTR pEntryPoint, LPCWSTR pTargetProfile,
                                             LPCWSTR* pArguments, UINT32 argCount, const DxcDefine* pDefines,
                                             UINT32 defineCount, IDxcCompilerArgs** ppArgs) override {
        if (!ppArgs)
            return E_POINTER;
        *ppArgs = nullptr;
        auto* arguments = new CompilerArgs();
        if (pSourceName)
            arguments->add(pSourceName);
        if (pEntryPoint) {
            arguments->add(L"-E");
            arguments->add(pEntryPoint);
        }
        if (pTargetProfile) {
            arguments->add(L"-T");
            arguments->add(pTargetProfile);
        }
        HRESULT result = arguments->AddArguments(pArguments, argCount);
        if (result >= 0)
            result = arguments->AddDefines(pDefines, defineCount);
        if (result < 0) {
            arguments->Release();
            return result;
        }
        *ppArgs = arguments;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPDBContents(IDxcBlob*, IDxcBlob** ppHash, IDxcBlob** ppContainer) override {
        return notImplemented("IDxcUtils::GetPDBContents", ppHash, ppContainer);
    }
};

} // namespace

HRESULT createUtilities(REFIID riid, void** object) {
    auto* utilities = new Utilities();
    HRESULT result = utilities->QueryInterface(riid, object);
    static_cast<IDxcLibrary*>(utilities)->Release();
    return result;
}

} // namespace standin::dxc

extern "C" HRESULT DxcCreateInstance(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    standin::traceCall("DxcCreateInstance");
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid == CLSID_DxcCompiler)
        return standin::dxc::createCompiler(riid, ppv);
    if (rclsid == CLSID_DxcLibrary)
        return standin::dxc::createUtilities(riid, ppv);
    return standin::dxc::classNotRegistered;
}
