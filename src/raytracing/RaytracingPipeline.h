// The objects of the shadow stage that do not depend on the window size: the root signature that the ray
// dispatch and the denoise dispatch share, the ray-tracing state object compiled from
// "src/Shaders/Raytracing.hlsl", its shader table, and the denoise pipeline built from the embedded program.
// Made once at start, in this order, and kept until the process ends.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>
#include <dxgiformat.h>

#include <cstdint>

// Five parameters, every one visible to all stages: 0 a table of one UAV (u0), 1 a root SRV (t0, the
// top-level acceleration structure), 2 three root constants (b0, set by nothing), 3 a root CBV (b1,
// RaytracingConstants), 4 a table of one SRV (t1).
extern ID3D12RootSignature* rtRootSignature;
extern ID3D12StateObject* rtStateObject;
// Upload-heap buffer of shaderRecordCount records of 64 bytes: the identifier of "RayGeneration" at 0, that
// of "Miss" at 64, the null hit-group record at 128; every other byte is 0.
extern ID3D12Resource* shaderTable;
extern ID3D12PipelineState* denoisePipeline;

extern const DXGI_SAMPLE_DESC singleSampleDesc;
extern const uint64_t shaderRecordCount;
extern const D3D12_HEAP_PROPERTIES uploadHeapProperties;

// Bytes of one record of shaderTable: a 32-byte shader identifier and 32 bytes of no local root arguments.
inline constexpr uint64_t SHADER_RECORD_SIZE = 64;

// Serialises (version 1.0) and creates rtRootSignature. A failure is written to the debugger output and
// leaves rtRootSignature null; start-up goes on.
void createRaytracingRootSignature();

// Compiles the library, creates rtStateObject and fills shaderTable. The compiler's error and warning text is
// written to the debugger output. A library that cannot be read or compiled, lacks "RayGeneration" or "Miss",
// or yields no state object switches the shadow stage off (see ShadowStage.h) and leaves the objects that
// were not made null. A refused shader-table creation or map takes the reporting path.
void createRaytracingPipeline();

// The compute pipeline of the embedded "DenoiseCS" program on rtRootSignature; throws std::runtime_error
// "pipeline denoise creation failed" when it cannot be made.
void createDenoisePipeline();
