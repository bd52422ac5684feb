// Pipeline states: what the description said (graphics, mesh through a stream, compute), kept for validation
// of draws and dispatches and for tests.
#pragma once

#include "common/ComObject.h"
#include "standin/ShaderReflection.h"

#include <vector>

namespace standin {

class RootSignature;

class PipelineState final : public DeviceChild<ID3D12PipelineState> {
public:
    PipelineState(Device* owner, PipelineInfo info);
    ~PipelineState() override;
    HRESULT STDMETHODCALLTYPE GetCachedBlob(ID3DBlob** blob) override;
    PipelineInfo info;
    RootSignature* rootSignature; // referenced while the pipeline lives
    // Its stages' reflection, read once when first asked for (under gpuMutex); see reflectedStages.
    std::vector<ShaderReflection> reflections;
    bool reflected = false;

protected:
    void* queryFor(REFIID riid) override;
};

PipelineState* pipelineStateOf(ID3D12PipelineState* pipeline);

} // namespace standin
