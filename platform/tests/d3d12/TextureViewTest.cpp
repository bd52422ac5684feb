// Shader-resource views of 2D textures and 2D texture arrays, and uploads into every slice of an array.
#include "d3d12/GpuFixture.h"

using namespace standin;

namespace {

D3D12_SHADER_RESOURCE_VIEW_DESC view2D(DXGI_FORMAT format, UINT mostDetailedMip, UINT mipLevels) {
    D3D12_SHADER_RESOURCE_VIEW_DESC desc{};
    desc.Format = format;
    desc.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2D;
    desc.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    desc.Texture2D.MostDetailedMip = mostDetailedMip;
    desc.Texture2D.MipLevels = mipLevels;
    return desc;
}

D3D12_SHADER_RESOURCE_VIEW_DESC viewArray(DXGI_FORMAT format, UINT mipLevels, UINT first, UINT count) {
    D3D12_SHADER_RESOURCE_VIEW_DESC desc{};
    desc.Format = format;
    desc.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2DARRAY;
    desc.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    desc.Texture2DArray.MipLevels = mipLevels;
    desc.Texture2DArray.FirstArraySlice = first;
    desc.Texture2DArray.ArraySize = count;
    return desc;
}

} // namespace

class TextureViewTest : public GpuTest {
public: // the cases name the textures by member pointer
    ID3D12DescriptorHeap* views = nullptr;
    ID3D12Resource* single = nullptr; // BC7, 16 x 16, full chain of 5 levels
    ID3D12Resource* array = nullptr;  // R8G8B8A8, 8 x 8, 4 levels, 3 slices
    ID3D12Resource* depth = nullptr;  // R32_TYPELESS

    void SetUp() override {
        GpuTest::SetUp();
        views = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 4, true);
        single =
            texture(DXGI_FORMAT_BC7_UNORM, 16, 16, 5, D3D12_RESOURCE_FLAG_NONE, D3D12_RESOURCE_STATE_COMMON);
        array = texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 4, D3D12_RESOURCE_FLAG_NONE,
                        D3D12_RESOURCE_STATE_COMMON, 3);
        depth = texture(DXGI_FORMAT_R32_TYPELESS, 8, 8, 1, D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL,
                        D3D12_RESOURCE_STATE_DEPTH_WRITE);
    }

protected:
    D3D12_CPU_DESCRIPTOR_HANDLE slot(UINT i) {
        return {views->GetCPUDescriptorHandleForHeapStart().ptr + i * 32};
    }
};

TEST_F(TextureViewTest, ViewsWithinTheTextureAreWrittenSilently) {
    struct Case {
        ID3D12Resource* TextureViewTest::*texture;
        D3D12_SHADER_RESOURCE_VIEW_DESC desc;
    } cases[] = {
        {&TextureViewTest::single, view2D(DXGI_FORMAT_BC7_UNORM, 0, 5)},
        {&TextureViewTest::single, view2D(DXGI_FORMAT_BC7_UNORM_SRGB, 2, UINT(-1))},
        {&TextureViewTest::array, viewArray(DXGI_FORMAT_R8G8B8A8_UNORM, 4, 0, 3)},
        {&TextureViewTest::array, viewArray(DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, 2, 1, 2)},
        {&TextureViewTest::array, view2D(DXGI_FORMAT_R8G8B8A8_UNORM, 0, 4)},
        {&TextureViewTest::depth, view2D(DXGI_FORMAT_R32_FLOAT, 0, 1)},
    };
    for (const Case& c : cases) {
        device->CreateShaderResourceView(this->*c.texture, &c.desc, slot(0));
        DescriptorContents written = descriptorAt(slot(0));
        EXPECT_EQ(written.kind, DescriptorKind::ShaderResourceView);
        EXPECT_EQ(written.resource, this->*c.texture);
        EXPECT_EQ(written.shaderResourceView.ViewDimension, c.desc.ViewDimension);
    }
    EXPECT_EQ(errors(), 0u);
}

