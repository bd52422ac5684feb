// Ray-traced shadows, a library of two exports. One ray-generation invocation per pixel rebuilds the pixel's
// world position from depth and traces one shadow ray toward a point on the light's sphere (radius param0),
// chosen per pixel, so that the result is a noisy soft shadow; the denoise filter then smooths it, guided by
// the fourth channel. The pipeline allows 20 bytes of payload, 8 of attributes and a recursion depth of 2;
// this library uses 4 bytes of payload, no attributes and depth 1. All geometry is opaque and has no hit
// shader: rays skip closest-hit shading and address only hit group 0 (a null record) and miss shader 0.
// Bindings: t0 the top-level acceleration structure, t1 "Depth Target", u0 "Shadow Map Noisy",
// b1 RaytracingConstants. The three root constants at b0 carry nothing and are not read.
#include "Shared.hlsli"

RaytracingAccelerationStructure sceneStructure : register(t0);
Texture2D<float> depthTarget : register(t1);
RWTexture2D<float4> noisyShadow : register(u0);
ConstantBuffer<RaytracingConstants> constants : register(b1);

// Distance over which the guide value runs from 0 to 1: about the depth of the room as the camera sees it.
// With the filter's edge-stopping factor of 10, surfaces 1.6 m apart in depth weigh each other by e^-1.
static const float GUIDE_DISTANCE = 16.0;
static const float PI = 3.14159265;

struct ShadowPayload {
    float visibility; // 0 until the miss shader sees the ray reach the light
};

// Two uniform numbers in [0, 1) per pixel, fixed from frame to frame so that the noise does not flicker.
float2 pixelRandom(uint2 pixel) {
    uint hash = pixel.x * 1973u + pixel.y * 9277u + 0x68E31DA4u;
    hash = (hash ^ (hash >> 16)) * 0x7FEB352Du;
    hash = (hash ^ (hash >> 15)) * 0x846CA68Bu;
    hash ^= hash >> 16;
    return float2(hash & 0xFFFFu, hash >> 16) / 65536.0;
}

float3 worldPositionAt(uint2 pixel, uint2 size, float depth) {
    float2 ndc = (float2(pixel) + 0.5) / float2(size) * float2(2.0, -2.0) + float2(-1.0, 1.0);
    float4 world = mul(float4(ndc, depth, 1.0), constants.inverseViewProjection);
    return world.xyz / world.w;
}

[shader("raygeneration")]
void RayGeneration() {
    uint2 pixel = DispatchRaysIndex().xy;
    float depth = depthTarget[pixel];
    // Cleared depth: nothing drawn here. Lit, and as far away as the guide goes.
    if (depth <= 0.0) {
        noisyShadow[pixel] = float4(1.0, 1.0, 1.0, 1.0);
        return;
    }
    float3 position = worldPositionAt(pixel, DispatchRaysDimensions().xy, depth);
    float3 toCamera = constants.cameraPosition - position;
    float cameraDistance = length(toCamera);

    // A point on the light's sphere.
    float2 random = pixelRandom(pixel);
    float height = random.x * 2.0 - 1.0, angle = random.y * 2.0 * PI;
    float ring = sqrt(saturate(1.0 - height * height));
    float3 onSphere = float3(ring * cos(angle), height, ring * sin(angle));
    float3 target = constants.lightPosition + onSphere * constants.param0;

    // The depth-rebuilt point lies on the surface up to rounding, so the ray starts a little toward the
    // camera, which is always on the visible side.
    float bias = 0.002 + 0.001 * cameraDistance;
    float3 origin = position + toCamera / max(cameraDistance, 1e-4) * bias;
    float3 toLight = target - origin;
    float lightDistance = length(toLight);

    RayDesc ray;
    ray.Origin = origin;
    ray.Direction = toLight / max(lightDistance, 1e-4);
    ray.TMin = bias;
    ray.TMax = max(lightDistance - bias, bias);

    ShadowPayload payload;
    payload.visibility = 0.0;
    TraceRay(sceneStructure,
             RAY_FLAG_ACCEPT_FIRST_HIT_AND_END_SEARCH | RAY_FLAG_SKIP_CLOSEST_HIT_SHADER |
                 RAY_FLAG_FORCE_OPAQUE,
             0xFF, // instance mask
             0,    // hit group offset
             0,    // geometry multiplier: every geometry uses hit group record 0
             0,    // miss shader
             ray, payload);

    float guide = saturate(cameraDistance / GUIDE_DISTANCE);
    noisyShadow[pixel] = float4(payload.visibility, payload.visibility, payload.visibility, guide);
}

[shader("miss")]
void Miss(inout ShadowPayload payload) {
    payload.visibility = 1.0;
}
