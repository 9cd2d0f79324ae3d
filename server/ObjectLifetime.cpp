#include "server/ObjectLifetime.h"

#include <new>

#include "server/Guids.h"
#include "server/ServerModule.h"

constexpr InterfaceTableRow kResourceObjectInterfaces[] = {
    {&IID_ILocaleResources, 0, kOffsetRow},
    {&IID_IDispatch, 0, kOffsetRow},
    {nullptr, 0, kEndOfTable},
};

namespace {
// Allocates and builds an object with a count of 0, then hands out the
// requested interface; on any other result than S_OK the object goes again.
template <class Object, class... Arguments>
HRESULT Construct(REFIID iid, void** out, Arguments... arguments)
{
    void* memory = ModuleAlloc(sizeof(Object));
    if (!memory)
        return E_OUTOFMEMORY;
    auto* object = new (memory) Object(arguments...);
    // The class is known here: its own QueryInterface, without the vtable.
    const HRESULT result = object->Object::QueryInterface(iid, out);
    if (result != S_OK)
        Object::Destroy(object);
    return result;
}

// Resource objects count references with plain arithmetic: each is called
// only on the thread of the apartment that created it.
template <class Object>
ULONG ReleaseReference(Object* object, LONG& count)
{
    const LONG remaining = --count;
    if (remaining == 0)
        Object::Destroy(object);
    return remaining;
}

// Destruction sets the count to 1 first, gives the object's module lock back
// and returns its storage to the module heap.
template <class Object>
void DestroyObject(Object* object, LONG& count)
{
    count = 1;
    ModuleReleaseLock();
    object->~Object();
    ModuleFree(object);
}
}

StandaloneObject::StandaloneObject()
{
    refCount = 0;
    ModuleAddLock();
}

// Both interfaces share the object's one count.
HRESULT StandaloneObject::QueryInterface(REFIID iid, void** out)
{
    return InterfaceTableQuery(this, kResourceObjectInterfaces, iid, out, [this](IUnknown*) { ++refCount; });
}

ULONG StandaloneObject::AddRef()
{
    return ++refCount;
}

ULONG StandaloneObject::Release()
{
    return ReleaseReference(this, refCount);
}

void StandaloneObject::Destroy(StandaloneObject* object)
{
    DestroyObject(object, object->refCount);
}

ContainedPart::ContainedPart(IUnknown* outer)
{
    controllingUnknown = outer;
}

HRESULT ContainedPart::QueryInterface(REFIID iid, void** out)
{
    const HRESULT result = controllingUnknown->QueryInterface(iid, out);
    if (SUCCEEDED(result))
        return result;
    if (controllingUnknown == static_cast<IUnknown*>(this))
        return result;
    return InterfaceTableQuery(this, kResourceObjectInterfaces, iid, out);
}

ULONG ContainedPart::AddRef()
{
    return controllingUnknown->AddRef();
}

ULONG ContainedPart::Release()
{
    return controllingUnknown->Release();
}

AggregatedObject::AggregatedObject(IUnknown* outer) : part(outer)
{
    ModuleAddLock();
}

HRESULT AggregatedObject::QueryInterface(REFIID iid, void** out)
{
    if (SameGuid(iid, IID_IUnknown)) {
        if (!out)
            return E_POINTER;
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return InterfaceTableQuery(&part, kResourceObjectInterfaces, iid, out);
}

ULONG AggregatedObject::AddRef()
{
    return ++refCount;
}

ULONG AggregatedObject::Release()
{
    return ReleaseReference(this, refCount);
}

void AggregatedObject::Destroy(AggregatedObject* object)
{
    DestroyObject(object, object->refCount);
}

HRESULT CreateStandalone(void*, REFIID iid, void** out)
{
    return Construct<StandaloneObject>(iid, out);
}

// The inner object of an aggregate is handed out only through its own
// IUnknown: any other interface would delegate to an outer object that holds
// no reference to the inner one, and nothing would ever free it.
HRESULT CreateAggregated(void* outer, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!SameGuid(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return Construct<AggregatedObject>(iid, out, static_cast<IUnknown*>(outer));
}

HRESULT CreateResourceObject(void* outer, REFIID iid, void** out)
{
    return outer ? CreateAggregated(outer, iid, out) : CreateStandalone(nullptr, iid, out);
}
