// The stand-in's COM objects still alive, for tests of object lifetimes: Direct3D 12 and DXGI objects and the
// shader compiler's.
//
// A Direct3D 12 or DXGI object used after its last reference was released is reported, naming the object: a
// Release, AddRef or QueryInterface is a validation finding; any other method is a finding that also ends the
// process, since the call cannot return a result.
#pragma once

#include <string>
#include <thread>
#include <vector>

namespace standin {

struct LiveObject {
    // The object's address, which dynamic_cast<const void*> of any of its interface pointers gives.
    const void* object = nullptr;
    // "ID3D12Resource", "IDXGISwapChain4", ...; for the shader compiler's objects "DXC " and the class.
    std::string kind;
    // The debug name given with SetName, or "".
    std::string name;
    unsigned long references = 0;
};

// The objects not yet released, in no particular order.
std::vector<LiveObject> liveObjects();

// One Release call, made by the program or by the stand-in itself (a child releasing its device, the queue
// releasing what a finished submission held...).
struct ReleaseCall {
    const void* object = nullptr;
    std::string kind;
    std::string name;
    unsigned long referencesLeft = 0;
    std::thread::id thread; // the thread that called
};

// Starts keeping every Release call (forgetting those kept before), or stops.
void recordReleaseCalls(bool record);
// The calls kept, in call order.
std::vector<ReleaseCall> releaseCalls();

} // namespace standin
