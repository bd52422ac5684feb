// The stand-in compiler object (IDxcCompiler and IDxcCompiler3) and its results.
#include "dxc/DxcInternal.h"

#include "common/CallTrace.h"

#include <mutex>
#include <set>
#include <vector>

namespace standin::dxc {
namespace {

class Result final : public IDxcResult, public ComObject {
public:
    explicit Result(const CompileOutcome& outcome)
        : status(outcome.status), errors(createTextBlob(outcome.errors)),
          object(outcome.status >= 0 ? createBlob(outcome.object, false, DXC_CP_ACP) : nullptr) {}
    ~Result() override {
        errors->Release();
        if (object)
            object->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return answerQuery(riid, out, static_cast<IUnknown*>(this), static_cast<IDxcOperationResult*>(this),
                           static_cast<IDxcResult*>(this));
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    HRESULT STDMETHODCALLTYPE GetStatus(HRESULT* pStatus) override {
        if (!pStatus)
            return E_INVALIDARG;
        *pStatus = status;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResult(IDxcBlob** ppResult) override {
        if (!ppResult)
            return E_INVALIDARG;
        *ppResult = object;
        if (object)
            object->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetErrorBuffer(IDxcBlobEncoding** ppErrors) override {
        if (!ppErrors)
            return E_INVALIDARG;
        errors->AddRef();
        *ppErrors = errors;
        return S_OK;
    }

    BOOL STDMETHODCALLTYPE HasOutput(DXC_OUT_KIND kind) override {
        return (kind == DXC_OUT_ERRORS || (kind == DXC_OUT_OBJECT && object)) ? TRUE : FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetOutput(DXC_OUT_KIND kind, REFIID iid, void** ppvObject,
                                        IDxcBlobUtf16** ppOutputName) override {
        if (ppOutputName)
            *ppOutputName = nullptr;
        if (!ppvObject)
            return E_INVALIDARG;
        *ppvObject = nullptr;
        if (kind == DXC_OUT_ERRORS)
            return errors->QueryInterface(iid, ppvObject);
        if (kind == DXC_OUT_OBJECT && object)
            return object->QueryInterface(iid, ppvObject);
        return E_INVALIDARG;
    }
    UINT32 STDMETHODCALLTYPE GetNumOutputs() override { return object ? 2 : 1; }
    DXC_OUT_KIND STDMETHODCALLTYPE GetOutputByIndex(UINT32 index) override {
        if (object && index == 0)
            return DXC_OUT_OBJECT;
        return index == GetNumOutputs() - 1 ? DXC_OUT_ERRORS : DXC_OUT_NONE;
    }
    DXC_OUT_KIND STDMETHODCALLTYPE PrimaryOutput() override { return DXC_OUT_OBJECT; }

private:
    HRESULT status;
    IDxcBlobUtf8* errors;
    IDxcBlobUtf8* object;
};

// The compiler's options as the stand-in reads them; options that change only the generated code are
// accepted and ignored.
struct Options {
    std::string entryPoint = "main";
    std::string targetProfile;
    std::string sourceName;
    std::vector<std::string> defines; // of -D, in order
    std::string error;                // set when the arguments are not valid
};

Options parseArguments(LPCWSTR* arguments, UINT32 count, bool takesInput) {
    static const std::set<std::string> flags = {"-O0",
                                                "-O1",
                                                "-O2",
                                                "-O3",
                                                "-Od",
                                                "-Qstrip_reflect",
                                                "-Qstrip_debug",
                                                "-Qstrip_priv",
                                                "-Qstrip_rootsignature",
                                                "-Qembed_debug",
                                                "-Zi",
                                                "-Zss",
                                                "-Zsb",
                                                "-Zpr",
                                                "-Zpc",
                                                "-WX",
                                                "-Gec",
                                                "-Ges",
                                                "-Gis",
                                                "-Vd",
                                                "-no-warnings",
                                                "-enable-16bit-types",
                                                "-all-resources-bound",
                                                "-nologo"};
    static const std::set<std::string> withValue = {"-E",  "-T",  "-D",  "-I",  "-Fo",  "-Fe",
                                                    "-Fd", "-Fh", "-Vn", "-HV", "-Fre", "-Frs"};
    Options options;
    for (UINT32 i = 0; i < count && options.error.empty(); ++i) {
        std::string argument = narrow(arguments[i]);
        std::string option = argument, value;
        bool joined =
            argument.size() > 2 &&
            (argument[1] == 'E' || argument[1] == 'T' || argument[1] == 'D' || argument[1] == 'I') &&
            !withValue.count(argument);
        if (argument.empty() || argument[0] != '-') {
            if (!takesInput || !options.sourceName.empty())
                options.error = "error: unexpected input file '" + argument + "'";
            options.sourceName = argument;
            continue;
        }
        if (joined) {
            option = argument.substr(0, 2);
            value = argument.substr(2);
        } else if (withValue.count(argument)) {
            if (i + 1 == count) {
                options.error = "error: argument to '" + argument + "' is missing (expected 1 value)";
                continue;
            }
            value = narrow(arguments[++i]);
        } else if (!flags.count(argument)) {
            options.error = "error: unknown argument: '" + argument + "'";
            continue;
        }
        if (option == "-E")
            options.entryPoint = value;
        else if (option == "-T")
            options.targetProfile = value;
        else if (option == "-D")
            options.defines.push_back(value);
    }
    return options;
}

std::string sourceText(const void* bytes, size_t size) {
    std::string text(static_cast<const char*>(bytes), bytes ? size : 0);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

std::vector<std::wstring> copyArguments(LPCWSTR* arguments, UINT32 count) {
    std::vector<std::wstring> copy;
    for (UINT32 i = 0; i < count; ++i)
        copy.emplace_back(arguments[i] ? arguments[i] : L"");
    return copy;
}

class Compiler final : public IDxcCompiler, public IDxcCompiler3, public ComObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return answerQuery(riid, out, static_cast<IUnknown*>(static_cast<IDxcCompiler*>(this)),
                           static_cast<IDxcCompiler*>(this), static_cast<IDxcCompiler3*>(this));
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    HRESULT STDMETHODCALLTYPE Compile(IDxcBlob* pSource, LPCWSTR pSourceName, LPCWSTR pEntryPoint,
                                      LPCWSTR pTargetProfile, LPCWSTR* pArguments, UINT32 argCount,
                                      const DxcDefine* pDefines, UINT32 defineCount,
                                      IDxcIncludeHandler* pIncludeHandler,
                                      IDxcOperationResult** ppResult) override {
        traceCall("IDxcCompiler::Compile");
        if (!ppResult)
            return E_POINTER;
        *ppResult = nullptr;
        if (!pSource || (argCount && !pArguments) || (defineCount && !pDefines))
            return E_INVALIDARG;
        DxcCompileRecord record{pSourceName ? pSourceName : L"",
                                pEntryPoint ? pEntryPoint : L"",
                                pTargetProfile ? pTargetProfile : L"",
                                copyArguments(pArguments, argCount),
                                {},
                                pIncludeHandler,
                                S_OK};
        for (UINT32 i = 0; i < defineCount; ++i)
            record.defines.push_back(std::wstring(pDefines[i].Name ? pDefines[i].Name : L"") + L"=" +
                                     (pDefines[i].Value ? pDefines[i].Value : L"1"));
        if (HRESULT injected = takeInjectedCompileFailure(); injected < 0) {
            record.status = injected;
            recordCompile(std::move(record));
            return injected;
        }
        if (forwardsToRealCompiler())
            return forward(pSource->GetBufferPointer(), pSource->GetBufferSize(), encodingOf(pSource),
                           argumentList(pSourceName, pEntryPoint, pTargetProfile, pArguments, argCount,
                                        pDefines, defineCount),
                           pIncludeHandler, std::move(record), IID_PPV_ARGS(ppResult));
        Options options = parseArguments(pArguments, argCount, false);
        // The defines follow the arguments' own -D, as in the argument list the compiler builds of them.
        for (const std::wstring& define : record.defines)
            options.defines.push_back(narrow(define.c_str()));
        CompileOutcome outcome{E_INVALIDARG, {}, options.error + "\n"};
        if (options.error.empty())
            outcome = compileSource({sourceText(pSource->GetBufferPointer(), pSource->GetBufferSize()),
                                     narrow(pSourceName), narrow(pEntryPoint), narrow(pTargetProfile),
                                     pIncludeHandler, options.defines});
        record.status = outcome.status;
        recordCompile(std::move(record));
        *ppResult = createResult(outcome);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Preprocess(IDxcBlob*, LPCWSTR, LPCWSTR*, UINT32, const DxcDefine*, UINT32,
                                         IDxcIncludeHandler*, IDxcOperationResult** ppResult) override {
        return notImplemented("IDxcCompiler::Preprocess", ppResult);
    }
    HRESULT STDMETHODCALLTYPE Disassemble(IDxcBlob*, IDxcBlobEncoding** ppDisassembly) override {
        return notImplemented("IDxcCompiler::Disassemble", ppDisassembly);
    }

    HRESULT STDMETHODCALLTYPE Compile(const DxcBuffer* pSource, LPCWSTR* pArguments, UINT32 argCount,
                                      IDxcIncludeHandler* pIncludeHandler, REFIID riid,
                                      LPVOID* ppResult) override {
        traceCall("IDxcCompiler3::Compile");
        if (!ppResult)
            return E_POINTER;
        *ppResult = nullptr;
        if (!pSource || (argCount && !pArguments))
            return E_INVALIDARG;
        Options options = parseArguments(pArguments, argCount, true);
        DxcCompileRecord record{widen(options.sourceName),
                                widen(options.entryPoint),
                                widen(options.targetProfile),
                                copyArguments(pArguments, argCount),
                                {},
                                pIncludeHandler,
                                S_OK};
        if (HRESULT injected = takeInjectedCompileFailure(); injected < 0) {
            record.status = injected;
            recordCompile(std::move(record));
            return injected;
        }
        if (forwardsToRealCompiler()) {
            std::vector<std::wstring> arguments = record.arguments;
            return forward(pSource->Ptr, pSource->Size, pSource->Encoding, std::move(arguments),
                           pIncludeHandler, std::move(record), riid, ppResult);
        }
        CompileOutcome outcome{E_INVALIDARG, {}, options.error + "\n"};
        if (options.error.empty() && options.targetProfile.empty())
            outcome.errors = "error: no target profile given (-T)\n";
        else if (options.error.empty() && pSource->Encoding != DXC_CP_ACP && pSource->Encoding != DXC_CP_UTF8)
            outcome.errors = "error: the stand-in compiler reads only UTF-8 sources\n";
        else if (options.error.empty())
            outcome =
                compileSource({sourceText(pSource->Ptr, pSource->Size), options.sourceName,
                               options.entryPoint, options.targetProfile, pIncludeHandler, options.defines});
        record.status = outcome.status;
        recordCompile(std::move(record));
        IDxcResult* result = createResult(outcome);
        HRESULT queried = result->QueryInterface(riid, ppResult);
        result->Release();
        return queried;
    }

    HRESULT STDMETHODCALLTYPE Disassemble(const DxcBuffer*, REFIID, LPVOID* ppResult) override {
        return notImplemented("IDxcCompiler3::Disassemble", ppResult);
    }

private:
    // Hands a compile to the real compiler and answers with its outcome in a result of the stand-in's.
    static HRESULT forward(const void* source, size_t size, UINT32 encoding,
                           std::vector<std::wstring> arguments, IDxcIncludeHandler* includeHandler,
                           DxcCompileRecord record, REFIID riid, void** ppResult) {
        CompileOutcome outcome;
        HRESULT called =
            compileWithReal(source, size, encoding, std::move(arguments), includeHandler, &outcome);
        record.status = called < 0 ? called : outcome.status;
        recordCompile(std::move(record));
        if (called < 0)
            return called;
        IDxcResult* result = createResult(outcome);
        HRESULT queried = result->QueryInterface(riid, ppResult);
        result->Release();
        return queried;
    }

    // The code page a source blob says it has; unknown lets the compiler detect it.
    static UINT32 encodingOf(IDxcBlob* source) {
        IDxcBlobEncoding* encoding = nullptr;
        BOOL known = FALSE;
        UINT32 codePage = DXC_CP_ACP;
        if (source->QueryInterface(IID_PPV_ARGS(&encoding)) >= 0) {
            encoding->GetEncoding(&known, &codePage);
            encoding->Release();
        }
        return known ? codePage : DXC_CP_ACP;
    }
};

std::mutex logMutex;
std::vector<DxcCompileRecord> compileLog;
HRESULT injectedFailure = S_OK;

} // namespace

IDxcResult* createResult(const CompileOutcome& outcome) {
    return new Result(outcome);
}

HRESULT createCompiler(REFIID riid, void** object) {
    auto* compiler = new Compiler();
    HRESULT result = compiler->QueryInterface(riid, object);
    compiler->Release();
    return result;
}

void recordCompile(DxcCompileRecord record) {
    std::lock_guard lock(logMutex);
    compileLog.push_back(std::move(record));
}

HRESULT takeInjectedCompileFailure() {
    std::lock_guard lock(logMutex);
    HRESULT failure = injectedFailure;
    injectedFailure = S_OK;
    return failure;
}

} // namespace standin::dxc

namespace standin {

std::vector<DxcCompileRecord> dxcCompiles() {
    std::lock_guard lock(dxc::logMutex);
    return dxc::compileLog;
}

void clearDxcCompiles() {
    std::lock_guard lock(dxc::logMutex);
    dxc::compileLog.clear();
}

void failNextDxcCompile(HRESULT result) {
    std::lock_guard lock(dxc::logMutex);
    dxc::injectedFailure = result;
}

} // namespace standin
