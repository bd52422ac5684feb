// Start-up without the debug panel's heap: initialize stops after the scene and the program never loops.
// Without a scene it stops before the debug panel; a refused close of the new command list stops it before
// the scene.
#include "renderer/Renderer.h"

#include "core/Report.h"
#include "core/Globals.h"
#include "renderer/FrameObjects.h"
#include "renderer/Logging.h"
#include "renderer/MainLoop.h"
#include "renderer/Program.h"
#include "renderer/UiDescriptorAllocator.h"
#include "scene/Scene.h"
#include "standin/Gpu.h"
#include "standin/ImGuiBackend.h"
#include "support/ProgramStop.h"

#include <imgui.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// The three heaps of the device set-up and the shadow maps' one come first; the fifth is the debug panel's.
void refuseTheDebugPanelsHeap() {
    if (!coreLogger)
        initLogging();
    standin::failCall("CreateDescriptorHeap", false, E_OUTOFMEMORY, 4);
}

int renderedFrames = 0;
void countFrame() {
    ++renderedFrames;
}

// A working directory with the program's shader sources and no scene, removed when the program ends.
std::filesystem::path sceneless;

void removeSceneless() {
    std::error_code ignored;
    std::filesystem::remove_all(sceneless, ignored);
}

[[noreturn]] void reportTheEnd(int exitCode) {
    std::fprintf(stderr, "ended with %d, debug panel %d\n", exitCode, ImGui::GetCurrentContext() != nullptr);
    removeSceneless();
    std::_Exit(0);
}

// Starts the program in a working directory with the shader sources and no scene; a stop goes to `end`.
void startWithoutAScene(ProgramEnd end) {
    if (!coreLogger)
        initLogging();
    std::string pattern = (std::filesystem::temp_directory_path() / "lantern-test-XXXXXX").string();
    sceneless = mkdtemp(pattern.data());
    std::filesystem::create_directory_symlink(std::filesystem::path(LANTERN_SOURCE_DIR) / "src",
                                              sceneless / "src");
    std::filesystem::current_path(sceneless);
    setProgramEnd(end);
    initialize();
    std::fprintf(stderr, "start-up went on\n");
    std::_Exit(0);
}

constexpr StructuredBuffer Scene::*SCENE_BUFFERS[] = {&Scene::vertices,         &Scene::meshletVertices,
                                                      &Scene::meshletTriangles, &Scene::meshlets,
                                                      &Scene::meshes,           &Scene::materials};

// Values no import leaves, in every field.
void fillTheScene() {
    for (StructuredBuffer Scene::*buffer : SCENE_BUFFERS)
        scene.*buffer = {reinterpret_cast<ID3D12Resource*>(uintptr_t(0x1000)), 9};
    sceneInfo = {1, 2, 3, 4, 5, 6, 7};
}

[[noreturn]] void reportTheScene(int exitCode) {
    bool empty = true;
    for (StructuredBuffer Scene::*buffer : SCENE_BUFFERS)
        empty = empty && (scene.*buffer).resource == nullptr && (scene.*buffer).descriptorIndex == 0;
    const SceneInfo none = {};
    empty = empty && std::memcmp(&sceneInfo, &none, sizeof none) == 0;
    std::fprintf(stderr, "ended with %d, scene empty %d\n", exitCode, empty);
    removeSceneless();
    std::_Exit(0);
}

class InitializeFailureDeathTest : public testing::Test {
protected:
    // Each case starts the whole program in a child process of its own.
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(InitializeFailureDeathTest, ReturnsFalseAfterTheSceneWithTheLoopUnarmedAndNoBackEndStarted) {
    EXPECT_EXIT(
        {
            refuseTheDebugPanelsHeap();
            bool initialized = initialize();
            bool stoppedAtTheHeap = !initialized && srvHeap.heap && frameConstantsBuffer.resource &&
                                    uiSrvHeap == nullptr && uiDescriptorAllocator.heap == nullptr;
            bool loopUnarmed = lastWidth == 0 && lastHeight == 0 && qpcFrequency == 0;
            bool noBackEnd =
                !standin::imguiDx12State().initialized && ImGui::GetIO().BackendPlatformUserData == nullptr;
            std::fprintf(stderr, "stopped at the heap %d, loop unarmed %d, no back end %d\n",
                         stoppedAtTheHeap, loopUnarmed, noBackEnd);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "stopped at the heap 1, loop unarmed 1, no back end 1");
}

TEST_F(InitializeFailureDeathTest, TheProgramEndsWithCodeOneWithoutRenderingAFrame) {
    EXPECT_EXIT(
        {
            refuseTheDebugPanelsHeap();
            runProgram({initialize, countFrame, [] { std::fprintf(stderr, "shut down\n"); }});
            std::fprintf(stderr, "returned after %d frames\n", renderedFrames);
            std::exit(0);
        },
        testing::ExitedWithCode(1), "^$");
}

// The command list is made open and closed at once, before any upload resets it: a close that the device
// refuses is reported with its call and stops start-up before the scene.
TEST_F(InitializeFailureDeathTest, ARefusedCloseOfTheNewCommandListStopsBeforeTheScene) {
    EXPECT_EXIT(
        {
            if (!coreLogger)
                initLogging();
            ProgramEndGuard guard;
            standin::failCall("ID3D12GraphicsCommandList::Close");
            const std::string output = outputOfStop([] { initialize(); });
            const bool reported = output.find("Error: commandList->Close()\n") != std::string::npos;
            std::fprintf(stderr, "reported %d, scene %d\n", reported, scene.vertices.resource != nullptr);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "reported 1, scene 0");
}

// The scene is loaded before the debug panel is set up: a scene that cannot be read ends start-up while there
// is no panel yet.
TEST_F(InitializeFailureDeathTest, AMissingSceneEndsStartUpBeforeTheDebugPanel) {
    EXPECT_EXIT(startWithoutAScene(reportTheEnd), testing::ExitedWithCode(0), "ended with 1, debug panel 0");
}

// Start-up empties the scene's buffers and information before the import, so an import that stops leaves
// nothing of what they held behind.
TEST_F(InitializeFailureDeathTest, TheSceneIsEmptiedBeforeItsImport) {
    EXPECT_EXIT(
        {
            fillTheScene();
            startWithoutAScene(reportTheScene);
        },
        testing::ExitedWithCode(0), "ended with 1, scene empty 1");
}

} // namespace
