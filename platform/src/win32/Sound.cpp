// PlaySoundW of the stand-in: checks that the file is a RIFF/WAVE sound, keeps the playing state, plays
// nothing.
#include <windows.h>
#include <mmsystem.h>

#include "common/CallTrace.h"
#include "standin/Sound.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex soundMutex;
standin::SoundState state;
std::chrono::steady_clock::time_point startedAt;
std::chrono::duration<double> duration{};

uint32_t readLittleEndian32(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// A wave file is a RIFF file of form WAVE with a format chunk and a data chunk, each within the file. Its
// length follows from the data size and the format's byte rate.
bool readWaveDuration(const std::string& path, std::chrono::duration<double>& length) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    uint32_t byteRate = 0;
    bool haveFormat = false;
    for (size_t offset = 12; offset + 8 <= bytes.size();) {
        const unsigned char* chunk = bytes.data() + offset;
        uint64_t size = readLittleEndian32(chunk + 4);
        if (offset + 8 + size > bytes.size())
            return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16)
                return false;
            byteRate = readLittleEndian32(chunk + 16);
            haveFormat = byteRate != 0;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return false;
            length = std::chrono::duration<double>(static_cast<double>(size) / byteRate);
            return true;
        }
        // Chunks are padded to an even size.
        offset += 8 + size + (size & 1);
    }
    return false;
}

// Windows takes either separator; on Linux the backslash is an ordinary character.
std::string nativePath(LPCWSTR name) {
    std::string path;
    for (const wchar_t* c = name; *c; ++c)
        path += *c == L'\\' ? '/' : static_cast<char>(*c <= 0x7F ? *c : '?');
    return path;
}

bool isPlaying() {
    if (!state.playing || state.looping)
        return state.playing;
    return std::chrono::steady_clock::now() - startedAt < duration;
}

} // namespace

namespace standin {

SoundState soundState() {
    std::lock_guard lock(soundMutex);
    SoundState current = state;
    current.playing = isPlaying();
    return current;
}

void resetSound() {
    std::lock_guard lock(soundMutex);
    state = {};
}

} // namespace standin

extern "C" {

BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
    standin::traceCall("PlaySoundW");
    std::lock_guard lock(soundMutex);
    // Any call stops the sound that plays; a null sound does nothing more.
    state.playing = false;
    if (!sound)
        return TRUE;
    if ((flags & SND_LOOP) && !(flags & SND_ASYNC))
        return FALSE;
    std::chrono::duration<double> length{};
    if (!readWaveDuration(nativePath(sound), length))
        return FALSE;
    state.file = sound;
    state.looping = (flags & SND_LOOP) != 0;
    state.starts += 1;
    // A synchronous sound has played to its end when the call returns.
    state.playing = (flags & SND_ASYNC) != 0;
    startedAt = std::chrono::steady_clock::now();
    duration = length;
    return TRUE;
}

} // extern "C"
