#pragma once
// The complete forms of the resource object: on its own, or as the inner
// object of an aggregate. Each live object holds one module lock.

#include "resources/ResourceObject.h"
#include "server/InterfaceTable.h"

// ILocaleResources first, IDispatch second, both at the object's start.
extern const InterfaceTableRow kResourceObjectInterfaces[];

class StandaloneObject final : public ResourceObject {
public:
    StandaloneObject();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    static void Destroy(StandaloneObject* object);
};

// The resource object as the aggregate's clients see it: its IUnknown
// delegates to the aggregate's owner.
class ContainedPart final : public ResourceObject {
public:
    explicit ContainedPart(IUnknown* outer);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
};

// The inner object of an aggregate; its own IUnknown is the non-delegating one.
class AggregatedObject final : public IUnknown {
public:
    explicit AggregatedObject(IUnknown* outer);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    static void Destroy(AggregatedObject* object);

private:
    LONG refCount = 0;
    ContainedPart part;
};

// Instance creator of the resource class: standalone without an outer
// object, aggregated with one.
HRESULT CreateResourceObject(void* outer, REFIID iid, void** out);
HRESULT CreateStandalone(void* outer, REFIID iid, void** out);
HRESULT CreateAggregated(void* outer, REFIID iid, void** out);
