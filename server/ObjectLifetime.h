#pragma once
// How every object of the server is made, counted and destroyed: allocated
// from the module heap, built with a count of 0, queried for the requested
// interface, and destroyed again on any result other than S_OK. Each live
// object holds one module lock.

#include <new>

#include "server/ServerModule.h"

// Allocates and builds an object with a count of 0, then hands out the
// requested interface; on any other result than S_OK the object goes again.
template <class Object, class... Arguments>
HRESULT ConstructObject(REFIID iid, void** out, Arguments... arguments)
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

// Objects that count references with plain arithmetic: each is called only
// on the thread of the apartment that created it.
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
