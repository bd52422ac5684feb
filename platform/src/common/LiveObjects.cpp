#include "common/LiveObjects.h"

#include "standin/Gpu.h"
#include "standin/Objects.h"

#include <cxxabi.h>

#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace standin {

namespace {

struct Listed {
    const std::type_info* type = nullptr;
    ObjectDescriber describe = nullptr;
    const std::atomic<ULONG>* references = nullptr;
    std::string name;
};

struct Grave {
    const void* object;
    void* allocation;
};

// Released objects whose memory is kept; enough for every object a run of the program or a test makes, few
// enough that the memory kept stays small (a destroyed object keeps only its own footprint).
constexpr size_t KEPT_GRAVES = 4096;

struct Registry {
    std::mutex mutex;
    std::atomic<bool> recordingReleases{false};
    std::vector<ReleaseCall> releaseCalls;
    std::map<const void*, Listed> live;
    std::map<const void*, std::string> released; // by the marker's address
    std::deque<Grave> graves;                    // oldest first
};

// Never destroyed: objects are released during static destruction too.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

// "ID3D12Resource" from the mangled name; a class of the stand-in's own without its namespaces.
std::string readableName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    std::string name = status == 0 && demangled ? demangled.get() : type.name();
    size_t separator = name.rfind("::");
    return separator == std::string::npos ? name : name.substr(separator + 2);
}

ObjectIdentity identityOf(const void* key, const Listed& listed) {
    return listed.describe ? listed.describe(key) : ObjectIdentity{key, listed.type};
}

std::string kindOf(const void* key, const Listed& listed) {
    std::string kind = readableName(*identityOf(key, listed).type);
    return listed.describe ? "DXC " + kind : kind;
}

void reportCallAfterRelease(const void* object, const std::string& call) {
    std::string what = "an object";
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        auto found = r.released.find(object);
        if (found != r.released.end())
            what = found->second;
    }
    reportValidationError(call + " of " + what + " after its last reference was released");
}

// Any other method of a released object: the call cannot return a meaningful result, so the report ends the
// process. Methods that return a structure by value receive another first argument than the object, so
// the object may go unnamed.
[[noreturn]] void methodCalledAfterRelease(const void* object) {
    reportCallAfterRelease(object, "A method call");
    std::abort();
}

#define RELEASED_OBJECT_METHOD(group, index)                                                                 \
    virtual void method##group##index() {                                                                    \
        methodCalledAfterRelease(this);                                                                      \
    }
#define RELEASED_OBJECT_METHODS(group)                                                                       \
    RELEASED_OBJECT_METHOD(group, 0)                                                                         \
    RELEASED_OBJECT_METHOD(group, 1)                                                                         \
    RELEASED_OBJECT_METHOD(group, 2)                                                                         \
    RELEASED_OBJECT_METHOD(group, 3)                                                                         \
    RELEASED_OBJECT_METHOD(group, 4)                                                                         \
    RELEASED_OBJECT_METHOD(group, 5)                                                                         \
    RELEASED_OBJECT_METHOD(group, 6)                                                                         \
    RELEASED_OBJECT_METHOD(group, 7)                                                                         \
    RELEASED_OBJECT_METHOD(group, 8)                                                                         \
    RELEASED_OBJECT_METHOD(group, 9)

// The marker left in a released object's place. Its table of methods begins as every interface's does
// (QueryInterface, AddRef, Release) and goes on with more entries than the largest interface of the
// stand-in has methods, each of which reports the call.
class ReleasedObject final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        reportCallAfterRelease(this, "QueryInterface");
        if (object)
            *object = nullptr;
        return E_FAIL;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        reportCallAfterRelease(this, "AddRef");
        return 0;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        reportCallAfterRelease(this, "Release");
        return 0;
    }
    RELEASED_OBJECT_METHODS(0)
    RELEASED_OBJECT_METHODS(1)
    RELEASED_OBJECT_METHODS(2)
    RELEASED_OBJECT_METHODS(3)
    RELEASED_OBJECT_METHODS(4)
    RELEASED_OBJECT_METHODS(5)
    RELEASED_OBJECT_METHODS(6)
    RELEASED_OBJECT_METHODS(7)
    RELEASED_OBJECT_METHODS(8)
    RELEASED_OBJECT_METHODS(9)
    RELEASED_OBJECT_METHODS(10)
    RELEASED_OBJECT_METHODS(11)
    RELEASED_OBJECT_METHODS(12)
};

#undef RELEASED_OBJECT_METHODS
#undef RELEASED_OBJECT_METHOD

} // namespace

void noteObjectCreated(const void* object, const std::type_info& interfaceType,
                       const std::atomic<ULONG>* references) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.live[object] = Listed{&interfaceType, nullptr, references, ""};
}

void noteObjectCreated(const void* key, ObjectDescriber describe, const std::atomic<ULONG>* references) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.live[key] = Listed{nullptr, describe, references, ""};
}

void noteObjectNamed(const void* object, const std::string& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto found = r.live.find(object);
    if (found != r.live.end())
        found->second.name = name;
}

void noteRelease(const void* object, ULONG left) {
    Registry& r = registry();
    if (!r.recordingReleases.load())
        return;
    std::lock_guard lock(r.mutex);
    auto found = r.live.find(object);
    if (found != r.live.end())
        r.releaseCalls.push_back({identityOf(object, found->second).object, kindOf(object, found->second),
                                  found->second.name, static_cast<unsigned long>(left),
                                  std::this_thread::get_id()});
}

void forgetObject(const void* object) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.live.erase(object);
}

std::string forgetReleasedObject(const void* object) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto found = r.live.find(object);
    if (found == r.live.end())
        return "an object";
    std::string description = kindOf(object, found->second);
    description += found->second.name.empty() ? " (unnamed)" : " \"" + found->second.name + "\"";
    r.live.erase(found);
    return description;
}

void buryObject(void* object, void* allocation, std::string description) {
    new (object) ReleasedObject;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.released[object] = std::move(description);
    r.graves.push_back({object, allocation});
    if (r.graves.size() > KEPT_GRAVES) {
        Grave oldest = r.graves.front();
        r.graves.pop_front();
        r.released.erase(oldest.object);
        ::operator delete(oldest.allocation);
    }
}

std::vector<LiveObject> liveObjects() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<LiveObject> objects;
    for (const auto& [key, listed] : r.live)
        objects.push_back({identityOf(key, listed).object, kindOf(key, listed), listed.name,
                           static_cast<unsigned long>(listed.references->load())});
    return objects;
}

void recordReleaseCalls(bool record) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (record)
        r.releaseCalls.clear();
    r.recordingReleases = record;
}

std::vector<ReleaseCall> releaseCalls() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.releaseCalls;
}

size_t liveObjectCount() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.live.size();
}

} // namespace standin
