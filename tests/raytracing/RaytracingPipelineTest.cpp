// The objects of the shadow stage made at start: the shared root signature, the library compile, the state
// object, the shader table and the denoise pipeline, with the failures that switch the stage off or stop
// start-up.
#include "ShadowStageFixture.h"

#include "raytracing/DenoiseProgram.h"
#include "renderer/Program.h"
#include "standin/Dxc.h"
#include "support/TempDirectory.h"

#include <stdexcept>

namespace {

using RaytracingPipelineTest = ShadowStageFixture;

const char LIBRARY_PATH[] = "src/Shaders/Raytracing.hlsl";

// A library of the program's kind in a few lines; the variants below change one thing each.
const std::string RAY_GENERATION = "RWTexture2D<float4> output : register(u0);\n"
                                   "[shader(\"raygeneration\")]\n"
                                   "void RayGeneration() { output[DispatchRaysIndex().xy] = 1.0; }\n";
const std::string MISS = "struct Payload { float visibility; };\n"
                         "[shader(\"miss\")]\n"
                         "void Miss(inout Payload payload) { payload.visibility = 1.0; }\n";

TEST_F(RaytracingPipelineTest, RootSignatureHasTheFiveParametersOfVersionOneForEveryStage) {
    createRaytracingRootSignature();
    standin::RootSignatureInfo info = standin::describeRootSignature(rtRootSignature);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.version, D3D_ROOT_SIGNATURE_VERSION_1_0);
    EXPECT_EQ(info.flags, D3D12_ROOT_SIGNATURE_FLAG_NONE);
    EXPECT_TRUE(info.staticSamplers.empty());
    ASSERT_EQ(info.parameters.size(), 5u);
    const D3D12_ROOT_PARAMETER_TYPE types[] = {
        D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE, D3D12_ROOT_PARAMETER_TYPE_SRV,
        D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS, D3D12_ROOT_PARAMETER_TYPE_CBV,
        D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(info.parameters[i].type, types[i]);
        EXPECT_EQ(info.parameters[i].visibility, D3D12_SHADER_VISIBILITY_ALL);
        EXPECT_EQ(info.parameters[i].registerSpace, 0u);
    }
    EXPECT_EQ(info.parameters[1].shaderRegister, 0u);
    EXPECT_EQ(info.parameters[2].shaderRegister, 0u);
    EXPECT_EQ(info.parameters[2].num32BitValues, 3u);
    EXPECT_EQ(info.parameters[3].shaderRegister, 1u);
    struct Range {
        size_t parameter;
        D3D12_DESCRIPTOR_RANGE_TYPE type;
        UINT shaderRegister;
    };
    for (const Range& expected :
         {Range{0, D3D12_DESCRIPTOR_RANGE_TYPE_UAV, 0}, Range{4, D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 1}}) {
        SCOPED_TRACE(expected.parameter);
        const auto& ranges = info.parameters[expected.parameter].ranges;
        ASSERT_EQ(ranges.size(), 1u);
        EXPECT_EQ(ranges[0].RangeType, expected.type);
        EXPECT_EQ(ranges[0].NumDescriptors, 1u);
        EXPECT_EQ(ranges[0].BaseShaderRegister, expected.shaderRegister);
        EXPECT_EQ(ranges[0].RegisterSpace, 0u);
        EXPECT_EQ(ranges[0].OffsetInDescriptorsFromTableStart, D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND);
    }
    EXPECT_EQ(standin::debugOutput(), "");
}

TEST_F(RaytracingPipelineTest, LibraryCompilesWithItsSevenArgumentsIntoAStateObjectOfFourSubobjects) {
    createRaytracingRootSignature();
    standin::clearDxcCompiles();
    createRaytracingPipeline();
    const std::vector<standin::DxcCompileRecord> compiles = standin::dxcCompiles();
    ASSERT_EQ(compiles.size(), 1u);
    EXPECT_EQ(compiles[0].arguments,
              (std::vector<std::wstring>{L"src/Shaders/Raytracing.hlsl", L"-E", L"main", L"-T", L"lib_6_3",
                                         L"-O3", L"-Qstrip_reflect"}));
    EXPECT_EQ(compiles[0].includeHandler, hlslIncludeHandler);
    EXPECT_EQ(compiles[0].status, S_OK);

    standin::StateObjectInfo info = standin::describeStateObject(rtStateObject);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.type, D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE);
    EXPECT_EQ(info.subobjects, (std::vector<D3D12_STATE_SUBOBJECT_TYPE>{
                                   D3D12_STATE_SUBOBJECT_TYPE_DXIL_LIBRARY,
                                   D3D12_STATE_SUBOBJECT_TYPE_RAYTRACING_SHADER_CONFIG,
                                   D3D12_STATE_SUBOBJECT_TYPE_GLOBAL_ROOT_SIGNATURE,
                                   D3D12_STATE_SUBOBJECT_TYPE_RAYTRACING_PIPELINE_CONFIG}));
    EXPECT_EQ(info.listedExports, 0u) << "every export of the library is part of the pipeline";
    EXPECT_EQ(info.exports, (std::vector<std::string>{"Miss", "RayGeneration"}));
    EXPECT_EQ(info.globalRootSignature, rtRootSignature);
    EXPECT_EQ(info.maxPayloadSize, 20u);
    EXPECT_EQ(info.maxAttributeSize, 8u);
    EXPECT_EQ(info.maxRecursionDepth, 2u);
    EXPECT_TRUE(shadowStageEnabled);
    EXPECT_EQ(standin::debugOutput(), "");
}

