// The program's process: the stand-in's controls from the environment (platform/README.md), applied before
// the program starts, and the session's summary at exit.
#include "session/FrameTrace.h"
#include "standin/Gpu.h"
#include "standin/Session.h"
#include "standin/WindowSystem.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

[[noreturn]] void refuse(const std::string& message) {
    std::fprintf(stderr, "standin: %s\n", message.c_str());
    std::exit(2);
}

bool parseCount(const char* text, uint64_t& value) {
    const char* end = text + std::strlen(text);
    auto [last, result] = std::from_chars(text, end, value);
    return *text && result == std::errc() && last == end;
}

void printSummary() {
    standin::endFrameTrace();
    std::fprintf(stderr, "%s\n", standin::sessionSummary().c_str());
}

// A control that takes one of a few words; the first is its default.
size_t choice(const char* variable, const std::vector<std::string>& words) {
    const char* value = std::getenv(variable);
    if (!value || !*value)
        return 0;
    for (size_t i = 0; i < words.size(); ++i)
        if (words[i] == value)
            return i;
    std::string listed;
    for (size_t i = 0; i < words.size(); ++i)
        listed += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    refuse(std::string(variable) + " must be " + listed + ", not \"" + value + "\"");
}

std::vector<std::string> commaSeparated(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');)
        items.push_back(item);
    return items;
}

void applyDeviceAndClockControls() {
    switch (choice("STANDIN_REFUSE_DEVICE", {"none", "hardware", "all"})) {
    case 2:
        // Refused as a device without the feature level is.
        standin::failCall("D3D12CreateDevice", true, DXGI_ERROR_UNSUPPORTED);
        [[fallthrough]];
    case 1:
        standin::setHardwareAdapterRefusesDevice(true);
        break;
    default:
        break;
    }
    if (choice("STANDIN_CLOCK", {"real", "vblank"}) == 1)
        standin::setEmulatedClock(true);
}

void startTraceFromEnvironment() {
    const char* path = std::getenv("STANDIN_TRACE");
    const char* watch = std::getenv("STANDIN_WATCH");
    std::vector<std::string> watches = watch && *watch ? commaSeparated(watch) : std::vector<std::string>{};
    for (const std::string& name : watches)
        if (name.empty() || name.find('.') == std::string::npos ||
            name.find_first_of(" =") != std::string::npos)
            refuse("STANDIN_WATCH must name shader constants as buffer.field, separated by commas, not \"" +
                   std::string(watch) + "\"");
    if (!path || !*path) {
        if (!watches.empty())
            refuse("STANDIN_WATCH needs STANDIN_TRACE, the file the frame trace goes to");
        return;
    }
    if (!standin::startFrameTrace(path, watches))
        refuse(std::string("cannot write the frame trace \"") + path + "\"");
}

} // namespace

namespace standin {

void startProcessSession() {
    SessionControls controls;
    if (const char* frames = std::getenv("STANDIN_FRAMES");
        frames && !parseCount(frames, controls.frameLimit))
        refuse(std::string("STANDIN_FRAMES must be a number of frames, not \"") + frames + "\"");
    if (const char* script = std::getenv("STANDIN_SCRIPT"); script && *script) {
        std::string text = script;
        if (text[0] == '@') {
            std::ifstream file(text.substr(1));
            if (!file)
                refuse("cannot read the script file \"" + text.substr(1) + "\"");
            std::ostringstream contents;
            contents << file.rdbuf();
            text = contents.str();
        }
        std::string error;
        if (!parseScript(text, controls.script, error))
            refuse("STANDIN_SCRIPT: " + error);
    }
    if (const char* screen = std::getenv("STANDIN_SCREEN"); screen && *screen) {
        int width = 0;
        int height = 0;
        char end = 0;
        if (std::sscanf(screen, "%dx%d%c", &width, &height, &end) != 2 || width < 1 || height < 1 ||
            width > 32767 || height > 32767)
            refuse(std::string("STANDIN_SCREEN must be WIDTHxHEIGHT, not \"") + screen + "\"");
        setScreenSize(width, height);
    }
    if (const char* fail = std::getenv("STANDIN_FAIL_WINDOW"); fail && *fail) {
        if (std::strcmp(fail, "0") != 0 && std::strcmp(fail, "1") != 0)
            refuse(std::string("STANDIN_FAIL_WINDOW must be 0 or 1, not \"") + fail + "\"");
        setWindowCreationFails(std::strcmp(fail, "1") == 0);
    }
    applyDeviceAndClockControls();
    startTraceFromEnvironment();
    startSession(controls);
    std::atexit(printSummary);
}

} // namespace standin
