// Compilation of the HLSL sources under "src/Shaders" into one bytecode blob per stage.
#pragma once

#include <windows.h>
#include <dxcapi.h>

#include <cstdint>

// The stages of a compile, as bits of an 8-bit mask; each has a fixed entry point and target.
enum ShaderStage : uint8_t {
    SHADER_STAGE_VERTEX = 1,        // VertexMain, vs_6_7
    SHADER_STAGE_AMPLIFICATION = 2, // AmplificationMain, as_6_7
    SHADER_STAGE_MESH = 4,          // MeshMain, ms_6_7
    SHADER_STAGE_PIXEL = 8,         // PixelMain, ps_6_7
    SHADER_STAGE_COMPUTE = 16,      // ComputeMain, cs_6_7
};

// The blobs of one file; a blob is set exactly for the stages asked for, and the record owns one reference
// to each.
struct Shader {
    IDxcBlob* vsBlob;
    IDxcBlob* asBlob;
    IDxcBlob* msBlob;
    IDxcBlob* psBlob;
    IDxcBlob* csBlob;
    const wchar_t* fileName; // the caller's string, not copied
    uint8_t stages;
};

// Made by initialisation before the first compile; the ray-tracing library compile uses the include handler.
extern IDxcLibrary* hlslLibrary;
extern IDxcCompiler* hlslCompiler;
extern IDxcIncludeHandler* hlslIncludeHandler;

// Compiles the file for every stage in the mask, in the order of the bits. A compile error prints the
// compiler's messages, runs "pause" and ends the program with exit code 1.
Shader compileShader(const wchar_t* fileName, uint8_t stages);

// Releases the blobs that are set; the fields keep their values.
void releaseShader(Shader& shader);