TEST_F(RaytracingPipelineTest, ShaderTableHoldsTheTwoIdentifiersInThreeRecordsOf64Bytes) {
    createRaytracingRootSignature();
    createRaytracingPipeline();
    ASSERT_NE(shaderTable, nullptr);
    D3D12_RESOURCE_DESC desc = shaderTable->GetDesc();
    EXPECT_EQ(desc.Dimension, D3D12_RESOURCE_DIMENSION_BUFFER);
    EXPECT_EQ(desc.Width, 192u);
    EXPECT_EQ(desc.Layout, D3D12_TEXTURE_LAYOUT_ROW_MAJOR);
    EXPECT_EQ(desc.Flags, D3D12_RESOURCE_FLAG_NONE);
    D3D12_HEAP_PROPERTIES heap = {};
    ASSERT_EQ(shaderTable->GetHeapProperties(&heap, nullptr), S_OK);
    EXPECT_EQ(heap.Type, D3D12_HEAP_TYPE_UPLOAD);
    EXPECT_EQ(standin::resourceState(shaderTable), D3D12_RESOURCE_STATE_GENERIC_READ);

    const std::vector<uint8_t> bytes = standin::readResource(shaderTable);
    ASSERT_EQ(bytes.size(), 192u);
    ID3D12StateObjectProperties* properties = nullptr;
    ASSERT_EQ(rtStateObject->QueryInterface(IID_PPV_ARGS(&properties)), S_OK);
    EXPECT_EQ(std::memcmp(bytes.data(), properties->GetShaderIdentifier(L"RayGeneration"), 32), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 64, properties->GetShaderIdentifier(L"Miss"), 32), 0);
    properties->Release();
    EXPECT_EQ(standin::shaderIdentifierExport(bytes.data()), "RayGeneration");
    EXPECT_EQ(standin::shaderIdentifierExport(bytes.data() + 64), "Miss");
    for (size_t at : {32, 96, 128, 160})
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + at + 32),
                  std::vector<uint8_t>(32, 0))
            << "bytes " << at << " to " << at + 31;
}

TEST_F(RaytracingPipelineTest, AWarningReachesTheDebuggerOutputAndThePipelineIsStillBuilt) {
    TempDirectory directory;
    directory.write(LIBRARY_PATH, "#warning \"the light is a point\"\n" + RAY_GENERATION + MISS);
    createRaytracingRootSignature();
    std::string lines;
    {
        WorkingDirectory inside(directory.path());
        lines = raytracerLines([] { createRaytracingPipeline(); });
    }
    const std::string output = standin::debugOutput();
    EXPECT_NE(output.find("warning"), std::string::npos) << output;
    EXPECT_NE(output.find("the light is a point"), std::string::npos) << output;
    EXPECT_NE(rtStateObject, nullptr);
    ASSERT_NE(shaderTable, nullptr);
    EXPECT_EQ(standin::shaderIdentifierExport(standin::readResource(shaderTable).data() + 64), "Miss");
    EXPECT_TRUE(shadowStageEnabled);
    EXPECT_EQ(lines, "");
}

// A library that cannot be used leaves the objects not made null and switches the stage off with one line;
// nothing reaches the stand-in's validation.
TEST_F(RaytracingPipelineTest, AnUnusableLibrarySwitchesTheStageOffWithOneLine) {
    struct Case {
        const char* name;
        bool written;
        std::string source;
        const char* line;
        const char* debugOutput;
        bool stateObject;
    };
    const Case cases[] = {
        {"missing file", false, "", "\"src/Shaders/Raytracing.hlsl\" could not be read", "", false},
        {"compile error", true, RAY_GENERATION + MISS + "#error \"unfinished\"\n",
         "\"src/Shaders/Raytracing.hlsl\" did not compile into a library", "error: \"unfinished\"", false},
        {"no miss shader", true, RAY_GENERATION, "the ray-tracing library does not export \"Miss\"", "",
         true},
        {"no ray generation", true, MISS, "the ray-tracing library does not export \"RayGeneration\"", "",
         true},
    };
    createRaytracingRootSignature();
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        TempDirectory directory;
        if (each.written)
            directory.write(LIBRARY_PATH, each.source);
        standin::clearDebugOutput();
        shadowStageEnabled = true;
        std::string lines;
        {
            WorkingDirectory inside(directory.path());
            lines = raytracerLines([] { createRaytracingPipeline(); });
        }
        EXPECT_EQ(lines, std::string("Ray-traced shadows are off: ") + each.line + "\n");
        EXPECT_FALSE(shadowStageEnabled);
        EXPECT_NE(standin::debugOutput().find(each.debugOutput), std::string::npos) << standin::debugOutput();
        EXPECT_EQ(rtStateObject != nullptr, each.stateObject);
        EXPECT_EQ(shaderTable, nullptr);
        safeRelease(rtStateObject);
        rtStateObject = nullptr;
    }
}

