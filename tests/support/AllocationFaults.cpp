#include "tests/support/AllocationFaults.h"

#include <oleauto.h>
#include <objbase.h>

namespace {
volatile LONG allocations = 0;
volatile LONG failAt = 0;
volatile LONG injected = 0;
volatile LONG liveHeapBlocks = 0;

// Counts one allocation; true when it is the one to fail.
bool ShouldFail()
{
    const LONG number = InterlockedIncrement(&allocations);
    if (failAt == 0 || number != failAt)
        return false;
    InterlockedExchange(&injected, 1);
    return true;
}

template <class Function>
Function Real(const wchar_t* dll, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(dll), name)));
}

// The platform's own functions, never the patched slots.
struct RealFunctions {
    decltype(&HeapAlloc) heapAlloc = Real<decltype(&HeapAlloc)>(L"kernel32.dll", "HeapAlloc");
    decltype(&HeapReAlloc) heapReAlloc = Real<decltype(&HeapReAlloc)>(L"kernel32.dll", "HeapReAlloc");
    decltype(&HeapFree) heapFree = Real<decltype(&HeapFree)>(L"kernel32.dll", "HeapFree");
    decltype(&HeapCreate) heapCreate = Real<decltype(&HeapCreate)>(L"kernel32.dll", "HeapCreate");
    decltype(&CoTaskMemAlloc) taskAlloc = Real<decltype(&CoTaskMemAlloc)>(L"ole32.dll", "CoTaskMemAlloc");
    decltype(&CoTaskMemRealloc) taskRealloc = Real<decltype(&CoTaskMemRealloc)>(L"ole32.dll", "CoTaskMemRealloc");
    decltype(&SysAllocString) sysAlloc = Real<decltype(&SysAllocString)>(L"oleaut32.dll", "SysAllocString");
    decltype(&SysAllocStringLen) sysAllocLen = Real<decltype(&SysAllocStringLen)>(L"oleaut32.dll", "SysAllocStringLen");
    decltype(&SysAllocStringByteLen) sysAllocByteLen =
        Real<decltype(&SysAllocStringByteLen)>(L"oleaut32.dll", "SysAllocStringByteLen");
    decltype(&SysReAllocString) sysRealloc = Real<decltype(&SysReAllocString)>(L"oleaut32.dll", "SysReAllocString");
    decltype(&SysReAllocStringLen) sysReallocLen =
        Real<decltype(&SysReAllocStringLen)>(L"oleaut32.dll", "SysReAllocStringLen");
};

RealFunctions& Platform()
{
    static RealFunctions functions;
    return functions;
}

LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    if (ShouldFail())
        return nullptr;
    void* block = Platform().heapAlloc(heap, flags, size);
    if (block)
        InterlockedIncrement(&liveHeapBlocks);
    return block;
}

LPVOID WINAPI CountedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size)
{
    return ShouldFail() ? nullptr : Platform().heapReAlloc(heap, flags, block, size);
}

BOOL WINAPI CountedHeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    if (block)
        InterlockedDecrement(&liveHeapBlocks);
    return Platform().heapFree(heap, flags, block);
}

HANDLE WINAPI CountedHeapCreate(DWORD options, SIZE_T initial, SIZE_T maximum)
{
    return ShouldFail() ? nullptr : Platform().heapCreate(options, initial, maximum);
}

LPVOID WINAPI CountedTaskAlloc(SIZE_T size)
{
    return ShouldFail() ? nullptr : Platform().taskAlloc(size);
}

LPVOID WINAPI CountedTaskRealloc(LPVOID block, SIZE_T size)
{
    return ShouldFail() ? nullptr : Platform().taskRealloc(block, size);
}

BSTR WINAPI CountedSysAllocString(const OLECHAR* text)
{
    return ShouldFail() ? nullptr : Platform().sysAlloc(text);
}

BSTR WINAPI CountedSysAllocStringLen(const OLECHAR* text, UINT length)
{
    return ShouldFail() ? nullptr : Platform().sysAllocLen(text, length);
}

BSTR WINAPI CountedSysAllocStringByteLen(LPCSTR text, UINT length)
{
    return ShouldFail() ? nullptr : Platform().sysAllocByteLen(text, length);
}

INT WINAPI CountedSysReAllocString(BSTR* text, const OLECHAR* value)
{
    return ShouldFail() ? FALSE : Platform().sysRealloc(text, value);
}

INT WINAPI CountedSysReAllocStringLen(BSTR* text, const OLECHAR* value, UINT length)
{
    return ShouldFail() ? FALSE : Platform().sysReallocLen(text, value, length);
}

struct Replacement {
    const char* dll;
    const char* function;
    const void* standIn;
};

const Replacement kReplacements[] = {
    {"kernel32.dll", "HeapAlloc", reinterpret_cast<const void*>(&CountedHeapAlloc)},
    {"kernel32.dll", "HeapReAlloc", reinterpret_cast<const void*>(&CountedHeapReAlloc)},
    {"kernel32.dll", "HeapFree", reinterpret_cast<const void*>(&CountedHeapFree)},
    {"kernel32.dll", "HeapCreate", reinterpret_cast<const void*>(&CountedHeapCreate)},
    {"ole32.dll", "CoTaskMemAlloc", reinterpret_cast<const void*>(&CountedTaskAlloc)},
    {"ole32.dll", "CoTaskMemRealloc", reinterpret_cast<const void*>(&CountedTaskRealloc)},
    {"oleaut32.dll", "SysAllocString", reinterpret_cast<const void*>(&CountedSysAllocString)},
    {"oleaut32.dll", "SysAllocStringLen", reinterpret_cast<const void*>(&CountedSysAllocStringLen)},
    {"oleaut32.dll", "SysAllocStringByteLen", reinterpret_cast<const void*>(&CountedSysAllocStringByteLen)},
    {"oleaut32.dll", "SysReAllocString", reinterpret_cast<const void*>(&CountedSysReAllocString)},
    {"oleaut32.dll", "SysReAllocStringLen", reinterpret_cast<const void*>(&CountedSysReAllocStringLen)},
};
}

AllocationFaults::AllocationFaults(HMODULE module)
{
    Platform();
    Disarm();
    for (const Replacement& replacement : kReplacements) {
        auto patch = std::make_unique<ImportPatch>(module, replacement.dll, replacement.function, replacement.standIn);
        if (patch->Active())
            patches_.push_back(std::move(patch));
    }
}

AllocationFaults::~AllocationFaults()
{
    Disarm();
}

void AllocationFaults::FailNth(LONG n)
{
    InterlockedExchange(&failAt, 0);
    InterlockedExchange(&allocations, 0);
    InterlockedExchange(&injected, 0);
    InterlockedExchange(&failAt, n);
}

LONG AllocationFaults::Allocations()
{
    return allocations;
}

bool AllocationFaults::Injected()
{
    return injected != 0;
}

LONG AllocationFaults::LiveHeapBlocks()
{
    return liveHeapBlocks;
}

void AllocationFaults::ResetLiveHeapBlocks()
{
    InterlockedExchange(&liveHeapBlocks, 0);
}

void AllocationFaults::LeaveInPlace()
{
    for (auto& patch : patches_)
        patch->Abandon();
}
