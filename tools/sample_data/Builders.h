// The scene's meshes, each built in its own coordinates (y up, floor at 0, metres).
#pragma once

#include "Materials.h"
#include "Mesh.h"

namespace sample {

// Room interior: the fly-through's points all lie inside, clear of walls, pillars and beams.
constexpr float ROOM_MIN_X = -12.5f, ROOM_MAX_X = 20.5f;
constexpr float ROOM_MIN_Z = -20.5f, ROOM_MAX_Z = 24.5f;
constexpr float CEILING_HEIGHT = 9.0f;
constexpr float BEAM_BOTTOM = 8.2f;
constexpr float TABLE_TOP = 0.83f;
constexpr float BAR_TOP = 1.15f;

// Shared helpers of the builders.
MeshData emptyMesh(const char* name);
Primitive& primitiveFor(MeshData& mesh, MaterialId material); // the mesh's primitive of that material
void finishMesh(MeshData& mesh);                              // tangents, once all shapes are in
// A profile through `points` refined with smooth spans, `steps` points per span.
std::vector<ProfilePoint> smoothProfile(const std::vector<ProfilePoint>& points, int steps);
// A profile with a hard edge at every point: each span is its own strip with its own normals.
void addCreasedLathe(Primitive& primitive, const Transform& place, const std::vector<ProfilePoint>& points,
                     int segments, float uvScale);

// Furniture and tableware.
MeshData buildTable();
MeshData buildBench();
MeshData buildStool();
MeshData buildBarrel();
MeshData buildMug();
MeshData buildBottle();
MeshData buildCandle();

// The room.
MeshData buildFloor();
MeshData buildWalls();
MeshData buildCeiling();
MeshData buildCrossBeam();
MeshData buildLongBeam();
MeshData buildPillar();
MeshData buildBarCounter();
MeshData buildShelf();
MeshData buildFireplaceHalf();
MeshData buildDoor();

// Lights and what hangs from the beams.
MeshData buildLantern();
MeshData buildHangingRod();
MeshData buildChandelier();
MeshData buildHerbBundle();
MeshData buildChandelierShadow();
MeshData buildHerbBundlesShadow(const std::vector<float3>& tiePoints);

} // namespace sample
