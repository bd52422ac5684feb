// DXGI 1.6 for the stand-in platform: IDXGIFactory6 (EnumAdapterByGpuPreference).
#pragma once

#include "dxgi1_5.h"

typedef enum DXGI_GPU_PREFERENCE {
    DXGI_GPU_PREFERENCE_UNSPECIFIED = 0,
    DXGI_GPU_PREFERENCE_MINIMUM_POWER = 1,
    DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE = 2
} DXGI_GPU_PREFERENCE;

interface IDXGIFactory6 : public IDXGIFactory5 {
    virtual HRESULT STDMETHODCALLTYPE EnumAdapterByGpuPreference(UINT Adapter,
                                                                 DXGI_GPU_PREFERENCE GpuPreference,
                                                                 REFIID riid, void** ppvAdapter) = 0;
};
__CRT_UUID_DECL(IDXGIFactory6, 0xc1b6694f, 0xff09, 0x44a9, 0xb0, 0x3c, 0x77, 0x90, 0x0a, 0x0a, 0x1d, 0x17)
