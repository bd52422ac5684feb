#include "TavernScene.h"

#include "Builders.h"
#include "Textures.h"

namespace sample {
namespace {

struct Meshes {
    int floor, walls, ceiling, crossBeam, longBeam, pillar, barCounter, shelf, fireplaceHalf, door;
    int table, bench, stool, barrel, mug, bottle, candle, lantern, hangingRod, chandelier, herbBundle;
    int chandelierShadow, herbBundlesShadow; // the last two meshes of the file
};

constexpr float CHANDELIER_HEIGHT = 6.3f;
constexpr float TIE_HEIGHT = BEAM_BOTTOM - 0.3f;

// Builds nodes below a parent; every node of the tavern hangs below the one root of the default scene.
struct Layout {
    Document& document;
    const Meshes& meshes;
    Random random{0x7A7E12};

    int add(int parent, const std::string& name, int mesh, float3 translation, float yawDegrees = 0,
            float3 scale = {1, 1, 1}) {
        NodeDesc node;
        node.name = name;
        node.mesh = mesh;
        node.translation = translation;
        node.rotation = rotationY(yawDegrees);
        node.scale = scale;
        int index = document.addNode(node);
        if (parent >= 0) {
            document.attach(parent, index);
        }
        return index;
    }

    int addMatrix(int parent, const std::string& name, int mesh, const Transform& transform) {
        NodeDesc node;
        node.name = name;
        node.mesh = mesh;
        node.matrix = toColumnMajor(transform);
        int index = document.addNode(node);
        document.attach(parent, index);
        return index;
    }

    void structure(int root) {
        int group = add(root, "Structure", -1, {});
        add(group, "Floor", meshes.floor, {});
        add(group, "Walls", meshes.walls, {});
        add(group, "Ceiling", meshes.ceiling, {});
        for (float z : {-12.0f, -4.0f, 4.0f, 16.0f}) {
            add(group, "Cross Beam", meshes.crossBeam, {0, 0, z});
            for (float x : {-2.0f, 10.0f}) {
                add(group, "Pillar", meshes.pillar, {x, 0, z}, random.range(0, 360));
            }
        }
        for (float x : {-2.0f, 10.0f}) {
            add(group, "Long Beam", meshes.longBeam, {x, 0, 0});
        }
        int fireplace = add(group, "Fireplace", -1, {4.3f, 0, ROOM_MIN_Z});
        add(fireplace, "Fireplace East Half", meshes.fireplaceHalf, {});
        add(fireplace, "Fireplace West Half", meshes.fireplaceHalf, {}, 0, {-1, 1, 1}); // mirrored
        add(group, "Door", meshes.door, {ROOM_MAX_X, 0, 5.0f});
    }

    void mug(int parent, float3 at) { add(parent, "Mug", meshes.mug, at, random.range(0, 360)); }

    void bar(int root) {
        int group = add(root, "Bar", -1, {});
        int counter = add(group, "Bar Counter", meshes.barCounter, {-10.0f, 0, -6.5f});
        for (float z : {-4.2f, -2.5f, 0.3f, 1.1f, 3.9f}) {
            mug(counter, {random.range(-0.1f, 0.25f), BAR_TOP, z});
        }
        for (float z : {-5.2f, 4.8f}) {
            add(counter, "Bar Lantern", meshes.lantern, {-0.2f, BAR_TOP, z}, random.range(0, 90));
        }
        for (float z : {-10.5f, -8.3f, -6.0f, -3.7f, -1.5f}) {
            add(group, "Bar Stool", meshes.stool, {-8.9f, 0, z}, random.range(0, 360), {1.4f, 1.4f, 1.4f});
        }
        for (float height : {1.7f, 2.3f, 2.9f}) {
            int shelf = add(group, "Shelf", meshes.shelf, {ROOM_MIN_X, height, -6.5f});
            for (int bottle = 0; bottle < 6; ++bottle) {
                float z = -1.3f + 0.52f * float(bottle) + random.range(-0.08f, 0.08f);
                add(shelf, "Bottle", meshes.bottle, {0.16f + random.range(-0.05f, 0.05f), 0.04f, z});
            }
        }
    }

    // A table with its seats, mugs and candle, turned by `yaw` about its centre.
    void table(int parent, int number, float x, float z, float yaw, bool stools, float benchLength = 1.0f) {
        std::string name = "Table Group " + std::to_string(number);
        int group = add(parent, name, -1, {x, 0, z}, yaw);
        int top = add(group, "Table", meshes.table, {});
        add(top, "Candle", meshes.candle, {random.range(-0.1f, 0.1f), TABLE_TOP, random.range(-0.1f, 0.1f)});
        for (float3 at : {float3{-0.6f, TABLE_TOP, 0.25f}, float3{0.3f, TABLE_TOP, -0.2f},
                          float3{0.8f, TABLE_TOP, 0.3f}}) {
            mug(top, at + float3{random.range(-0.1f, 0.1f), 0, random.range(-0.05f, 0.05f)});
        }
        if (stools) {
            for (float3 at : {float3{-0.6f, 0, -0.85f}, float3{0.6f, 0, -0.85f}, float3{-0.6f, 0, 0.85f},
                              float3{0.6f, 0, 0.85f}}) {
                add(group, "Stool", meshes.stool, at + float3{random.range(-0.1f, 0.1f), 0, 0},
                    random.range(0, 360));
            }
            return;
        }
        add(group, "Bench", meshes.bench, {0, 0, 0.78f}, 0, {benchLength, 1, 1});
        add(group, "Bench", meshes.bench, {0, 0, -0.78f}, 180);
    }

