// A whole session of the built program at the emulated 60 Hz (the stand-in's vertical-blank clock): the
// complete fly-through from its start to past its end with the music looping and the meshlet view on exactly
// in its leg 4, then the free camera with the debug panel: a look around, every movement key, the wheel, a
// recorded position printed, two panel edits, and back to the fly-through and its music, then the window
// closes. The frame trace shows, frame by frame, what the program gave the GPU.
#include "e2e/ProgramRun.h"

#include "camera/Camera.h"
#include "camera/FlyThrough.h"

#include <standin/Dxc.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

constexpr int64_t NANOSECONDS_PER_SECOND = 1'000'000'000;

// The fly-through as the program plays it when every frame lasts one vertical blank: the program's frame time
// is the steady clock's difference in nanoseconds, and its first frame has none.
struct ReplayedFrame {
    Vec3 position;
    bool showMeshlets;
    uint32_t segment;
};

std::vector<ReplayedFrame> replayFlyThrough(uint64_t frames) {
    FlyThrough replay;
    replay.setupPath();
    std::vector<ReplayedFrame> played;
    for (uint64_t k = 0; k < frames; ++k) {
        const int64_t elapsed =
            k == 0 ? 0
                   : int64_t(k) * NANOSECONDS_PER_SECOND / 60 - int64_t(k - 1) * NANOSECONDS_PER_SECOND / 60;
        bool showMeshlets = false;
        replay.update(static_cast<float>(elapsed) / 1e9f, showMeshlets);
        played.push_back({replay.position, showMeshlets, replay.currentSegment});
    }
    return played;
}

// The debug panel's windows where the session's clicks expect them: the library reads its layout file from
// the working directory. The comment line is not the library's: its rewrite drops it.
constexpr char LAYOUT[] = "; written by the test\n"
                          "[Window][Debug]\nPos=0,0\nSize=320,360\nCollapsed=0\n\n"
                          "[Window][Configuration]\nPos=0,370\nSize=320,170\nCollapsed=0\n\n";
// Points of that layout: the "Show Meshlets" box, and three quarters along the "Light Strength" slider (0 to
// 100).
constexpr char SHOW_MESHLETS_BOX[] = "17 285";
constexpr char LIGHT_STRENGTH_75[] = "160 498";

Vec3 vec3(const std::vector<float>& values) {
    return values.size() == 3 ? Vec3{values[0], values[1], values[2]} : Vec3{NAN, NAN, NAN};
}

