// The scripted fly-through: eight legs of recorded points played along a Catmull-Rom curve, each leg easing
// out over its last fifth, holding still for a moment at its end, then cutting to the next leg.
#pragma once

#include "core/MathTypes.h"

#include <array>
#include <cstdint>
#include <vector>

class FlyThroughSegment {
public:
    std::vector<Vec3> points;
    // Spans (stretches between consecutive points) per second.
    float speed = 2.0f;
    bool showMeshlets = false;
};

enum class FlyThroughState : uint32_t {
    Moving = 0,
    Holding = 1,
};

class FlyThrough {
public:
    static constexpr uint32_t SEGMENT_COUNT = 8;

    // Restarts playback at the first point of leg 0.
    void reset();
    // One frame of playback; reports whether the current leg wants the meshlet view.
    Mat4 update(float dt, bool& showMeshlets);
    // One step along the current leg.
    void advance(float dt);
    // Fills the eight legs with the built-in path and resets; runs once, during initialisation.
    void setupPath();

    std::array<FlyThroughSegment, SEGMENT_COUNT> segments;
    // SEGMENT_COUNT once the last leg and its hold are over.
    uint32_t currentSegment = 0;
    FlyThroughState state = FlyThroughState::Moving;
    // The point at which the current span starts.
    uint64_t pointIndex = 0;
    // Fraction of the current span travelled, below 1 after every step.
    float t = 0.0f;
    float holdTimer = 0.0f;
    float holdTime = 0.8f;
    // Fraction of a leg after which the step slows down.
    float slowDownStart = 0.8f;
    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 direction{0.0f, 0.0f, 0.0f};
};

extern FlyThrough flyThrough;

// The uniform Catmull-Rom curve of one span: p1 at s = 0, p2 at s = 1.
Vec3 catmullRom(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, float s);
