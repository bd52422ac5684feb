#include "renderer/RenderTargets.h"

#include "core/GpuSync.h"
#include "core/Report.h"
#include "core/TextureViews.h"
#include "renderer/DeviceSetup.h"
#include "window/Window.h"

#include <dxguids/dxguids.h>

ID3D12Resource* swapchainBuffers[FRAMES_IN_FLIGHT_COUNT] = {};
D3D12_CPU_DESCRIPTOR_HANDLE swapchainRtvs[FRAMES_IN_FLIGHT_COUNT] = {};
ID3D12Resource* renderTarget = nullptr;
ID3D12Resource* gBuffer0 = nullptr;
ID3D12Resource* gBuffer1 = nullptr;
ID3D12Resource* depthTarget = nullptr;

namespace {

void writeRenderTargetView(ID3D12Resource* resource, DXGI_FORMAT format, D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    D3D12_RENDER_TARGET_VIEW_DESC rtvDesc = {};
    rtvDesc.Format = format;
    rtvDesc.ViewDimension = D3D12_RTV_DIMENSION_TEXTURE2D;
    rtvDesc.Texture2D.MipSlice = 0;
    rtvDesc.Texture2D.PlaneSlice = 0;
    device->CreateRenderTargetView(resource, &rtvDesc, handle);
}

void writeDepthStencilView(ID3D12Resource* resource, D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    D3D12_DEPTH_STENCIL_VIEW_DESC dsvDesc = {};
    dsvDesc.Format = DXGI_FORMAT_D32_FLOAT;
    dsvDesc.ViewDimension = D3D12_DSV_DIMENSION_TEXTURE2D;
    dsvDesc.Flags = D3D12_DSV_FLAG_NONE;
    dsvDesc.Texture2D.MipSlice = 0;
    device->CreateDepthStencilView(resource, &dsvDesc, handle);
}

D3D12_CLEAR_VALUE colourClear(DXGI_FORMAT format) {
    D3D12_CLEAR_VALUE clearValue = {};
    clearValue.Format = format;
    clearValue.Color[0] = 0.0f;
    clearValue.Color[1] = 0.0f;
    clearValue.Color[2] = 0.0f;
    clearValue.Color[3] = 1.0f;
    return clearValue;
}

// One committed texture in the default heap from the shared description, with its own format, flags, state
// and optimised clear value; a refusal is reported with the call's text.
ID3D12Resource* createTarget(D3D12_RESOURCE_DESC resDesc, DXGI_FORMAT format, D3D12_RESOURCE_FLAGS flags,
                             D3D12_RESOURCE_STATES state, const D3D12_CLEAR_VALUE& clearValue,
                             const wchar_t* name, const char* callText) {
    D3D12_HEAP_PROPERTIES heapProperties = {};
    heapProperties.Type = D3D12_HEAP_TYPE_DEFAULT;
    resDesc.Format = format;
    resDesc.Flags = flags;
    ID3D12Resource* target = nullptr;
    CHECK_AS(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, state,
                                             &clearValue, IID_PPV_ARGS(&target)),
             callText);
    target->SetName(name);
    return target;
}

} // namespace

void createRenderTargets(Window* window) {
    for (UINT i = 0; i < FRAMES_IN_FLIGHT_COUNT; ++i) {
        CHECK(swapchain->GetBuffer(i, IID_PPV_ARGS(&swapchainBuffers[i])));
        swapchainBuffers[i]->SetName(L"Swapchain Buffer");
        writeRenderTargetView(swapchainBuffers[i], SWAPCHAIN_FORMAT, swapchainRtvs[i]);
    }

    // One description for the four textures; only the format and the flags change between them.
    D3D12_RESOURCE_DESC resDesc = {};
    resDesc.Dimension = D3D12_RESOURCE_DIMENSION_TEXTURE2D;
    resDesc.Alignment = 0;
    resDesc.Width = window->getWidth();
    resDesc.Height = window->getHeight();
    resDesc.DepthOrArraySize = 1;
    resDesc.MipLevels = 1;
    resDesc.SampleDesc.Count = 1;
    resDesc.SampleDesc.Quality = 0;
    resDesc.Layout = D3D12_TEXTURE_LAYOUT_UNKNOWN;

    // Each target starts in the state a frame expects to find it in when it starts recording.
    renderTarget =
        createTarget(resDesc, DXGI_FORMAT_R16G16B16A16_FLOAT,
                     D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET | D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                     D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE, colourClear(DXGI_FORMAT_R16G16B16A16_FLOAT),
                     L"Render Target",
                     "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, "
                     "D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE, &clearValue, IID_PPV_ARGS(&renderTarget))");
    writeShaderResourceView(renderTarget, DXGI_FORMAT_R16G16B16A16_FLOAT, renderTargetSrv);
    writeUnorderedAccessView(renderTarget, DXGI_FORMAT_R16G16B16A16_FLOAT, renderTargetUav);

    // The G-buffers are used by every frame's barriers and clears, so their creation is checked as well.
    gBuffer0 =
        createTarget(resDesc, DXGI_FORMAT_R32G32B32A32_UINT, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                     D3D12_RESOURCE_STATE_COMMON, colourClear(DXGI_FORMAT_R32G32B32A32_UINT), L"G-Buffer 0",
                     "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, "
                     "D3D12_RESOURCE_STATE_COMMON, &clearValue, IID_PPV_ARGS(&gBuffer0))");
    writeRenderTargetView(gBuffer0, DXGI_FORMAT_R32G32B32A32_UINT, gBuffer0Rtv);
    writeShaderResourceView(gBuffer0, DXGI_FORMAT_R32G32B32A32_UINT, gBuffer0Srv);

    gBuffer1 =
        createTarget(resDesc, DXGI_FORMAT_R32G32_UINT, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                     D3D12_RESOURCE_STATE_COMMON, colourClear(DXGI_FORMAT_R32G32_UINT), L"G-Buffer 1",
                     "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, "
                     "D3D12_RESOURCE_STATE_COMMON, &clearValue, IID_PPV_ARGS(&gBuffer1))");
    writeRenderTargetView(gBuffer1, DXGI_FORMAT_R32G32_UINT, gBuffer1Rtv);
    writeShaderResourceView(gBuffer1, DXGI_FORMAT_R32G32_UINT, gBuffer1Srv);

    // Typeless, so that the depth view (D32_FLOAT) and the shader view (R32_FLOAT) can share it. The clear
    // value 0 is the far end of the reversed depth.
    D3D12_CLEAR_VALUE depth_clear = {};
    depth_clear.Format = DXGI_FORMAT_D32_FLOAT;
    depth_clear.DepthStencil.Depth = 0.0f;
    depth_clear.DepthStencil.Stencil = 0;
    depthTarget =
        createTarget(resDesc, DXGI_FORMAT_R32_TYPELESS, D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL,
                     D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, depth_clear, L"Depth Target",
                     "device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resDesc, "
                     "D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, &depth_clear, "
                     "IID_PPV_ARGS(&depthTarget))");
    writeDepthStencilView(depthTarget, depthTargetDsv);
    writeShaderResourceView(depthTarget, DXGI_FORMAT_R32_FLOAT, depthTargetSrv);
}

void releaseRenderTargets() {
    safeRelease(renderTarget);
    safeRelease(gBuffer0);
    safeRelease(gBuffer1);
    safeRelease(depthTarget);
}