Vec3 minus(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

float length(Vec3 v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

void expectNear(Vec3 actual, Vec3 expected, float tolerance, const std::string& what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

TEST(SessionTest, TheWholeFlyThroughThenTheFreeCameraAndPanelThenBackAtTheEmulated60Hz) {
    if (!standin::realShaderCompilerFound())
        GTEST_SKIP() << "the frame trace reads shader constants through a real compiler's reflection";
    // Where the fly-through ends: the first frame after the last leg's hold.
    std::vector<ReplayedFrame> replayed = replayFlyThrough(10'000);
    uint64_t end = 0;
    while (end < replayed.size() && replayed[end].segment < FlyThrough::SEGMENT_COUNT)
        ++end;
    ASSERT_LT(end, replayed.size());
    ASSERT_GT(end, 60u * 60u) << "over a minute of frames";

    // The script: F1 half a second after the end, then the free camera's inputs one after the other.
    const uint64_t f1 = end + 30, drag = f1 + 5, moves = f1 + 20;
    const std::vector<std::string> keys = {"W", "S", "A", "D", "Space", "LShift"};
    const uint64_t wheel = moves + 15 * keys.size(), fasterW = wheel + 2, record = fasterW + 15,
                   tick = record + 5, strength = tick + 5, f1Back = strength + 10, close = f1Back + 20;
    std::ostringstream script;
    script << f1 << " key F1; " << drag << " drag 600 270 700 300 10; ";
    for (size_t k = 0; k < keys.size(); ++k)
        script << moves + 15 * k << " down " << keys[k] << "; " << moves + 15 * k + 10 << " up " << keys[k]
               << "; ";
    script << wheel << " wheel 2; " << fasterW << " down W; " << fasterW + 10 << " up W; ";
    script << record << " key E; " << record + 1 << " key F3; ";
    script << tick << " drag " << SHOW_MESHLETS_BOX << " " << SHOW_MESHLETS_BOX << " 1; ";
    script << strength << " drag " << LIGHT_STRENGTH_75 << " " << LIGHT_STRENGTH_75 << " 1; ";
    script << f1Back << " key F1; " << close << " close";

    WorkingDirectory directory;
    directory.write("imgui.ini", LAYOUT);
    const std::filesystem::path tracePath = directory.path() / "trace.txt";
    ProgramRun run =
        runProgram({{"STANDIN_CLOCK", "vblank"},
                    {"STANDIN_SCREEN", "960x540"},
                    {"STANDIN_FRAMES", "0"},
                    {"STANDIN_SCRIPT", script.str()},
                    {"STANDIN_TRACE", tracePath.string()},
                    {"STANDIN_WATCH", "debugFlags.showMeshlets,frame.viewPos,frame.lightStrength"}},
                   directory.path(), std::chrono::minutes(5));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    expectStartLines(run);
    expectCleanSummary(run, int(close + 1));
    EXPECT_NE(run.errors.find("mean frame time 16.667 ms"), std::string::npos) << run.errors;

    const std::vector<TracedFrame> trace = readTrace(tracePath);
    ASSERT_EQ(trace.size(), close + 1);
    for (uint64_t k = 0; k < trace.size(); ++k)
        ASSERT_EQ(trace[k].frame, k);
    auto position = [&](uint64_t k) { return vec3(components(trace[k].fields.at("frame.viewPos"))); };
    auto flag = [&](uint64_t k) { return trace[k].fields.at("debugFlags.showMeshlets"); };
    auto sound = [&](uint64_t k) {
        return trace[k].fields.at("sound") + " " + trace[k].fields.at("loop") + " " +
               trace[k].fields.at("starts");
    };

    // The fly-through, frame by frame as replayed, past its end; the meshlet view exactly in leg 4; the music
    // looping throughout.
    std::set<uint64_t> meshletFrames, leg4Frames;
    for (uint64_t k = 0; k < f1; ++k) {
        SCOPED_TRACE("fly-through frame " + std::to_string(k));
        expectNear(position(k), replayed[k].position, 1e-4f, "eye");
        if (flag(k) == "1")
            meshletFrames.insert(k);
        if (replayed[k].segment == 4)
            leg4Frames.insert(k);
        EXPECT_EQ(sound(k), "playing 1 1");
        if (testing::Test::HasFailure())
            break;
    }
    EXPECT_FALSE(leg4Frames.empty());
    EXPECT_EQ(meshletFrames, leg4Frames);
    expectNear(position(f1 - 1), position(end), 0.0f, "the eye rests after the end");

    // F1: the free camera from its start-up place, the music off.
    const Camera start;
    expectNear(position(f1), start.position, 1e-6f, "free camera");
    EXPECT_EQ(sound(f1), "stopped 1 1");
    expectNear(position(moves - 1), start.position, 1e-6f, "a look around moves nothing");

    // Each key moves the eye by speed x 10 frames of 1/60 s: W and S opposite, A and D opposite and across,
    // Space and Left Shift straight up and down.
    std::vector<Vec3> moved;
    for (size_t k = 0; k < keys.size(); ++k) {
        const uint64_t down = moves + 15 * k;
        moved.push_back(minus(position(down + 9), position(down - 1)));
        EXPECT_NEAR(length(moved.back()), 10 * start.speed / 60, 1e-3f) << keys[k];
        expectNear(position(down + 14), position(down + 9), 0.0f, keys[k] + " released");
    }
    expectNear(moved[1], {-moved[0].x, -moved[0].y, -moved[0].z}, 1e-4f, "S against W");
    expectNear(moved[3], {-moved[2].x, -moved[2].y, -moved[2].z}, 1e-4f, "D against A");
    EXPECT_NEAR(moved[0].x * moved[2].x + moved[0].y * moved[2].y + moved[0].z * moved[2].z, 0.0f, 1e-4f);
    expectNear(moved[4], {0, 10 * start.speed / 60, 0}, 1e-4f, "Space");
    expectNear(moved[5], {0, -10 * start.speed / 60, 0}, 1e-4f, "Left Shift");
    // Two notches of the wheel: half a unit per second faster each.
    EXPECT_NEAR(length(minus(position(fasterW + 9), position(fasterW - 1))), 10 * (start.speed + 1) / 60,
                1e-3f);

    // E recorded the eye of the frame before it, F3 printed it.
    std::vector<std::string> printed;
    for (const std::string& line : run.lines)
        if (line.rfind("points.emplace_back(", 0) == 0)
            printed.push_back(line);
    ASSERT_EQ(printed.size(), 1u) << run.output;
    Vec3 recorded{};
    ASSERT_EQ(std::sscanf(printed[0].c_str(), "points.emplace_back(%f, %f, %f);", &recorded.x, &recorded.y,
                          &recorded.z),
              3);
    expectNear(recorded, position(record - 1), 1e-5f, "recorded position");

    // The panel's edits: the box ticks at the button's release, the slider takes the pressed place.
    EXPECT_EQ(flag(tick + 1), "0");
    EXPECT_EQ(flag(tick + 2), "1");
    EXPECT_EQ(trace[strength - 1].fields.at("frame.lightStrength"), "3");
    EXPECT_NEAR(components(trace[strength].fields.at("frame.lightStrength")).at(0), 75.0f, 2.0f);

    // F1 again: the fly-through from its first point and the music from its start; the panel's light stays.
    EXPECT_EQ(sound(f1Back), "playing 1 2");
    for (uint64_t k = f1Back; k <= close; ++k) {
        SCOPED_TRACE("restarted frame " + std::to_string(k));
        expectNear(position(k), replayed[k - f1Back + 1].position, 1e-4f, "eye");
        EXPECT_EQ(flag(k), "0");
        EXPECT_EQ(trace[k].fields.at("frame.lightStrength"),
                  trace[strength].fields.at("frame.lightStrength"));
    }

    // The panel's library rewrote its layout file at the end.
    std::ifstream layout(directory.path() / "imgui.ini");
    std::string contents((std::istreambuf_iterator<char>(layout)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents.find("; written by the test"), std::string::npos) << contents;
    EXPECT_NE(contents.find("[Window][Debug]"), std::string::npos) << contents;
    EXPECT_NE(contents.find("[Window][Configuration]"), std::string::npos) << contents;
}

} // namespace
