// The debug layer's queue-level state tracking: each command list records the barriers and the states its
// commands need; at ExecuteCommandLists those are replayed, in submission order, against the tracked state of
// each resource, with the platform's implicit promotion from COMMON and decay back to COMMON.
#pragma once

#include "d3d12/Resource.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace standin {

struct SubmissionContext {
    struct Touched {
        std::shared_ptr<ResourceStorage> storage;
        std::vector<bool> promotedToRead; // per subresource: in a read state only by implicit promotion
    };
    std::map<ResourceStorage*, Touched> touched;
    std::vector<std::string> errors; // reported once gpuMutex is released
};

// A step of a recorded list replayed at submission; runs with gpuMutex held and must not report directly.
using ReplayStep = std::function<void(SubmissionContext&)>;

// A transition barrier: the before state must be the tracked state.
void replayTransition(SubmissionContext& context, const std::shared_ptr<ResourceStorage>& storage,
                      UINT subresource, D3D12_RESOURCE_STATES before, D3D12_RESOURCE_STATES after,
                      const std::string& where);
// A command that needs a subresource in a state (promoting it from COMMON where the rules allow); with
// `anyOf`, one of the state bits is enough (a shader resource read by pixel and other stages).
void replayUse(SubmissionContext& context, const std::shared_ptr<ResourceStorage>& storage, UINT subresource,
               D3D12_RESOURCE_STATES needed, const std::string& where, bool anyOf = false);
// The decay at the end of a submission.
void finishSubmission(SubmissionContext& context);

bool isWriteState(D3D12_RESOURCE_STATES state);

} // namespace standin
