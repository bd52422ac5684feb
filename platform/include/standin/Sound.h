// Inspection of the stand-in's sound playback (PlaySoundW), for tests.
#pragma once

#include <cstdint>
#include <string>

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
void resetSound();

} // namespace standin
