// The DDS header fields the loader reads, the pitch of every level as files store it, and files the loader
// must refuse without reading past their end.
#include "scene/DdsFile.h"

#include "support/DdsBuilder.h"

#include <gtest/gtest.h>

#include <string>

using namespace fixture;

namespace {

DdsLayout parsed(const std::vector<uint8_t>& file) {
    DdsLayout layout = {};
    const char* problem = parseDds(file.data(), file.size(), &layout);
    EXPECT_EQ(problem, nullptr) << problem;
    return layout;
}

} // namespace

TEST(DdsFile, LevelPitchesFollowTheFormat) {
    struct Case {
        DXGI_FORMAT format;
        uint32_t width, height;
        uint64_t rowPitch, slicePitch;
    } cases[] = {
        // Block-compressed: rows of 4 x 4 blocks, never less than one block.
        {DXGI_FORMAT_BC1_UNORM, 1, 1, 8, 8},
        {DXGI_FORMAT_BC1_UNORM_SRGB, 7, 5, 16, 32},
        {DXGI_FORMAT_BC4_UNORM, 2, 9, 8, 24},
        {DXGI_FORMAT_BC5_UNORM, 16, 16, 64, 256},
        {DXGI_FORMAT_BC3_UNORM, 4, 4, 16, 16},
        {DXGI_FORMAT_BC7_UNORM, 5, 5, 32, 64},
        {DXGI_FORMAT_BC6H_UF16, 8, 1, 32, 32},
        // Plain formats: tightly packed rows, whatever the width.
        {DXGI_FORMAT_R8G8B8A8_UNORM, 4, 2, 16, 32},
        {DXGI_FORMAT_R8G8B8A8_UNORM, 3, 2, 12, 24},
        {DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 4, 4},
        {DXGI_FORMAT_B8G8R8A8_UNORM_SRGB, 3, 1, 12, 12},
        {DXGI_FORMAT_R32G32B32A32_FLOAT, 3, 1, 48, 48},
        {DXGI_FORMAT_R32G32B32_FLOAT, 1, 2, 12, 24},
        {DXGI_FORMAT_R16G16B16A16_FLOAT, 5, 1, 40, 40},
        {DXGI_FORMAT_R16_UNORM, 3, 3, 6, 18},
        {DXGI_FORMAT_B5G6R5_UNORM, 1, 1, 2, 2},
        {DXGI_FORMAT_R8_UNORM, 5, 1, 5, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << ", " << c.width << " x " << c.height);
        uint64_t rowPitch = 0, slicePitch = 0;
        ASSERT_TRUE(ddsLevelPitch(c.format, c.width, c.height, &rowPitch, &slicePitch));
        EXPECT_EQ(rowPitch, c.rowPitch);
        EXPECT_EQ(slicePitch, c.slicePitch);
    }
    // Bit-packed, pair-packed, video and unknown formats, and the two-plane depth-stencil formats.
    for (DXGI_FORMAT unread :
         {DXGI_FORMAT_UNKNOWN, DXGI_FORMAT_R1_UNORM, DXGI_FORMAT_R8G8_B8G8_UNORM, DXGI_FORMAT_AYUV,
          DXGI_FORMAT(200), DXGI_FORMAT_R32G8X24_TYPELESS, DXGI_FORMAT_X32_TYPELESS_G8X24_UINT,
          DXGI_FORMAT_R24G8_TYPELESS, DXGI_FORMAT_X24_TYPELESS_G8_UINT}) {
        uint64_t rowPitch = 0, slicePitch = 0;
        EXPECT_FALSE(ddsLevelPitch(unread, 4, 4, &rowPitch, &slicePitch)) << "format " << unread;
    }
}

TEST(DdsFile, SubresourcesFollowOneAnotherSliceBySlice) {
    DdsDescription d;
    d.width = 8;
    d.height = 4;
    d.mipCount = 4;
    d.format = 98; // BC7
    d.arraySize = 2;
    const std::vector<uint8_t> file = ddsFile(d);
    const DdsLayout layout = parsed(file);
    EXPECT_EQ(layout.width, 8u);
    EXPECT_EQ(layout.height, 4u);
    EXPECT_EQ(layout.mipCount, 4u);
    EXPECT_EQ(layout.arraySize, 2u);
    EXPECT_EQ(layout.format, DXGI_FORMAT_BC7_UNORM);
    EXPECT_EQ(layout.dimension, D3D12_RESOURCE_DIMENSION_TEXTURE2D);
    ASSERT_EQ(layout.subresources.size(), 8u);
    uint64_t cursor = 148;
    for (uint32_t slice = 0; slice < 2; ++slice)
        for (uint32_t level = 0; level < 4; ++level) {
            SCOPED_TRACE(testing::Message() << "slice " << slice << " level " << level);
            const DdsSubresource& entry = layout.subresources[slice * 4 + level];
            EXPECT_EQ(entry.offset, cursor);
            EXPECT_EQ(entry.slicePitch, ddsLevelBytes(98, 8 >> level, std::max(1u, 4u >> level)));
            EXPECT_EQ(entry.rowPitch, 16u * std::max(1u, (8u >> level) / 4));
            cursor += entry.slicePitch;
        }
    EXPECT_EQ(cursor, file.size());
}

