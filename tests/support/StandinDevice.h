// The shared device and shader compiler on the stand-in, made once per test process, for tests of the
// routines that create objects on the global device.
#pragma once

#include "core/Globals.h"
#include "core/Shader.h"

#include <windows.h>
#include <directx/d3d12.h>
#include <dxguids/dxguids.h>

#include <gtest/gtest.h>

// Makes `device` and the three compiler objects when a test needs them first; later calls keep them.
inline void useStandinDeviceAndCompiler() {
    if (!device) {
        ASSERT_EQ(D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device)), S_OK);
    }
    if (!hlslCompiler) {
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&hlslCompiler)), S_OK);
    }
    if (!hlslLibrary) {
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcLibrary, IID_PPV_ARGS(&hlslLibrary)), S_OK);
    }
    if (!hlslIncludeHandler) {
        ASSERT_EQ(hlslLibrary->CreateIncludeHandler(&hlslIncludeHandler), S_OK);
    }
}
