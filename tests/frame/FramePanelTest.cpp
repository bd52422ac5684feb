// The debug panel within whole frames: no UI frame while the fly-through runs; after F1 the panel is built
// before the constants and drawn after the post pass, and an edit made with the stand-in's mouse reaches the
// constants of the frame that made it.
#include "frame/FrameFixture.h"

#include "camera/Camera.h"
#include "camera/FlyThrough.h"
#include "core/Globals.h"
#include "renderer/FrameObjects.h"
#include "renderer/Input.h"
#include "renderer/Renderer.h"
#include "renderer/Settings.h"
#include "renderer/UiDescriptorAllocator.h"
#include "support/ImGuiDrawnText.h"

#include <standin/CallTrace.h>
#include <standin/Sound.h>

#include <imgui.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

using namespace standin;

namespace {

// Both windows side by side, away from each other. The test's own layout: the program's library would read
// and write "imgui.ini" in the working directory.
constexpr char LAYOUT[] = "[Window][Debug]\nPos=0,0\nSize=420,460\nCollapsed=0\n\n"
                          "[Window][Configuration]\nPos=440,0\nSize=420,300\nCollapsed=0\n\n";

void arrangePanel() {
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::LoadIniSettingsFromMemory(LAYOUT);
    // Windows an earlier test of the process made keep their place unless moved.
    ImGui::SetWindowPos("Debug", ImVec2(0, 0));
    ImGui::SetWindowSize("Debug", ImVec2(420, 460));
    ImGui::SetWindowPos("Configuration", ImVec2(440, 0));
    ImGui::SetWindowSize("Configuration", ImVec2(420, 300));
}

std::vector<RecordedCommand>::const_iterator findKind(const std::vector<RecordedCommand>& commands,
                                                      CommandKind kind) {
    return std::find_if(commands.begin(), commands.end(),
                        [kind](const RecordedCommand& command) { return command.kind == kind; });
}

size_t countKind(const std::vector<RecordedCommand>& commands, CommandKind kind) {
    return std::count_if(commands.begin(), commands.end(),
                         [kind](const RecordedCommand& command) { return command.kind == kind; });
}

template <typename Block> Block blockOfSlot(const ConstantBuffer& buffer, uint32_t slot) {
    Block block;
    std::memcpy(&block, buffer.mapped + slot * buffer.alignedSize, sizeof block);
    return block;
}

// One frame: what it submitted and the constant blocks it wrote into its slot, copied at once (the frame
// after next writes the same slot).
struct PanelFrame {
    Submission submission;
    FrameConstants frameConstants;
    DebugFlags debugFlags;
};

PanelFrame renderOneFrame() {
    PanelFrame frame;
    const uint32_t slot = frameIndex;
    renderFrames(1);
    frame.submission = lastSubmission();
    frame.frameConstants = blockOfSlot<FrameConstants>(frameConstantsBuffer, slot);
    frame.debugFlags = blockOfSlot<DebugFlags>(debugFlagsBuffer, slot);
    return frame;
}

class FramePanelTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        savedCamera = camera;
        savedFlyThrough = flyThrough;
        arrangePanel();
        ASSERT_TRUE(flyThroughActive);
    }
    void TearDown() override {
        FrameTest::TearDown();
        flyThroughActive = true;
        camera = savedCamera;
        flyThrough = savedFlyThrough;
        saved.restore();
    }

    // F1 through the stand-in's keyboard, in the first of the two frames returned (its key-up comes in the
    // second).
    static std::vector<PanelFrame> pressF1() {
        startScript("0 key F1");
        std::vector<PanelFrame> frames = {renderOneFrame(), renderOneFrame()};
        stopScript();
        return frames;
    }

    // A press and release of the left button at a point through the stand-in's mouse: the press in the first
    // of the three frames returned, the release in the last.
    static std::vector<PanelFrame> click(ImVec2 point) {
        const std::string x = std::to_string(std::lround(point.x)), y = std::to_string(std::lround(point.y));
        startScript("0 drag " + x + " " + y + " " + x + " " + y + " 1");
        std::vector<PanelFrame> frames;
        for (int i = 0; i < 3; ++i)
            frames.push_back(renderOneFrame());
        stopScript();
        return frames;
    }

    struct Saved {
        PostSettings post = postSettings;
        DebugFlags flags = debugFlags;
        float strength = lightStrength;
        void restore() const {
            postSettings = post;
            debugFlags = flags;
            lightStrength = strength;
        }
    } saved;
    Camera savedCamera;
    FlyThrough savedFlyThrough;
};

TEST_F(FramePanelTest, WhileTheFlyThroughRunsNoUiFrameStartsAndNothingIsDrawn) {
    const int uiFrames = ImGui::GetFrameCount();
    startCallTrace();
    std::vector<PanelFrame> frames = {renderOneFrame(), renderOneFrame(), renderOneFrame()};
    std::vector<std::string> calls = stopCallTrace();
    EXPECT_EQ(ImGui::GetFrameCount(), uiFrames);
    for (const std::string& call : calls)
        EXPECT_EQ(call.rfind("ImGui_Impl", 0), std::string::npos) << call;
    for (const PanelFrame& frame : frames) {
        EXPECT_EQ(countKind(frame.submission.commands, CommandKind::UiDraw), 0u);
        for (const RecordedCommand& command : frame.submission.commands)
            EXPECT_EQ(std::count(command.state.descriptorHeaps.begin(), command.state.descriptorHeaps.end(),
                                 uiSrvHeap),
                      0);
    }
}

