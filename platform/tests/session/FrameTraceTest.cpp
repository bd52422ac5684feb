// The frame trace: one line per presented frame, with each watched shader constant as the frame's first
// dispatch that reads it found it, through a root constant-buffer view or root constants; "-" where no
// dispatch of the frame read it.
#include "d3d12/DxilFixture.h"

#include "standin/Session.h"
#include "standin/Sound.h"
#include "standin/WindowSystem.h"
#include "support/TempDirectory.h"

#include <cstring>
#include <fstream>
#include <regex>

namespace {

constexpr char WATCHING_SHADER[] = R"(
struct Placement { float3 position; uint flag; int offset; };
ConstantBuffer<Placement> placement : register(b2);
cbuffer Settings : register(b0) { float exposure; float contrast; };
RWStructuredBuffer<float> output : register(u0);
[numthreads(1, 1, 1)]
void main() { output[0] = placement.position.x + placement.flag + placement.offset + exposure + contrast; }
)";

struct Placement {
    float position[3];
    uint32_t flag;
    int32_t offset;
};

class FrameTraceTest : public DxilTest {
protected:
    void SetUp() override {
        DxilTest::SetUp();
        if (IsSkipped())
            return;
        standin::resetWindowSystem();
        standin::resetSound();
        standin::startSession({});
        tracePath = (directory.path() / "trace.txt").string();
        ASSERT_TRUE(standin::startFrameTrace(tracePath,
                                             {"placement.position", "placement.flag", "placement.offset",
                                              "Settings.exposure", "placement.absent", "Elsewhere.value"}));

        D3D12_ROOT_PARAMETER1 parameters[3] = {};
        parameters[0].ParameterType = D3D12_ROOT_PARAMETER_TYPE_CBV;
        parameters[0].Descriptor = {2, 0, D3D12_ROOT_DESCRIPTOR_FLAG_NONE};
        parameters[1].ParameterType = D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS;
        parameters[1].Constants = {0, 0, 2};
        parameters[2].ParameterType = D3D12_ROOT_PARAMETER_TYPE_UAV;
        parameters[2].Descriptor = {0, 0, D3D12_ROOT_DESCRIPTOR_FLAG_NONE};
        signature = rootSignature(3, parameters, 0, nullptr, D3D12_ROOT_SIGNATURE_FLAG_NONE);
        const std::vector<uint8_t> code = compile(WATCHING_SHADER, L"main", L"cs_6_7");
        D3D12_COMPUTE_PIPELINE_STATE_DESC desc{};
        desc.pRootSignature = signature;
        desc.CS = {code.data(), code.size()};
        ASSERT_EQ(device->CreateComputePipelineState(&desc, IID_PPV_ARGS(&pipeline)), S_OK);
        keep(pipeline);
        constants = buffer(D3D12_HEAP_TYPE_UPLOAD, 512, D3D12_RESOURCE_STATE_GENERIC_READ);
        output = buffer(D3D12_HEAP_TYPE_DEFAULT, 256, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                        D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
        ASSERT_EQ(constants->Map(0, nullptr, reinterpret_cast<void**>(&mapped)), S_OK);
    }
    void TearDown() override {
        standin::endFrameTrace();
        standin::endSession();
        DxilTest::TearDown();
    }

    // One dispatch that reads the placement at a 256-byte slot of the upload buffer and two root constants.
    void dispatch(uint32_t slot, const Placement& placement, float exposure) {
        std::memcpy(mapped + slot * 256, &placement, sizeof placement);
        list->SetComputeRootSignature(signature);
        list->SetPipelineState(pipeline);
        list->SetComputeRootConstantBufferView(0, constants->GetGPUVirtualAddress() + slot * 256);
        const float settings[2] = {exposure, 2.0f};
        list->SetComputeRoot32BitConstants(1, 2, settings, 0);
        list->SetComputeRootUnorderedAccessView(2, output->GetGPUVirtualAddress());
        list->Dispatch(1, 1, 1);
    }

    std::vector<std::string> traceLines() {
        standin::endFrameTrace();
        std::ifstream file(tracePath);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    TempDirectory directory;
    std::string tracePath;
    ID3D12RootSignature* signature = nullptr;
    ID3D12PipelineState* pipeline = nullptr;
    ID3D12Resource* constants = nullptr;
    ID3D12Resource* output = nullptr;
    uint8_t* mapped = nullptr;
};

TEST_F(FrameTraceTest, EachFrameShowsTheFirstValueItsDispatchesReadOfEachWatchedConstant) {
    begin();
    dispatch(0, {{1.5f, -2.0f, 0.1f}, 7, -4}, 0.5f);
    dispatch(1, {{9.0f, 9.0f, 9.0f}, 9, 9}, 9.0f);
    submit();
    standin::notePresent();
    // A frame without a dispatch, then one in two submissions: the first submission's value stands.
    standin::notePresent();
    begin();
    dispatch(0, {{0.0f, 1e-3f, 123456.789f}, 0, 2147483647}, -0.25f);
    submit();
    begin();
    dispatch(1, {{5.0f, 5.0f, 5.0f}, 5, 5}, 5.0f);
    submit();
    standin::notePresent();

    const std::vector<std::string> lines = traceLines();
    ASSERT_EQ(lines.size(), 3u);
    const std::string common = "client=0x0 buffers=- rss=[0-9]+ sound=stopped loop=0 starts=0 ";
    EXPECT_TRUE(std::regex_match(lines[0],
                                 std::regex("frame=0 " + common +
                                            "placement\\.position=1\\.5,-2,0\\.100000001 placement\\.flag=7 "
                                            "placement\\.offset=-4 Settings\\.exposure=0\\.5 "
                                            "placement\\.absent=- Elsewhere\\.value=-")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("frame=1 " + common +
                                                      "placement\\.position=- placement\\.flag=- "
                                                      "placement\\.offset=- Settings\\.exposure=- "
                                                      "placement\\.absent=- Elsewhere\\.value=-")))
        << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("frame=2 " + common +
                                                      "placement\\.position=0,0\\.00100000005,123456\\.789 "
                                                      "placement\\.flag=0 placement\\.offset=2147483647 "
                                                      "Settings\\.exposure=-0\\.25 placement\\.absent=- "
                                                      "Elsewhere\\.value=-")))
        << lines[2];
}

} // namespace
