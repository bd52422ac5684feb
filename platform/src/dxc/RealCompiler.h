// The real DirectX Shader Compiler, as the stand-in uses it: plain C++ types only. Its library is called
// through its own headers in dxc/real/RealCompiler.cpp alone, because their COM layer is not the one of
// DirectX-Headers that the rest of the stand-in is built on; only IUnknown's three methods are the same in
// both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace standin::dxc {

// True when the build found a real compiler, whether or not its library loads.
bool realCompilerBuilt();
// True when the build found a real compiler and its library loads; the first failed load says why on
// standard error.
bool realCompilerLoaded();

struct RealCompileRequest {
    std::string source; // the source's bytes
    uint32_t encoding;  // DXC_CP_*: the source's code page, 0 to detect it
    // IDxcCompiler3's argument list: the source name, -E, -T, the options and -D, as the program gave them.
    std::vector<std::wstring> arguments;
    // Reads an included file for the compiler (a failure code when it cannot); empty when the caller gave no
    // include handler.
    std::function<int32_t(const wchar_t* fileName, std::string* bytes)> loadInclude;
};

struct RealCompileOutcome {
    int32_t called = 0; // what the compiler's Compile returned; a failure leaves no result
    int32_t status = 0; // the compile's status
    std::string object; // the compiled container when the status succeeds
    std::string errors; // errors and warnings, UTF-8
};

RealCompileOutcome compileWithRealCompiler(const RealCompileRequest& request);

// IDxcUtils::CreateReflection of a compiled container for the interface whose 16-byte IID is given: the
// object, which the caller uses through that interface's own declaration and releases, or null.
void* createRealReflection(const void* bytes, size_t size, const void* iid);

} // namespace standin::dxc
