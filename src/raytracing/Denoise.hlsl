// Denoising of the ray-traced shadows: a 9 x 9 joint bilateral filter over "Shadow Map Noisy", guided by its
// fourth channel, written to "Shadow Map". The build compiles this file into the program (DenoiseCS), so it
// reads nothing from the host but the two views of the shared ray-tracing root signature.

Texture2D<float4> noisyShadows : register(t1, space0);
RWTexture2D<float4> shadowMap : register(u0, space0);

static const int radius = 4;
static const float spatialScale = 72.0f;       // 2 x sigma^2 with a sigma of 6 pixels
static const float guideFactor = 14.426950f;   // an edge-stopping factor of 10, divided by ln 2 for exp2
static const float smallestWeightSum = 0.0001f;

[numthreads(16, 16, 1)]
void DenoiseCS(uint3 pixel : SV_DispatchThreadID) {
    uint width, height;
    shadowMap.GetDimensions(width, height);
    if (pixel.x >= width || pixel.y >= height)
        return;

    float guide = noisyShadows.Load(int3(pixel.xy, 0)).w;
    int2 last = int2(width - 1, height - 1);
    float3 weightedSum = float3(0.0f, 0.0f, 0.0f);
    float weightSum = 0.0f;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            // Samples outside the image repeat the nearest edge texel.
            int2 position = clamp(int2(pixel.xy) + int2(dx, dy), int2(0, 0), last);
            float4 s = noisyShadows.Load(int3(position, 0));
            float spatial = exp(-float(dx * dx + dy * dy) / spatialScale);
            float edge = exp2(-abs(guide - s.w) * guideFactor);
            float weight = spatial * edge;
            weightedSum += s.rgb * weight;
            weightSum += weight;
        }
    }
    shadowMap[pixel.xy] = float4(weightedSum / max(weightSum, smallestWeightSum), 1.0f);
}
