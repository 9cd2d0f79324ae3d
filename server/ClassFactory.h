#pragma once
// The class object of a creatable class. The factory logic (CreateInstance,
// LockServer) forms the abstract layer; the caching layer adds reference
// counting that keeps the module's own cached reference out of the lock count.

#include "server/ServerModule.h"

class ClassFactoryLogic : public IClassFactory {
public:
    explicit ClassFactoryLogic(CreatorFunction creator) : createInstance(creator) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

protected:
    CreatorFunction createInstance;
};

class ClassFactory final : public ClassFactoryLogic {
public:
    explicit ClassFactory(CreatorFunction creator);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    static void Destroy(ClassFactory* factory);

private:
    volatile LONG refCount = 0;
    CRITICAL_SECTION countLock;
};

// Creator of class objects: the context is the class's instance creator.
HRESULT CreateClassFactory(void* instanceCreator, REFIID iid, void** out);
