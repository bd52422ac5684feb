// The shadow textures with their three views, their re-creation on resize, and the per-frame
// RaytracingConstants in both camera modes.
#include "ShadowStageFixture.h"

#include "camera/Camera.h"
#include "camera/FlyThrough.h"

namespace {

using ShadowMapsTest = ShadowStageFixture;

D3D12_CPU_DESCRIPTOR_HANDLE slotHandle(uint32_t slot) {
    return {srvHeap.cpuStart.ptr + SIZE_T(slot) * srvHeap.incrementSize};
}

// Each of the three slots holds its view of the right texture.
void expectViewsOf(ID3D12Resource* shadow, ID3D12Resource* noisy) {
    struct Expected {
        uint32_t slot;
        standin::DescriptorKind kind;
        ID3D12Resource* resource;
        DXGI_FORMAT format;
    };
    const Expected views[] = {
        {5, standin::DescriptorKind::UnorderedAccessView, shadow, DXGI_FORMAT_R8G8B8A8_UNORM},
        {6, standin::DescriptorKind::UnorderedAccessView, noisy, DXGI_FORMAT_R32G32B32A32_FLOAT},
        {7, standin::DescriptorKind::ShaderResourceView, noisy, DXGI_FORMAT_R32G32B32A32_FLOAT},
    };
    for (const Expected& view : views) {
        SCOPED_TRACE(view.slot);
        standin::DescriptorContents contents = standin::descriptorAt(slotHandle(view.slot));
        ASSERT_EQ(contents.kind, view.kind);
        EXPECT_EQ(contents.resource, view.resource);
        EXPECT_TRUE(contents.resourceAlive);
        if (view.kind == standin::DescriptorKind::UnorderedAccessView) {
            EXPECT_EQ(contents.unorderedAccessView.Format, view.format);
            EXPECT_EQ(contents.unorderedAccessView.ViewDimension, D3D12_UAV_DIMENSION_TEXTURE2D);
            EXPECT_EQ(contents.unorderedAccessView.Texture2D.MipSlice, 0u);
            EXPECT_EQ(contents.counterResource, nullptr);
        } else {
            EXPECT_EQ(contents.shaderResourceView.Format, view.format);
            EXPECT_EQ(contents.shaderResourceView.ViewDimension, D3D12_SRV_DIMENSION_TEXTURE2D);
            EXPECT_EQ(contents.shaderResourceView.Texture2D.MostDetailedMip, 0u);
            EXPECT_EQ(contents.shaderResourceView.Texture2D.MipLevels, 1u);
            EXPECT_EQ(contents.shaderResourceView.Shader4ComponentMapping,
                      UINT(D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING));
        }
    }
}

void expectTexture(ID3D12Resource* texture, const char* name, DXGI_FORMAT format, uint32_t width,
                   uint32_t height) {
    SCOPED_TRACE(name);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(standin::resourceName(texture), name);
    D3D12_RESOURCE_DESC desc = texture->GetDesc();
    EXPECT_EQ(desc.Dimension, D3D12_RESOURCE_DIMENSION_TEXTURE2D);
    EXPECT_EQ(desc.Format, format);
    EXPECT_EQ(desc.Width, width);
    EXPECT_EQ(desc.Height, height);
    EXPECT_EQ(desc.DepthOrArraySize, 1u);
    EXPECT_EQ(desc.MipLevels, 1u);
    EXPECT_EQ(desc.SampleDesc.Count, 1u);
    EXPECT_EQ(desc.SampleDesc.Quality, 0u);
    EXPECT_EQ(desc.Layout, D3D12_TEXTURE_LAYOUT_UNKNOWN);
    EXPECT_EQ(desc.Flags, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    D3D12_HEAP_PROPERTIES heap = {};
    texture->GetHeapProperties(&heap, nullptr);
    EXPECT_EQ(heap.Type, D3D12_HEAP_TYPE_DEFAULT);
    EXPECT_EQ(standin::resourceState(texture), D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
}

TEST_F(ShadowMapsTest, TexturesAreMadeAtTheClientSizeWithTheirViewsInSlotsFiveToSeven) {
    const uint32_t index = initShadowMaps(WIDTH, HEIGHT);
    EXPECT_EQ(index, 5u);
    EXPECT_EQ(srvHeap.count, 8u);
    expectTexture(shadowMap, "Shadow Map", DXGI_FORMAT_R8G8B8A8_UNORM, WIDTH, HEIGHT);
    expectTexture(shadowMapNoisy, "Shadow Map Noisy", DXGI_FORMAT_R32G32B32A32_FLOAT, WIDTH, HEIGHT);
    expectViewsOf(shadowMap, shadowMapNoisy);
    EXPECT_EQ(shadowMapUavGpu.ptr, srvHeap.gpuStart.ptr + 5 * srvHeap.incrementSize);
    EXPECT_EQ(shadowMapNoisyUavGpu.ptr, srvHeap.gpuStart.ptr + 6 * srvHeap.incrementSize);
    EXPECT_EQ(shadowMapNoisySrvGpu.ptr, srvHeap.gpuStart.ptr + 7 * srvHeap.incrementSize);
    // The clear's own view of "Shadow Map", outside the shader-visible heap.
    standin::DescriptorContents clearView = standin::descriptorAt(shadowMapClearUav);
    EXPECT_EQ(clearView.kind, standin::DescriptorKind::UnorderedAccessView);
    EXPECT_EQ(clearView.resource, shadowMap);
    EXPECT_FALSE(shadowMapClearHeap.heap->GetDesc().Flags & D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE);
}

TEST_F(ShadowMapsTest, AResizeMakesNewTexturesInTheSameSlots) {
    const uint32_t index = initShadowMaps(WIDTH, HEIGHT);
    const size_t liveBefore = standin::liveObjectCount();
    createShadowMaps(1001, 607);
    EXPECT_EQ(standin::liveObjectCount(), liveBefore) << "the old textures are released";
    EXPECT_EQ(index, 5u);
    EXPECT_EQ(srvHeap.count, 8u) << "no slot is taken";
    expectTexture(shadowMap, "Shadow Map", DXGI_FORMAT_R8G8B8A8_UNORM, 1001, 607);
    expectTexture(shadowMapNoisy, "Shadow Map Noisy", DXGI_FORMAT_R32G32B32A32_FLOAT, 1001, 607);
    expectViewsOf(shadowMap, shadowMapNoisy);
    EXPECT_EQ(standin::descriptorAt(shadowMapClearUav).resource, shadowMap);
}

TEST_F(ShadowMapsTest, ARefusedTextureTakesTheReportingPathWithTheCallsText) {
    initShadowMaps(WIDTH, HEIGHT);
    standin::failCall("CreateCommittedResource");
    EXPECT_EQ(outputOfStop([] { createShadowMaps(640, 480); }),
              "Error: device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &textureDesc, "
              "D3D12_RESOURCE_STATE_UNORDERED_ACCESS, nullptr, IID_PPV_ARGS(&shadowMap))\n");
    standin::failCall("CreateCommittedResource", false, E_OUTOFMEMORY, 1);
    EXPECT_EQ(outputOfStop([] { createShadowMaps(640, 480); }),
              "Error: device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &textureDesc, "
              "D3D12_RESOURCE_STATE_UNORDERED_ACCESS, nullptr, IID_PPV_ARGS(&shadowMapNoisy))\n");
}

class RaytracingConstantsTest : public ShadowStageFixture {
protected:
    void SetUp() override {
        ShadowStageFixture::SetUp();
        createRaytracingConstants();
        frameConstants.lightPosition = {0.0f, 7.5f, 0.0f};
        for (int i = 0; i < 16; ++i)
            frameConstants.inverseViewProjection.m[i] = float(i) * 0.5f - 3.0f;
        flyThrough.position = {3.0f, 4.0f, -5.0f};
        flyThrough.direction = {0.0f, -2.0f, 6.0f};
    }

    // The slot of the current frame, as the GPU reads it.
    std::vector<uint8_t> slotBytes() const {
        std::vector<uint8_t> bytes(256);
        EXPECT_TRUE(standin::readGpuMemory(getConstantBufferAddress(rtConstantsBuffer), bytes.data(), 256));
        return bytes;
    }

    static RaytracingConstants recordOf(const std::vector<uint8_t>& bytes) {
        RaytracingConstants record;
        std::memcpy(&record, bytes.data(), sizeof record);
        return record;
    }

    static void expectVec3(const Vec3& actual, const Vec3& expected) {
        EXPECT_FLOAT_EQ(actual.x, expected.x);
        EXPECT_FLOAT_EQ(actual.y, expected.y);
        EXPECT_FLOAT_EQ(actual.z, expected.z);
    }

    Camera camera;
    FlyThrough flyThrough;
    FrameConstants frameConstants = {};
};

TEST_F(RaytracingConstantsTest, OneRecordOf160BytesPerFrameSlot) {
    D3D12_RESOURCE_DESC desc = rtConstantsBuffer.resource->GetDesc();
    EXPECT_EQ(desc.Width, 512u);
    EXPECT_EQ(rtConstantsBuffer.alignedSize, 256u);
    EXPECT_EQ(rtConstantsBuffer.count, 1u);
    for (uint32_t slot : {0u, 1u}) {
        frameIndex = slot;
        updateRaytracingConstants(camera, flyThrough, false, frameConstants);
        EXPECT_EQ(getConstantBufferAddress(rtConstantsBuffer),
                  rtConstantsBuffer.resource->GetGPUVirtualAddress() + 256 * slot);
    }
    frameIndex = 0;
}

TEST_F(RaytracingConstantsTest, TheFreeCameraGivesEveryCameraField) {
    updateRaytracingConstants(camera, flyThrough, false, frameConstants);
    const RaytracingConstants record = recordOf(slotBytes());
    expectVec3(record.cameraPosition, {-10.621512f, 5.761714f, 4.313231f});
    EXPECT_FLOAT_EQ(record.fov, 45.0f);
    expectVec3(record.cameraDirection, {1.0f, 0.0f, 1.0f});
    expectVec3(record.cameraUp, {0.0f, 1.0f, 0.0f});
    expectVec3(record.cameraRight, {0.7071068f, 0.0f, -0.7071068f});
    expectVec3(record.lightPosition, {0.0f, 7.5f, 0.0f});
    EXPECT_FLOAT_EQ(record.param0, 0.2f);
    EXPECT_EQ(record.param1, 0.0f);
    EXPECT_EQ(std::memcmp(&record.inverseViewProjection, &frameConstants.inverseViewProjection, 64), 0);
}

TEST_F(RaytracingConstantsTest, TheFlyThroughGivesOnlyThePositionAndDirection) {
    camera.front = {0.0f, 0.5f, -2.0f};
    camera.fov = 60.0f;
    camera.up = {0.0f, 0.0f, 1.0f}; // never so in the program, but it shows where the field comes from
    updateRaytracingConstants(camera, flyThrough, true, frameConstants);
    const RaytracingConstants record = recordOf(slotBytes());
    expectVec3(record.cameraPosition, {3.0f, 4.0f, -5.0f});
    expectVec3(record.cameraDirection, {0.0f, -2.0f, 6.0f});
    EXPECT_FLOAT_EQ(record.fov, 60.0f);
    expectVec3(record.cameraUp, {0.0f, 0.0f, 1.0f});
    // From the free camera's front (0, 0.5, -2): (front.z, 0, -front.x) made unit.
    expectVec3(record.cameraRight, {-1.0f, 0.0f, 0.0f});
}

// Whatever the slot held before, the padding words and the rest of the slot read 0.
TEST_F(RaytracingConstantsTest, PaddingAndTheRestOfTheSlotAreZero) {
    std::memset(rtConstantsBuffer.mapped, 0xAB, 160);
    updateRaytracingConstants(camera, flyThrough, false, frameConstants);
    const std::vector<uint8_t> bytes = slotBytes();
    for (size_t offset : {28, 44, 60, 76, 88, 92}) {
        uint32_t word;
        std::memcpy(&word, bytes.data() + offset, 4);
        EXPECT_EQ(word, 0u) << "offset " << offset;
    }
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 160, bytes.end()), std::vector<uint8_t>(96, 0));
}

} // namespace