TEST_F(TextureViewTest, ViewsOutsideTheTextureAreReported) {
    struct Case {
        const char* name;
        ID3D12Resource* TextureViewTest::*texture;
        D3D12_SHADER_RESOURCE_VIEW_DESC desc;
        const char* finding;
    } cases[] = {
        {"a format of another size", &TextureViewTest::single, view2D(DXGI_FORMAT_BC1_UNORM, 0, 5),
         "does not fit the texture's format"},
        {"no format", &TextureViewTest::array, viewArray(DXGI_FORMAT_UNKNOWN, 4, 0, 3),
         "does not fit the texture's format"},
        {"a first mip past the chain", &TextureViewTest::single, view2D(DXGI_FORMAT_BC7_UNORM, 5, 1),
         "MostDetailedMip is past"},
        {"more mips than the chain", &TextureViewTest::single, view2D(DXGI_FORMAT_BC7_UNORM, 1, 5),
         "reaches past the texture's mip levels"},
        {"no mip", &TextureViewTest::array, viewArray(DXGI_FORMAT_R8G8B8A8_UNORM, 0, 0, 3), "MipLevels is 0"},
        {"slices past the array", &TextureViewTest::array, viewArray(DXGI_FORMAT_R8G8B8A8_UNORM, 4, 1, 3),
         "reach past the texture's array size"},
        {"no slice", &TextureViewTest::array, viewArray(DXGI_FORMAT_R8G8B8A8_UNORM, 4, 0, 0),
         "array slices are none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearValidationErrors();
        device->CreateShaderResourceView(this->*c.texture, &c.desc, slot(1));
        ASSERT_EQ(errors(), 1u);
        EXPECT_NE(validationErrors()[0].find(c.finding), std::string::npos) << validationErrors()[0];
        EXPECT_EQ(descriptorAt(slot(1)).kind, DescriptorKind::Empty) << "a refused view is not written";
    }
    // A 2D view of a buffer, and of a texture that is not 2D.
    clearValidationErrors();
    ID3D12Resource* plain = buffer(D3D12_HEAP_TYPE_DEFAULT, 256, D3D12_RESOURCE_STATE_COMMON);
    D3D12_SHADER_RESOURCE_VIEW_DESC desc = view2D(DXGI_FORMAT_R8G8B8A8_UNORM, 0, 1);
    device->CreateShaderResourceView(plain, &desc, slot(2));
    CD3DX12_HEAP_PROPERTIES properties(D3D12_HEAP_TYPE_DEFAULT);
    CD3DX12_RESOURCE_DESC volumeDesc = CD3DX12_RESOURCE_DESC::Tex3D(DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4, 4, 1);
    ID3D12Resource* volume = nullptr;
    ASSERT_EQ(device->CreateCommittedResource(&properties, D3D12_HEAP_FLAG_NONE, &volumeDesc,
                                              D3D12_RESOURCE_STATE_COMMON, nullptr, IID_PPV_ARGS(&volume)),
              S_OK);
    keep(volume);
    device->CreateShaderResourceView(volume, &desc, slot(2));
    ASSERT_EQ(errors(), 2u);
    EXPECT_NE(validationErrors()[0].find("a texture view of a buffer"), std::string::npos);
    EXPECT_NE(validationErrors()[1].find("a 2D view of a texture that is not 2D"), std::string::npos);
}

TEST_F(TextureViewTest, UpdateSubresourcesFillsEverySliceAndLevelInSubresourceOrder) {
    const UINT mips = 4, slices = 3;
    std::vector<std::vector<uint8_t>> texels;
    std::vector<D3D12_SUBRESOURCE_DATA> data;
    for (UINT slice = 0; slice < slices; ++slice)
        for (UINT mip = 0; mip < mips; ++mip) {
            UINT side = 8 >> mip;
            std::vector<uint8_t> level(size_t(side) * side * 4);
            for (size_t b = 0; b < level.size(); ++b)
                level[b] = uint8_t(slice * 64 + mip * 16 + b);
            texels.push_back(level);
        }
    for (UINT i = 0; i < slices * mips; ++i) {
        UINT side = 8 >> (i % mips);
        data.push_back({texels[i].data(), LONG_PTR(side * 4), LONG_PTR(texels[i].size())});
    }
    UINT64 size = GetRequiredIntermediateSize(array, 0, slices * mips);
    ID3D12Resource* upload = buffer(D3D12_HEAP_TYPE_UPLOAD, size, D3D12_RESOURCE_STATE_GENERIC_READ);
    begin();
    ASSERT_EQ(UpdateSubresources(list, array, upload, 0, 0, slices * mips, data.data()), size);
    D3D12_RESOURCE_BARRIER barrier = CD3DX12_RESOURCE_BARRIER::Transition(
        array, D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    list->ResourceBarrier(1, &barrier);
    submit();
    for (UINT i = 0; i < slices * mips; ++i) {
        EXPECT_EQ(readResource(array, i), texels[i]) << "subresource " << i;
        EXPECT_EQ(resourceState(array, i), D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    }
    EXPECT_EQ(errors(), 0u);
}
