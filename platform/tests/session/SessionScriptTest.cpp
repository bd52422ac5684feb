// Parsing of the session driver's input scripts.
#include <windows.h>

#include "standin/Session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using standin::ScriptAction;
using standin::ScriptStep;

ScriptStep key(uint64_t frame, ScriptAction action, uint32_t virtualKey, uint32_t scanCode,
               bool extended = false) {
    ScriptStep step;
    step.frame = frame;
    step.action = action;
    step.virtualKey = virtualKey;
    step.scanCode = scanCode;
    step.extendedKey = extended;
    return step;
}

ScriptStep at(uint64_t frame, ScriptAction action, int32_t x = 0, int32_t y = 0) {
    ScriptStep step;
    step.frame = frame;
    step.action = action;
    step.x = x;
    step.y = y;
    return step;
}

std::vector<ScriptStep> parsed(const std::string& text) {
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_TRUE(standin::parseScript(text, steps, error)) << error;
    return steps;
}

TEST(SessionScriptTest, EntriesBecomeStepsOrderedByFrame) {
    struct Case {
        const char* script;
        std::vector<ScriptStep> steps;
    };
    const Case cases[] = {
        {"", {}},
        {"  # only a comment\n;;", {}},
        {"3 key F1", {key(3, ScriptAction::KeyDown, VK_F1, 0x3B), key(4, ScriptAction::KeyUp, VK_F1, 0x3B)}},
        {"5 down lshift; 9 up LShift; 6 down RShift; 7 down rctrl",
         {key(5, ScriptAction::KeyDown, VK_SHIFT, 0x2A), key(6, ScriptAction::KeyDown, VK_SHIFT, 0x36),
          key(7, ScriptAction::KeyDown, VK_CONTROL, 0x1D, true),
          key(9, ScriptAction::KeyUp, VK_SHIFT, 0x2A)}},
        {"2 down w\n1 key space # comment; 0 close",
         {key(1, ScriptAction::KeyDown, VK_SPACE, 0x39), key(2, ScriptAction::KeyDown, 'W', 0x11),
          key(2, ScriptAction::KeyUp, VK_SPACE, 0x39)}},
        {"10 drag 100 100 200 50 2",
         {at(10, ScriptAction::MouseMove, 100, 100), at(10, ScriptAction::ButtonDown, 100, 100),
          at(11, ScriptAction::MouseMove, 150, 75), at(12, ScriptAction::MouseMove, 200, 50),
          at(13, ScriptAction::ButtonUp, 200, 50)}},
        {"4 move -5 7; 4 wheel -2",
         {at(4, ScriptAction::MouseMove, -5, 7), at(4, ScriptAction::Wheel, -240)}},
        {"1 resize 1280 720; 2 minimize; 3 minimise; 4 restore; 5 CLOSE",
         {at(1, ScriptAction::Resize, 1280, 720), at(2, ScriptAction::Minimise),
          at(3, ScriptAction::Minimise), at(4, ScriptAction::Restore), at(5, ScriptAction::Close)}},
    };
    for (const Case& test : cases)
        EXPECT_EQ(parsed(test.script), test.steps) << test.script;
}

TEST(SessionScriptTest, ADragMovesTenFramesUnlessToldOtherwise) {
    std::vector<ScriptStep> steps = parsed("0 drag 0 0 100 0");
    ASSERT_EQ(steps.size(), 13u);
    EXPECT_EQ(steps[2], at(1, ScriptAction::MouseMove, 10, 0));
    EXPECT_EQ(steps.back(), at(11, ScriptAction::ButtonUp, 100, 0));
}

TEST(SessionScriptTest, MalformedEntriesAreNamed) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"3", "entry 1 (\"3\"): no action"},
        {"1 close; x close", "entry 2 (\"x close\"): the frame \"x\" is not a frame number"},
        {"-1 close", "the frame \"-1\" is not a frame number"},
        {"1 jump", "unknown action \"jump\""},
        {"1 key", "\"key\" takes one key name"},
        {"1 key F13", "unknown key \"F13\""},
        {"1 move 10", "\"move\" takes 2 numbers"},
        {"1 move 10 y", "\"y\" is not a number from -32767 to 32767"},
        {"1 drag 0 0 1 1 0", "a drag lasts 1 to 1000 frames"},
        {"1 resize 0 10", "\"0\" is not a number from 1 to 32767"},
        {"1 wheel 1.5", "\"1.5\" is not a number from -100 to 100"},
        {"1 close now", "\"close\" takes no arguments"},
    };
    for (const Case& test : cases) {
        std::vector<ScriptStep> steps{at(0, ScriptAction::Close)};
        std::string error;
        EXPECT_FALSE(standin::parseScript(test.script, steps, error)) << test.script;
        EXPECT_NE(error.find(test.error), std::string::npos) << test.script << ": " << error;
        EXPECT_TRUE(steps.empty());
    }
}

} // namespace
