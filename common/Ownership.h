#pragma once
// Small owners for the platform's handles and allocations. Each closes or
// frees what it holds when it goes out of scope; none throws.

#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

// A COM reference: Release on destruction.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(Interface* adopted) : pointer_(adopted) {}
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) : pointer_(other.Detach()) {}
    ComRef& operator=(ComRef&& other)
    {
        if (this != &other) {
            Reset();
            pointer_ = other.Detach();
        }
        return *this;
    }
    ~ComRef() { Reset(); }

    Interface* Get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // Out parameter for a call that hands over a new reference.
    Interface** Put()
    {
        Reset();
        return &pointer_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    Interface* Detach()
    {
        Interface* p = pointer_;
        pointer_ = nullptr;
        return p;
    }
    void Reset()
    {
        if (pointer_) {
            pointer_->Release();
            pointer_ = nullptr;
        }
    }

private:
    Interface* pointer_ = nullptr;
};

// A BSTR: SysFreeString on destruction.
class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR adopted) : value_(adopted) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { SysFreeString(value_); }

    BSTR Get() const { return value_; }
    BSTR* Put()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    BSTR Detach()
    {
        BSTR v = value_;
        value_ = nullptr;
        return v;
    }

private:
    BSTR value_ = nullptr;
};

// Task memory (CoTaskMemAlloc): CoTaskMemFree on destruction.
template <class T>
class TaskMemory {
public:
    TaskMemory() = default;
    explicit TaskMemory(T* adopted) : pointer_(adopted) {}
    TaskMemory(const TaskMemory&) = delete;
    TaskMemory& operator=(const TaskMemory&) = delete;
    ~TaskMemory() { CoTaskMemFree(pointer_); }

    T* Get() const { return pointer_; }
    T** Put()
    {
        CoTaskMemFree(pointer_);
        pointer_ = nullptr;
        return &pointer_;
    }
    T* Detach()
    {
        T* p = pointer_;
        pointer_ = nullptr;
        return p;
    }
    void Reset(T* adopted = nullptr)
    {
        CoTaskMemFree(pointer_);
        pointer_ = adopted;
    }

private:
    T* pointer_ = nullptr;
};

// A handle that one function of the platform closes: Close(handle) on
// destruction, unless the handle is null.
template <class Handle, auto Close>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle adopted) : handle_(adopted) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle()
    {
        if (handle_)
            Close(handle_);
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    Handle handle_ = nullptr;
};

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
