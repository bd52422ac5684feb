// DXGI 1.5 for the stand-in platform: IDXGIFactory5 (CheckFeatureSupport).
#pragma once

#include "dxgi1_4.h"

typedef enum DXGI_FEATURE { DXGI_FEATURE_PRESENT_ALLOW_TEARING = 0 } DXGI_FEATURE;

interface IDXGIFactory5 : public IDXGIFactory4 {
    virtual HRESULT STDMETHODCALLTYPE CheckFeatureSupport(DXGI_FEATURE Feature, void* pFeatureSupportData,
                                                          UINT FeatureSupportDataSize) = 0;
};
__CRT_UUID_DECL(IDXGIFactory5, 0x7632e1f5, 0xee65, 0x4dca, 0x87, 0xfd, 0x84, 0xcd, 0x75, 0xf8, 0x83, 0x8d)
