// Resource-state validation: barriers against the tracked state, the states of render targets, depth targets
// and copies, and the implicit promotion and decay of buffers and COMMON textures.
#include "d3d12/GpuFixture.h"

#include <cstring>

using namespace standin;

namespace {

D3D12_RESOURCE_BARRIER transition(ID3D12Resource* resource, D3D12_RESOURCE_STATES before,
                                  D3D12_RESOURCE_STATES after) {
    return CD3DX12_RESOURCE_BARRIER::Transition(resource, before, after);
}

} // namespace

class StateTest : public GpuTest {
protected:
    ID3D12DescriptorHeap* rtvHeap = nullptr;
    ID3D12DescriptorHeap* dsvHeap = nullptr;

    void SetUp() override {
        GpuTest::SetUp();
        rtvHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 4, false);
        dsvHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_DSV, 4, false);
    }

    D3D12_CPU_DESCRIPTOR_HANDLE renderTarget(ID3D12Resource* resource) {
        D3D12_CPU_DESCRIPTOR_HANDLE handle = rtvHeap->GetCPUDescriptorHandleForHeapStart();
        device->CreateRenderTargetView(resource, nullptr, handle);
        return handle;
    }

    D3D12_CPU_DESCRIPTOR_HANDLE depthTarget(ID3D12Resource* resource) {
        D3D12_CPU_DESCRIPTOR_HANDLE handle = dsvHeap->GetCPUDescriptorHandleForHeapStart();
        D3D12_DEPTH_STENCIL_VIEW_DESC desc{
            DXGI_FORMAT_D32_FLOAT, D3D12_DSV_DIMENSION_TEXTURE2D, D3D12_DSV_FLAG_NONE, {}};
        device->CreateDepthStencilView(resource, &desc, handle);
        return handle;
    }
};

TEST_F(StateTest, BarrierBeforeStateMustMatchTheTrackedState) {
    ID3D12Resource* target =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    begin();
    D3D12_RESOURCE_BARRIER right =
        transition(target, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_RENDER_TARGET);
    list->ResourceBarrier(1, &right);
    submit();
    EXPECT_EQ(errors(), 0u);
    EXPECT_EQ(resourceState(target), D3D12_RESOURCE_STATE_RENDER_TARGET);

    begin();
    D3D12_RESOURCE_BARRIER wrong =
        transition(target, D3D12_RESOURCE_STATE_COMMON, D3D12_RESOURCE_STATE_COPY_DEST);
    list->ResourceBarrier(1, &wrong);
    submit();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("does not match its tracked state RENDER_TARGET"),
              std::string::npos);
}

