#include "raytracing/RaytracingPipeline.h"

#include "core/Globals.h"
#include "core/Report.h"

#include <dxguids/dxguids.h>

#include <cstring>
#include <string>

ID3D12RootSignature* rtRootSignature = nullptr;

void createRaytracingRootSignature() {
    D3D12_DESCRIPTOR_RANGE uavRange = {};
    uavRange.RangeType = D3D12_DESCRIPTOR_RANGE_TYPE_UAV;
    uavRange.NumDescriptors = 1;
    uavRange.BaseShaderRegister = 0;
    uavRange.RegisterSpace = 0;
    uavRange.OffsetInDescriptorsFromTableStart = D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND;

    D3D12_DESCRIPTOR_RANGE srvRange = uavRange;
    srvRange.RangeType = D3D12_DESCRIPTOR_RANGE_TYPE_SRV;
    srvRange.BaseShaderRegister = 1;

    D3D12_ROOT_PARAMETER parameters[5] = {};
    for (D3D12_ROOT_PARAMETER& parameter : parameters)
        parameter.ShaderVisibility = D3D12_SHADER_VISIBILITY_ALL;
    parameters[0].ParameterType = D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE;
    parameters[0].DescriptorTable = {1, &uavRange};
    parameters[1].ParameterType = D3D12_ROOT_PARAMETER_TYPE_SRV;
    parameters[1].Descriptor = {0, 0};
    parameters[2].ParameterType = D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS;
    parameters[2].Constants = {0, 0, 3};
    parameters[3].ParameterType = D3D12_ROOT_PARAMETER_TYPE_CBV;
    parameters[3].Descriptor = {1, 0};
    parameters[4].ParameterType = D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE;
    parameters[4].DescriptorTable = {1, &srvRange};

    D3D12_ROOT_SIGNATURE_DESC rootSignatureDesc = {};
    rootSignatureDesc.NumParameters = 5;
    rootSignatureDesc.pParameters = parameters;
    rootSignatureDesc.NumStaticSamplers = 0;
    rootSignatureDesc.pStaticSamplers = nullptr;
    rootSignatureDesc.Flags = D3D12_ROOT_SIGNATURE_FLAG_NONE;

    ID3DBlob* signature = nullptr;
    ID3DBlob* error = nullptr;
    HRESULT serialized =
        D3D12SerializeRootSignature(&rootSignatureDesc, D3D_ROOT_SIGNATURE_VERSION_1, &signature, &error);
    if (failed(serialized) || !signature) {
        // The serialiser's text need not end with a NUL.
        if (error) {
            const char* text = static_cast<const char*>(error->GetBufferPointer());
            std::string message(text ? text : "", text ? strnlen(text, error->GetBufferSize()) : 0);
            OutputDebugStringA(message.c_str());
            error->Release();
        }
        if (signature)
            signature->Release();
        return;
    }
    if (error)
        error->Release();

    HRESULT created = device->CreateRootSignature(0, signature->GetBufferPointer(),
                                                  signature->GetBufferSize(), IID_PPV_ARGS(&rtRootSignature));
    signature->Release();
    if (failed(created)) {
        rtRootSignature = nullptr;
        OutputDebugStringA("Failed to create root signature\n");
    }
}
