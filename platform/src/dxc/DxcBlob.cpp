// Blobs, file loading and the default include handler of the stand-in shader compiler.
#include "dxc/DxcInternal.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace standin::dxc {

HRESULT notImplemented(const char* method) {
    std::fprintf(stderr, "stand-in: %s not implemented\n", method);
    return E_NOTIMPL;
}

std::string narrow(const wchar_t* text) {
    std::string result;
    if (!text)
        return result;
    for (; *text; ++text) {
        auto code = static_cast<uint32_t>(*text);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        if (code < 0x80) {
            result += static_cast<char>(code);
        } else if (code < 0x800) {
            result += static_cast<char>(0xC0 | (code >> 6));
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            result += static_cast<char>(0xE0 | (code >> 12));
            result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | (code >> 18));
            result += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return result;
}

std::wstring widen(const std::string& text) {
    std::wstring result;
    for (size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80           ? 1
                     : (lead >> 5) == 0x6  ? 2
                     : (lead >> 4) == 0xE  ? 3
                     : (lead >> 3) == 0x1E ? 4
                                           : 0;
        if (length == 0 || i + length > text.size()) {
            result += L'\uFFFD';
            ++i;
            continue;
        }
        uint32_t code = length == 1 ? lead : lead & (0xFF >> (length + 1));
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        result += valid ? static_cast<wchar_t>(code) : L'\uFFFD';
        i += valid ? length : 1;
    }
    return result;
}

namespace {

class Blob final : public IDxcBlobUtf8, public ComObject {
public:
    Blob(std::string bytes, bool known, UINT32 codePage, bool countsTerminator)
        : bytes(std::move(bytes)), known(known), codePage(codePage), countsTerminator(countsTerminator) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (known && codePage == DXC_CP_UTF8)
            return answerQuery(riid, object, static_cast<IUnknown*>(this), static_cast<IDxcBlob*>(this),
                               static_cast<IDxcBlobEncoding*>(this), static_cast<IDxcBlobUtf8*>(this));
        return answerQuery(riid, object, static_cast<IUnknown*>(this), static_cast<IDxcBlob*>(this),
                           static_cast<IDxcBlobEncoding*>(this));
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes.data(); }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return bytes.size() + (countsTerminator ? 1 : 0); }

    HRESULT STDMETHODCALLTYPE GetEncoding(BOOL* pKnown, UINT32* pCodePage) override {
        if (pKnown)
            *pKnown = known ? TRUE : FALSE;
        if (pCodePage)
            *pCodePage = codePage;
        return S_OK;
    }

    // std::string keeps a NUL after its last byte, so the text is always terminated.
    LPCSTR STDMETHODCALLTYPE GetStringPointer() override { return bytes.c_str(); }
    SIZE_T STDMETHODCALLTYPE GetStringLength() override { return bytes.size(); }

private:
    std::string bytes;
    bool known;
    UINT32 codePage;
    bool countsTerminator;
};

class DefaultIncludeHandler final : public IDxcIncludeHandler, public ComObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return answerQuery(riid, object, static_cast<IUnknown*>(this),
                           static_cast<IDxcIncludeHandler*>(this));
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    HRESULT STDMETHODCALLTYPE LoadSource(LPCWSTR pFilename, IDxcBlob** ppIncludeSource) override {
        if (!ppIncludeSource)
            return E_POINTER;
        *ppIncludeSource = nullptr;
        IDxcBlobEncoding* blob = nullptr;
        HRESULT result = loadFileBlob(pFilename, nullptr, &blob);
        *ppIncludeSource = blob;
        return result;
    }
};

// Why a file cannot be read, as the Windows file functions would say it.
HRESULT missingFileResult(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path parent = path.parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, error))
        return pathNotFound;
    return fileNotFound;
}

} // namespace

IDxcBlobUtf8* createBlob(std::string bytes, bool known, UINT32 codePage) {
    return new Blob(std::move(bytes), known, codePage, false);
}

IDxcBlobUtf8* createTextBlob(std::string text) {
    return new Blob(std::move(text), true, DXC_CP_UTF8, true);
}

HRESULT loadFileBlob(LPCWSTR fileName, const UINT32* codePage, IDxcBlobEncoding** blob) {
    if (!blob)
        return E_POINTER;
    *blob = nullptr;
    if (!fileName || !*fileName)
        return E_INVALIDARG;
    std::string name = narrow(fileName);
    std::replace(name.begin(), name.end(), '\\', '/');
    std::filesystem::path path(name);

    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return missingFileResult(path);
    if (std::filesystem::is_directory(path, error))
        return accessDenied;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return accessDenied;
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        return accessDenied;

    bool known = codePage != nullptr;
    UINT32 page = codePage ? *codePage : DXC_CP_ACP;
    if (!codePage && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        known = true;
        page = DXC_CP_UTF8;
    } else if (!codePage && bytes.compare(0, 2, "\xFF\xFE") == 0) {
        known = true;
        page = DXC_CP_UTF16;
    }
    *blob = createBlob(std::move(bytes), known, page);
    return S_OK;
}

IDxcIncludeHandler* createDefaultIncludeHandler() {
    return new DefaultIncludeHandler();
}

} // namespace standin::dxc
