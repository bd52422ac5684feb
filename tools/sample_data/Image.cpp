#include "Image.h"

#include <algorithm>

namespace sample {
namespace {

float toLinear(float c) {
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}
float toSrgb(float c) {
    return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}

Image halve(const Image& source, MipFilter filter) {
    Image result(std::max(1, source.width / 2), std::max(1, source.height / 2));
    for (int y = 0; y < result.height; ++y) {
        for (int x = 0; x < result.width; ++x) {
            float4 sum{};
            for (int k = 0; k < 4; ++k) {
                float4 t = source.clamped(2 * x + (k & 1), 2 * y + (k >> 1));
                if (filter == MipFilter::Color) {
                    t = {toLinear(t.x), toLinear(t.y), toLinear(t.z), t.w};
                }
                sum = {sum.x + t.x * 0.25f, sum.y + t.y * 0.25f, sum.z + t.z * 0.25f, sum.w + t.w * 0.25f};
            }
            if (filter == MipFilter::Color) {
                sum = {toSrgb(sum.x), toSrgb(sum.y), toSrgb(sum.z), sum.w};
            } else if (filter == MipFilter::Normal) {
                float3 n = normalize(float3{sum.x * 2 - 1, sum.y * 2 - 1, sum.z * 2 - 1});
                sum = {n.x * 0.5f + 0.5f, n.y * 0.5f + 0.5f, n.z * 0.5f + 0.5f, 1};
            }
            result.at(x, y) = sum;
        }
    }
    return result;
}

uint32_t hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

float lattice(int x, int y, int periodX, int periodY, uint32_t seed) {
    uint32_t wx = uint32_t(((x % periodX) + periodX) % periodX),
             wy = uint32_t(((y % periodY) + periodY) % periodY);
    return float(hash(wx, wy, seed) & 0xFFFFFFu) / float(0xFFFFFF);
}

} // namespace

std::vector<Image> buildMipChain(Image top, MipFilter filter) {
    std::vector<Image> chain;
    chain.push_back(std::move(top));
    while (chain.back().width > 1 || chain.back().height > 1) {
        chain.push_back(halve(chain.back(), filter));
    }
    return chain;
}

Image normalsFromHeight(const Image& height, float strength) {
    Image result(height.width, height.height);
    auto h = [&](int x, int y) {
        return height.at((x + height.width) % height.width, (y + height.height) % height.height).x;
    };
    for (int y = 0; y < height.height; ++y) {
        for (int x = 0; x < height.width; ++x) {
            // Rows run down the image while the normal's +y points up it, hence the sign of dy.
            float dx = (h(x + 1, y) - h(x - 1, y)) * 0.5f * strength;
            float dy = (h(x, y + 1) - h(x, y - 1)) * 0.5f * strength;
            float3 n = normalize(float3{-dx, dy, 1});
            result.at(x, y) = {n.x * 0.5f + 0.5f, n.y * 0.5f + 0.5f, n.z * 0.5f + 0.5f, 1};
        }
    }
    return result;
}

float valueNoise(float u, float v, int periodU, int periodV, uint32_t seed) {
    float x = u * float(periodU), y = v * float(periodV);
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    float fx = smoothstep(0, 1, x - float(x0)), fy = smoothstep(0, 1, y - float(y0));
    auto at = [&](int dx, int dy) { return lattice(x0 + dx, y0 + dy, periodU, periodV, seed); };
    return lerp(lerp(at(0, 0), at(1, 0), fx), lerp(at(0, 1), at(1, 1), fx), fy);
}

float fractalNoise(float u, float v, int periodU, int periodV, int octaves, uint32_t seed) {
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += valueNoise(u, v, periodU << octave, periodV << octave, seed + uint32_t(octave)) * amplitude;
        total += amplitude;
        amplitude *= 0.5f;
    }
    return sum / total;
}

} // namespace sample
