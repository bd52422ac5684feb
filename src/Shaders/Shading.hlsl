// Shading pass: one thread per pixel in 8 x 8 groups. Rebuilds each pixel's world position from depth,
// lights the G-buffer surface with the point light, its ray-traced shadow and an ambient term, and writes
// "Render Target". Bindings: b0 FrameConstants, b3 DescriptorIndices (the frame's targets in the directly
// indexed heap). The meshlet view needs no flag here: the geometry pass marks its pixels in the G-buffer.
#include "Shared.hlsli"
#include "GBuffer.hlsli"

ConstantBuffer<FrameConstants> frame : register(b0);
ConstantBuffer<DescriptorIndices> targets : register(b3);

static const float PI = 3.14159265;
static const float EMISSIVE_INTENSITY = 2.0;
static const float3 BACKGROUND = float3(0.02, 0.015, 0.01);

// Point on the near plane of the reversed, infinite projection, and back through it to world space.
float3 worldPositionAt(uint2 pixel, float depth) {
    float2 screen = (float2(pixel) + 0.5) / float2(frame.width, frame.height);
    float2 ndc = screen * float2(2.0, -2.0) + float2(-1.0, 1.0);
    float4 world = mul(float4(ndc, depth, 1.0), frame.inverseViewProjection);
    return world.xyz / world.w;
}

// The eye position of the view being drawn (viewPos is the culling position, which may be frozen).
float3 eyePosition() {
    float3 translation = frame.view[3].xyz;
    return -mul((float3x3)frame.view, translation);
}

// The light fades to nothing at lightRadius.
float lightFalloff(float distance) {
    float fade = saturate(1.0 - distance / max(frame.lightRadius, 1e-4));
    return fade * fade;
}

// Cook-Torrance with a GGX distribution, Smith-Schlick visibility and Schlick's Fresnel, over Lambert.
float3 directLight(SurfaceSample s, float3 n, float3 toEye, float3 toLight) {
    float3 h = normalize(toEye + toLight);
    float nDotL = saturate(dot(n, toLight));
    float nDotV = max(dot(n, toEye), 1e-4);
    float nDotH = saturate(dot(n, h));
    float alpha = max(s.roughness * s.roughness, 2e-3);
    float alpha2 = alpha * alpha;
    float d = nDotH * nDotH * (alpha2 - 1.0) + 1.0;
    float distribution = alpha2 / (PI * d * d);
    float k = (s.roughness + 1.0) * (s.roughness + 1.0) / 8.0;
    float visibility = 1.0 / ((nDotL * (1.0 - k) + k) * (nDotV * (1.0 - k) + k) * 4.0);
    float3 f0 = lerp(float3(0.04, 0.04, 0.04), s.baseColor, s.metallic);
    float3 fresnel = f0 + (1.0 - f0) * pow(1.0 - saturate(dot(h, toEye)), 5.0);
    float3 specular = distribution * visibility * fresnel;
    float3 diffuse = (1.0 - fresnel) * (1.0 - s.metallic) * s.baseColor / PI;
    return (diffuse + specular) * nDotL;
}

[numthreads(8, 8, 1)]
void ComputeMain(uint3 dispatchThread : SV_DispatchThreadID) {
    uint2 pixel = dispatchThread.xy;
    if (pixel.x >= uint(frame.width) || pixel.y >= uint(frame.height)) {
        return;
    }
    Texture2D<uint4> gBuffer0 = ResourceDescriptorHeap[targets.gBuffer0Index];
    Texture2D<uint2> gBuffer1 = ResourceDescriptorHeap[targets.gBuffer1Index];
    Texture2D<float> depthTarget = ResourceDescriptorHeap[targets.depthIndex];
    RWTexture2D<unorm float4> shadowMap = ResourceDescriptorHeap[targets.shadowMapIndex];
    RWTexture2D<float4> renderTarget = ResourceDescriptorHeap[targets.renderTargetIndex];

    // Depth is cleared to 0, which the reversed projection reaches only at infinity: nothing was drawn here.
    float depth = depthTarget[pixel];
    if (depth <= 0.0) {
        renderTarget[pixel] = float4(BACKGROUND, 1.0);
        return;
    }

    SurfaceSample s = decodeSurface(gBuffer0[pixel], gBuffer1[pixel]);
    float3 position = worldPositionAt(pixel, depth);
    float3 toLight = frame.lightPosition - position;
    float lightDistance = length(toLight);
    toLight /= max(lightDistance, 1e-4);
    float3 toEye = normalize(eyePosition() - position);
    float radiance = frame.lightStrength * lightFalloff(lightDistance);

    float3 color;
    if ((s.flags & GBUFFER_MESHLET_VIEW) != 0) {
        // Flat colours with just enough light to read the shapes.
        color = s.baseColor * (0.35 + 0.65 * saturate(dot(s.normal, toLight)));
    } else {
        float shadow = shadowMap[pixel].r;
        color = directLight(s, s.normal, toEye, toLight) * radiance * shadow;
        color += s.baseColor * frame.ambientFactor;
        color += s.emissive * EMISSIVE_INTENSITY;
    }
    renderTarget[pixel] = float4(color, 1.0);
}
