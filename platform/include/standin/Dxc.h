// Inspection and control of the stand-in shader compiler, for tests.
//
// The stand-in cannot compile HLSL. A successful compile returns a text container that names what the
// source defines; the stand-in Direct3D 12 device reads it back (state-object exports, pipeline stages):
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

} // namespace standin
