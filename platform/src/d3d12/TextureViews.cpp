// Shader-resource views of 2D textures and 2D texture arrays: the view must name a format of the texture's
// element size and lie within its mip levels, array slices and planes.
#include "d3d12/TextureViews.h"

#include "d3d12/Formats.h"

namespace standin {

namespace {

constexpr UINT ALL_MIPS = UINT(-1);

struct Range {
    UINT mostDetailedMip, mipLevels, firstSlice, sliceCount, plane;
};

} // namespace

std::string textureViewProblem(const ResourceStorage& texture, const D3D12_SHADER_RESOURCE_VIEW_DESC& desc) {
    Range range{};
    if (desc.ViewDimension == D3D12_SRV_DIMENSION_TEXTURE2D) {
        const auto& v = desc.Texture2D;
        range = {v.MostDetailedMip, v.MipLevels, 0, 1, v.PlaneSlice};
    } else if (desc.ViewDimension == D3D12_SRV_DIMENSION_TEXTURE2DARRAY) {
        const auto& v = desc.Texture2DArray;
        range = {v.MostDetailedMip, v.MipLevels, v.FirstArraySlice, v.ArraySize, v.PlaneSlice};
    } else {
        return "";
    }
    const D3D12_RESOURCE_DESC& resource = texture.desc;
    if (resource.Dimension != D3D12_RESOURCE_DIMENSION_TEXTURE2D)
        return "a 2D view of a texture that is not 2D";
    FormatInfo viewFormat = formatInfo(desc.Format), textureFormat = formatInfo(resource.Format);
    if (!viewFormat.known || viewFormat.bytesPerBlock != textureFormat.bytesPerBlock ||
        viewFormat.blockSize != textureFormat.blockSize)
        return "the view's format does not fit the texture's format";
    if (range.mostDetailedMip >= resource.MipLevels)
        return "MostDetailedMip is past the texture's mip levels";
    uint64_t mipsLeft = resource.MipLevels - range.mostDetailedMip;
    if (range.mipLevels == 0 || (range.mipLevels != ALL_MIPS && range.mipLevels > mipsLeft))
        return "MipLevels is 0 or reaches past the texture's mip levels";
    if (range.sliceCount == 0 || uint64_t(range.firstSlice) + range.sliceCount > resource.DepthOrArraySize)
        return "the view's array slices are none or reach past the texture's array size";
    if (range.plane >= textureFormat.planes)
        return "PlaneSlice names a plane the format does not have";
    return "";
}

} // namespace standin
