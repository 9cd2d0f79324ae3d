// The module record: start, stop and the class-object lookup.

#include "server/ServerModule.h"

#include "common/Guids.h"
#include "common/Ownership.h"

namespace {
constinit ServerModule theModule{};
}

constinit ServerModule* g_module = nullptr;

HRESULT ModuleStart(ClassEntry* classTable, HINSTANCE instance)
{
    g_module = &theModule;
    ServerModule& module = theModule;
    module.classTable = classTable;
    module.lockCount = 0;
    module.moduleInstance = instance;
    module.resourceInstance = instance;
    module.typeLibInstance = instance;
    module.heap.mainHeap = nullptr;
    InitializeCriticalSection(&module.typeInfoLock);
    InitializeCriticalSection(&module.classObjectLock);
    module.terminationList.newest = nullptr;
    if (classTable) {
        for (ClassEntry* entry = classTable; entry->clsid; ++entry)
            entry->classInit(TRUE);
    }
    ModuleHeapSetup(module.heap);
    return S_OK;
}

HRESULT ModuleStop()
{
    ServerModule& module = theModule;
    if (module.classTable) {
        for (ClassEntry* entry = module.classTable; entry->clsid; ++entry) {
            if (entry->classObject)
                entry->classObject->Release();
            entry->classObject = nullptr;
            entry->classInit(FALSE);
        }
    }
    DeleteCriticalSection(&module.typeInfoLock);
    DeleteCriticalSection(&module.classObjectLock);
    TerminationListRun(module.terminationList, module.heap);
    ModuleHeapTeardown(module.heap);
    return S_OK;
}

HRESULT ModuleGetClassObject(ServerModule* module, REFCLSID clsid, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HRESULT result = S_OK;
    for (ClassEntry* entry = module->classTable; entry && entry->clsid; ++entry) {
        if (!entry->createClassObject || !SameGuid(clsid, *entry->clsid))
            continue;
        if (!entry->classObject) {
            CriticalSectionLock lock(module->classObjectLock);
            if (!entry->classObject)
                result = entry->createClassObject(reinterpret_cast<void*>(entry->createInstance), IID_IUnknown,
                                                  reinterpret_cast<void**>(&entry->classObject));
        }
        if (entry->classObject)
            result = entry->classObject->QueryInterface(iid, out);
        break;
    }
    if (!*out && result == S_OK)
        result = CLASS_E_CLASSNOTAVAILABLE;
    return result;
}

HRESULT AddTerminationCallback(TerminationCallback callback, DWORD_PTR data)
{
    return TerminationListAdd(g_module->terminationList, g_module->heap, g_module->typeInfoLock, callback, data);
}

// A null block is allocated anew, as ModuleHeapRealloc does it.
void* ModuleRealloc(void* block, SIZE_T size)
{
    ServerModule* module = g_module;
    return module ? ModuleHeapRealloc(module->heap, block, size) : nullptr;
}
