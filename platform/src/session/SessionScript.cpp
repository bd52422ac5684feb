// The session driver's input scripts: "FRAME ACTION ARGUMENTS" entries separated by ';' or line breaks, '#'
// starting a comment to the end of the line (syntax in platform/README.md).
#include <windows.h>

#include "standin/Session.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

namespace standin {
namespace {

struct KeyName {
    const char* name;
    uint32_t virtualKey;
    uint32_t scanCode;
    bool extended;
};

// The keys a script can press, with the scan codes of a standard keyboard.
constexpr KeyName KEY_NAMES[] = {
    {"A", 'A', 0x1E, false},
    {"B", 'B', 0x30, false},
    {"C", 'C', 0x2E, false},
    {"D", 'D', 0x20, false},
    {"E", 'E', 0x12, false},
    {"F", 'F', 0x21, false},
    {"G", 'G', 0x22, false},
    {"H", 'H', 0x23, false},
    {"I", 'I', 0x17, false},
    {"J", 'J', 0x24, false},
    {"K", 'K', 0x25, false},
    {"L", 'L', 0x26, false},
    {"M", 'M', 0x32, false},
    {"N", 'N', 0x31, false},
    {"O", 'O', 0x18, false},
    {"P", 'P', 0x19, false},
    {"Q", 'Q', 0x10, false},
    {"R", 'R', 0x13, false},
    {"S", 'S', 0x1F, false},
    {"T", 'T', 0x14, false},
    {"U", 'U', 0x16, false},
    {"V", 'V', 0x2F, false},
    {"W", 'W', 0x11, false},
    {"X", 'X', 0x2D, false},
    {"Y", 'Y', 0x15, false},
    {"Z", 'Z', 0x2C, false},
    {"1", '1', 0x02, false},
    {"2", '2', 0x03, false},
    {"3", '3', 0x04, false},
    {"4", '4', 0x05, false},
    {"5", '5', 0x06, false},
    {"6", '6', 0x07, false},
    {"7", '7', 0x08, false},
    {"8", '8', 0x09, false},
    {"9", '9', 0x0A, false},
    {"0", '0', 0x0B, false},
    {"F1", VK_F1, 0x3B, false},
    {"F2", VK_F2, 0x3C, false},
    {"F3", VK_F3, 0x3D, false},
    {"F4", VK_F4, 0x3E, false},
    {"F5", VK_F5, 0x3F, false},
    {"F6", VK_F6, 0x40, false},
    {"F7", VK_F7, 0x41, false},
    {"F8", VK_F8, 0x42, false},
    {"F9", VK_F9, 0x43, false},
    {"F10", VK_F10, 0x44, false},
    {"F11", VK_F11, 0x57, false},
    {"F12", VK_F12, 0x58, false},
    {"Space", VK_SPACE, 0x39, false},
    {"Enter", VK_RETURN, 0x1C, false},
    {"Escape", VK_ESCAPE, 0x01, false},
    {"Tab", VK_TAB, 0x0F, false},
    {"Backspace", VK_BACK, 0x0E, false},
    {"Left", VK_LEFT, 0x4B, true},
    {"Right", VK_RIGHT, 0x4D, true},
    {"Up", VK_UP, 0x48, true},
    {"Down", VK_DOWN, 0x50, true},
    {"Shift", VK_SHIFT, 0x2A, false},
    {"LShift", VK_SHIFT, 0x2A, false},
    {"RShift", VK_SHIFT, 0x36, false},
    {"Ctrl", VK_CONTROL, 0x1D, false},
    {"LCtrl", VK_CONTROL, 0x1D, false},
    {"RCtrl", VK_CONTROL, 0x1D, true},
    {"Alt", VK_MENU, 0x38, false},
    {"LAlt", VK_MENU, 0x38, false},
    {"RAlt", VK_MENU, 0x38, true},
};

// A drag moves the mouse over this many frames unless the entry says otherwise.
constexpr int64_t DEFAULT_DRAG_FRAMES = 10;
constexpr int64_t MAX_COORDINATE = 32767;

bool equalsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

const KeyName* findKey(const std::string& name) {
    for (const KeyName& key : KEY_NAMES)
        if (equalsIgnoringCase(name, key.name))
            return &key;
    return nullptr;
}

bool parseInteger(const std::string& token, int64_t low, int64_t high, int64_t& value) {
    const char* end = token.data() + token.size();
    auto [last, result] = std::from_chars(token.data(), end, value);
    return result == std::errc() && last == end && value >= low && value <= high;
}

// Turns one entry's words into steps; returns an error text, empty on success.
std::string parseEntry(const std::vector<std::string>& words, std::vector<ScriptStep>& steps) {
    int64_t frameValue;
    if (!parseInteger(words[0], 0, INT64_MAX / 2, frameValue))
        return "the frame \"" + words[0] + "\" is not a frame number";
    auto frame = static_cast<uint64_t>(frameValue);
    if (words.size() < 2)
        return "no action";
    const std::string& action = words[1];
    std::vector<int64_t> numbers;
    auto expectNumbers = [&](size_t least, size_t most, int64_t low, int64_t high) -> std::string {
        size_t count = words.size() - 2;
        if (count < least || count > most)
            return "\"" + action + "\" takes " + std::to_string(least) +
                   (least == most ? "" : " to " + std::to_string(most)) + " numbers";
        for (size_t i = 2; i < words.size(); ++i) {
            int64_t value;
            if (!parseInteger(words[i], low, high, value))
                return "\"" + words[i] + "\" is not a number from " + std::to_string(low) + " to " +
                       std::to_string(high);
            numbers.push_back(value);
        }
        return "";
    };
    auto add = [&](uint64_t at, ScriptAction kind, int64_t x = 0, int64_t y = 0) {
        ScriptStep step;
        step.frame = at;
        step.action = kind;
        step.x = static_cast<int32_t>(x);
        step.y = static_cast<int32_t>(y);
        steps.push_back(step);
    };

    if (equalsIgnoringCase(action, "key") || equalsIgnoringCase(action, "down") ||
        equalsIgnoringCase(action, "up")) {
        if (words.size() != 3)
            return "\"" + action + "\" takes one key name";
        const KeyName* key = findKey(words[2]);
        if (!key)
            return "unknown key \"" + words[2] + "\"";
        auto addKey = [&](uint64_t at, ScriptAction kind) {
            add(at, kind);
            steps.back().virtualKey = key->virtualKey;
            steps.back().scanCode = key->scanCode;
            steps.back().extendedKey = key->extended;
        };
        // A press lasts into the next frame, so that a library reading key states per frame sees it.
        if (!equalsIgnoringCase(action, "up"))
            addKey(frame, ScriptAction::KeyDown);
        if (!equalsIgnoringCase(action, "down"))
            addKey(equalsIgnoringCase(action, "key") ? frame + 1 : frame, ScriptAction::KeyUp);
        return "";
    }
    if (equalsIgnoringCase(action, "move")) {
        if (std::string error = expectNumbers(2, 2, -MAX_COORDINATE, MAX_COORDINATE); !error.empty())
            return error;
        add(frame, ScriptAction::MouseMove, numbers[0], numbers[1]);
        return "";
    }
    if (equalsIgnoringCase(action, "drag")) {
        if (std::string error = expectNumbers(4, 5, -MAX_COORDINATE, MAX_COORDINATE); !error.empty())
            return error;
        int64_t frames = numbers.size() == 5 ? numbers[4] : DEFAULT_DRAG_FRAMES;
        if (frames < 1 || frames > 1000)
            return "a drag lasts 1 to 1000 frames";
        // The left button goes down at the start, the mouse moves a step per frame, and the button is
        // released one frame after the last step.
        add(frame, ScriptAction::MouseMove, numbers[0], numbers[1]);
        add(frame, ScriptAction::ButtonDown, numbers[0], numbers[1]);
        for (int64_t i = 1; i <= frames; ++i)
            add(frame + i, ScriptAction::MouseMove, numbers[0] + (numbers[2] - numbers[0]) * i / frames,
                numbers[1] + (numbers[3] - numbers[1]) * i / frames);
        add(frame + frames + 1, ScriptAction::ButtonUp, numbers[2], numbers[3]);
        return "";
    }
    if (equalsIgnoringCase(action, "wheel")) {
        if (std::string error = expectNumbers(1, 1, -100, 100); !error.empty())
            return error;
        add(frame, ScriptAction::Wheel, numbers[0] * WHEEL_DELTA);
        return "";
    }
    if (equalsIgnoringCase(action, "resize")) {
        if (std::string error = expectNumbers(2, 2, 1, MAX_COORDINATE); !error.empty())
            return error;
        add(frame, ScriptAction::Resize, numbers[0], numbers[1]);
        return "";
    }
    struct Plain {
        const char* name;
        ScriptAction kind;
    };
    for (Plain plain : {Plain{"minimise", ScriptAction::Minimise}, Plain{"minimize", ScriptAction::Minimise},
                        Plain{"restore", ScriptAction::Restore}, Plain{"close", ScriptAction::Close}}) {
        if (equalsIgnoringCase(action, plain.name)) {
            if (words.size() != 2)
                return "\"" + action + "\" takes no arguments";
            add(frame, plain.kind);
            return "";
        }
    }
    return "unknown action \"" + action + "\"";
}

} // namespace

bool parseScript(const std::string& text, std::vector<ScriptStep>& steps, std::string& error) {
    steps.clear();
    std::istringstream lines(text);
    std::string line;
    int entryNumber = 0;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream entries(line);
        std::string entry;
        while (std::getline(entries, entry, ';')) {
            std::istringstream wordStream(entry);
            std::vector<std::string> words;
            for (std::string word; wordStream >> word;)
                words.push_back(word);
            if (words.empty())
                continue;
            ++entryNumber;
            if (std::string problem = parseEntry(words, steps); !problem.empty()) {
                std::string shown;
                for (const std::string& word : words)
                    shown += (shown.empty() ? "" : " ") + word;
                error = "entry " + std::to_string(entryNumber) + " (\"" + shown + "\"): " + problem;
                steps.clear();
                return false;
            }
        }
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const ScriptStep& a, const ScriptStep& b) { return a.frame < b.frame; });
    return true;
}

} // namespace standin
