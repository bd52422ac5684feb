// The lifetimes of the stand-in's COM objects. Every object is listed from its construction until its last
// reference is released, with its interface and debug name (standin/Objects.h shows the list to tests). A
// Direct3D 12 or DXGI object whose last reference goes is destroyed at once, but its memory is kept for a
// while with a marker in place of the object, so that a later call through the released pointer (a second
// Release, any method) is reported with the object's name instead of touching freed memory.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <typeinfo>

namespace standin {

// Lists an object under its interface; `references` is its reference count, read when the list is shown.
void noteObjectCreated(const void* object, const std::type_info& interfaceType,
                       const std::atomic<ULONG>* references);

// For objects of several interfaces, whose address and type are known only once they are fully made:
// describe gives the most-derived object's address and type from the key the object was listed under.
struct ObjectIdentity {
    const void* object;
    const std::type_info* type;
};
using ObjectDescriber = ObjectIdentity (*)(const void* key);
void noteObjectCreated(const void* key, ObjectDescriber describe, const std::atomic<ULONG>* references);

void noteObjectNamed(const void* object, const std::string& name);
// A Release call on a listed object, which leaves `left` references.
void noteRelease(const void* object, ULONG left);
// Takes an object off the list; nothing happens when it is not listed.
void forgetObject(const void* object);

// Takes a released object off the list and returns how reports name it.
std::string forgetReleasedObject(const void* object);
// Puts the marker at the released object's address; the memory (starting at `allocation`) is returned to
// the heap once enough later objects have been released.
void buryObject(void* object, void* allocation, std::string description);

// The last reference of a listed object is gone: takes it off the list, runs its destructor and leaves the
// marker that reports every later call made through the released pointer.
template <class Object> void destroyReleasedObject(Object* object) {
    void* allocation = dynamic_cast<void*>(object);
    std::string description = forgetReleasedObject(object);
    object->~Object(); // the destructor is virtual: the most-derived one runs
    buryObject(object, allocation, std::move(description));
}

} // namespace standin
