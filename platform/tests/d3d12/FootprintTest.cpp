// Placed footprints with the platform's alignment, and d3dx12's UpdateSubresources through them.
#include "d3d12/GpuFixture.h"

using namespace standin;

namespace {

struct Expected {
    UINT64 offset;
    UINT rowPitch, numRows;
    UINT64 rowSize;
    UINT width, height;
};

struct FootprintCase {
    DXGI_FORMAT format;
    UINT width, height;
    UINT16 mips;
    std::vector<Expected> subresources;
    UINT64 total;
};

} // namespace

TEST_F(GpuTest, FootprintsFollowThePlatformAlignment) {
    const FootprintCase cases[] = {
        // Plain format: rows on 256 bytes, subresources on 512 bytes.
        {DXGI_FORMAT_R8G8B8A8_UNORM,
         13,
         7,
         4,
         {{0, 256, 7, 52, 13, 7},
          {2048, 256, 3, 24, 6, 3},
          {3072, 256, 1, 12, 3, 1},
          {3584, 256, 1, 4, 1, 1}},
         3588},
        // Block-compressed: rows of 4x4 blocks, sizes rounded up to whole blocks, never below one block.
        {DXGI_FORMAT_BC1_UNORM,
         13,
         7,
         4,
         {{0, 256, 2, 32, 16, 8}, {512, 256, 1, 16, 8, 4}, {1024, 256, 1, 8, 4, 4}, {1536, 256, 1, 8, 4, 4}},
         1544},
        {DXGI_FORMAT_BC5_UNORM,
         64,
         64,
         2,
         {{0, 256, 16, 256, 64, 64}, {4096, 256, 8, 128, 32, 32}},
         4096 + 256 * 7 + 128},
    };
    for (const FootprintCase& c : cases) {
        CD3DX12_RESOURCE_DESC desc = CD3DX12_RESOURCE_DESC::Tex2D(c.format, c.width, c.height, 1, c.mips);
        std::vector<D3D12_PLACED_SUBRESOURCE_FOOTPRINT> layouts(c.mips);
        std::vector<UINT> rows(c.mips);
        std::vector<UINT64> rowSizes(c.mips);
        UINT64 total = 0;
        device->GetCopyableFootprints(&desc, 0, c.mips, 0, layouts.data(), rows.data(), rowSizes.data(),
                                      &total);
        for (UINT i = 0; i < c.mips; ++i) {
            SCOPED_TRACE(testing::Message() << "format " << c.format << " subresource " << i);
            EXPECT_EQ(layouts[i].Offset, c.subresources[i].offset);
            EXPECT_EQ(layouts[i].Footprint.RowPitch, c.subresources[i].rowPitch);
            EXPECT_EQ(layouts[i].Footprint.Width, c.subresources[i].width);
            EXPECT_EQ(layouts[i].Footprint.Height, c.subresources[i].height);
            EXPECT_EQ(layouts[i].Footprint.Format, c.format);
            EXPECT_EQ(rows[i], c.subresources[i].numRows);
            EXPECT_EQ(rowSizes[i], c.subresources[i].rowSize);
        }
        EXPECT_EQ(total, c.total);
    }
    // A buffer's footprint is its width; subresources past the end mark every output invalid.
    CD3DX12_RESOURCE_DESC bufferDesc = CD3DX12_RESOURCE_DESC::Buffer(1000);
    UINT64 total = 0;
    device->GetCopyableFootprints(&bufferDesc, 0, 1, 0, nullptr, nullptr, nullptr, &total);
    EXPECT_EQ(total, 1000u);
    CD3DX12_RESOURCE_DESC small = CD3DX12_RESOURCE_DESC::Tex2D(DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4, 1, 1);
    device->GetCopyableFootprints(&small, 0, 2, 0, nullptr, nullptr, nullptr, &total);
    EXPECT_EQ(total, ~0ull);
}

TEST_F(GpuTest, UpdateSubresourcesUploadsEveryMipLevel) {
    struct Texture {
        DXGI_FORMAT format;
        UINT width, height;
        UINT16 mips;
        UINT blockBytes, blockSize;
    };
    for (const Texture& t :
         {Texture{DXGI_FORMAT_BC1_UNORM, 16, 12, 5, 8, 4}, Texture{DXGI_FORMAT_BC7_UNORM, 8, 8, 4, 16, 4},
          Texture{DXGI_FORMAT_R8G8B8A8_UNORM, 13, 7, 4, 4, 1}}) {
        SCOPED_TRACE(testing::Message() << "format " << t.format);
        ID3D12Resource* target = texture(t.format, t.width, t.height, t.mips, D3D12_RESOURCE_FLAG_NONE,
                                         D3D12_RESOURCE_STATE_COMMON);
        // Tightly packed source rows, as a DDS file stores them.
        std::vector<std::vector<uint8_t>> levels(t.mips);
        std::vector<D3D12_SUBRESOURCE_DATA> data(t.mips);
        for (UINT i = 0; i < t.mips; ++i) {
            UINT w = std::max(1u, t.width >> i), h = std::max(1u, t.height >> i);
            UINT rowBytes = (w + t.blockSize - 1) / t.blockSize * t.blockBytes;
            UINT rows = (h + t.blockSize - 1) / t.blockSize;
            levels[i].resize(size_t(rowBytes) * rows);
            for (size_t b = 0; b < levels[i].size(); ++b)
                levels[i][b] = uint8_t(b * 13 + i * 31 + 1);
            data[i] = {levels[i].data(), LONG_PTR(rowBytes), LONG_PTR(levels[i].size())};
        }
        UINT64 size = GetRequiredIntermediateSize(target, 0, t.mips);
        ASSERT_GT(size, 0u);
        ID3D12Resource* upload = buffer(D3D12_HEAP_TYPE_UPLOAD, size, D3D12_RESOURCE_STATE_GENERIC_READ);
        begin();
        ASSERT_EQ(UpdateSubresources(list, target, upload, 0, 0, t.mips, data.data()), size);
        D3D12_RESOURCE_BARRIER barrier = CD3DX12_RESOURCE_BARRIER::Transition(
            target, D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
        list->ResourceBarrier(1, &barrier);
        submit();
        for (UINT i = 0; i < t.mips; ++i) {
            EXPECT_EQ(readResource(target, i), levels[i]) << "mip " << i;
            EXPECT_EQ(resourceState(target, i), D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
        }
        EXPECT_EQ(errors(), 0u);
    }
}
