#include "frame/FrameFixture.h"

#include "core/Buffers.h"
#include "core/GpuSync.h"
#include "renderer/FrameObjects.h"
#include "renderer/FrameQueries.h"
#include "renderer/Logging.h"
#include "renderer/Renderer.h"
#include "scene/Scene.h"
#include "support/ProgramEnd.h"

#include <standin/Session.h>

#include <windows.h>

#include <cstring>

namespace {

// While the scene import leaves the scene empty, the frame gets a small one: six buffers of one or a few
// elements, so that every index of SceneInfo names a real buffer. Their uploads come after start-up's, so the
// frames continue the fence after them.
void giveTheFrameASceneIfItHasNone() {
    if (scene.vertices.resource)
        return;
    const Vertex vertices[3] = {};
    const uint32_t meshletVertices[3] = {0, 1, 2};
    const uint32_t meshletTriangles[3] = {0, 1, 2};
    Meshlet meshlet = {};
    meshlet.vertexCount = 3;
    meshlet.triangleCount = 1;
    Mesh mesh = {};
    mesh.maxScale = 1.0f;
    for (int i = 0; i < 4; ++i)
        mesh.transform.m[5 * i] = 1.0f;
    const Material material = {};
    auto bytes = [](const auto* data) { return reinterpret_cast<const uint8_t*>(data); };
    scene.vertices = createStructuredBuffer(bytes(vertices), 3, sizeof(Vertex), false, L"Vertices");
    scene.meshletVertices = createStructuredBuffer(bytes(meshletVertices), 3, 4, false, L"MeshletVertices");
    scene.meshletTriangles =
        createStructuredBuffer(bytes(meshletTriangles), 3, 4, false, L"MeshletTriangles");
    scene.meshlets = createStructuredBuffer(bytes(&meshlet), 1, sizeof(Meshlet), false, L"Meshlets");
    scene.meshes = createStructuredBuffer(bytes(&mesh), 1, sizeof(Mesh), false, L"Meshes");
    scene.materials = createStructuredBuffer(bytes(&material), 1, sizeof(Material), false, L"Materials");
    sceneInfo = {scene.vertices.descriptorIndex,
                 scene.meshletVertices.descriptorIndex,
                 scene.meshletTriangles.descriptorIndex,
                 scene.meshlets.descriptorIndex,
                 scene.meshes.descriptorIndex,
                 scene.materials.descriptorIndex,
                 1};
    continueFenceAfterUploads();
}

// Values that no resolve writes: timestamps 1000 s apart and counters of 12345, so that a read of a region
// that no resolve has written shows.
void fillReadbackWithStaleValues() {
    for (uint32_t i = 0; i < TIMESTAMP_QUERY_COUNT; ++i)
        mappedReadback[i] = uint64_t(i) * 1'000'000'000'000ull;
    for (uint32_t slot = 0; slot < 2; ++slot) {
        D3D12_QUERY_DATA_PIPELINE_STATISTICS1 stale;
        std::memset(&stale, 0, sizeof stale);
        stale.ASInvocations = stale.MSInvocations = stale.CPrimitives = 12345;
        std::memcpy(reinterpret_cast<uint8_t*>(mappedReadback) + statisticsRegionOffset(slot), &stale,
                    sizeof stale);
    }
}

StartedRenderer start() {
    StartedRenderer started;
    if (!coreLogger)
        initLogging();
    standin::resetGpu();
    // Kept for the whole process: a frame that stops the program fails its test instead.
    static ProgramEndGuard* guard = new ProgramEndGuard;
    (void)guard;
    try {
        if (!initialize()) {
            started.stop = "initialize returned false";
            return started;
        }
        giveTheFrameASceneIfItHasNone();
        fillReadbackWithStaleValues();
        standin::clearSubmissions();
        for (int frame = 0; frame < 4; ++frame) {
            renderFrames(1);
            started.firstFrames.push_back({lastSubmission(), asInvocations, geomTimeMs});
        }
    } catch (const ProgramEnded& ended) {
        started.stop = "the program ended with code " + std::to_string(ended.exitCode);
    }
    standin::waitForGpuIdle();
    started.findings = standin::validationErrors();
    return started;
}

} // namespace

const StartedRenderer& startRenderer() {
    static const StartedRenderer started = start();
    return started;
}

void pumpMessages() {
    MSG msg = {};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void renderFrames(int count) {
    for (int i = 0; i < count; ++i) {
        pumpMessages();
        renderFrame();
    }
}

standin::Submission lastSubmission() {
    const std::vector<standin::Submission> log = standin::submissions();
    return log.empty() ? standin::Submission{} : log.back();
}

void startScript(const std::string& script) {
    standin::SessionControls controls;
    std::string error;
    EXPECT_TRUE(standin::parseScript(script, controls.script, error)) << error;
    controls.frameLimit = 0;
    standin::startSession(controls);
}

void stopScript() {
    standin::endSession();
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}
