// The denoise filter, one thread per pixel: a 9 x 9 joint bilateral filter over "Shadow Map Noisy", guided
// by its fourth channel, written to "Shadow Map". The denoise program (Denoise.hlsl) runs it on the GPU; the
// same text compiles as C++ (with the few HLSL types and intrinsics it uses, below), so that tests run it.
#ifndef DENOISE_FILTER_HLSLI
#define DENOISE_FILTER_HLSLI

#ifdef __cplusplus
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace denoise {

// HLSL's names for what the filter uses, in single precision as on the GPU.
using uint = uint32_t;
struct float4 {
    float x, y, z, w;
    float4() : x(0), y(0), z(0), w(0) {}
    float4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
};
struct int3 {
    int x, y, z;
    int3(int x_, int y_, int z_) : x(x_), y(y_), z(z_) {}
};
struct uint2 {
    uint x, y;
    uint2(uint x_, uint y_) : x(x_), y(y_) {}
};
struct uint3 {
    uint x, y, z;
};
inline float exp(float value) { return std::exp(value); }
inline float exp2(float value) { return std::exp2(value); }
inline float abs(float value) { return std::fabs(value); }
inline float max(float a, float b) { return std::max(a, b); }
inline int clamp(int value, int low, int high) { return std::min(std::max(value, low), high); }

// A texture as a row-major array of texels.
template <class Texel> struct Texture2D {
    const Texel* texels;
    uint width, height;
    Texel Load(int3 position) const { return texels[size_t(position.y) * width + size_t(position.x)]; }
};
template <class Texel> struct RWTexture2D {
    Texel* texels;
    uint width, height;
    void GetDimensions(uint& w, uint& h) const {
        w = width;
        h = height;
    }
    Texel& operator[](uint2 position) const { return texels[size_t(position.y) * width + position.x]; }
};
#define DENOISE_FUNCTION inline
#else
#define DENOISE_FUNCTION
#endif

static const int DENOISE_RADIUS = 4;
// 2 x sigma^2 with a sigma of 6 pixels.
static const float DENOISE_SPATIAL_SCALE = 72.0f;
// An edge-stopping factor of 10 on the guide channel, divided by ln 2 for exp2.
static const float DENOISE_GUIDE_FACTOR = 14.426950f;
// Where every weight of a pixel is tiny, the sum is not allowed to fall below this.
static const float DENOISE_SMALLEST_WEIGHT_SUM = 0.0001f;

// Filters the pixel at the thread's dispatch position; a thread outside the target writes nothing.
DENOISE_FUNCTION void denoiseThread(Texture2D<float4> noisy, RWTexture2D<float4> target, uint3 thread) {
    uint width, height;
    target.GetDimensions(width, height);
    if (thread.x >= width || thread.y >= height)
        return;

    int x = int(thread.x);
    int y = int(thread.y);
    float guide = noisy.Load(int3(x, y, 0)).w;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float weightSum = 0.0f;
    for (int dy = -DENOISE_RADIUS; dy <= DENOISE_RADIUS; ++dy) {
        for (int dx = -DENOISE_RADIUS; dx <= DENOISE_RADIUS; ++dx) {
            // Samples outside the image repeat the nearest edge texel.
            int sampleX = clamp(x + dx, 0, int(width) - 1);
            int sampleY = clamp(y + dy, 0, int(height) - 1);
            float4 s = noisy.Load(int3(sampleX, sampleY, 0));
            float spatial = exp(-float(dx * dx + dy * dy) / DENOISE_SPATIAL_SCALE);
            float edge = exp2(-abs(guide - s.w) * DENOISE_GUIDE_FACTOR);
            float weight = spatial * edge;
            red += s.x * weight;
            green += s.y * weight;
            blue += s.z * weight;
            weightSum += weight;
        }
    }
    float normaliser = max(weightSum, DENOISE_SMALLEST_WEIGHT_SUM);
    target[uint2(thread.x, thread.y)] = float4(red / normaliser, green / normaliser, blue / normaliser, 1.0f);
}

#ifdef __cplusplus
} // namespace denoise
#endif

#endif // DENOISE_FILTER_HLSLI
