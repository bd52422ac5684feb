// The frame trace: one line per presented frame with what the stand-in sees of the program in that frame.
#include "session/FrameTrace.h"

#include <windows.h>

#include "standin/Session.h"
#include "standin/Sound.h"
#include "win32/Win32Internal.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <utility>

#include <unistd.h>

namespace {

std::mutex traceMutex;
FILE* traceFile = nullptr;
std::vector<std::string> watches;
std::vector<std::string> values; // of the frame being recorded, "" where none was noted
std::string presentedSize = "-";

// Resident memory in KiB, from the second field of /proc/self/statm (pages).
long residentKibibytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    if (!(statm >> size >> resident))
        return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

namespace standin {

bool startFrameTrace(const std::string& path, const std::vector<std::string>& watchedNames) {
    std::lock_guard lock(traceMutex);
    if (traceFile)
        std::fclose(traceFile);
    traceFile = std::fopen(path.c_str(), "w");
    watches = traceFile ? watchedNames : std::vector<std::string>{};
    values.assign(watches.size(), "");
    presentedSize = "-";
    return traceFile != nullptr;
}

void endFrameTrace() {
    std::lock_guard lock(traceMutex);
    if (traceFile)
        std::fclose(traceFile);
    traceFile = nullptr;
    watches.clear();
    values.clear();
}

namespace session {

std::vector<std::string> watchedConstants() {
    std::lock_guard lock(traceMutex);
    return watches;
}

void noteWatchedValue(size_t watch, const std::string& value) {
    std::lock_guard lock(traceMutex);
    if (watch < values.size() && values[watch].empty())
        values[watch] = value;
}

void notePresentedSize(uint32_t width, uint32_t height) {
    std::lock_guard lock(traceMutex);
    if (traceFile)
        presentedSize = std::to_string(width) + "x" + std::to_string(height);
}

void traceFrame(uint64_t frame) {
    std::unique_lock lock(traceMutex);
    if (!traceFile)
        return;
    std::vector<std::string> frameValues(watches.size(), "");
    frameValues.swap(values);
    const std::string buffers = std::exchange(presentedSize, "-");
    lock.unlock();

    RECT client{};
    if (HWND window = win32::sessionWindow())
        GetClientRect(window, &client);
    const SoundState sound = soundState();
    std::string line = "frame=" + std::to_string(frame) + " client=" + std::to_string(client.right) + "x" +
                       std::to_string(client.bottom) + " buffers=" + buffers +
                       " rss=" + std::to_string(residentKibibytes()) +
                       " sound=" + (sound.playing ? "playing" : "stopped") +
                       " loop=" + (sound.looping ? "1" : "0") + " starts=" + std::to_string(sound.starts);
    lock.lock();
    for (size_t i = 0; i < watches.size() && i < frameValues.size(); ++i)
        line += " " + watches[i] + "=" + (frameValues[i].empty() ? "-" : frameValues[i]);
    line += "\n";
    if (traceFile)
        std::fputs(line.c_str(), traceFile);
}

} // namespace session
} // namespace standin