TEST_F(StateTest, TrackedStateCarriesAcrossSubmissionsInOrder) {
    ID3D12Resource* target =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    ID3D12CommandAllocator* secondAllocator = nullptr;
    ID3D12GraphicsCommandList6* second = nullptr;
    ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&secondAllocator)),
              S_OK);
    keep(secondAllocator);
    ASSERT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, secondAllocator, nullptr,
                                        IID_PPV_ARGS(&second)),
              S_OK);
    keep(second);
    // Both lists are recorded before either is submitted; the second relies on the first's barrier.
    begin();
    D3D12_RESOURCE_BARRIER there =
        transition(target, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_RENDER_TARGET);
    list->ResourceBarrier(1, &there);
    const float black[4] = {0, 0, 0, 1};
    second->ClearRenderTargetView(renderTarget(target), black, 0, nullptr);
    D3D12_RESOURCE_BARRIER back =
        transition(target, D3D12_RESOURCE_STATE_RENDER_TARGET, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    second->ResourceBarrier(1, &back);
    ASSERT_EQ(list->Close(), S_OK);
    ASSERT_EQ(second->Close(), S_OK);
    ID3D12CommandList* first[] = {list};
    ID3D12CommandList* then[] = {second};
    queue->ExecuteCommandLists(1, first);
    queue->ExecuteCommandLists(1, then);
    waitForQueue();
    EXPECT_EQ(errors(), 0u);
    EXPECT_EQ(resourceState(target), D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
}

TEST_F(StateTest, BuffersPromoteFromCommonAndDecayAfterExecution) {
    ID3D12Resource* upload = buffer(D3D12_HEAP_TYPE_UPLOAD, 256, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12Resource* target = buffer(D3D12_HEAP_TYPE_DEFAULT, 256, D3D12_RESOURCE_STATE_COMMON);
    begin();
    list->CopyBufferRegion(target, 0, upload, 0, 256);
    D3D12_RESOURCE_BARRIER toRead = transition(target, D3D12_RESOURCE_STATE_COPY_DEST,
                                               D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE |
                                                   D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    list->ResourceBarrier(1, &toRead);
    submit();
    EXPECT_EQ(errors(), 0u);
    EXPECT_EQ(resourceState(target), D3D12_RESOURCE_STATE_COMMON);
    EXPECT_EQ(resourceState(upload), D3D12_RESOURCE_STATE_GENERIC_READ);
}

TEST_F(StateTest, TexturesPromoteOnlyToShaderReadAndCopyStates) {
    ID3D12Resource* upload = buffer(D3D12_HEAP_TYPE_UPLOAD, 64 * 1024, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12Resource* written =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, D3D12_RESOURCE_FLAG_NONE, D3D12_RESOURCE_STATE_COMMON);
    ID3D12Resource* read =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, D3D12_RESOURCE_FLAG_NONE, D3D12_RESOURCE_STATE_COMMON);
    ID3D12Resource* drawn = texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1,
                                    D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET, D3D12_RESOURCE_STATE_COMMON);
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    D3D12_RESOURCE_DESC desc = written->GetDesc();
    device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, nullptr, nullptr, nullptr);
    begin();
    CD3DX12_TEXTURE_COPY_LOCATION from(upload, footprint), into(written, 0), source(read, 0);
    list->CopyTextureRegion(&into, 0, 0, 0, &from, nullptr); // COMMON -> COPY_DEST, a write: stays
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT readback = footprint;
    ID3D12Resource* back = buffer(D3D12_HEAP_TYPE_READBACK, 64 * 1024, D3D12_RESOURCE_STATE_COPY_DEST);
    CD3DX12_TEXTURE_COPY_LOCATION out(back, readback);
    list->CopyTextureRegion(&out, 0, 0, 0, &source, nullptr); // COMMON -> COPY_SOURCE, a read: decays
    submit();
    EXPECT_EQ(errors(), 0u);
    EXPECT_EQ(resourceState(written), D3D12_RESOURCE_STATE_COPY_DEST);
    EXPECT_EQ(resourceState(read), D3D12_RESOURCE_STATE_COMMON);

    begin();
    const float black[4] = {0, 0, 0, 1};
    list->ClearRenderTargetView(renderTarget(drawn), black, 0, nullptr); // no promotion to RENDER_TARGET
    submit();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("must be in RENDER_TARGET"), std::string::npos);
}

