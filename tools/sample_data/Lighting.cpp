#include "Builders.h"

namespace sample {
namespace {

constexpr float CHANDELIER_RADIUS = 1.0f;
constexpr float CHAIN_LENGTH = 2.7f; // from the chandelier's ring up to the ceiling

// A chain hanging straight up from `bottom`: rings alternately in the x-y and the y-z plane.
void addChain(Primitive& iron, float3 bottom, float length) {
    const float pitch = 0.06f;
    for (int link = 0; float(link) * pitch < length; ++link) {
        float3 at = bottom + float3{0, 0.03f + float(link) * pitch, 0};
        Transform place = link % 2 == 0 ? placeX(at, 90) : placeZ(at, -90);
        addTorus(iron, place, 0.032f, 0.009f, 12, 6, 8.0f);
    }
}

// The eight candle places on the chandelier's ring, off the x axis that the moving light follows.
float3 chandelierCandle(int candle) {
    float a = (22.5f + 45.0f * float(candle)) * PI / 180.0f;
    return {CHANDELIER_RADIUS * std::cos(a), 0.04f, CHANDELIER_RADIUS * std::sin(a)};
}

float3 chandelierChain(int chain) {
    float a = (45.0f + 90.0f * float(chain)) * PI / 180.0f;
    return {CHANDELIER_RADIUS * std::cos(a), 0.04f, CHANDELIER_RADIUS * std::sin(a)};
}

} // namespace

MeshData buildLantern() {
    MeshData mesh = emptyMesh("Lantern");
    Primitive& iron = primitiveFor(mesh, IRON);
    Primitive& glass = primitiveFor(mesh, LANTERN_GLASS);
    addCreasedLathe(iron, {}, {{0, 0}, {0.11f, 0}, {0.11f, 0.05f}, {0.09f, 0.065f}, {0, 0.065f}}, 48, 4.0f);
    addCreasedLathe(iron, {}, {{0, 0.33f}, {0.115f, 0.33f}, {0.115f, 0.35f}, {0.03f, 0.44f}, {0, 0.44f}}, 48,
                    4.0f);
    for (int bar = 0; bar < 4; ++bar) {
        float a = (45.0f + 90.0f * float(bar)) * PI / 180.0f;
        addCylinder(iron, translate({0.1f * std::cos(a), 0, 0.1f * std::sin(a)}), 0.007f, 0.065f, 0.33f, 12,
                    4.0f);
    }
    addTorus(iron, placeX({0, 0.47f, 0}, 90), 0.03f, 0.006f, 24, 8, 4.0f);
    std::vector<ProfilePoint> pane;
    for (int k = 0; k <= 16; ++k) {
        float t = float(k) / 16.0f;
        pane.push_back({0.085f + 0.01f * std::sin(PI * t), 0.065f + 0.265f * t});
    }
    addLathe(glass, {}, pane, 48, 3.0f);
    finishMesh(mesh);
    return mesh;
}

// One metre of thin rod from y = 0 up; nodes scale it to the length they need.
MeshData buildHangingRod() {
    MeshData mesh = emptyMesh("Hanging Rod");
    addCylinder(primitiveFor(mesh, IRON), {}, 0.012f, 0.0f, 1.0f, 12, 4.0f);
    finishMesh(mesh);
    return mesh;
}

// A ring of candles hanging on four chains; its origin is the ring's centre.
MeshData buildChandelier() {
    MeshData mesh = emptyMesh("Chandelier");
    Primitive& iron = primitiveFor(mesh, IRON);
    Primitive& wax = primitiveFor(mesh, CANDLE_WAX);
    Primitive& flame = primitiveFor(mesh, CANDLE_FLAME);
    addTorus(iron, {}, CHANDELIER_RADIUS, 0.04f, 128, 16, 2.0f);
    for (int candle = 0; candle < 8; ++candle) {
        Transform place = translate(chandelierCandle(candle));
        addCreasedLathe(iron, place,
                        {{0, 0}, {0.05f, 0}, {0.06f, 0.04f}, {0.052f, 0.04f}, {0.045f, 0.01f}, {0, 0.01f}},
                        24, 4.0f);
        addCreasedLathe(wax, place, {{0.02f, 0.01f}, {0.02f, 0.2f}, {0, 0.2f}}, 24, 4.0f);
        addLathe(flame, place,
                 smoothProfile(
                     {{0, 0.205f}, {0.009f, 0.216f}, {0.011f, 0.228f}, {0.007f, 0.245f}, {0, 0.262f}}, 3),
                 16, 8.0f);
    }
    for (int chain = 0; chain < 4; ++chain) {
        addChain(iron, chandelierChain(chain), CHAIN_LENGTH);
    }
    finishMesh(mesh);
    return mesh;
}

// Stalks tied together at the origin and hanging down about 0.65 m.
MeshData buildHerbBundle() {
    MeshData mesh = emptyMesh("Herb Bundle");
    Primitive& herbs = primitiveFor(mesh, DRIED_HERBS);
    Primitive& string = primitiveFor(mesh, DARK_WOOD);
    Random random(0x4E5B);
    for (int stalk = 0; stalk < 7; ++stalk) {
        float length = random.range(0.5f, 0.7f), spread = random.range(0.06f, 0.11f);
        Transform place = placeY({}, random.range(0, 360)) * placeZ({}, random.range(-12, 12));
        // From the lower tip's centre round the cone to its top at the tie, facing outward.
        addLathe(herbs, place,
                 smoothProfile({{0, -length},
                                {spread, -length + 0.05f},
                                {spread * 0.8f, -length * 0.6f},
                                {0.015f, -0.04f},
                                {0, 0}},
                               4),
                 20, 4.0f);
    }
    addTorus(string, translate({0, -0.05f, 0}), 0.022f, 0.006f, 24, 6, 4.0f);
    addCylinder(string, {}, 0.003f, -0.05f, 0.3f, 8, 4.0f);
    finishMesh(mesh);
    return mesh;
}

// The chandelier as the shadow rays see it: a coarse ring, candles and chains, with the same origin.
MeshData buildChandelierShadow() {
    MeshData mesh = emptyMesh("Chandelier Shadow");
    mesh.surfaceAttributes = false;
    // Factors only: the proxy has no texture coordinates to sample a texture with.
    Primitive& proxy = primitiveFor(mesh, PEWTER);
    addTorus(proxy, {}, CHANDELIER_RADIUS, 0.04f, 32, 6, 1.0f);
    for (int candle = 0; candle < 8; ++candle) {
        addCylinder(proxy, translate(chandelierCandle(candle)), 0.03f, 0.0f, 0.26f, 8, 1.0f);
    }
    for (int chain = 0; chain < 4; ++chain) {
        float3 at = chandelierChain(chain);
        addBox(proxy, {}, at + float3{-0.012f, 0, -0.012f}, at + float3{0.012f, CHAIN_LENGTH, 0.012f}, 1.0f);
    }
    return mesh;
}

// Every herb bundle as one coarse cone each, in room coordinates.
MeshData buildHerbBundlesShadow(const std::vector<float3>& tiePoints) {
    MeshData mesh = emptyMesh("Herb Bundles Shadow");
    mesh.surfaceAttributes = false;
    Primitive& proxy = primitiveFor(mesh, DRIED_HERBS);
    for (float3 tie : tiePoints) {
        addLathe(proxy, translate(tie), {{0, -0.65f}, {0.12f, -0.6f}, {0.02f, 0}, {0, 0}}, 10, 1.0f);
        addCylinder(proxy, translate(tie), 0.004f, 0.0f, 0.3f, 4, 1.0f);
    }
    return mesh;
}

} // namespace sample
