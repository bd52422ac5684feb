#include "camera/FlyThrough.h"

#include "camera/LookAt.h"
#include "camera/Vector.h"

#include <algorithm>

// Constant initialisation: the path state holds its initial values before any of the program's code runs.
constinit FlyThrough flyThrough;

namespace {

// Below this the look-ahead is too close to give a direction; the previous one is kept.
constexpr float MIN_LOOK_AHEAD = 0.0001f;
constexpr float LOOK_AHEAD_STEP = 0.01f;
// The step falls linearly to this fraction of the leg's speed at its last point.
constexpr float END_EASE = 0.2f;

float catmullRom(float p0, float p1, float p2, float p3, float s) {
    const float s2 = s * s;
    const float s3 = s2 * s;
    return 0.5f * (2.0f * p1 + (p2 - p0) * s + (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) * s2 +
                   (-p0 + 3.0f * p1 - 3.0f * p2 + p3) * s3);
}

} // namespace

Vec3 catmullRom(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, float s) {
    return {catmullRom(p0.x, p1.x, p2.x, p3.x, s), catmullRom(p0.y, p1.y, p2.y, p3.y, s),
            catmullRom(p0.z, p1.z, p2.z, p3.z, s)};
}

void FlyThrough::reset() {
    currentSegment = 0;
    state = FlyThroughState::Moving;
    pointIndex = 0;
    t = 0.0f;
    const std::vector<Vec3>& points = segments[0].points;
    if (points.empty())
        return;
    position = points[0];
    direction = points.size() >= 2 ? normalize(points[1] - points[0]) : Vec3{0.0f, 0.0f, -1.0f};
}

Mat4 FlyThrough::update(float dt, bool& showMeshlets) {
    if (currentSegment >= SEGMENT_COUNT) {
        showMeshlets = false;
    } else {
        if (state == FlyThroughState::Holding) {
            holdTimer -= dt;
            if (holdTimer <= 0.0f) {
                const uint32_t endedSegment = currentSegment;
                currentSegment += 1;
                state = FlyThroughState::Moving;
                pointIndex = 0;
                t = 0.0f;
                // Only the cut from leg 0 places the eye at once; the others move there in the next frame.
                // A leg 1 without points leaves the eye where it is.
                if (endedSegment == 0 && !segments[1].points.empty())
                    position = segments[1].points[0];
            }
        } else {
            advance(dt);
        }
        showMeshlets = currentSegment < SEGMENT_COUNT ? segments[currentSegment].showMeshlets : false;
    }
    return lookAt(position, position + direction, Vec3{0.0f, 1.0f, 0.0f});
}

void FlyThrough::advance(float dt) {
    const FlyThroughSegment& segment = segments[currentSegment];
    const std::vector<Vec3>& points = segment.points;
    if (points.size() < 2)
        return;
    const uint64_t last = points.size() - 1;

    const float progress = (static_cast<float>(pointIndex) + t) / static_cast<float>(last);
    float ease = 1.0f;
    if (progress > slowDownStart) {
        const float x = (progress - slowDownStart) / (1.0f - slowDownStart);
        ease = END_EASE * x + (1.0f - x);
    }
    t += dt * segment.speed * ease;

    while (t >= 1.0f) {
        t -= 1.0f;
        pointIndex += 1;
        if (pointIndex >= last) {
            // The leg is over; the eye rests where the previous frame left it.
            pointIndex = last;
            t = 0.0f;
            state = FlyThroughState::Holding;
            holdTimer = holdTime;
            return;
        }
    }

    const Vec3& p0 = points[pointIndex == 0 ? 0 : pointIndex - 1];
    const Vec3& p1 = points[pointIndex];
    const Vec3& p2 = points[pointIndex + 1];
    const Vec3& p3 = points[std::min(pointIndex + 2, last)];
    position = catmullRom(p0, p1, p2, p3, t);

    // The look-ahead stays within the span.
    const Vec3 ahead = catmullRom(p0, p1, p2, p3, std::min(t + LOOK_AHEAD_STEP, 1.0f));
    const Vec3 toAhead = ahead - position;
    if (length(toAhead) > MIN_LOOK_AHEAD)
        direction = normalize(toAhead);
}
