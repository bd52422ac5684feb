// Inspection of the stand-in's sound playback (PlaySoundW), for tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct SoundState {
    // Whether a sound plays: an asynchronous one that was not stopped or replaced and, unless it loops, has
    // not reached its end.
    bool playing = false;
    // The file of the last sound started, as the program named it.
    std::wstring file;
    bool looping = false;
    // How many sounds have been started from their beginning.
    uint64_t starts = 0;
};

SoundState soundState();

// One PlaySoundW call with its arguments, kept whatever its result.
struct SoundCall {
    bool nullSound = false; // the sound argument was null (stop)
    std::wstring sound;
    HMODULE module = nullptr;
    DWORD flags = 0;

    bool operator==(const SoundCall&) const = default;
};

// Every PlaySoundW call since the start or the last reset, in call order.
std::vector<SoundCall> soundCalls();

// Forgets the playing state and the calls.
void resetSound();

} // namespace standin
