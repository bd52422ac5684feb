// The layout of the two G-buffer targets: written by the geometry pass, read by the shading pass.
//
//   "G-Buffer 0" (R32G32B32A32_UINT)
//     x  world-space normal, octahedral, two 16-bit fixed-point halves
//     y  base colour: square root of linear red, green, blue, then alpha, 8 bits each (the root keeps
//        precision in the darks)
//     z  emissive red (low half) and green (high half) as 16-bit floats
//     w  emissive blue (low half, 16-bit float), roughness (bits 16-23), metalness (bits 24-31)
//   "G-Buffer 1" (R32G32_UINT)
//     x  index of the meshlet in "Meshlets"
//     y  flags (GBUFFER_MESHLET_VIEW) in bits 0-7, material index above
#ifndef GBUFFER_HLSLI
#define GBUFFER_HLSLI

// The base colour holds the meshlet's debug colour and the pixel is shaded flat.
static const uint GBUFFER_MESHLET_VIEW = 1u;

struct SurfaceSample {
    float3 normal; // unit length, world space
    float3 baseColor;
    float alpha;
    float3 emissive;
    float roughness;
    float metallic;
    uint meshletIndex;
    uint materialIndex;
    uint flags;
};

float signNotZero(float v) {
    return v >= 0.0 ? 1.0 : -1.0;
}

uint encodeNormal(float3 n) {
    n /= abs(n.x) + abs(n.y) + abs(n.z);
    float2 e = n.xy;
    if (n.z < 0.0) {
        e = (1.0 - abs(n.yx)) * float2(signNotZero(n.x), signNotZero(n.y));
    }
    uint2 q = uint2(round(saturate(e * 0.5 + 0.5) * 65535.0));
    return q.x | (q.y << 16);
}

float3 decodeNormal(uint packed) {
    float2 e = float2(packed & 0xFFFFu, packed >> 16) / 65535.0 * 2.0 - 1.0;
    float3 n = float3(e, 1.0 - abs(e.x) - abs(e.y));
    float fold = saturate(-n.z);
    n.x -= fold * signNotZero(n.x);
    n.y -= fold * signNotZero(n.y);
    return normalize(n);
}

uint packUnorm4(float4 v) {
    uint4 q = uint4(round(saturate(v) * 255.0));
    return q.x | (q.y << 8) | (q.z << 16) | (q.w << 24);
}

float4 unpackUnorm4(uint packed) {
    return float4(packed & 0xFFu, (packed >> 8) & 0xFFu, (packed >> 16) & 0xFFu, packed >> 24) / 255.0;
}

void encodeSurface(SurfaceSample s, out uint4 gBuffer0, out uint2 gBuffer1) {
    gBuffer0.x = encodeNormal(s.normal);
    gBuffer0.y = packUnorm4(float4(sqrt(saturate(s.baseColor)), s.alpha));
    gBuffer0.z = f32tof16(s.emissive.r) | (f32tof16(s.emissive.g) << 16);
    uint roughness = uint(round(saturate(s.roughness) * 255.0));
    uint metallic = uint(round(saturate(s.metallic) * 255.0));
    gBuffer0.w = f32tof16(s.emissive.b) | (roughness << 16) | (metallic << 24);
    gBuffer1.x = s.meshletIndex;
    gBuffer1.y = (s.flags & 0xFFu) | (s.materialIndex << 8);
}

SurfaceSample decodeSurface(uint4 gBuffer0, uint2 gBuffer1) {
    SurfaceSample s;
    s.normal = decodeNormal(gBuffer0.x);
    float4 color = unpackUnorm4(gBuffer0.y);
    s.baseColor = color.rgb * color.rgb;
    s.alpha = color.a;
    s.emissive.r = f16tof32(gBuffer0.z & 0xFFFFu);
    s.emissive.g = f16tof32(gBuffer0.z >> 16);
    s.emissive.b = f16tof32(gBuffer0.w & 0xFFFFu);
    s.roughness = float((gBuffer0.w >> 16) & 0xFFu) / 255.0;
    s.metallic = float(gBuffer0.w >> 24) / 255.0;
    s.meshletIndex = gBuffer1.x;
    s.flags = gBuffer1.y & 0xFFu;
    s.materialIndex = gBuffer1.y >> 8;
    return s;
}

#endif // GBUFFER_HLSLI
