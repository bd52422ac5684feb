#include "Builders.h"

namespace sample {
namespace {

constexpr float BARREL_HEIGHT = 1.2f;

float barrelRadius(float y) {
    return 0.38f + 0.08f * std::sin(PI * y / BARREL_HEIGHT);
}

} // namespace

MeshData buildTable() {
    MeshData mesh = emptyMesh("Table");
    Primitive& top = primitiveFor(mesh, FLOOR_WOOD);
    Primitive& frame = primitiveFor(mesh, DARK_WOOD);
    addBox(top, {}, {-1.2f, 0.76f, -0.55f}, {1.2f, TABLE_TOP, 0.55f}, 0.5f, 4);
    // Apron under the top.
    addBox(frame, {}, {-1.0f, 0.64f, 0.40f}, {1.0f, 0.76f, 0.44f}, 1.0f);
    addBox(frame, {}, {-1.0f, 0.64f, -0.44f}, {1.0f, 0.76f, -0.40f}, 1.0f);
    addBox(frame, {}, {-1.02f, 0.64f, -0.40f}, {-0.98f, 0.76f, 0.40f}, 1.0f);
    addBox(frame, {}, {0.98f, 0.64f, -0.40f}, {1.02f, 0.76f, 0.40f}, 1.0f);
    // Turned legs.
    std::vector<ProfilePoint> leg = smoothProfile({{0.040f, 0.0f},
                                                   {0.046f, 0.04f},
                                                   {0.034f, 0.10f},
                                                   {0.030f, 0.20f},
                                                   {0.042f, 0.30f},
                                                   {0.030f, 0.35f},
                                                   {0.028f, 0.50f},
                                                   {0.038f, 0.60f},
                                                   {0.046f, 0.66f},
                                                   {0.046f, 0.76f}},
                                                  4);
    for (float x : {-1.0f, 1.0f}) {
        for (float z : {-0.42f, 0.42f}) {
            Transform place = translate({x, 0, z});
            addLathe(frame, place, {{0, 0}, {0.040f, 0}}, 40, 1.0f);
            addLathe(frame, place, leg, 40, 1.0f);
        }
    }
    finishMesh(mesh);
    return mesh;
}

MeshData buildBench() {
    MeshData mesh = emptyMesh("Bench");
    Primitive& wood = primitiveFor(mesh, DARK_WOOD);
    Primitive& cushion = primitiveFor(mesh, CLOTH_FABRIC);
    addBox(wood, {}, {-1.0f, 0.42f, -0.16f}, {1.0f, 0.47f, 0.16f}, 1.0f, 2);
    addBox(wood, {}, {-0.85f, 0.0f, -0.14f}, {-0.80f, 0.42f, 0.14f}, 1.0f);
    addBox(wood, {}, {0.80f, 0.0f, -0.14f}, {0.85f, 0.42f, 0.14f}, 1.0f);
    addBox(wood, {}, {-0.80f, 0.12f, -0.02f}, {0.80f, 0.18f, 0.02f}, 1.0f);
    addBox(cushion, {}, {-0.9f, 0.47f, -0.14f}, {0.9f, 0.51f, 0.14f}, 2.0f, 6);
    finishMesh(mesh);
    return mesh;
}

MeshData buildStool() {
    MeshData mesh = emptyMesh("Stool");
    Primitive& wood = primitiveFor(mesh, DARK_WOOD);
    // Seat with a rounded edge, walked from the underside's centre round to the top's centre.
    std::vector<ProfilePoint> seat = {{0, 0.62f}, {0.175f, 0.62f}};
    for (int k = 1; k < 12; ++k) {
        float a = -PI / 2 + PI * float(k) / 12.0f;
        seat.push_back({0.175f + 0.025f * std::cos(a), 0.645f + 0.025f * std::sin(a)});
    }
    seat.push_back({0.175f, 0.67f});
    seat.push_back({0, 0.67f});
    addLathe(wood, {}, seat, 64, 1.0f);
    // Three splayed legs from the seat's underside to the floor.
    const float tilt = std::atan2(0.09f, 0.62f) * 180.0f / PI;
    for (int leg = 0; leg < 3; ++leg) {
        Transform place = placeY({}, 120.0f * float(leg)) * placeZ({0.21f, 0, 0}, tilt);
        addCylinder(wood, place, 0.022f, 0.0f, 0.63f, 24, 1.0f);
    }
    addTorus(wood, translate({0, 0.25f, 0}), 0.175f, 0.012f, 64, 8, 1.0f);
    finishMesh(mesh);
    return mesh;
}

MeshData buildBarrel() {
    MeshData mesh = emptyMesh("Barrel");
    Primitive& wood = primitiveFor(mesh, FLOOR_WOOD);
    Primitive& hoops = primitiveFor(mesh, IRON);
    // The planks of the floor texture run around the barrel as staves.
    LatheOptions staves;
    staves.profileAlongU = true;
    std::vector<ProfilePoint> outside;
    for (int i = 0; i <= 32; ++i) {
        float y = BARREL_HEIGHT * float(i) / 32.0f;
        outside.push_back({barrelRadius(y), y});
    }
    addLathe(wood, {}, outside, 96, 0.76f, staves);
    // Recessed heads inside the chimes at both ends.
    const float chime = 0.355f;
    addCreasedLathe(wood, {}, {{0, 0.03f}, {chime, 0.03f}, {chime, 0}, {0.38f, 0}}, 96, 0.76f);
    addCreasedLathe(wood, {},
                    {{0.38f, BARREL_HEIGHT},
                     {chime, BARREL_HEIGHT},
                     {chime, BARREL_HEIGHT - 0.03f},
                     {0, BARREL_HEIGHT - 0.03f}},
                    96, 0.76f);
    for (float y : {0.10f, 0.32f, 0.88f, 1.10f}) {
        float r = barrelRadius(y) + 0.004f;
        addCreasedLathe(hoops, {},
                        {{r, y - 0.035f}, {r + 0.01f, y - 0.035f}, {r + 0.01f, y + 0.035f}, {r, y + 0.035f}},
                        96, 4.0f);
    }
    finishMesh(mesh);
    return mesh;
}

MeshData buildMug() {
    MeshData mesh = emptyMesh("Mug");
    Primitive& pewter = primitiveFor(mesh, PEWTER);
    Primitive& ale = primitiveFor(mesh, ALE);
    addLathe(pewter, {}, {{0, 0}, {0.05f, 0}}, 48, 4.0f);
    addLathe(pewter, {},
             smoothProfile({{0.050f, 0},
                            {0.053f, 0.006f},
                            {0.050f, 0.014f},
                            {0.047f, 0.05f},
                            {0.046f, 0.10f},
                            {0.048f, 0.14f},
                            {0.051f, 0.152f}},
                           3),
             48, 4.0f);
    // Rim, then the inside wall down to the inner floor (facing the axis).
    addCreasedLathe(pewter, {}, {{0.051f, 0.152f}, {0.045f, 0.152f}, {0.043f, 0.02f}, {0, 0.02f}}, 48, 4.0f);
    // Handle: half a ring standing in the x-y plane on the +x side.
    LatheOptions half;
    half.arcStartDegrees = -95;
    half.arcDegrees = 190;
    addTorus(pewter, placeX({0.046f, 0.085f, 0}, 90), 0.042f, 0.0075f, 32, 12, 4.0f, half);
    addLathe(ale, {}, {{0.0446f, 0.125f}, {0, 0.125f}}, 48, 4.0f);
    finishMesh(mesh);
    return mesh;
}

MeshData buildBottle() {
    MeshData mesh = emptyMesh("Bottle");
    Primitive& glass = primitiveFor(mesh, BOTTLE_GLASS);
    addLathe(glass, {}, {{0, 0}, {0.038f, 0}}, 32, 4.0f);
    addLathe(glass, {},
             smoothProfile({{0.038f, 0},
                            {0.040f, 0.01f},
                            {0.040f, 0.16f},
                            {0.036f, 0.19f},
                            {0.022f, 0.22f},
                            {0.013f, 0.24f},
                            {0.012f, 0.29f},
                            {0.015f, 0.295f},
                            {0.015f, 0.305f},
                            {0.011f, 0.31f}},
                           3),
             32, 4.0f);
    addLathe(glass, {}, {{0.011f, 0.31f}, {0, 0.31f}}, 32, 4.0f);
    finishMesh(mesh);
    return mesh;
}

MeshData buildCandle() {
    MeshData mesh = emptyMesh("Candle");
    Primitive& holder = primitiveFor(mesh, IRON);
    Primitive& wax = primitiveFor(mesh, CANDLE_WAX);
    Primitive& flame = primitiveFor(mesh, CANDLE_FLAME);
    addCreasedLathe(holder, {},
                    {{0, 0}, {0.05f, 0}, {0.055f, 0.015f}, {0.048f, 0.015f}, {0.046f, 0.006f}, {0, 0.006f}},
                    32, 4.0f);
    addCreasedLathe(wax, {}, {{0.018f, 0.006f}, {0.018f, 0.15f}, {0, 0.15f}}, 24, 4.0f);
    addLathe(
        flame, {},
        smoothProfile({{0, 0.155f}, {0.008f, 0.165f}, {0.010f, 0.175f}, {0.006f, 0.19f}, {0, 0.205f}}, 3), 16,
        8.0f);
    finishMesh(mesh);
    return mesh;
}

} // namespace sample