TEST(DdsFile, TheDx10ExtensionNeedsBothItsFlagAndItsFourCc) {
    DdsDescription dx10;
    dx10.format = 28;
    DdsLayout layout = parsed(ddsFile(dx10));
    EXPECT_EQ(layout.format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(layout.dataOffset, 148u);
    EXPECT_EQ(layout.subresources[0].offset, 148u);

    // Without the extension the file is BC5 with its data at 128, whatever its legacy FourCC names.
    DdsDescription legacy;
    legacy.dx10 = false;
    std::vector<uint8_t> file = ddsFile(legacy);
    putU32(file, 84, 0x31545844); // "DXT1"
    layout = parsed(file);
    EXPECT_EQ(layout.format, DXGI_FORMAT_BC5_UNORM);
    EXPECT_EQ(layout.dataOffset, 128u);
    EXPECT_EQ(layout.arraySize, 1u);
    EXPECT_EQ(layout.dimension, D3D12_RESOURCE_DIMENSION_TEXTURE2D);
    ASSERT_EQ(layout.subresources.size(), 1u);
    EXPECT_EQ(layout.subresources[0].offset, 128u);
    EXPECT_EQ(layout.subresources[0].slicePitch, 16u);

    // "DX10" without the FourCC flag: the 20 bytes after the header are texel data of a BC5 file.
    file = ddsFile(dx10);
    putU32(file, 80, 0x40);
    layout = parsed(file);
    EXPECT_EQ(layout.format, DXGI_FORMAT_BC5_UNORM);
    EXPECT_EQ(layout.dataOffset, 128u);
}

TEST(DdsFile, StoredCountsOfZeroMeanOne) {
    DdsDescription d;
    d.mipCount = 0;
    d.arraySize = 0;
    const DdsLayout layout = parsed(ddsFile(d));
    EXPECT_EQ(layout.mipCount, 1u);
    EXPECT_EQ(layout.arraySize, 1u);
    ASSERT_EQ(layout.subresources.size(), 1u);
    EXPECT_EQ(layout.subresources[0].slicePitch, 64u);
}

TEST(DdsFile, FilesThatCannotBeLoadedAreRefusedWithinTheirBytes) {
    DdsDescription plain;
    DdsDescription chain;
    chain.width = chain.height = 8;
    chain.mipCount = 4;
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        const char* reason;
    };
    auto edited = [](DdsDescription d, void (*edit)(DdsDescription&)) {
        edit(d);
        return d;
    };
    auto withHeader = [&](const DdsDescription& header, const DdsDescription& data) {
        std::vector<uint8_t> file = ddsHeader(header);
        for (const auto& texels : ddsSubresources(data))
            file.insert(file.end(), texels.begin(), texels.end());
        return file;
    };
    std::vector<uint8_t> shortData = ddsFile(chain);
    shortData.pop_back();
    std::vector<uint8_t> cutHeader = ddsFile(plain);
    cutHeader.resize(127);
    std::vector<uint8_t> shortDx10 = ddsFile(plain);
    shortDx10.resize(147);
    const Case cases[] = {
        {"empty", {}, "shorter than a DDS header"},
        {"a cut header", cutHeader, "shorter than a DDS header"},
        {"a cut DX10 extension", shortDx10, "shorter than its DX10 header"},
        {"the last byte missing", shortData, "reach past the end of the file"},
        {"a header larger than its data",
         withHeader(edited(plain, [](DdsDescription& d) { d.width = 1024; }), plain),
         "reach past the end of the file"},
        {"more slices than its data",
         withHeader(edited(plain, [](DdsDescription& d) { d.arraySize = 1000; }), plain),
         "reach past the end of the file"},
        {"more levels than its size allows",
         withHeader(edited(chain, [](DdsDescription& d) { d.mipCount = 5; }), chain),
         "more mip levels than its size allows"},
        {"no format", ddsFile(edited(plain, [](DdsDescription& d) { d.format = 0; })), "format is not one"},
        {"a format number past the list", ddsFile(edited(plain, [](DdsDescription& d) { d.format = 200; })),
         "format is not one"},
        {"a bit-packed format", ddsFile(edited(plain, [](DdsDescription& d) { d.format = 66; })),
         "format is not one"},
        {"a depth-stencil format with two planes",
         ddsFile(edited(plain, [](DdsDescription& d) { d.format = 45; })), "format is not one"},
        {"a 3D texture", ddsFile(edited(plain, [](DdsDescription& d) { d.dimension = 4; })),
         "not a 2D texture"},
        {"a 1D texture", ddsFile(edited(plain, [](DdsDescription& d) { d.dimension = 2; })),
         "not a 2D texture"},
        {"no width", withHeader(edited(plain, [](DdsDescription& d) { d.width = 0; }), plain), "its size"},
        {"a width beyond textures",
         withHeader(edited(plain, [](DdsDescription& d) { d.width = 16385; }), plain), "its size"},
        {"an array beyond textures",
         withHeader(edited(plain, [](DdsDescription& d) { d.arraySize = 2049; }), plain), "its size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // An exact copy on the heap, so that the sanitizers see any read past the end.
        std::unique_ptr<uint8_t[]> bytes(new uint8_t[std::max<size_t>(c.file.size(), 1)]);
        std::copy(c.file.begin(), c.file.end(), bytes.get());
        DdsLayout layout = {};
        const char* problem = parseDds(bytes.get(), c.file.size(), &layout);
        ASSERT_NE(problem, nullptr);
        EXPECT_NE(std::string(problem).find(c.reason), std::string::npos) << problem;
    }
}