TEST_F(FramePanelTest, AfterF1ThePanelIsDrawnOverThePostPassWithItsHeapAndF1TakesItAway) {
    const int uiFrames = ImGui::GetFrameCount();
    const uint64_t musicStarts = soundState().starts;
    std::vector<PanelFrame> shown = pressF1();
    EXPECT_FALSE(flyThroughActive);
    EXPECT_FALSE(soundState().playing);
    EXPECT_EQ(ImGui::GetFrameCount(), uiFrames + 2) << "the F1 frame and the next each start one UI frame";
    EXPECT_EQ(countKind(shown[0].submission.commands, CommandKind::UiDraw), 1u);

    const std::vector<RecordedCommand>& commands = shown[1].submission.commands;
    ASSERT_EQ(countKind(commands, CommandKind::UiDraw), 1u);
    auto post = findKind(commands, CommandKind::DrawInstanced);
    auto ui = findKind(commands, CommandKind::UiDraw);
    ASSERT_NE(post, commands.end());
    EXPECT_LT(post - commands.begin(), ui - commands.begin()) << "the panel is drawn after the post pass";
    EXPECT_EQ(ui->state.descriptorHeaps, std::vector<ID3D12DescriptorHeap*>{uiSrvHeap});
    EXPECT_EQ(ui->state.renderTargetNames, std::vector<std::string>{"Swapchain Buffer"});
    EXPECT_EQ(ui->arguments[0], 2u) << "the windows \"Debug\" and \"Configuration\", from their second frame";
    for (auto after = ui + 1; after != commands.end(); ++after)
        EXPECT_EQ(after->kind, CommandKind::ResourceBarrier) << "only the closing barriers follow";

    std::vector<PanelFrame> hidden = pressF1();
    EXPECT_TRUE(flyThroughActive);
    EXPECT_TRUE(soundState().playing);
    EXPECT_EQ(soundState().starts, musicStarts + 1);
    for (const PanelFrame& frame : hidden)
        EXPECT_EQ(countKind(frame.submission.commands, CommandKind::UiDraw), 0u);
    EXPECT_EQ(ImGui::GetFrameCount(), uiFrames + 2);
}

// The fly-through's meshlet leg sets the flag; after F1 the checkbox shows it ticked, and unticking it turns
// the view off in the frame of the click.
TEST_F(FramePanelTest, AfterF1InTheMeshletLegShowMeshletsIsTickedAndUntickingTurnsTheViewOff) {
    flyThrough.currentSegment = 4;
    flyThrough.pointIndex = 0;
    flyThrough.t = 0.0f;
    flyThrough.state = FlyThroughState::Moving;
    ASSERT_TRUE(flyThrough.segments[4].showMeshlets);
    PanelFrame leg = renderOneFrame();
    EXPECT_EQ(leg.debugFlags.showMeshlets, 1u);

    pressF1();
    ASSERT_TRUE(checkboxTicked(ImGui::GetDrawData(), "Debug", "Show Meshlets"));
    EXPECT_EQ(debugFlags.showMeshlets, 1u) << "the free camera leaves the flag as the fly-through left it";
    LabelPlace label = labelPlace(ImGui::GetDrawData(), "Debug", "Show Meshlets");
    std::vector<PanelFrame> frames = click(ImVec2(label.x + 4, label.y + ImGui::GetFontSize() / 2));
    EXPECT_EQ(frames[1].debugFlags.showMeshlets, 1u);
    EXPECT_EQ(frames[2].debugFlags.showMeshlets, 0u)
        << "the release's frame unticks the box and uploads the flag";
    EXPECT_FALSE(checkboxTicked(ImGui::GetDrawData(), "Debug", "Show Meshlets"));
}

TEST_F(FramePanelTest, AnEditReachesTheConstantsOfTheFrameThatMadeIt) {
    pressF1();
    const ImDrawData* panel = ImGui::GetDrawData();
    // Sliders take the value at the press.
    std::vector<PanelFrame> exposureClick =
        click(sliderPoint(panel, "Debug", "Exposure", "Show Meshlets", 0.75f));
    const float exposure = postSettings.exposure;
    EXPECT_NEAR(exposure, 1.5f, 0.04f);
    auto post = findKind(exposureClick[0].submission.commands, CommandKind::DrawInstanced);
    ASSERT_NE(post, exposureClick[0].submission.commands.end());
    ASSERT_GE(post->state.rootArguments.size(), 2u);
    ASSERT_GE(post->state.rootArguments[1].constants.size(), 1u);
    EXPECT_EQ(post->state.rootArguments[1].constants[0], std::bit_cast<uint32_t>(exposure));

    panel = ImGui::GetDrawData();
    std::vector<PanelFrame> strengthClick =
        click(sliderPoint(panel, "Configuration", "Light Strength", "Moving Light Position", 0.75f));
    EXPECT_NEAR(lightStrength, 75.0f, 2.0f);
    EXPECT_EQ(strengthClick[0].frameConstants.lightStrength, lightStrength);

    // A checkbox switches at the release.
    LabelPlace culling = labelPlace(ImGui::GetDrawData(), "Debug", "Disable Backface Culling");
    std::vector<PanelFrame> cullingClick = click(ImVec2(culling.x + 4, culling.y + ImGui::GetFontSize() / 2));
    EXPECT_EQ(cullingClick[2].debugFlags.disableBackfaceCulling, 1u);
}

} // namespace