TEST_F(RaytracingPipelineTest, ARefusedStateObjectSwitchesTheStageOff) {
    createRaytracingRootSignature();
    standin::failCall("CreateStateObject");
    const std::string lines = raytracerLines([] { createRaytracingPipeline(); });
    EXPECT_EQ(lines, "Ray-traced shadows are off: the ray-tracing state object could not be made\n");
    EXPECT_EQ(rtStateObject, nullptr);
    EXPECT_EQ(shaderTable, nullptr);
}

TEST_F(RaytracingPipelineTest, ARefusedShaderTableTakesTheReportingPathWithTheCallsText) {
    createRaytracingRootSignature();
    standin::failCall("CreateCommittedResource");
    EXPECT_EQ(outputOfStop([] { createRaytracingPipeline(); }),
              "Error: device->CreateCommittedResource(&uploadHeapProperties, D3D12_HEAP_FLAG_NONE, "
              "&shaderTableDesc, D3D12_RESOURCE_STATE_GENERIC_READ, nullptr, IID_PPV_ARGS(&shaderTable))\n");
    for (IUnknown* made : std::initializer_list<IUnknown*>{shaderTable, rtStateObject})
        safeRelease(made);
    shaderTable = nullptr;
    rtStateObject = nullptr;
    standin::clearFailures();
    standin::failCall("ID3D12Resource::Map");
    EXPECT_EQ(outputOfStop([] { createRaytracingPipeline(); }),
              "Error: shaderTable->Map(0, nullptr, reinterpret_cast<void**>(&mapped))\n");
}

// The root signature's failures go to the debugger output only; start-up then ends at the denoise pipeline,
// which cannot be made without it.
TEST_F(RaytracingPipelineTest, ARefusedRootSignatureIsWrittenToTheDebuggerOutputAndStopsTheDenoisePipeline) {
    standin::failCall("CreateRootSignature");
    std::string lines = raytracerLines([] {
        createRaytracingRootSignature();
        createRaytracingPipeline();
    });
    EXPECT_EQ(standin::debugOutput(), "Failed to create root signature\n");
    EXPECT_EQ(rtRootSignature, nullptr);
    EXPECT_EQ(rtStateObject, nullptr);
    EXPECT_EQ(lines, "Ray-traced shadows are off: the ray-tracing root signature could not be made\n");
    try {
        createDenoisePipeline();
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "pipeline denoise creation failed");
    }

    // A refused serialisation writes the serialiser's error text as it stands, and nothing when it gives
    // none.
    standin::clearFailures();
    standin::clearDebugOutput();
    standin::refuseNextRootSignatureSerialization("the description is refused");
    createRaytracingRootSignature();
    EXPECT_EQ(rtRootSignature, nullptr);
    EXPECT_EQ(standin::debugOutput(), "Root signature serialization error: the description is refused");
    standin::clearDebugOutput();
    standin::failCall("D3D12SerializeRootSignature");
    createRaytracingRootSignature();
    EXPECT_EQ(rtRootSignature, nullptr);
    EXPECT_EQ(standin::debugOutput(), "");
}

TEST_F(RaytracingPipelineTest, DenoisePipelineRunsTheEmbeddedProgramOnTheSharedRootSignature) {
    createRaytracingRootSignature();
    createDenoisePipeline();
    standin::PipelineInfo info = standin::describePipeline(denoisePipeline);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.kind, standin::PipelineKind::Compute);
    EXPECT_EQ(info.rootSignature, rtRootSignature);
    EXPECT_EQ(info.cs, std::vector<uint8_t>(DenoiseCS, DenoiseCS + DenoiseCSSize));
    EXPECT_EQ(info.nodeMask, 0u);
    EXPECT_EQ(info.flags, D3D12_PIPELINE_STATE_FLAG_NONE);

    safeRelease(denoisePipeline);
    denoisePipeline = nullptr;
    standin::failCall("CreateComputePipelineState");
    try {
        createDenoisePipeline();
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "pipeline denoise creation failed");
    }
    EXPECT_EQ(denoisePipeline, nullptr);
}

TEST_F(RaytracingPipelineTest, TheDenoiseFailureReachesTheEntrysHandler) {
    createRaytracingRootSignature();
    standin::failCall("CreateComputePipelineState");
    testing::internal::CaptureStdout();
    const int exitCode = runProgram({[] {
                                         createDenoisePipeline();
                                         return true;
                                     },
                                     [] { ADD_FAILURE() << "a frame ran"; },
                                     [] { ADD_FAILURE() << "the program shut down"; }});
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(output, "Exception, something went wrong: pipeline denoise creation failed\n");
}

} // namespace
