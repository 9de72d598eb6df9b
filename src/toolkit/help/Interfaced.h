// SPDX-License-Identifier: MIT
// Reference-counted interfaces in the toolkit's style: every interface starts with the query
// and reference-counting entries, objects count the references held on them and free
// themselves when the last one goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

// Names an interface for QueryInterface.
struct InterfaceId {
    std::string_view Name;
    friend bool operator==(const InterfaceId&, const InterfaceId&) = default;
};

constexpr int32_t S_OK = 0;
constexpr int32_t E_NOINTERFACE = static_cast<int32_t>(0x80004002u);

// The first three entries of every interface.
class IInterface {
public:
    using Base = void;
    static constexpr InterfaceId IID{"IInterface"};

    virtual int32_t QueryInterface(const InterfaceId& iid, void** object) = 0;
    virtual int32_t AddRef() = 0;
    virtual int32_t Release() = 0;

protected:
    ~IInterface() = default;  // objects go only through Release
};

namespace interfaced_detail {

// The pointer to the requested interface if I is it or extends it, else nullptr.
template <typename I>
void* Cast(I* self, const InterfaceId& iid)
{
    if (iid == I::IID)
        return self;
    if constexpr (!std::is_void_v<typename I::Base>)
        return Cast<typename I::Base>(static_cast<typename I::Base*>(self), iid);
    else
        return nullptr;
}

}  // namespace interfaced_detail

// Implements the three entries for every interface in the list; the reference count starts
// at 0 and the object deletes itself when a Release brings it back to 0.
template <typename First, typename... Rest>
class TInterfacedObject : public First, public Rest... {
public:
    TInterfacedObject() = default;
    TInterfacedObject(const TInterfacedObject&) = delete;
    TInterfacedObject& operator=(const TInterfacedObject&) = delete;

    int32_t QueryInterface(const InterfaceId& iid, void** object) override
    {
        void* found = interfaced_detail::Cast<First>(static_cast<First*>(this), iid);
        ((found = found ? found : interfaced_detail::Cast<Rest>(static_cast<Rest*>(this), iid)),
         ...);
        *object = found;
        if (!found)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    int32_t AddRef() override { return ++RefCount; }
    int32_t Release() override
    {
        const int32_t left = --RefCount;
        if (left == 0)
            delete this;
        return left;
    }
    int32_t RefCountForTests() const { return RefCount.load(); }

protected:
    virtual ~TInterfacedObject() = default;

private:
    std::atomic<int32_t> RefCount{0};
};

// An owning reference to an interface: AddRef on copy, Release when dropped.
template <typename I>
class IPtr {
public:
    IPtr() = default;
    IPtr(std::nullptr_t) {}
    IPtr(I* raw) : Raw(raw)
    {
        if (Raw)
            Raw->AddRef();
    }
    IPtr(const IPtr& other) : IPtr(other.Raw) {}
    IPtr(IPtr&& other) noexcept : Raw(std::exchange(other.Raw, nullptr)) {}
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, I*>>>
    IPtr(const IPtr<U>& other) : IPtr(static_cast<I*>(other.Get()))
    {
    }
    ~IPtr() { Reset(); }

    IPtr& operator=(IPtr other) noexcept
    {
        std::swap(Raw, other.Raw);
        return *this;
    }

    void Reset()
    {
        if (I* old = std::exchange(Raw, nullptr))
            old->Release();
    }
    // Takes over a reference already counted (as QueryInterface hands one out).
    static IPtr Adopt(I* raw)
    {
        IPtr result;
        result.Raw = raw;
        return result;
    }

    I* Get() const { return Raw; }
    I* operator->() const { return Raw; }
    I& operator*() const { return *Raw; }
    explicit operator bool() const { return Raw != nullptr; }
    friend bool operator==(const IPtr& a, const IPtr& b) { return a.Raw == b.Raw; }

private:
    I* Raw = nullptr;
};

// Asks an object for another of its interfaces; an empty reference if it has none.
template <typename Wanted, typename Have>
IPtr<Wanted> Supports(Have* object)
{
    if (!object)
        return {};
    void* found = nullptr;
    if (object->QueryInterface(Wanted::IID, &found) != S_OK || !found)
        return {};
    return IPtr<Wanted>::Adopt(static_cast<Wanted*>(found));
}

template <typename Wanted, typename Have>
IPtr<Wanted> Supports(const IPtr<Have>& object)
{
    return Supports<Wanted>(object.Get());
}
