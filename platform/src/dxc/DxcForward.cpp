// Compiles with the real compiler where the build found one. The stand-in's compiler objects stay what the
// program talks to (their compile log and injected failures too); they hand each compile over and wrap its
// outcome in their own result, so that the program gets real DXIL and the real compiler's messages.
#include "dxc/DxcInternal.h"
#include "dxc/RealCompiler.h"

#include <atomic>

namespace standin::dxc {
namespace {

std::atomic<bool> realCompilerWanted{true};

} // namespace

bool forwardsToRealCompiler() {
    return realCompilerWanted && realCompilerLoaded();
}

std::vector<std::wstring> argumentList(LPCWSTR sourceName, LPCWSTR entryPoint, LPCWSTR targetProfile,
                                       LPCWSTR* arguments, UINT32 argCount, const DxcDefine* defines,
                                       UINT32 defineCount) {
    std::vector<std::wstring> list;
    if (sourceName)
        list.emplace_back(sourceName);
    if (entryPoint)
        list.insert(list.end(), {L"-E", entryPoint});
    if (targetProfile)
        list.insert(list.end(), {L"-T", targetProfile});
    for (UINT32 i = 0; i < argCount; ++i)
        list.emplace_back(arguments[i] ? arguments[i] : L"");
    for (UINT32 i = 0; i < defineCount; ++i) {
        std::wstring define = defines[i].Name ? defines[i].Name : L"";
        if (defines[i].Value)
            define += std::wstring(L"=") + defines[i].Value;
        list.insert(list.end(), {L"-D", define});
    }
    return list;
}

HRESULT compileWithReal(const void* source, size_t size, UINT32 encoding, std::vector<std::wstring> arguments,
                        IDxcIncludeHandler* includeHandler, CompileOutcome* outcome) {
    RealCompileRequest request{
        std::string(static_cast<const char*>(source), source ? size : 0), encoding, std::move(arguments), {}};
    if (includeHandler)
        request.loadInclude = [includeHandler](const wchar_t* fileName, std::string* bytes) -> int32_t {
            IDxcBlob* blob = nullptr;
            HRESULT loaded = includeHandler->LoadSource(fileName, &blob);
            if (loaded >= 0 && !blob)
                loaded = E_FAIL;
            if (loaded >= 0)
                bytes->assign(static_cast<const char*>(blob->GetBufferPointer()), blob->GetBufferSize());
            if (blob)
                blob->Release();
            return loaded;
        };
    RealCompileOutcome real = compileWithRealCompiler(request);
    if (real.called < 0)
        return real.called;
    *outcome = {real.status, std::move(real.object), std::move(real.errors)};
    return S_OK;
}

} // namespace standin::dxc

namespace standin {

bool realShaderCompilerFound() {
    return dxc::realCompilerLoaded();
}

bool realShaderCompilerBuilt() {
    return dxc::realCompilerBuilt();
}

void useRealShaderCompiler(bool use) {
    dxc::realCompilerWanted = use;
}

bool usingRealShaderCompiler() {
    return dxc::forwardsToRealCompiler();
}

} // namespace standin
