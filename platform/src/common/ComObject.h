// Reference counting, interface queries and object names shared by every stand-in COM object.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>
#include <dxguids/dxguids.h>

#include "common/LiveObjects.h"
#include "standin/Gpu.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace standin {

// True when riid names one of the interfaces listed.
template <class... Interfaces> bool isOneOf(REFIID riid) {
    return ((std::memcmp(&riid, &__uuidof(Interfaces), sizeof(GUID)) == 0) || ...);
}

// Says on standard error that a method no caller needs is missing, and returns what the platform returns
// for an unsupported call.
HRESULT notImplemented(const char* method);

// The narrow text of a wide string (ASCII names; other characters become '?').
std::string narrow(const wchar_t* text);

// Implements IUnknown over one interface chain. queryFor names the interfaces the object answers to. The
// object is listed among the live objects until its last reference goes (common/LiveObjects.h).
template <class Interface> class ComObject : public Interface {
public:
    ComObject() { noteObjectCreated(this, typeid(Interface), &references); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { forgetObject(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = queryFor(riid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        noteRelease(this, left);
        if (left == 0)
            destroyReleasedObject(this);
        return left;
    }
    ULONG referenceCount() const { return references.load(); }

protected:
    virtual void* queryFor(REFIID riid) = 0;

private:
    std::atomic<ULONG> references{1};
};

// Adds ID3D12Object's private data and debug name.
template <class Interface> class D3D12Object : public ComObject<Interface> {
public:
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* size, void* data) override {
        std::lock_guard lock(privateMutex);
        if (!size)
            return E_INVALIDARG;
        auto found = privateData.find(key(guid));
        if (found == privateData.end()) {
            *size = 0;
            return DXGI_ERROR_NOT_FOUND;
        }
        if (!data) {
            *size = UINT(found->second.size());
            return S_OK;
        }
        if (*size < found->second.size())
            return DXGI_ERROR_MORE_DATA;
        *size = UINT(found->second.size());
        std::memcpy(data, found->second.data(), found->second.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT size, const void* data) override {
        std::lock_guard lock(privateMutex);
        if (!data)
            privateData.erase(key(guid));
        else
            privateData[key(guid)].assign(static_cast<const uint8_t*>(data),
                                          static_cast<const uint8_t*>(data) + size);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID, const IUnknown*) override {
        return notImplemented("ID3D12Object::SetPrivateDataInterface");
    }
    HRESULT STDMETHODCALLTYPE SetName(LPCWSTR name) override {
        setDebugName(narrow(name));
        noteObjectNamed(this, narrow(name));
        return S_OK;
    }
    // Objects that keep their name elsewhere (resources) override this.
    virtual void setDebugName(const std::string& name) { debugName = name; }
    std::string debugName;

private:
    static std::string key(REFGUID guid) {
        return std::string(reinterpret_cast<const char*>(&guid), sizeof(GUID));
    }
    std::mutex privateMutex;
    std::map<std::string, std::vector<uint8_t>> privateData;
};

class Device;

// Adds ID3D12DeviceChild: the child keeps its device alive.
template <class Interface> class DeviceChild : public D3D12Object<Interface> {
public:
    explicit DeviceChild(Device* owner);
    ~DeviceChild() override;
    HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) override;
    Device* device;
};

} // namespace standin
