#include "Builders.h"

namespace sample {
namespace {

constexpr float WALL_THICKNESS = 0.8f;
constexpr float WALL_HEIGHT = CEILING_HEIGHT + 0.4f;

} // namespace

MeshData buildFloor() {
    MeshData mesh = emptyMesh("Floor");
    mesh.wideIndices = true;
    float3 size{ROOM_MAX_X - ROOM_MIN_X, 0, ROOM_MAX_Z - ROOM_MIN_Z};
    // Facing up: u along +x, v along -z. Planks of 0.25 m run along x.
    addRectangle(primitiveFor(mesh, FLOOR_WOOD), {}, {ROOM_MIN_X, 0, ROOM_MAX_Z}, {size.x, 0, 0},
                 {0, 0, -size.z}, 66, 90, 0.5f);
    finishMesh(mesh);
    return mesh;
}

MeshData buildWalls() {
    MeshData mesh = emptyMesh("Walls");
    mesh.wideIndices = true;
    Primitive& stone = primitiveFor(mesh, STONE);
    const float t = WALL_THICKNESS;
    addBox(stone, {}, {ROOM_MIN_X - t, 0, ROOM_MIN_Z - t}, {ROOM_MIN_X, WALL_HEIGHT, ROOM_MAX_Z + t}, 0.4f,
           24);
    addBox(stone, {}, {ROOM_MAX_X, 0, ROOM_MIN_Z - t}, {ROOM_MAX_X + t, WALL_HEIGHT, ROOM_MAX_Z + t}, 0.4f,
           24);
    addBox(stone, {}, {ROOM_MIN_X, 0, ROOM_MIN_Z - t}, {ROOM_MAX_X, WALL_HEIGHT, ROOM_MIN_Z}, 0.4f, 24);
    addBox(stone, {}, {ROOM_MIN_X, 0, ROOM_MAX_Z}, {ROOM_MAX_X, WALL_HEIGHT, ROOM_MAX_Z + t}, 0.4f, 24);
    finishMesh(mesh);
    return mesh;
}

MeshData buildCeiling() {
    MeshData mesh = emptyMesh("Ceiling");
    // Facing down into the room.
    addRectangle(primitiveFor(mesh, PLASTER), {}, {ROOM_MIN_X, CEILING_HEIGHT, ROOM_MIN_Z},
                 {ROOM_MAX_X - ROOM_MIN_X, 0, 0}, {0, 0, ROOM_MAX_Z - ROOM_MIN_Z}, 16, 22, 0.25f);
    finishMesh(mesh);
    return mesh;
}

MeshData buildCrossBeam() {
    MeshData mesh = emptyMesh("Cross Beam");
    addBox(primitiveFor(mesh, DARK_WOOD), {}, {ROOM_MIN_X, BEAM_BOTTOM, -0.2f},
           {ROOM_MAX_X, BEAM_BOTTOM + 0.6f, 0.2f}, 0.5f, 8);
    finishMesh(mesh);
    return mesh;
}

MeshData buildLongBeam() {
    MeshData mesh = emptyMesh("Long Beam");
    addBox(primitiveFor(mesh, DARK_WOOD), {}, {-0.25f, BEAM_BOTTOM + 0.2f, ROOM_MIN_Z},
           {0.25f, CEILING_HEIGHT, ROOM_MAX_Z}, 0.5f, 8);
    finishMesh(mesh);
    return mesh;
}

MeshData buildPillar() {
    MeshData mesh = emptyMesh("Pillar");
    Primitive& wood = primitiveFor(mesh, DARK_WOOD);
    addCreasedLathe(wood, {}, {{0, 0}, {0.34f, 0}, {0.34f, 0.25f}, {0.28f, 0.25f}}, 48, 0.5f);
    addLathe(wood, {},
             smoothProfile({{0.28f, 0.25f},
                            {0.29f, 0.30f},
                            {0.27f, 0.36f},
                            {0.24f, 0.40f},
                            {0.23f, 1.0f},
                            {0.222f, 2.5f},
                            {0.215f, 4.0f},
                            {0.208f, 5.5f},
                            {0.205f, 7.2f},
                            {0.22f, 7.6f},
                            {0.25f, 7.75f},
                            {0.24f, 7.85f},
                            {0.30f, 8.0f},
                            {0.32f, BEAM_BOTTOM}},
                           6),
             48, 0.5f);
    finishMesh(mesh);
    return mesh;
}

// Along z from -6 to 6, the customers' side facing +x.
MeshData buildBarCounter() {
    MeshData mesh = emptyMesh("Bar Counter");
    Primitive& body = primitiveFor(mesh, DARK_WOOD);
    Primitive& top = primitiveFor(mesh, FLOOR_WOOD);
    Primitive& rail = primitiveFor(mesh, IRON);
    addBox(body, {}, {-0.45f, 0, -6.0f}, {0.45f, 1.08f, 6.0f}, 0.5f, 8);
    // Raised panels along the front.
    for (int panel = 0; panel < 8; ++panel) {
        float z = -5.7f + 1.45f * float(panel);
        addBox(body, {}, {0.45f, 0.2f, z}, {0.47f, 0.95f, z + 1.25f}, 0.5f, 2);
    }
    addBox(top, {}, {-0.55f, 1.08f, -6.1f}, {0.55f, BAR_TOP, 6.1f}, 0.5f, 8);
    // Foot rail on brackets; the lathe's axis turned onto z.
    addCylinder(rail, placeX({0.62f, 0.18f, 0}, 90), 0.025f, -5.8f, 5.8f, 24, 2.0f);
    for (int bracket = 0; bracket < 5; ++bracket) {
        float z = -5.5f + 2.75f * float(bracket);
        addBox(rail, {}, {0.45f, 0.16f, z - 0.015f}, {0.62f, 0.20f, z + 0.015f}, 2.0f);
    }
    finishMesh(mesh);
    return mesh;
}

// A shelf board reaching out from a wall at x = 0 towards +x, with two brackets under it.
MeshData buildShelf() {
    MeshData mesh = emptyMesh("Shelf");
    addBox(primitiveFor(mesh, DARK_WOOD), {}, {0, 0, -1.5f}, {0.32f, 0.04f, 1.5f}, 0.5f, 4);
    Primitive& iron = primitiveFor(mesh, IRON);
    for (float z : {-1.2f, 1.2f}) {
        addBox(iron, {}, {0, -0.22f, z - 0.015f}, {0.03f, 0, z + 0.015f}, 2.0f);
        addBox(iron, {}, {0.03f, -0.03f, z - 0.015f}, {0.28f, 0, z + 0.015f}, 2.0f);
    }
    finishMesh(mesh);
    return mesh;
}

// The left half of the fireplace against a wall at z = 0, from its centre line x = 0 to x = 2.2; a mirrored
// node makes the other half.
MeshData buildFireplaceHalf() {
    MeshData mesh = emptyMesh("Fireplace Half");
    Primitive& stone = primitiveFor(mesh, STONE);
    Primitive& soot = primitiveFor(mesh, SOOT);
    Primitive& logs = primitiveFor(mesh, DARK_WOOD);
    addBox(stone, {}, {0, 0, 0}, {2.4f, 0.15f, 1.6f}, 0.4f, 4);             // hearth
    addBox(stone, {}, {1.4f, 0.15f, 0}, {2.2f, 1.7f, 1.2f}, 0.4f, 4);       // jamb
    addBox(stone, {}, {0, 1.7f, 0}, {2.2f, 2.2f, 1.25f}, 0.4f, 4);          // lintel
    addBox(stone, {}, {0, 2.2f, 0}, {1.9f, CEILING_HEIGHT, 0.9f}, 0.4f, 8); // chimney breast
    addBox(soot, {}, {0, 0.15f, 0}, {1.4f, 1.7f, 0.3f}, 0.4f, 4);           // back of the fire
    // Two logs lying across the hearth, the lathe's axis turned onto x.
    addCylinder(logs, placeZ({0.1f, 0.24f, 0.7f}, -90), 0.09f, 0.0f, 1.1f, 24, 1.0f);
    addCylinder(logs, placeY({0.2f, 0.38f, 0.72f}, 20) * placeZ({}, -90), 0.08f, 0.0f, 0.9f, 24, 1.0f);
    finishMesh(mesh);
    return mesh;
}

// A door in a wall at x = 0, facing -x, 2 m wide along z.
MeshData buildDoor() {
    MeshData mesh = emptyMesh("Door");
    Primitive& wood = primitiveFor(mesh, DARK_WOOD);
    Primitive& iron = primitiveFor(mesh, IRON);
    addBox(wood, {}, {-0.08f, 0, -1.0f}, {0, 2.6f, 1.0f}, 0.5f, 6);
    for (float y : {0.4f, 2.2f}) {
        addBox(iron, {}, {-0.1f, y - 0.04f, -0.95f}, {-0.08f, y + 0.04f, 0.6f}, 2.0f); // hinges
    }
    // Studs: small domes facing -x.
    std::vector<ProfilePoint> dome;
    for (int k = 0; k <= 6; ++k) {
        float a = PI / 2 * float(k) / 6.0f;
        dome.push_back({0.02f * std::cos(a), 0.012f * std::sin(a)});
    }
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 3; ++column) {
            float3 at{-0.08f, 0.5f + 0.3f * float(row), -0.6f + 0.6f * float(column)};
            addLathe(iron, placeZ(at, 90), dome, 12, 8.0f);
        }
    }
    addTorus(iron, placeZ({-0.1f, 1.1f, 0.7f}, 90), 0.06f, 0.008f, 32, 8, 4.0f);
    finishMesh(mesh);
    return mesh;
}

} // namespace sample