    void tables(int root) {
        int group = add(root, "Tables", -1, {});
        table(group, 0, 1.3f, -4.5f, 90, false);
        table(group, 1, 1.3f, -11.0f, 90, false);
        table(group, 2, 7.3f, -4.5f, 90, false);
        table(group, 3, 7.3f, -11.0f, 90, false);
        table(group, 4, 7.3f, -16.0f, 90, true);
        table(group, 5, 6.0f, 14.3f, 15, true);
        table(group, 6, 11.0f, 19.5f, -20, true);
        table(group, 7, 14.5f, 7.5f, 5, false);
        table(group, 8, -5.5f, 14.5f, 0, false);
        table(group, 9, -5.0f, 1.0f, 90, true);
        table(group, 10, 0.5f, 20.0f, 30, false, 1.2f); // one bench stretched along its length
    }

    void barrels(int root) {
        int group = add(root, "Barrels", -1, {});
        // A rack of lying barrels, set by matrices: the barrel's axis (its y) turned onto the rack's x.
        int rack = addMatrix(group, "Barrel Rack", -1, placeY({-11.4f, 0, 7.5f}, 8));
        for (float3 centre : {float3{0, 0.46f, -0.95f}, float3{0, 0.46f, 0}, float3{0, 0.46f, 0.95f},
                              float3{0, 1.26f, -0.475f}, float3{0, 1.26f, 0.475f}}) {
            addMatrix(rack, "Lying Barrel", meshes.barrel, placeZ(centre + float3{-0.6f, 0, 0}, -90));
        }
        for (float3 at : {float3{17.5f, 0, -17.5f}, float3{18.6f, 0, -16.2f}, float3{16.9f, 0, -15.6f},
                          float3{18.8f, 0, 22.8f}, float3{17.6f, 0, 23.2f}, float3{-11.3f, 0, 0.4f},
                          float3{-11.6f, 0, 1.5f}}) {
            add(group, "Barrel", meshes.barrel, at, random.range(0, 360));
        }
    }

    void lanterns(int root) {
        int group = add(root, "Lanterns", -1, {});
        const float rod = 0.7f;
        for (float z : {-12.0f, 16.0f}) {
            for (float x : {-7.0f, 4.0f, 15.0f}) {
                int hanger = add(group, "Hanging Lantern", -1, {x, BEAM_BOTTOM, z});
                add(hanger, "Rod", meshes.hangingRod, {0, -rod, 0}, 0, {1, rod, 1});
                add(hanger, "Lantern", meshes.lantern, {0, -rod - 0.5f, 0}, random.range(0, 90));
            }
        }
    }
};

const std::vector<float3>& herbTiePoints() {
    static const std::vector<float3> points = {{-7, TIE_HEIGHT, -4}, {5, TIE_HEIGHT, -4},
                                               {14, TIE_HEIGHT, -4}, {-7, TIE_HEIGHT, 4},
                                               {5, TIE_HEIGHT, 4},   {14, TIE_HEIGHT, 4}};
    return points;
}

} // namespace

Document buildTavern() {
    Document document;
    document.materials = tavernMaterials();
    for (const TextureSource& source : textureSources()) {
        document.images.push_back({source.uri});
    }

    Meshes m{};
    m.floor = document.addMesh(buildFloor());
    m.walls = document.addMesh(buildWalls());
    m.ceiling = document.addMesh(buildCeiling());
    m.crossBeam = document.addMesh(buildCrossBeam());
    m.longBeam = document.addMesh(buildLongBeam());
    m.pillar = document.addMesh(buildPillar());
    m.barCounter = document.addMesh(buildBarCounter());
    m.shelf = document.addMesh(buildShelf());
    m.fireplaceHalf = document.addMesh(buildFireplaceHalf());
    m.door = document.addMesh(buildDoor());
    m.table = document.addMesh(buildTable());
    m.bench = document.addMesh(buildBench());
    m.stool = document.addMesh(buildStool());
    m.barrel = document.addMesh(buildBarrel());
    m.mug = document.addMesh(buildMug());
    m.bottle = document.addMesh(buildBottle());
    m.candle = document.addMesh(buildCandle());
    m.lantern = document.addMesh(buildLantern());
    m.hangingRod = document.addMesh(buildHangingRod());
    m.chandelier = document.addMesh(buildChandelier());
    m.herbBundle = document.addMesh(buildHerbBundle());
    m.chandelierShadow = document.addMesh(buildChandelierShadow());
    m.herbBundlesShadow = document.addMesh(buildHerbBundlesShadow(herbTiePoints()));

    Layout layout{document, m};
    int tavern = layout.add(-1, "Tavern", -1, {});
    layout.structure(tavern);
    layout.bar(tavern);
    layout.tables(tavern);
    layout.barrels(tavern);
    layout.lanterns(tavern);
    int casters = layout.add(tavern, "Shadow Casters", -1, {});
    layout.add(casters, "Chandelier Shadow", m.chandelierShadow, {0, CHANDELIER_HEIGHT, 0});
    layout.add(casters, "Herb Bundles Shadow", m.herbBundlesShadow, {});

    int chandelier = layout.add(-1, "Chandelier", m.chandelier, {0, CHANDELIER_HEIGHT, 0});
    int herbs = layout.add(-1, "Herb Bundles", -1, {});
    for (float3 tie : herbTiePoints()) {
        layout.add(herbs, "Herb Bundle", m.herbBundle, tie, layout.random.range(0, 360));
    }

    document.scenes = {{"Tavern", {tavern}}, {"Drawn Only", {chandelier, herbs}}};
    document.defaultScene = 0;
    return document;
}

} // namespace sample
