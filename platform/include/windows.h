// The subset of the Win32 API that the program and its tests call, for the headless stand-in platform.
// Declarations follow the Windows SDK's names, values and signatures; the stand-in implements them in
// platform/src. Basic types (HANDLE, BOOL, DWORD, LONG, RECT, LARGE_INTEGER, ...) come from DirectX-Headers'
// Linux adapter.
#pragma once

#include <wsl/winadapter.h>

#define WINAPI
#define CALLBACK
#define APIENTRY

#ifndef INFINITE
#define INFINITE 0xFFFFFFFFu
#endif
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

typedef HANDLE HINSTANCE;
typedef HANDLE HMODULE;

extern "C" {

// Events and waits.
HANDLE WINAPI CreateEventW(SECURITY_ATTRIBUTES* attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WINAPI WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL alertable);
BOOL WINAPI CloseHandle(HANDLE handle);

// The performance counter: a monotonic clock.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Debugging.
void WINAPI OutputDebugStringA(LPCSTR text);
BOOL WINAPI IsDebuggerPresent(void);
void WINAPI DebugBreak(void);

} // extern "C"

// The program's entry point; the stand-in's main calls it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
