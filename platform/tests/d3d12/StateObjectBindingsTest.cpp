// Ray-tracing state objects of a real DXIL library: its exports are read from the DXIL (identifiers, export
// lists), and the global root signature must cover the bindings of every export the state object keeps.
#include "d3d12/DxilFixture.h"

using namespace standin;

namespace {

// Compiled as the program compiles its library: a 6.3 library, reflection stripped.
const char LIBRARY[] = R"(
RaytracingAccelerationStructure scene : register(t0);
RWTexture2D<float4> output : register(u0);
struct Constants { float4 origin; };
ConstantBuffer<Constants> constants : register(b1);
struct Payload { float visibility; };

[shader("raygeneration")]
void RayGeneration() {
    RayDesc ray;
    ray.Origin = constants.origin.xyz;
    ray.Direction = float3(0, 0, 1);
    ray.TMin = 0;
    ray.TMax = 1;
    Payload payload;
    payload.visibility = 0;
    TraceRay(scene, RAY_FLAG_NONE, 0xFF, 0, 0, 0, ray, payload);
    output[DispatchRaysIndex().xy] = payload.visibility;
}

[shader("miss")]
void Miss(inout Payload payload) {
    payload.visibility = 1;
}
)";

} // namespace

class StateObjectBindingsTest : public DxilTest {
protected:
    void SetUp() override {
        DxilTest::SetUp();
        if (!IsSkipped())
            library = compile(LIBRARY, L"main", L"lib_6_3", {L"-Qstrip_reflect"});
    }

    // u0 in a table, t0 as a root shader-resource view, b1 as a root constant-buffer view; withScene false
    // leaves t0 out.
    ID3D12RootSignature* globalRootSignature(bool withScene) {
        CD3DX12_DESCRIPTOR_RANGE1 output(D3D12_DESCRIPTOR_RANGE_TYPE_UAV, 1, 0);
        CD3DX12_ROOT_PARAMETER1 parameters[3];
        parameters[0].InitAsDescriptorTable(1, &output);
        parameters[1].InitAsConstantBufferView(1);
        parameters[2].InitAsShaderResourceView(0);
        return rootSignature(withScene ? 3 : 2, parameters, 0, nullptr, D3D12_ROOT_SIGNATURE_FLAG_NONE);
    }

    // exports: the library's export list (none: every export).
    HRESULT create(ID3D12RootSignature* root, std::vector<LPCWSTR> exports, ID3D12StateObject** made) {
        CD3DX12_STATE_OBJECT_DESC desc(D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE);
        auto* subobject = desc.CreateSubobject<CD3DX12_DXIL_LIBRARY_SUBOBJECT>();
        D3D12_SHADER_BYTECODE code{library.data(), library.size()};
        subobject->SetDXILLibrary(&code);
        for (LPCWSTR name : exports)
            subobject->DefineExport(name);
        desc.CreateSubobject<CD3DX12_RAYTRACING_SHADER_CONFIG_SUBOBJECT>()->Config(20, 8);
        desc.CreateSubobject<CD3DX12_GLOBAL_ROOT_SIGNATURE_SUBOBJECT>()->SetRootSignature(root);
        desc.CreateSubobject<CD3DX12_RAYTRACING_PIPELINE_CONFIG_SUBOBJECT>()->Config(2);
        *made = nullptr;
        HRESULT result = device->CreateStateObject(desc, IID_PPV_ARGS(made));
        if (*made)
            keep(*made);
        return result;
    }

    std::vector<uint8_t> library;
};

TEST_F(StateObjectBindingsTest, EveryExportOfTheLibraryGetsAnIdentifierWhenTheRootSignatureCoversIt) {
    ID3D12StateObject* stateObject = nullptr;
    expectOutcome(create(globalRootSignature(true), {}, &stateObject), "");
    ASSERT_NE(stateObject, nullptr);
    ID3D12StateObjectProperties* properties = nullptr;
    ASSERT_EQ(stateObject->QueryInterface(IID_PPV_ARGS(&properties)), S_OK);
    EXPECT_NE(properties->GetShaderIdentifier(L"RayGeneration"), nullptr);
    EXPECT_NE(properties->GetShaderIdentifier(L"Miss"), nullptr);
    EXPECT_EQ(properties->GetShaderIdentifier(L"ClosestHit"), nullptr);
    properties->Release();
}

TEST_F(StateObjectBindingsTest, ARootSignatureMissingABindingOfAKeptExportIsRefused) {
    struct Case {
        const char* what;
        bool withScene;
        std::vector<LPCWSTR> exports;
        const char* finding;
    } cases[] = {
        {"no t0 for the ray-generation shader",
         false,
         {},
         "the raygeneration shader 'RayGeneration' binds t0 space 0 ('scene')"},
        // The miss shader binds nothing, and the ray-generation shader is not part of the state object.
        {"no t0, and only the miss shader kept", false, {L"Miss"}, ""},
        {"an export list naming what the library lacks",
         true,
         {L"RayGeneration", L"ClosestHit"},
         "the library does not export 'ClosestHit'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ID3D12StateObject* stateObject = nullptr;
        expectOutcome(create(globalRootSignature(c.withScene), c.exports, &stateObject), c.finding);
    }
}
