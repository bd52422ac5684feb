// The trace of platform calls: off until started, in call order across the platform's parts, off again once
// stopped.
#include <windows.h>
#include <mmsystem.h>
#include <directx/d3d12.h>
#include <dxcapi.h>
#include <dxguids/dxguids.h>

#include "standin/CallTrace.h"
#include "standin/Gpu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CallTraceTest, RecordsTracedCallsInOrderOnlyWhileStarted) {
    HANDLE untraced = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    standin::startCallTrace();
    PlaySoundW(nullptr, nullptr, 0);
    ID3D12Device* device = nullptr;
    ASSERT_EQ(D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device)), S_OK);
    ID3D12Fence* fence = nullptr;
    ASSERT_EQ(device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence)), S_OK);
    IDxcCompiler* compiler = nullptr;
    ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler)), S_OK);
    HANDLE traced = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(standin::stopCallTrace(),
              (std::vector<std::string>{"PlaySoundW", "D3D12CreateDevice", "ID3D12Device::CreateFence",
                                        "DxcCreateInstance", "CreateEventW"}));

    fence->Release();
    EXPECT_TRUE(standin::stopCallTrace().empty()) << "nothing is recorded once stopped";
    standin::startCallTrace();
    EXPECT_TRUE(standin::stopCallTrace().empty()) << "a new trace starts empty";

    compiler->Release();
    device->Release();
    CloseHandle(traced);
    CloseHandle(untraced);
    standin::resetGpu();
}

} // namespace
