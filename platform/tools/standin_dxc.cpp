// The stand-in shader compiler on the command line, with the options of the compiler's own tool:
//   standin_dxc -T <profile> [-E <entry>] [-Fo <output>] [other options] <source>
// It compiles through DxcCreateInstance exactly as the program does and writes the stand-in container,
// so that a build without a real compiler can embed programs that Windows builds compile with dxc.
#include <dxcapi.h>

#include "standin/Dxc.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

template <class T> struct Released {
    T* object = nullptr;
    ~Released() {
        if (object)
            object->Release();
    }
};

std::wstring widen(const char* text) {
    std::wstring result;
    for (; *text; ++text)
        result += static_cast<wchar_t>(static_cast<unsigned char>(*text)); // paths and options are ASCII here
    return result;
}

int usage() {
    std::fputs("usage: standin_dxc -T <profile> [-E <entry>] [-Fo <output>] [options] <source>\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    standin::useRealShaderCompiler(false);
    static const std::set<std::string> optionsWithValue = {"-E",  "-T",  "-D",  "-I",   "-Fe", "-Fd",
                                                           "-Fh", "-Vn", "-HV", "-Fre", "-Frs"};
    std::string output, source;
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "-Fo") {
            if (++i == argc)
                return usage();
            output = argv[i];
            continue;
        }
        arguments.push_back(widen(argv[i]));
        if (optionsWithValue.count(argument) && i + 1 < argc)
            arguments.push_back(widen(argv[++i]));
        else if (!argument.empty() && argument[0] != '-')
            source = argument;
    }
    if (source.empty())
        return usage();

    Released<IDxcUtils> utils;
    Released<IDxcCompiler3> compiler;
    Released<IDxcIncludeHandler> includeHandler;
    Released<IDxcBlobEncoding> sourceBlob;
    if (DxcCreateInstance(CLSID_DxcUtils, IID_PPV_ARGS(&utils.object)) < 0 ||
        DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler.object)) < 0 ||
        utils.object->CreateDefaultIncludeHandler(&includeHandler.object) < 0) {
        std::fputs("standin_dxc: cannot create the compiler\n", stderr);
        return 1;
    }
    if (HRESULT loaded = utils.object->LoadFile(widen(source.c_str()).c_str(), nullptr, &sourceBlob.object);
        loaded < 0) {
        std::fprintf(stderr, "standin_dxc: cannot read '%s' (0x%08x)\n", source.c_str(), unsigned(loaded));
        return 1;
    }

    std::vector<LPCWSTR> pointers;
    for (const std::wstring& argument : arguments)
        pointers.push_back(argument.c_str());
    DxcBuffer buffer{sourceBlob.object->GetBufferPointer(), sourceBlob.object->GetBufferSize(), DXC_CP_ACP};
    Released<IDxcResult> result;
    HRESULT status = E_FAIL;
    if (compiler.object->Compile(&buffer, pointers.data(), static_cast<UINT32>(pointers.size()),
                                 includeHandler.object, IID_PPV_ARGS(&result.object)) < 0 ||
        result.object->GetStatus(&status) < 0) {
        std::fputs("standin_dxc: the compile did not run\n", stderr);
        return 1;
    }

    Released<IDxcBlobUtf8> errors;
    if (result.object->GetOutput(DXC_OUT_ERRORS, IID_PPV_ARGS(&errors.object), nullptr) >= 0 &&
        errors.object && errors.object->GetStringLength() > 0)
        std::fprintf(stderr, "%.*s", int(errors.object->GetStringLength()),
                     errors.object->GetStringPointer());
    if (status < 0)
        return 1;

    Released<IDxcBlob> object;
    if (result.object->GetOutput(DXC_OUT_OBJECT, IID_PPV_ARGS(&object.object), nullptr) < 0 ||
        !object.object) {
        std::fputs("standin_dxc: the compile gave no object\n", stderr);
        return 1;
    }
    std::FILE* file = output.empty() ? stdout : std::fopen(output.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "standin_dxc: cannot write '%s'\n", output.c_str());
        return 1;
    }
    size_t size = object.object->GetBufferSize();
    bool written = std::fwrite(object.object->GetBufferPointer(), 1, size, file) == size;
    if (file != stdout)
        written = std::fclose(file) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "standin_dxc: cannot write '%s'\n", output.c_str());
        return 1;
    }
    return 0;
}
