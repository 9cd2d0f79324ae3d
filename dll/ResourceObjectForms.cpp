// The complete forms of the resource object.

#include "dll/ResourceObjectForms.h"

#include "common/Guids.h"
#include "server/ObjectLifetime.h"

constexpr InterfaceTableRow kResourceObjectInterfaces[] = {
    {&IID_ILocaleResources, 0, kOffsetRow},
    {&IID_IDispatch, 0, kOffsetRow},
    {nullptr, 0, kEndOfTable},
};

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
    return ConstructObject<StandaloneObject>(iid, out);
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
    return ConstructObject<AggregatedObject>(iid, out, static_cast<IUnknown*>(outer));
}

HRESULT CreateResourceObject(void* outer, REFIID iid, void** out)
{
    return outer ? CreateAggregated(outer, iid, out) : CreateStandalone(nullptr, iid, out);
}
