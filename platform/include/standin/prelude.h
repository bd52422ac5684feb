// Included before every source of the Linux build (see platform/CMakeLists.txt).
//
// DirectX-Headers' Linux stubs declare HWND as int, so a null handle cannot be written as nullptr and a handle
// does not fit the pointer-typed parameters Windows code passes it to. Windows declares it as a pointer to an
// opaque struct; the stand-in does the same before the stubs are seen, so one source serves both builds.
#pragma once

#define HWND StandinStubHwndInt
#include <basetsd.h>
#undef HWND
typedef struct HWND__* HWND;
