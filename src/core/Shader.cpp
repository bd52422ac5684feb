#include "core/Shader.h"

#include "core/Report.h"
#include "core/SystemCommand.h"

#include <climits>
#include <cstdio>
#include <initializer_list>

IDxcLibrary* hlslLibrary = nullptr;
IDxcCompiler* hlslCompiler = nullptr;
IDxcIncludeHandler* hlslIncludeHandler = nullptr;

namespace {

struct StageCompile {
    uint8_t bit;
    const wchar_t* entryPoint;
    const wchar_t* target;
    IDxcBlob* Shader::*field;
    const char* resultCallText;
};

// In the order the stages are compiled.
constexpr StageCompile stageCompiles[] = {
    {SHADER_STAGE_VERTEX, L"VertexMain", L"vs_6_7", &Shader::vsBlob,
     "resultBlob->GetResult(&shader->vsBlob)"},
    {SHADER_STAGE_AMPLIFICATION, L"AmplificationMain", L"as_6_7", &Shader::asBlob,
     "resultBlob->GetResult(&shader->asBlob)"},
    {SHADER_STAGE_MESH, L"MeshMain", L"ms_6_7", &Shader::msBlob, "resultBlob->GetResult(&shader->msBlob)"},
    {SHADER_STAGE_PIXEL, L"PixelMain", L"ps_6_7", &Shader::psBlob, "resultBlob->GetResult(&shader->psBlob)"},
    {SHADER_STAGE_COMPUTE, L"ComputeMain", L"cs_6_7", &Shader::csBlob,
     "resultBlob->GetResult(&shader->csBlob)"},
};

// Holds one reference for the scope, so that the compiler objects are returned however the scope ends.
template <class T> struct Held {
    T* object;
    ~Held() {
        if (object)
            object->Release();
    }
};

// Prints the compiler's messages, runs "pause" and ends the program; nothing of the file is compiled after.
[[noreturn]] void endWithCompileError(IDxcOperationResult* resultBlob, Shader& shader) {
    IDxcBlobEncoding* errors = nullptr;
    resultBlob->GetErrorBuffer(&errors);
    // The text need not end with a NUL, so it is printed by its size.
    size_t size = errors ? errors->GetBufferSize() : 0;
    const char* text = errors ? static_cast<const char*>(errors->GetBufferPointer()) : nullptr;
    std::printf("%.*s\n", text ? static_cast<int>(size < INT_MAX ? size : INT_MAX) : 0, text ? text : "");
    runSystemCommand("pause");
    if (errors)
        errors->Release();
    releaseShader(shader);
    endProgram(1);
}

} // namespace

Shader compileShader(const wchar_t* fileName, uint8_t stages) {
    Shader record = {};
    Shader* shader = &record;
    shader->fileName = fileName;
    shader->stages = stages;

    IDxcBlobEncoding* sourceBlob = nullptr;
    CHECK(hlslLibrary->CreateBlobFromFile(fileName, 0, &sourceBlob));
    Held<IDxcBlobEncoding> heldSource{sourceBlob};

    LPCWSTR arguments[] = {L"-O3"};
    for (const StageCompile& stage : stageCompiles) {
        if (!(stages & stage.bit))
            continue;
        IDxcOperationResult* resultBlob = nullptr;
        HRESULT compiled = hlslCompiler->Compile(sourceBlob, fileName, stage.entryPoint, stage.target,
                                                 arguments, 1, nullptr, 0, hlslIncludeHandler, &resultBlob);
        Held<IDxcOperationResult> heldResult{resultBlob};
        // A call that failed has no result whose status could be asked for.
        if (failed(compiled) || !resultBlob)
            reportFailure("hlslCompiler->Compile(...)");

        HRESULT status = S_OK;
        CHECK(resultBlob->GetStatus(&status));
        if (failed(status))
            endWithCompileError(resultBlob, *shader);

        IDxcBlob*& blob = shader->*stage.field;
        if (failed(resultBlob->GetResult(&blob)) || !blob)
            reportFailure(stage.resultCallText);
    }
    return record;
}

void releaseShader(Shader& shader) {
    for (IDxcBlob* blob : {shader.vsBlob, shader.asBlob, shader.msBlob, shader.psBlob, shader.csBlob})
        if (blob)
            blob->Release();
}