TEST_F(StateTest, RenderAndDepthTargetsMustBeInTheirStates) {
    ID3D12Resource* color =
        texture(DXGI_FORMAT_R16G16B16A16_FLOAT, 4, 4, 1, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    ID3D12Resource* depth =
        texture(DXGI_FORMAT_R32_TYPELESS, 4, 4, 1, D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL,
                D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    D3D12_CPU_DESCRIPTOR_HANDLE rtv = renderTarget(color), dsv = depthTarget(depth);
    const float clear[4] = {0.5f, 0.25f, 1.0f, 1.0f};

    begin();
    list->ClearRenderTargetView(rtv, clear, 0, nullptr);
    list->ClearDepthStencilView(dsv, D3D12_CLEAR_FLAG_DEPTH, 1.0f, 0, 0, nullptr);
    submit();
    EXPECT_EQ(errors(), 2u);

    clearValidationErrors();
    begin();
    D3D12_RESOURCE_BARRIER in[] = {
        transition(color, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_RENDER_TARGET),
        transition(depth, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_DEPTH_WRITE)};
    list->ResourceBarrier(2, in);
    list->ClearRenderTargetView(rtv, clear, 0, nullptr);
    list->ClearDepthStencilView(dsv, D3D12_CLEAR_FLAG_DEPTH, 0.75f, 0, 0, nullptr);
    D3D12_RESOURCE_BARRIER out[] = {
        transition(color, D3D12_RESOURCE_STATE_RENDER_TARGET, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE),
        transition(depth, D3D12_RESOURCE_STATE_DEPTH_WRITE, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE)};
    list->ResourceBarrier(2, out);
    submit();
    EXPECT_EQ(errors(), 0u);
    // The clears reached host memory in each target's format.
    std::vector<uint8_t> depthBytes = readResource(depth);
    float stored = 0;
    std::memcpy(&stored, depthBytes.data() + 4 * 5, 4);
    EXPECT_EQ(stored, 0.75f);
    std::vector<uint8_t> colorBytes = readResource(color);
    uint16_t half = 0;
    std::memcpy(&half, colorBytes.data() + 8 * 3 + 2, 2);
    EXPECT_EQ(half, 0x3400); // 0.25 as a half float
}

TEST_F(StateTest, CopiesNeedCopyStates) {
    ID3D12Resource* upload = buffer(D3D12_HEAP_TYPE_UPLOAD, 64 * 1024, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12Resource* shaderRead = texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, D3D12_RESOURCE_FLAG_NONE,
                                         D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    ID3D12Resource* other = buffer(D3D12_HEAP_TYPE_DEFAULT, 256, D3D12_RESOURCE_STATE_COMMON);
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    D3D12_RESOURCE_DESC desc = shaderRead->GetDesc();
    device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, nullptr, nullptr, nullptr);
    begin();
    CD3DX12_TEXTURE_COPY_LOCATION from(upload, footprint), into(shaderRead, 0);
    list->CopyTextureRegion(&into, 0, 0, 0, &from, nullptr);
    list->CopyBufferRegion(upload, 0, other, 0, 16); // an upload buffer cannot be a destination
    submit();
    ASSERT_EQ(errors(), 2u);
    EXPECT_NE(validationErrors()[0].find("must be in COPY_DEST"), std::string::npos);
    EXPECT_NE(validationErrors()[1].find("GENERIC_READ but must be in COPY_DEST"), std::string::npos);
}

// Write states stand alone, and a state must be one the resource was created to allow; the debug layer
// rejects both in a barrier and as an initial state.
TEST_F(StateTest, StatesThatTheResourceCannotTakeAreReported) {
    ID3D12Resource* plain = texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, D3D12_RESOURCE_FLAG_NONE,
                                    D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    ID3D12Resource* target =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    struct Case {
        ID3D12Resource* resource;
        D3D12_RESOURCE_STATES after;
        const char* text;
    };
    const Case cases[] = {
        {target, D3D12_RESOURCE_STATE_RENDER_TARGET | D3D12_RESOURCE_STATE_COPY_SOURCE, "combines"},
        {target, D3D12_RESOURCE_STATE_UNORDERED_ACCESS, "ALLOW_UNORDERED_ACCESS"},
        {plain, D3D12_RESOURCE_STATE_RENDER_TARGET, "ALLOW_RENDER_TARGET"},
        {plain, D3D12_RESOURCE_STATE_DEPTH_READ, "ALLOW_DEPTH_STENCIL"},
    };
    for (const Case& c : cases) {
        size_t before = errors();
        begin();
        D3D12_RESOURCE_BARRIER barrier =
            transition(c.resource, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE, c.after);
        list->ResourceBarrier(1, &barrier);
        ASSERT_EQ(list->Close(), S_OK);
        ASSERT_EQ(errors(), before + 1) << c.text;
        EXPECT_NE(validationErrors().back().find(c.text), std::string::npos) << validationErrors().back();
    }
    // A combination of read states is fine.
    begin();
    D3D12_RESOURCE_BARRIER reads = transition(target, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE,
                                              D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE |
                                                  D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    list->ResourceBarrier(1, &reads);
    size_t before = errors();
    submit();
    EXPECT_EQ(errors(), before);

    CD3DX12_HEAP_PROPERTIES heapProperties(D3D12_HEAP_TYPE_DEFAULT);
    CD3DX12_RESOURCE_DESC desc =
        CD3DX12_RESOURCE_DESC::Buffer(256, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    ID3D12Resource* resource = nullptr;
    EXPECT_EQ(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &desc,
                                              D3D12_RESOURCE_STATE_UNORDERED_ACCESS |
                                                  D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
                                              nullptr, IID_PPV_ARGS(&resource)),
              E_INVALIDARG);
}
