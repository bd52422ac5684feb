#include "frame/FrameFixture.h"

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
        if (sceneInfo.meshletCount == 0) {
            started.stop = "the sample scene gave no meshlets";
            return started;
        }
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
