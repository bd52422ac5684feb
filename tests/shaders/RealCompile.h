// Compiles the program's HLSL with the real compiler the way the program and its build do, through the
// stand-in's compiler objects (which hand every compile to the real compiler where the build found one).
#pragma once

#include <windows.h>
#include <dxcapi.h>

#include "standin/Dxc.h"
#include "standin/ShaderReflection.h"

#include <string>
#include <vector>

namespace real_compile {

struct Compiled {
    HRESULT status = E_FAIL;
    std::string messages; // errors and warnings
    std::vector<uint8_t> object;
    standin::ShaderReflection reflection() const {
        return standin::reflectShader(object.data(), object.size());
    }
};

struct StageCompile {
    const wchar_t* file;
    const wchar_t* entryPoint;
    const wchar_t* target;
};

// The stages compileShader compiles at start-up, in order.
const std::vector<StageCompile>& passStages();

// One stage as compileShader compiles it: IDxcCompiler with the file, entry point, target and "-O3".
Compiled compileStage(const std::wstring& fileName, const wchar_t* entryPoint, const wchar_t* target);

// IDxcCompiler3 with an argument list, as the ray-tracing library and the denoise build step compile.
Compiled compileWithArguments(const std::wstring& fileName, const std::vector<std::wstring>& arguments);

// The ray-tracing library's seven arguments.
std::vector<std::wstring> raytracingLibraryArguments();

} // namespace real_compile

// Skips a test where the build found no real compiler (CI always has one).
#define SKIP_WITHOUT_REAL_COMPILER()                                                                         \
    if (!standin::realShaderCompilerFound())                                                                 \
    GTEST_SKIP() << "no real shader compiler in this build"
