#pragma once
// Small owners for the platform's handles and allocations. Each closes or
// frees what it holds when it goes out of scope; none throws.

#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

// The one owner: a handle, pointer or string that one function of the
// platform releases. Release(value) runs on destruction and on Reset, unless
// the value is null. Get reads it, Put hands its slot to a call that returns
// a new one (the old one released first), Detach gives it up.
template <class Value, auto Release>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Value adopted) : value_(adopted) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) : value_(other.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& other)
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Value Get() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }
    Value* Put()
    {
        Reset();
        return &value_;
    }
    Value Detach()
    {
        const Value value = value_;
        value_ = nullptr;
        return value;
    }
    // Releases the held value (if any) and holds `adopted`.
    void Reset(Value adopted = nullptr)
    {
        if (value_)
            Release(value_);
        value_ = adopted;
    }

private:
    Value value_ = nullptr;
};

template <class Interface>
void ReleaseInterface(Interface* pointer)
{
    pointer->Release();
}

// A COM reference: Release on destruction.
template <class Interface>
class ComRef : public UniqueHandle<Interface*, ReleaseInterface<Interface>> {
public:
    using UniqueHandle<Interface*, ReleaseInterface<Interface>>::UniqueHandle;

    Interface* operator->() const { return this->Get(); }
    // Out parameter for a call that hands over a new reference as void**.
    void** PutVoid() { return reinterpret_cast<void**>(this->Put()); }
};

// A BSTR: SysFreeString on destruction.
using UniqueBstr = UniqueHandle<BSTR, SysFreeString>;

// Task memory (CoTaskMemAlloc): CoTaskMemFree on destruction.
template <class T>
using TaskMemory = UniqueHandle<T*, CoTaskMemFree>;

// A loaded module: FreeLibrary on destruction.
using LoadedModule = UniqueHandle<HMODULE, FreeLibrary>;

// Holds a critical section entered for one scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
    ~CriticalSectionLock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION& section_;
};
