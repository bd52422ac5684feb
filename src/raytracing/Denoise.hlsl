// Denoising of the ray-traced shadows (DenoiseFilter.hlsli). The build compiles this file into the program
// (DenoiseCS), so it reads nothing from the host but the two views of the shared ray-tracing root signature.
#include "DenoiseFilter.hlsli"

Texture2D<float4> noisyShadows : register(t1, space0);
RWTexture2D<float4> shadowMap : register(u0, space0);

[numthreads(16, 16, 1)]
void DenoiseCS(uint3 pixel : SV_DispatchThreadID) {
    denoiseThread(noisyShadows, shadowMap, pixel);
}
