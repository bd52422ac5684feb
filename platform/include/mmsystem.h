// Windows multimedia: the sound playback the program uses, for the headless stand-in platform. The stand-in
// checks the file and keeps the playing state (see standin/Sound.h) but plays nothing.
#pragma once

#include <windows.h>

#define SND_SYNC 0x0000
#define SND_ASYNC 0x0001
#define SND_LOOP 0x0008
#define SND_FILENAME 0x00020000

extern "C" {

// Plays a sound file (SND_FILENAME), or with a null sound stops whatever plays. SND_LOOP needs SND_ASYNC.
BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);

} // extern "C"
