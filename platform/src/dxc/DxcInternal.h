// Shared pieces of the stand-in shader compiler (platform/src/dxc/).
#pragma once

#include <dxcapi.h>

#include "standin/Dxc.h"

#include <atomic>
#include <string>
#include <vector>

namespace standin::dxc {

// HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND and ERROR_ACCESS_DENIED: what the
// compiler's file functions return on Windows.
inline constexpr HRESULT fileNotFound = static_cast<HRESULT>(0x80070002);
inline constexpr HRESULT pathNotFound = static_cast<HRESULT>(0x80070003);
inline constexpr HRESULT accessDenied = static_cast<HRESULT>(0x80070005);

// Reference counting for the stand-in's COM objects; each class forwards AddRef and Release here.
class ComObject {
public:
    virtual ~ComObject() = default;

protected:
    ULONG addRef() { return ++references; }
    ULONG release() {
        ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> references{1};
};

// Says on standard error that a method is not implemented and returns E_NOTIMPL.
HRESULT notImplemented(const char* method);

// The same for a method with results: they are cleared, as a failed call leaves them.
template <class... Results> HRESULT notImplemented(const char* method, Results*... results) {
    ((results ? void(*results = {}) : void()), ...);
    return notImplemented(method);
}

// QueryInterface of an object from the interfaces it has, each given as the object converted to it: the first
// whose IID is asked for is handed out with one more reference, else E_NOINTERFACE.
template <class... Interfaces> HRESULT answerQuery(REFIID riid, void** object, Interfaces*... asInterfaces) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IUnknown* found = nullptr;
    ((riid == __uuidof(Interfaces) && (found = asInterfaces, *object = asInterfaces, true)) || ...);
    if (!found)
        return E_NOINTERFACE;
    found->AddRef();
    return S_OK;
}

std::string narrow(const wchar_t* text);
std::wstring widen(const std::string& text);

// A blob owning its bytes. A text blob (UTF-8 known) also serves IDxcBlobUtf8 and counts the NUL that ends
// its text in the buffer size, as the compiler's text blobs do.
IDxcBlobUtf8* createBlob(std::string bytes, bool known, UINT32 codePage);
IDxcBlobUtf8* createTextBlob(std::string text);

// Reads a file into a blob; the code page is the one given, else the one its byte-order mark names, else
// unknown. Both separators are accepted, as on Windows.
HRESULT loadFileBlob(LPCWSTR fileName, const UINT32* codePage, IDxcBlobEncoding** blob);

// The compiler's default include handler: reads the requested file from the file system.
IDxcIncludeHandler* createDefaultIncludeHandler();

struct CompileRequest {
    std::string source;
    std::string sourceName; // for messages and to resolve includes
    std::string entryPoint;
    std::string targetProfile;
    IDxcIncludeHandler* includeHandler;
    std::vector<std::string> defines; // "NAME" or "NAME=value", in the order the compiler received them
};

struct CompileOutcome {
    HRESULT status;
    std::string object; // the stand-in container when the status succeeds
    std::string errors; // compiler-style messages, "<file>:<line>:<column>: error: ..."
};

// Checks a source as the compiler would: target profile, preprocessor, included files, entry point or
// library exports.
CompileOutcome compileSource(const CompileRequest& request);

// An IDxcResult (and IDxcOperationResult) holding an outcome.
IDxcResult* createResult(const CompileOutcome& outcome);

// The compiler object (IDxcCompiler and IDxcCompiler3) and the utilities (IDxcLibrary and IDxcUtils).
HRESULT createCompiler(REFIID riid, void** object);
HRESULT createUtilities(REFIID riid, void** object);

// Whether compiles go to the real compiler: the build found one and tests have not switched it off.
bool forwardsToRealCompiler();

// IDxcCompiler3's argument list for an IDxcCompiler compile: the source name, entry point and target, the
// arguments, then the defines, as the compiler builds it.
std::vector<std::wstring> argumentList(LPCWSTR sourceName, LPCWSTR entryPoint, LPCWSTR targetProfile,
                                       LPCWSTR* arguments, UINT32 argCount, const DxcDefine* defines,
                                       UINT32 defineCount);

// Compiles with the real compiler, handing its include requests to the caller's handler (none when null).
// Returns what the real Compile call returned; only when that succeeds is the outcome set.
HRESULT compileWithReal(const void* source, size_t size, UINT32 encoding, std::vector<std::wstring> arguments,
                        IDxcIncludeHandler* includeHandler, CompileOutcome* outcome);

// The compile log and the injected failure behind standin/Dxc.h.
void recordCompile(DxcCompileRecord record);
HRESULT takeInjectedCompileFailure();

} // namespace standin::dxc
