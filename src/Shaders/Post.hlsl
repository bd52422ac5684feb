// Post pass: two triangles over the screen, no vertex buffer. Applies exposure (in stops), tone mapping,
// brightness, contrast and saturation to "Render Target" and writes the back buffer.
// Bindings: t0 "Render Target", b0 the four PostSettings root constants, point sampler s0.
#include "Shared.hlsli"

Texture2D<float4> renderTarget : register(t0);
SamplerState pointSampler : register(s0);
ConstantBuffer<PostSettings> settings : register(b0);

struct ScreenVertex {
    float4 position : SV_Position;
    float2 texcoord : TEXCOORD0;
};

// Corners of the unit square as texture coordinates (v down): triangles 0-1-2 and 3-4-5.
static const float2 SCREEN_CORNERS[6] = {
    float2(0.0, 0.0), float2(1.0, 0.0), float2(0.0, 1.0),
    float2(0.0, 1.0), float2(1.0, 0.0), float2(1.0, 1.0),
};

ScreenVertex VertexMain(uint vertexId : SV_VertexID) {
    float2 corner = SCREEN_CORNERS[vertexId];
    ScreenVertex output;
    output.position = float4(corner.x * 2.0 - 1.0, 1.0 - corner.y * 2.0, 0.0, 1.0);
    output.texcoord = corner;
    return output;
}

// A filmic curve (Narkowicz's fit of the ACES reference) that keeps the lanterns' glow from clipping.
float3 toneMap(float3 color) {
    return saturate((color * (2.51 * color + 0.03)) / (color * (2.43 * color + 0.59) + 0.14));
}

float3 linearToSrgb(float3 color) {
    float3 low = color * 12.92;
    float3 high = 1.055 * pow(color, 1.0 / 2.4) - 0.055;
    return float3(color.r <= 0.0031308 ? low.r : high.r, color.g <= 0.0031308 ? low.g : high.g,
                  color.b <= 0.0031308 ? low.b : high.b);
}

float4 PixelMain(ScreenVertex input) : SV_Target {
    float3 color = renderTarget.Sample(pointSampler, input.texcoord).rgb;
    color *= exp2(settings.exposure);
    color = toneMap(max(color, 0.0));
    // Display-referred adjustments, in gamma space where they look even.
    color = linearToSrgb(color);
    color += settings.brightness;
    color = (color - 0.5) * settings.contrast + 0.5;
    float luminance = dot(color, float3(0.2126, 0.7152, 0.0722));
    color = lerp(float3(luminance, luminance, luminance), color, settings.saturation);
    // The back buffer is R8G8B8A8_UNORM: it stores the encoded values as they are.
    return float4(saturate(color), 1.0);
}
