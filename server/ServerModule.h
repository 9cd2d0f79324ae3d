#pragma once
// The one module-wide record of the server, its class table, its termination
// list and the module allocator.

#include <windows.h>
#include <unknwn.h>

struct CategoryMapEntry;

// Builds an object: (context, requested interface, out pointer).
using CreatorFunction = HRESULT (*)(void* context, REFIID iid, void** out);
using TerminationCallback = void (*)(DWORD_PTR data);

// One row per creatable class; a row whose clsid is null ends the table.
// Rows live in writable data: each caches its class object.
struct ClassEntry {
    const CLSID* clsid;
    HRESULT (*updateRegistry)(BOOL doRegister);
    CreatorFunction createClassObject;
    CreatorFunction createInstance;
    IUnknown* classObject;
    const wchar_t* (*objectDescription)();
    const CategoryMapEntry* (*categoryMap)();
    void (*classInit)(BOOL starting);
};

struct TerminationNode {
    TerminationCallback callback;
    DWORD_PTR data;
    TerminationNode* next;
};

struct ServerModule {
    HINSTANCE moduleInstance;
    HINSTANCE resourceInstance;
    HINSTANCE typeLibInstance;
    ClassEntry* classTable;
    volatile LONG lockCount;
    HANDLE mainHeap;
    CRITICAL_SECTION typeInfoLock;
    CRITICAL_SECTION classObjectLock;
    DWORD heapMask;
    HANDLE* extraHeaps;
    LONG nextHeap;
    TerminationNode* terminationList;
};

// Published by ModuleStart; valid for the life of the process.
extern ServerModule* g_module;

HRESULT ModuleStart(ClassEntry* classTable, HINSTANCE instance);
HRESULT ModuleStop();
HRESULT AddTerminationCallback(TerminationCallback callback, DWORD_PTR data);
HRESULT ModuleGetClassObject(ServerModule* module, REFCLSID clsid, REFIID iid, void** out);

// The module allocator: every record the server allocates for itself. The
// single-heap forms stand here, inline, as object creation runs through them;
// the rotating forms of multi-heap mode are in ModuleHeap.cpp.
void* ExtraHeapAlloc(ServerModule& module, SIZE_T size);
void ExtraHeapFree(void* block);
void* ModuleRealloc(void* block, SIZE_T size);

inline void* ModuleAlloc(SIZE_T size)
{
    ServerModule* module = g_module;
    if (!module || !module->mainHeap)
        return nullptr;
    if (module->extraHeaps)
        return ExtraHeapAlloc(*module, size);
    return HeapAlloc(module->mainHeap, 0, size);
}

inline void ModuleFree(void* block)
{
    if (!block)
        return;
    if (g_module->extraHeaps)
        ExtraHeapFree(block);
    else
        HeapFree(g_module->mainHeap, 0, block);
}

inline void ModuleAddLock()
{
    InterlockedIncrement(&g_module->lockCount);
}
inline void ModuleReleaseLock()
{
    InterlockedDecrement(&g_module->lockCount);
}
