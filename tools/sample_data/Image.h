// Procedural texture images and their mip chains, before they are encoded into DDS files.
#pragma once

#include "Math.h"

#include <vector>

namespace sample {

// Texels in [0, 1], row by row; row 0 is the top of the image (texture coordinate v = 0).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<float4> texels;

    Image(int w, int h) : width(w), height(h), texels(size_t(w) * size_t(h)) {}
    float4& at(int x, int y) { return texels[size_t(y) * size_t(width) + size_t(x)]; }
    const float4& at(int x, int y) const { return texels[size_t(y) * size_t(width) + size_t(x)]; }
    // Clamped to the image, so 4 x 4 blocks of the smallest levels repeat their edge texels.
    const float4& clamped(int x, int y) const {
        return at(x < width ? x : width - 1, y < height ? y : height - 1);
    }
};

// How texels are averaged into the next level.
enum class MipFilter {
    Color,  // sRGB-encoded colour: averaged in linear light
    Normal, // tangent-space normal in [0, 1]: averaged and renormalised
    Linear, // plain data
};

// Level 0 down to 1 x 1, each level half the size of the previous one (at least 1).
std::vector<Image> buildMipChain(Image top, MipFilter filter);

// Tangent-space normal map, encoded to [0, 1], from a tileable height field (x channel) and a strength.
Image normalsFromHeight(const Image& height, float strength);

// Tileable value noise in [0, 1] and its fractal sum: periodU x periodV lattice cells across the unit square.
float valueNoise(float u, float v, int periodU, int periodV, uint32_t seed);
float fractalNoise(float u, float v, int periodU, int periodV, int octaves, uint32_t seed);

} // namespace sample
