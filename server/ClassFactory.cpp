#include "server/ClassFactory.h"

#include <new>

#include "common/Guids.h"
#include "server/InterfaceTable.h"
#include "common/Ownership.h"

namespace {
constexpr InterfaceTableRow kClassFactoryInterfaces[] = {
    {&IID_IClassFactory, 0, kOffsetRow},
    {nullptr, 0, kEndOfTable},
};

// A client reference on top of the module's cached one holds the module.
constexpr LONG kCachedAndOneClient = 2;
constexpr LONG kCachedOnly = 1;
}

HRESULT ClassFactoryLogic::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer && !SameGuid(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return createInstance(outer, iid, out);
}

HRESULT ClassFactoryLogic::LockServer(BOOL lock)
{
    if (lock)
        ModuleAddLock();
    else
        ModuleReleaseLock();
    return S_OK;
}

ClassFactory::ClassFactory(CreatorFunction creator) : ClassFactoryLogic(creator)
{
    InitializeCriticalSection(&countLock);
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out)
{
    return InterfaceTableQuery(this, kClassFactoryInterfaces, iid, out);
}

ULONG ClassFactory::AddRef()
{
    CriticalSectionLock lock(countLock);
    const LONG count = InterlockedIncrement(&refCount);
    if (count == kCachedAndOneClient)
        ModuleAddLock();
    return count;
}

ULONG ClassFactory::Release()
{
    LONG count;
    {
        CriticalSectionLock lock(countLock);
        count = InterlockedDecrement(&refCount);
    }
    if (count == 0)
        Destroy(this);
    else if (count == kCachedOnly)
        ModuleReleaseLock();
    return count;
}

void ClassFactory::Destroy(ClassFactory* factory)
{
    factory->refCount = 1;
    DeleteCriticalSection(&factory->countLock);
    factory->~ClassFactory();
    ModuleFree(factory);
}

HRESULT CreateClassFactory(void* instanceCreator, REFIID iid, void** out)
{
    void* memory = ModuleAlloc(sizeof(ClassFactory));
    if (!memory)
        return E_OUTOFMEMORY;
    auto* factory = new (memory) ClassFactory(reinterpret_cast<CreatorFunction>(instanceCreator));
    const HRESULT result = factory->QueryInterface(iid, out);
    if (result != S_OK)
        ClassFactory::Destroy(factory);
    return result;
}
