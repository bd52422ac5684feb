// The static samplers of the program's root signatures differ only in filter, address mode and anisotropy:
// all sit at s0 in space 0, are visible to every stage, compare nothing and sample the top mip level only.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <gtest/gtest.h>

inline void expectTopMipSampler(const D3D12_STATIC_SAMPLER_DESC& sampler, D3D12_FILTER filter,
                                D3D12_TEXTURE_ADDRESS_MODE addressMode, UINT maxAnisotropy) {
    EXPECT_EQ(sampler.Filter, filter);
    EXPECT_EQ(sampler.AddressU, addressMode);
    EXPECT_EQ(sampler.AddressV, addressMode);
    EXPECT_EQ(sampler.AddressW, addressMode);
    EXPECT_EQ(sampler.MipLODBias, 0.0f);
    EXPECT_EQ(sampler.MaxAnisotropy, maxAnisotropy);
    EXPECT_EQ(static_cast<int>(sampler.ComparisonFunc), 0);
    EXPECT_EQ(sampler.BorderColor, D3D12_STATIC_BORDER_COLOR_TRANSPARENT_BLACK);
    EXPECT_EQ(sampler.MinLOD, 0.0f);
    EXPECT_EQ(sampler.MaxLOD, 0.0f);
    EXPECT_EQ(sampler.ShaderRegister, 0u);
    EXPECT_EQ(sampler.RegisterSpace, 0u);
    EXPECT_EQ(sampler.ShaderVisibility, D3D12_SHADER_VISIBILITY_ALL);
}
