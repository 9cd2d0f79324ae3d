#pragma once
// The one module-wide record of the server, its class table, its termination
// list and the module allocator.

#include <windows.h>
#include <unknwn.h>

#include "server/ModuleHeap.h"
#include "server/TerminationList.h"

// Builds an object: (context, requested interface, out pointer).
using CreatorFunction = HRESULT (*)(void* context, REFIID iid, void** out);

// What a class's registry hook does. Removal from this registry view alone
// keeps the keys that the views of both bitnesses share, for the other
// bitness's server that still uses them.
enum class RegistryUpdate { Register, Unregister, UnregisterOwnView };

// One row per creatable class; a row whose clsid is null ends the table.
// Rows live in writable data: each caches its class object.
struct ClassEntry {
    const CLSID* clsid;
    HRESULT (*updateRegistry)(RegistryUpdate update);
    CreatorFunction createClassObject;
    CreatorFunction createInstance;
    IUnknown* classObject;
    const wchar_t* (*objectDescription)();
    void (*classInit)(BOOL starting);
};

struct ServerModule {
    HINSTANCE moduleInstance;
    HINSTANCE resourceInstance;
    HINSTANCE typeLibInstance;
    ClassEntry* classTable;
    volatile LONG lockCount;
    CRITICAL_SECTION typeInfoLock;
    CRITICAL_SECTION classObjectLock;
    ModuleHeap heap;
    TerminationList terminationList;
};

// Published by ModuleStart; valid for the life of the process.
extern ServerModule* g_module;

HRESULT ModuleStart(ClassEntry* classTable, HINSTANCE instance);
HRESULT ModuleStop();
HRESULT AddTerminationCallback(TerminationCallback callback, DWORD_PTR data);
HRESULT ModuleGetClassObject(ServerModule* module, REFCLSID clsid, REFIID iid, void** out);

// The module allocator: every record the server allocates for itself.
inline void* ModuleAlloc(SIZE_T size)
{
    ServerModule* module = g_module;
    return module ? ModuleHeapAlloc(module->heap, size) : nullptr;
}

inline void ModuleFree(void* block)
{
    if (block)
        ModuleHeapFree(g_module->heap, block);
}

void* ModuleRealloc(void* block, SIZE_T size);

inline void ModuleAddLock()
{
    InterlockedIncrement(&g_module->lockCount);
}
inline void ModuleReleaseLock()
{
    InterlockedDecrement(&g_module->lockCount);
}
