// Inspection and control of the stand-in shader compiler, for tests.
//
// Where the build found a real DirectX Shader Compiler, the stand-in's compiler objects hand every compile to
// it: the program gets real DXIL and the real compiler's messages, and the stand-in device reads the DXIL's
// reflection. The log and the injected failures below work the same either way.
//
// Without one, the stand-in compiles itself: it cannot generate code, so a successful compile returns a text
// container that names what the source defines; the stand-in Direct3D 12 device reads it back (state-object
// exports, pipeline stages):
//
//   STANDIN-DXIL\n
//   stage=<vs|ps|cs|as|ms|lib>\n
//   entry=<entry point>\n
//   exports=<comma-separated export names>\n
//   hash=<16 hex digits of the source text and every file it includes>\n
//
// For a library the exports are its [shader("...")] functions in source order; otherwise the entry point.
#pragma once

#include <dxcapi.h>

#include <cstddef>
#include <string>
#include <vector>

namespace standin {

inline constexpr char standinDxilMagic[] = "STANDIN-DXIL\n";

// The fields of a stand-in container.
struct StandinBytecode {
    std::string stage;
    std::string entry;
    std::vector<std::string> exports;
    std::string hash;
};

// Parses a container made by the stand-in compiler; false when the bytes are not one.
bool parseStandinBytecode(const void* bytes, size_t size, StandinBytecode* result);

// One call of IDxcCompiler::Compile or IDxcCompiler3::Compile as the compiler received it.
struct DxcCompileRecord {
    std::wstring sourceName;
    std::wstring entryPoint;    // IDxcCompiler: as passed; IDxcCompiler3: the value of -E ("main" by default)
    std::wstring targetProfile; // IDxcCompiler: as passed; IDxcCompiler3: the value of -T
    std::vector<std::wstring> arguments; // the argument list exactly as passed
    std::vector<std::wstring> defines;   // IDxcCompiler's defines as "name=value"
    const IDxcIncludeHandler* includeHandler;
    HRESULT status; // the status the result reports
};

// Every compile since the start or the last clear, in call order.
std::vector<DxcCompileRecord> dxcCompiles();
void clearDxcCompiles();

// Makes the next Compile call return this failure without a result object (S_OK: no injected failure).
void failNextDxcCompile(HRESULT result);

// True when the build found a real compiler and its library loads.
bool realShaderCompilerFound();
// True when the build found a real compiler, whether or not its library loads.
bool realShaderCompilerBuilt();
// Tests of the stand-in's own compiler switch the real one off; switching it on again has an effect only
// where one is found.
void useRealShaderCompiler(bool use);
// Whether compiles go to the real compiler now.
bool usingRealShaderCompiler();

// Keeps compiles on the stand-in's own compiler for its scope.
class StandinCompilerScope {
public:
    StandinCompilerScope() : previous(usingRealShaderCompiler()) { useRealShaderCompiler(false); }
    ~StandinCompilerScope() { useRealShaderCompiler(previous); }
    StandinCompilerScope(const StandinCompilerScope&) = delete;
    StandinCompilerScope& operator=(const StandinCompilerScope&) = delete;

private:
    bool previous;
};

} // namespace standin
