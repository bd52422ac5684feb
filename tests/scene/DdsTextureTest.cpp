// Loading DDS files into textures on the stand-in GPU: every level and slice uploaded, the view, the one
// srvHeap slot, and the files that stop the program.
#include "scene/DdsTexture.h"
#include "scene/DdsFile.h"

#include "core/GpuFixture.h"
#include "support/DdsBuilder.h"
#include "support/GltfBuilder.h"

#include <standin/Gpu.h>

using namespace fixture;

class DdsTextureTest : public GpuFixture {
protected:
    TempFolder folder{"dds"};
};

TEST_F(DdsTextureTest, EveryLevelAndSliceIsUploadedAndViewed) {
    struct Case {
        const char* name;
        DdsDescription d;
        DXGI_FORMAT format;
        D3D12_SRV_DIMENSION view;
    };
    auto description = [](uint32_t format, uint32_t width, uint32_t height, uint32_t mips, uint32_t slices,
                          bool dx10 = true) {
        DdsDescription d;
        d.format = format;
        d.width = width;
        d.height = height;
        d.mipCount = mips;
        d.arraySize = slices;
        d.dx10 = dx10;
        return d;
    };
    const Case cases[] = {
        {"BC1 with its full chain", description(71, 8, 8, 4, 1), DXGI_FORMAT_BC1_UNORM,
         D3D12_SRV_DIMENSION_TEXTURE2D},
        {"plain texels of odd widths", description(28, 5, 3, 3, 1), DXGI_FORMAT_R8G8B8A8_UNORM,
         D3D12_SRV_DIMENSION_TEXTURE2D},
        {"one-byte texels", description(61, 7, 2, 3, 1), DXGI_FORMAT_R8_UNORM, D3D12_SRV_DIMENSION_TEXTURE2D},
        {"a BC7 array", description(98, 4, 4, 3, 2), DXGI_FORMAT_BC7_UNORM,
         D3D12_SRV_DIMENSION_TEXTURE2DARRAY},
        {"a legacy header", description(0, 8, 8, 1, 1, false), DXGI_FORMAT_BC5_UNORM,
         D3D12_SRV_DIMENSION_TEXTURE2D},
        {"a stored mip count of 0", description(28, 4, 4, 0, 1), DXGI_FORMAT_R8G8B8A8_UNORM,
         D3D12_SRV_DIMENSION_TEXTURE2D},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.write(std::string(c.name) + ".dds", ddsFile(c.d));
        const uint32_t slotBefore = srvHeap.count;
        const size_t submissionsBefore = standin::submissions().size();

        const uint32_t slot = loadDdsTexture(path);

        EXPECT_EQ(slot, slotBefore) << "the slot itself, not the slot + 1";
        EXPECT_EQ(srvHeap.count, slotBefore + 1);
        EXPECT_EQ(standin::submissions().size(), submissionsBefore + 1) << "one upload, waited for";
        const standin::DescriptorContents view = standin::descriptorAt(srvHeap.heap, slot);
        ASSERT_EQ(view.kind, standin::DescriptorKind::ShaderResourceView);
        const D3D12_SHADER_RESOURCE_VIEW_DESC& srv = view.shaderResourceView;
        const uint32_t mips = std::max(1u, c.d.mipCount), slices = c.d.dx10 ? c.d.arraySize : 1;
        EXPECT_EQ(srv.Format, c.format);
        EXPECT_EQ(srv.ViewDimension, c.view);
        EXPECT_EQ(srv.Shader4ComponentMapping, 0x1688u);
        if (c.view == D3D12_SRV_DIMENSION_TEXTURE2DARRAY) {
            EXPECT_EQ(srv.Texture2DArray.MipLevels, mips);
            EXPECT_EQ(srv.Texture2DArray.FirstArraySlice, 0u);
            EXPECT_EQ(srv.Texture2DArray.ArraySize, slices);
        } else {
            EXPECT_EQ(srv.Texture2D.MostDetailedMip, 0u);
            EXPECT_EQ(srv.Texture2D.MipLevels, mips);
        }
        ID3D12Resource* texture = view.resource;
        const D3D12_RESOURCE_DESC desc = texture->GetDesc();
        EXPECT_EQ(desc.Width, c.d.width);
        EXPECT_EQ(desc.Height, c.d.height);
        EXPECT_EQ(desc.MipLevels, mips);
        EXPECT_EQ(desc.DepthOrArraySize, slices);
        const std::vector<std::vector<uint8_t>> expected = ddsSubresources(c.d);
        ASSERT_EQ(expected.size(), size_t(mips) * slices);
        for (UINT i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(standin::readResource(texture, i), expected[i]) << "subresource " << i;
            EXPECT_EQ(standin::resourceState(texture, i), D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
        }
    }
}

// The upload records on the current frame slot's allocator, whatever the other slot's allocator is doing
// (here another list records into it, which a reset on it would collide with), and only the texture outlives
// it.
TEST_F(DdsTextureTest, TheUploadRecordsOnTheCurrentSlotsAllocatorAndReleasesItsStagingBuffer) {
    const std::string path = folder.write("plain.dds", ddsFile(DdsDescription()));
    withTheOtherSlotsAllocatorRecording([&] {
        const size_t before = standin::liveObjectCount();
        loadDdsTexture(path);
        standin::waitForGpuIdle();
        EXPECT_EQ(standin::liveObjectCount(), before + 1) << "the texture alone";
        EXPECT_EQ(standin::validationErrorCount(), 0u) << joinedFindings();
    });
}

TEST_F(DdsTextureTest, AFileThatCannotBeLoadedStopsWithALineNamingIt) {
    DdsDescription plain;
    std::vector<uint8_t> truncated = ddsFile(plain);
    truncated.resize(100);
    std::vector<uint8_t> lying = ddsHeader(plain);
    putU32(lying, 16, 64); // 64 texels wide, and data for none
    DdsDescription unknown = plain;
    unknown.format = 190;
    struct Case {
        const char* name;
        std::string path;
        const char* reason;
    } cases[] = {
        {"missing", (folder.path / "absent.dds").string(), "the file cannot be opened"},
        {"a folder", folder.path.string(), "the file cannot be read"},
        {"truncated header", folder.write("truncated.dds", truncated),
         "the file is shorter than a DDS header"},
        {"lying sizes", folder.write("lying.dds", lying), "its texel data reach past the end of the file"},
        {"unknown format", folder.write("unknown.dds", ddsFile(unknown)),
         "its format is not one the loader reads"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t slotBefore = srvHeap.count;
        EXPECT_EQ(outputOfExit([&] { loadDdsTexture(c.path); }),
                  "Failed to load texture " + c.path + ": " + c.reason + "\n");
        EXPECT_EQ(srvHeap.count, slotBefore);
    }
    EXPECT_TRUE(standin::submissions().empty()) << "nothing was uploaded";
}

TEST_F(DdsTextureTest, AFailedCreationStopsWithItsCallText) {
    const std::string path = folder.write("plain.dds", ddsFile(DdsDescription()));
    struct Case {
        unsigned skip;
        const char* text;
    } cases[] = {
        {0, "device->CreateCommittedResource( &default_heap_props, D3D12_HEAP_FLAG_NONE, &tex_desc, "
            "D3D12_RESOURCE_STATE_COMMON, 0, IID_PPV_ARGS(&tex_rsc))"},
        {1, "device->CreateCommittedResource( &upload_heap_props, D3D12_HEAP_FLAG_NONE, &uploadbuf_desc, "
            "D3D12_RESOURCE_STATE_GENERIC_READ, 0, IID_PPV_ARGS(&uploadbuf))"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skip == 0 ? "texture" : "upload buffer");
        standin::failCall("ID3D12Device::CreateCommittedResource", false, E_OUTOFMEMORY, c.skip);
        EXPECT_EQ(outputOfStop([&] { loadDdsTexture(path); }), std::string("Error: ") + c.text + "\n");
        standin::clearFailures();
    }
    EXPECT_TRUE(standin::submissions().empty()) << "nothing was uploaded";
}

TEST_F(DdsTextureTest, EveryOnePlaneFormatOfTheDeviceIsReadWithItsRowSizes) {
    // 12 x 8 with four levels: odd widths, a level one block wide and a level of one texel.
    for (int n = 1; n < 256; ++n) {
        const DXGI_FORMAT format = DXGI_FORMAT(n);
        SCOPED_TRACE(testing::Message() << "format " << n);
        D3D12_RESOURCE_DESC desc = {};
        desc.Dimension = D3D12_RESOURCE_DIMENSION_TEXTURE2D;
        desc.Width = 12;
        desc.Height = 8;
        desc.DepthOrArraySize = 1;
        desc.MipLevels = 4;
        desc.Format = format;
        desc.SampleDesc = {1, 0};
        UINT rows[4] = {};
        UINT64 rowSizes[4] = {}, total = 0;
        device->GetCopyableFootprints(&desc, 0, 4, 0, nullptr, rows, rowSizes, &total);
        // The depth-stencil formats with a stencil plane are refused: a DDS file fills one plane.
        const bool twoPlanes = (n >= 19 && n <= 22) || (n >= 44 && n <= 47);
        uint64_t rowPitch = 0, slicePitch = 0;
        ASSERT_EQ(ddsLevelPitch(format, 1, 1, &rowPitch, &slicePitch), total != UINT64_MAX && !twoPlanes);
        if (total == UINT64_MAX || twoPlanes)
            continue;
        for (uint32_t level = 0; level < 4; ++level) {
            ASSERT_TRUE(ddsLevelPitch(format, std::max(1u, 12u >> level), std::max(1u, 8u >> level),
                                      &rowPitch, &slicePitch));
            EXPECT_EQ(rowPitch, rowSizes[level]) << "level " << level;
            EXPECT_EQ(slicePitch, rowSizes[level] * rows[level]) << "level " << level;
        }
    }
}
