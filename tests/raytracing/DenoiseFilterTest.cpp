// The denoise program's filter, run on the CPU from the very text the program compiles, against values
// worked out here from the filter's formula: weight exp(-(dx^2 + dy^2) / 72) x exp(-10 |g - s.w|) over the
// 9 x 9 samples, positions clamped to the image, sum divided by max(sum of weights, 0.0001), 1 in the fourth
// channel.
#include "raytracing/DenoiseFilter.hlsli"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using denoise::float4;

struct Image {
    uint32_t width, height;
    std::vector<float4> texels;
    float4& at(int x, int y) { return texels[size_t(y) * width + size_t(x)]; }
    const float4& at(int x, int y) const { return texels[size_t(y) * width + size_t(x)]; }
};

Image imageOf(uint32_t width, uint32_t height, float4 fill = float4()) {
    return {width, height, std::vector<float4>(size_t(width) * height, fill)};
}

// Runs the filter as the GPU does: groups of 16 x 16 threads covering the image, one thread per position.
// The target is `padding` texels longer than the image, so that a write past its end shows.
Image denoise(const Image& noisy, float4 padding = float4(-1, -1, -1, -1)) {
    Image target = imageOf(noisy.width, noisy.height, padding);
    target.texels.resize(target.texels.size() + 16 * 16 * 4, padding);
    denoise::Texture2D<float4> input{noisy.texels.data(), noisy.width, noisy.height};
    denoise::RWTexture2D<float4> output{target.texels.data(), noisy.width, noisy.height};
    for (uint32_t groupY = 0; groupY < (noisy.height + 15) / 16; ++groupY)
        for (uint32_t groupX = 0; groupX < (noisy.width + 15) / 16; ++groupX)
            for (uint32_t y = 0; y < 16; ++y)
                for (uint32_t x = 0; x < 16; ++x)
                    denoise::denoiseThread(input, output, {groupX * 16 + x, groupY * 16 + y, 0});
    return target;
}

// The filter's value at one pixel, in double precision, straight from the formula.
float4 expectedAt(const Image& noisy, int x, int y) {
    const double guide = noisy.at(x, y).w;
    double red = 0, green = 0, blue = 0, weights = 0;
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx) {
            const float4& s = noisy.at(std::clamp(x + dx, 0, int(noisy.width) - 1),
                                       std::clamp(y + dy, 0, int(noisy.height) - 1));
            double weight = std::exp(-(dx * dx + dy * dy) / 72.0) * std::exp(-10.0 * std::fabs(guide - s.w));
            red += s.x * weight;
            green += s.y * weight;
            blue += s.z * weight;
            weights += weight;
        }
    weights = std::max(weights, 0.0001);
    return float4(float(red / weights), float(green / weights), float(blue / weights), 1.0f);
}

void expectNear(const float4& actual, const float4& expected) {
    EXPECT_NEAR(actual.x, expected.x, 2e-6);
    EXPECT_NEAR(actual.y, expected.y, 2e-6);
    EXPECT_NEAR(actual.z, expected.z, 2e-6);
    EXPECT_EQ(actual.w, expected.w);
}

TEST(DenoiseFilterTest, AConstantImageStaysConstantWithOneInTheFourthChannel) {
    const Image noisy = imageOf(21, 19, float4(0.25f, 0.5f, 0.75f, 0.3f));
    const Image result = denoise(noisy);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 21; ++x) {
            SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
            expectNear(result.at(x, y), float4(0.25f, 0.5f, 0.75f, 1.0f));
        }
}

// Only texel (0, 0) is lit: the corner pixel counts it once for each of the 25 samples that clamp onto it.
TEST(DenoiseFilterTest, ACornerPixelTakesItsOutsideSamplesFromTheNearestEdgeTexel) {
    Image noisy = imageOf(12, 12);
    noisy.at(0, 0) = float4(1.0f, 1.0f, 1.0f, 0.0f);
    double clamped = 0, all = 0;
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx) {
            double weight = std::exp(-(dx * dx + dy * dy) / 72.0);
            all += weight;
            if (dx <= 0 && dy <= 0)
                clamped += weight;
        }
    const Image result = denoise(noisy);
    EXPECT_NEAR(result.at(0, 0).x, clamped / all, 2e-6);
    EXPECT_GT(result.at(0, 0).x, 0.3f) << "far above the single texel's 1/81 without clamping";
    expectNear(result.at(0, 0), expectedAt(noisy, 0, 0));
    expectNear(result.at(11, 11), float4(0, 0, 0, 1));
}

// Left of x = 8 the guide is 0.2 and the colour 0, right of it 0.8 and 1: the edge-stopping term weighs
// samples across the edge by e^-6, so each side keeps close to its own value.
TEST(DenoiseFilterTest, AnEdgeInTheGuideChannelKeepsTheTwoSidesApart) {
    Image noisy = imageOf(16, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 16; ++x)
            noisy.at(x, y) = x < 8 ? float4(0, 0, 0, 0.2f) : float4(1, 1, 1, 0.8f);
    const Image result = denoise(noisy);
    for (int x : {6, 7, 8, 9}) {
        SCOPED_TRACE(x);
        expectNear(result.at(x, 3), expectedAt(noisy, x, 3));
    }
    EXPECT_LT(result.at(7, 3).x, 0.01f);
    EXPECT_GT(result.at(8, 3).x, 0.99f);
}

TEST(DenoiseFilterTest, EveryPixelOfANoisyImageMatchesTheFormula) {
    Image noisy = imageOf(11, 7);
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1u << 24);
    };
    for (float4& texel : noisy.texels)
        texel = float4(next(), next(), next(), next());
    const Image result = denoise(noisy);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 11; ++x) {
            SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
            expectNear(result.at(x, y), expectedAt(noisy, x, y));
        }
}

// 20 x 18 runs 2 x 2 groups of 16 x 16 threads; those past the right or bottom edge write nothing.
TEST(DenoiseFilterTest, ThreadsOutsideATargetThatIsNotAMultipleOf16WriteNothing) {
    const Image noisy = imageOf(20, 18, float4(0.5f, 0.5f, 0.5f, 0.5f));
    const float4 untouched(-1, -1, -1, -1);
    const Image result = denoise(noisy, untouched);
    const size_t inside = 20 * 18;
    for (size_t i = 0; i < result.texels.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(result.texels[i].w, i < inside ? 1.0f : -1.0f);
    }
}

} // namespace
