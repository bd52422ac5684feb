// Resource-state tracking with implicit promotion and decay.
#include "d3d12/Validation.h"

namespace standin {

namespace {

constexpr D3D12_RESOURCE_STATES WRITE_STATES =
    D3D12_RESOURCE_STATE_RENDER_TARGET | D3D12_RESOURCE_STATE_UNORDERED_ACCESS |
    D3D12_RESOURCE_STATE_DEPTH_WRITE | D3D12_RESOURCE_STATE_STREAM_OUT | D3D12_RESOURCE_STATE_COPY_DEST |
    D3D12_RESOURCE_STATE_RESOLVE_DEST | D3D12_RESOURCE_STATE_VIDEO_DECODE_WRITE |
    D3D12_RESOURCE_STATE_VIDEO_PROCESS_WRITE | D3D12_RESOURCE_STATE_VIDEO_ENCODE_WRITE;

// States a resource in COMMON may be promoted to on first use.
bool promotable(const ResourceStorage& storage, D3D12_RESOURCE_STATES needed) {
    if (storage.promotesFreely())
        return !(needed & (D3D12_RESOURCE_STATE_DEPTH_WRITE | D3D12_RESOURCE_STATE_DEPTH_READ |
                           D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE));
    const D3D12_RESOURCE_STATES textureStates =
        D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE | D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE |
        D3D12_RESOURCE_STATE_COPY_DEST | D3D12_RESOURCE_STATE_COPY_SOURCE;
    return (needed & ~textureStates) == 0;
}

SubmissionContext::Touched& touch(SubmissionContext& context,
                                  const std::shared_ptr<ResourceStorage>& storage) {
    auto& touched = context.touched[storage.get()];
    if (!touched.storage) {
        touched.storage = storage;
        touched.promotedToRead.assign(storage->subresourceCount(), false);
    }
    return touched;
}

std::string subresourceText(const ResourceStorage& storage, UINT subresource) {
    return storage.subresourceCount() > 1 ? " (subresource " + std::to_string(subresource) + ")" : "";
}

} // namespace

bool isWriteState(D3D12_RESOURCE_STATES state) {
    return (state & WRITE_STATES) != 0;
}

void replayTransition(SubmissionContext& context, const std::shared_ptr<ResourceStorage>& storage,
                      UINT subresource, D3D12_RESOURCE_STATES before, D3D12_RESOURCE_STATES after,
                      const std::string& where) {
    auto& touched = touch(context, storage);
    if (storage->fixedState()) {
        context.errors.push_back(where + ": " + describe(*storage) +
                                 " lies in an UPLOAD or READBACK heap and cannot change state");
        return;
    }
    if (before == after) {
        context.errors.push_back(where + ": the before and after states of " + describe(*storage) +
                                 " are the same (" + stateName(before) + ")");
        return;
    }
    UINT first = subresource, last = subresource;
    if (subresource == D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES) {
        first = 0;
        last = storage->subresourceCount() - 1;
    } else if (subresource >= storage->subresourceCount()) {
        context.errors.push_back(where + ": subresource " + std::to_string(subresource) + " of " +
                                 describe(*storage) + " does not exist");
        return;
    }
    for (UINT s = first; s <= last; ++s) {
        D3D12_RESOURCE_STATES& current = storage->states[s];
        if (current != before)
            context.errors.push_back(where + ": the before state " + stateName(before) + " of " +
                                     describe(*storage) + subresourceText(*storage, s) +
                                     " does not match its tracked state " + stateName(current));
        current = after;
        touched.promotedToRead[s] = false;
    }
}

void replayUse(SubmissionContext& context, const std::shared_ptr<ResourceStorage>& storage, UINT subresource,
               D3D12_RESOURCE_STATES needed, const std::string& where, bool anyOf) {
    auto& touched = touch(context, storage);
    UINT first = subresource, last = subresource;
    if (subresource == D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES) {
        first = 0;
        last = storage->subresourceCount() - 1;
    }
    for (UINT s = first; s <= last && s < storage->subresourceCount(); ++s) {
        D3D12_RESOURCE_STATES& current = storage->states[s];
        if (needed != D3D12_RESOURCE_STATE_COMMON &&
            (anyOf ? (current & needed) != 0 : (current & needed) == needed))
            continue;
        bool fromCommon = current == D3D12_RESOURCE_STATE_COMMON;
        bool fromPromotedRead = touched.promotedToRead[s] && !isWriteState(needed);
        if (!storage->fixedState() && (fromCommon || fromPromotedRead) && promotable(*storage, needed)) {
            if (isWriteState(needed)) {
                current = needed;
            } else {
                current = (fromCommon ? D3D12_RESOURCE_STATE_COMMON : current) | needed;
                touched.promotedToRead[s] = true;
            }
            continue;
        }
        context.errors.push_back(where + ": " + describe(*storage) + subresourceText(*storage, s) +
                                 " is in the state " + stateName(current) + " but must be in " +
                                 (anyOf && (needed & (needed - 1)) ? "one of " : "") + stateName(needed));
    }
}

void finishSubmission(SubmissionContext& context) {
    for (auto& [key, touched] : context.touched) {
        ResourceStorage& storage = *touched.storage;
        if (storage.fixedState())
            continue;
        for (UINT s = 0; s < storage.subresourceCount(); ++s) {
            bool acceleration = storage.states[s] == D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE;
            if ((storage.promotesFreely() && !acceleration) || touched.promotedToRead[s])
                storage.states[s] = D3D12_RESOURCE_STATE_COMMON;
        }
    }
    context.touched.clear();
}

} // namespace standin
